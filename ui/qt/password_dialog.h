// The dialog that asks for the password, twice, before a job starts.
#ifndef VELMORA_UI_QT_PASSWORD_DIALOG_H_
#define VELMORA_UI_QT_PASSWORD_DIALOG_H_

#include <string>

#include "platform/secret_memory.h"
#include "ui/qt/dialog_base.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace velmora {

// Control ids (object names, see ControlName()).
constexpr int IDC_PASSWORD_INPUT = 1026;
constexpr int IDC_PASSWORD_CONFIRM = 1025;
constexpr int IDC_PASSWORD_SHOW = 1037;
constexpr int IDC_PASSWORD_MESSAGE = 1027;

// OK is enabled only while PasswordProblem() has nothing to say about the two
// boxes; the message line shows what it says. Both boxes are masked with '*'
// unless the show check box is ticked.
class PasswordDialog : public DialogBase {
  Q_OBJECT

 public:
  explicit PasswordDialog(QWidget* owner);
  // Wipes what the boxes and the dialog still hold of the password.
  ~PasswordDialog() override;

  // The password as it was when OK was pressed; empty before that.
  const SecretU16& passwordInput() const { return password_input_; }

 private:
  // Parts of the constructor: the static texts (after the edits, which
  // they must not cover), then the tab order and the signals.
  void AddLabels();
  void ConnectControls();
  void Revalidate();
  void SetShown(bool shown);
  void Confirm();
  // Overwrites both boxes' text in place and empties them (and their undo
  // history). What the line edits freed while the person typed is beyond
  // reach.
  void WipeBoxes();

  QLineEdit* password_edit_;
  QLineEdit* confirm_edit_;
  QCheckBox* show_box_;
  QPushButton* ok_button_;
  QPushButton* cancel_button_;
  QLabel* message_;
  SecretU16 password_input_;  // reserved: a short one is no exception
};

// Shows the password dialog modally over |owner| (may be null). Returns IDOK
// with the password in |password|, or IDCANCEL with |password| untouched.
int RunPasswordDialog(QWidget* owner, SecretU16* password);

}  // namespace velmora

#endif  // VELMORA_UI_QT_PASSWORD_DIALOG_H_
