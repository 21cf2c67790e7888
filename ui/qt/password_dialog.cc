#include "ui/qt/password_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QString>
#include <QWidget>
#include <utility>

#include "job/password_rules.h"
#include "platform/secret_memory.h"
#include "ui/qt/wrapping_check_box.h"
#include "ui/window_port.h"

namespace velmora {
namespace {

// The platform style may mask with a dot; the text promises '*'.
const char kAsteriskMask[] = "QLineEdit { lineedit-password-character: 42 }";

QLineEdit* MakePasswordEdit(int id, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(ControlName(id));
  edit->setStyleSheet(QString::fromLatin1(kAsteriskMask));
  edit->setEchoMode(QLineEdit::Password);
  return edit;
}

}  // namespace

PasswordDialog::PasswordDialog(QWidget* owner)
    : DialogBase(owner, QStringLiteral("Velmora　パスワード入力"), 323, 211) {
  password_input_.reserve(kSecretReserve);
  // Created first so that it stays behind the edits it frames.
  auto* group = new QGroupBox(QStringLiteral("パスワードを入力してください"), this);
  Place(group, 7, 14, 309, 92);

  password_edit_ = MakePasswordEdit(IDC_PASSWORD_INPUT, this);
  Place(password_edit_, 75, 39, 209, 13);
  confirm_edit_ = MakePasswordEdit(IDC_PASSWORD_CONFIRM, this);
  Place(confirm_edit_, 75, 66, 209, 12);

  show_box_ = new WrappingCheckBox(QStringLiteral("入力したパスワードを表示する。"), this);
  show_box_->setObjectName(ControlName(IDC_PASSWORD_SHOW));
  Place(show_box_, 178, 165, 138, 13);

  ok_button_ = new QPushButton(QStringLiteral("OK"), this);
  ok_button_->setObjectName(ControlName(IDOK));
  ok_button_->setDefault(true);
  ok_button_->setEnabled(false);
  Place(ok_button_, 90, 190, 50, 14);

  cancel_button_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  cancel_button_->setObjectName(ControlName(IDCANCEL));
  Place(cancel_button_, 168, 189, 50, 14);

  message_ = MakeStatic(QString(), false, this);
  message_->setObjectName(ControlName(IDC_PASSWORD_MESSAGE));
  Place(message_, 99, 86, 143, 13);
  AddLabels();
  ConnectControls();
}

void PasswordDialog::AddLabels() {
  QLabel* password_label = MakeStatic(QStringLiteral("パスワード"), false, this);
  Place(password_label, 26, 41, 43, 10);
  QLabel* confirm_label = MakeStatic(QStringLiteral("パスワード（確認用）"), true, this);
  Place(confirm_label, 26, 63, 47, 18);
  // Each box is named by the text beside it.
  for (const auto& [label, edit] :
       {std::pair{password_label, password_edit_}, std::pair{confirm_label, confirm_edit_}}) {
    label->setBuddy(edit);
    edit->setAccessibleName(label->text());
  }
  Place(MakeStatic(QStringLiteral("★★★パスワードを間違えた場合、データは"
                                  "失われます。ご注意下さい★★★"),
                   false, this),
        24, 123, 282, 12);
  Place(MakeStatic(QStringLiteral("※キー入力の確認を行うには以下のチェック"
                                  "ボックスにチェック　を入れてください。"),
                   true, this),
        43, 148, 234, 18);
}

void PasswordDialog::ConnectControls() {
  setTabOrder(password_edit_, confirm_edit_);
  setTabOrder(confirm_edit_, show_box_);
  setTabOrder(show_box_, ok_button_);
  setTabOrder(ok_button_, cancel_button_);
  password_edit_->setFocus();

  connect(password_edit_, &QLineEdit::textChanged, this, &PasswordDialog::Revalidate);
  connect(confirm_edit_, &QLineEdit::textChanged, this, &PasswordDialog::Revalidate);
  connect(show_box_, &QCheckBox::toggled, this, &PasswordDialog::SetShown);
  connect(ok_button_, &QPushButton::clicked, this, &PasswordDialog::Confirm);
  connect(cancel_button_, &QPushButton::clicked, this, &QDialog::reject);
}

namespace {

std::u16string_view View(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

}  // namespace

PasswordDialog::~PasswordDialog() {
  WipeBoxes();
  WipeString(&password_input_);
}

void PasswordDialog::WipeBoxes() {
  for (QLineEdit* edit : {password_edit_, confirm_edit_}) {
    const QSignalBlocker quiet(edit);
    // text() shares the box's own buffer: overwriting it through the const
    // pointer clears the box's text where it lies, without a detached copy.
    const QString text = edit->text();
    if (!text.isEmpty()) {
      explicit_bzero(const_cast<QChar*>(text.constData()),
                     static_cast<std::size_t>(text.size()) * sizeof(QChar));
    }
    edit->setText(QString());  // also drops the undo history
  }
}

void PasswordDialog::Revalidate() {
  ok_button_->setEnabled(false);
  // Views of the boxes' own buffers: no copy of the password is made.
  const QString password = password_edit_->text();
  const QString confirmation = confirm_edit_->text();
  const std::u16string problem = PasswordProblem(View(password), View(confirmation));
  message_->setText(QString::fromStdU16String(problem));
  ok_button_->setEnabled(problem.empty());
}

void PasswordDialog::SetShown(bool shown) {
  const QLineEdit::EchoMode mode = shown ? QLineEdit::Normal : QLineEdit::Password;
  password_edit_->setEchoMode(mode);
  confirm_edit_->setEchoMode(mode);
}

void PasswordDialog::Confirm() {
  const QString password = password_edit_->text();
  const QString confirmation = confirm_edit_->text();
  // OK is disabled in this case; refuse anyway rather than trust that.
  if (!PasswordProblem(View(password), View(confirmation)).empty()) return;
  WipeString(&password_input_);
  password_input_.assign(View(password));
  WipeBoxes();
  accept();
}

int RunPasswordDialog(QWidget* owner, SecretU16* password) {
  PasswordDialog dialog(owner);
  if (dialog.exec() != QDialog::Accepted) return IDCANCEL;
  *password = dialog.passwordInput();
  return IDOK;
}

}  // namespace velmora
