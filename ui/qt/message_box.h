// The message boxes of the main window, built from the classic MB_* flags.
#ifndef VELMORA_UI_QT_MESSAGE_BOX_H_
#define VELMORA_UI_QT_MESSAGE_BOX_H_

#include <QMessageBox>

#include <string>

class QShowEvent;
class QWidget;

namespace velmora {

// The answer a box gives when it goes away unanswered: OK for MB_OK, No for
// a yes/no question, Abort for the abort choices.
int SafeAnswer(unsigned flags);

// A QMessageBox with the caption "Velmora", the buttons and icon of |flags|
// in Japanese (はい/いいえ, 中止/再試行/無視, OK; MB_ABORTIGNORE offers only
// 中止 and 無視) and |text| with "\r\n" shown as line breaks. The first
// button is the default one, and Esc gives the safe answer. Each button's
// object name is ControlName() of its answer (IDYES, IDABORT, ...), and the
// box joins the dialog test script when shown.
class MessageBoxDialog : public QMessageBox {
  Q_OBJECT

 public:
  MessageBoxDialog(QWidget* owner, const std::u16string& text, unsigned flags);

  // The answer of the button that closed the box, or SafeAnswer().
  int Answer() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  unsigned flags_;
};

// Shows the box modally over |owner| (may be null) and returns its answer.
int RunMessageBox(QWidget* owner, const std::u16string& text, unsigned flags);

}  // namespace velmora

#endif  // VELMORA_UI_QT_MESSAGE_BOX_H_
