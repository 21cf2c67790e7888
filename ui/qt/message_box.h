// The message boxes of the main window, built from the classic MB_* flags.
#ifndef VELMORA_UI_QT_MESSAGE_BOX_H_
#define VELMORA_UI_QT_MESSAGE_BOX_H_

#include <QDialog>
#include <QString>
#include <chrono>
#include <string>

class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QShowEvent;
class QWidget;

namespace velmora {

class DialogUnits;

// The answer a box gives when it goes away unanswered: OK for MB_OK, No for
// a yes/no question, Abort for the abort choices.
int SafeAnswer(unsigned flags);

// The answer a box gives by itself when nobody is there to answer it: OK,
// Ignore for the abort choices (the entry is skipped, the run goes on), No
// for a yes/no question (nothing is overwritten). In the exit pass
// (|exit_pass|) a question whose Yes skips the entry (MB_YES_SKIPS_ENTRY)
// gets Yes, so the pass encrypts all it can.
int UnattendedAnswer(unsigned flags, bool exit_pass);

// A modal box with the caption "Velmora", the icon and the buttons of
// |flags| in Japanese, each with its access key (はい(&Y)/いいえ(&N),
// 中止(&A)/再試行(&R)/無視(&I), OK; MB_ABORTIGNORE offers only 中止 and 無視),
// and |text| with "\r\n" shown as line breaks. The first button is the
// default one (Enter), the second with MB_DEFBUTTON2. Only a box with OK
// alone can be dismissed (Esc, the close box): a question waits for a
// choice. Each line of the text stays one line as long as the screen is
// wide enough. Each button's object name is ControlName() of its answer
// (IDYES, IDABORT, ...), and the box joins the dialog test script when
// shown.
class MessageBoxDialog : public QDialog {
  Q_OBJECT

 public:
  MessageBoxDialog(QWidget* owner, const std::u16string& text, unsigned flags);

  // The text as given, with "\n" line ends.
  const QString& text() const { return text_; }
  // The label that shows the text.
  QLabel* textLabel() const { return label_; }

  // The answer of the button that closed the box, or SafeAnswer().
  int Answer() const;

  // Closes the box with UnattendedAnswer() once |delay| has passed, unless
  // it has been answered by then.
  void AnswerAfter(std::chrono::milliseconds delay, bool exit_pass);

 public slots:
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // The buttons of flags_, centred, the default one focused.
  QHBoxLayout* MakeButtonRow(const DialogUnits& units);
  void Finish(int answer);

  unsigned flags_;
  QString text_;
  QLabel* label_;
  int answer_;
};

// Shows the box modally over |owner| (may be null) and returns its answer.
int RunMessageBox(QWidget* owner, const std::u16string& text, unsigned flags);

}  // namespace velmora

#endif  // VELMORA_UI_QT_MESSAGE_BOX_H_
