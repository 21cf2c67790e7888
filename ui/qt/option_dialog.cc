#include "ui/qt/option_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <utility>

#include "ui/qt/wrapping_check_box.h"
#include "ui/window_port.h"

namespace velmora {

OptionDialog::OptionDialog(QWidget* owner, const std::u16string& extension_text, int extension_rule)
    : DialogBase(owner, QStringLiteral("Velmora　オプション設定"), 251, 153),
      extension_text_(extension_text),
      extension_rule_(extension_rule != 0 ? 1 : 0) {
  auto* ok_button = new QPushButton(QStringLiteral("OK"), this);
  ok_button->setObjectName(ControlName(IDOK));
  ok_button->setDefault(true);
  Place(ok_button, 62, 130, 50, 14);

  rule_box_ = new WrappingCheckBox(
      QStringLiteral("拡張子によりファイルの暗号化の範囲を変化させる。"), this);
  rule_box_->setObjectName(ControlName(IDC_EXTENSION_RULE));
  Place(rule_box_, 23, 20, 165, 15);

  auto* group = new QGroupBox(QStringLiteral("高速化設定"), this);
  Place(group, 7, 7, 237, 116);

  AddList();

  auto* cancel_button = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel_button->setObjectName(ControlName(IDCANCEL));
  Place(cancel_button, 137, 129, 52, 14);

  Place(MakeStatic(QStringLiteral("ここに登録されている拡張子を持つファイルは、"
                                  "先頭から８Kバイトのみ暗号化されます。"
                                  "それ以外のファイルはファイル全体が"
                                  "暗号化されます。"),
                   true, this),
        31, 41, 194, 27);

  // A group box paints over what lies beneath it; keep it at the back.
  group->lower();

  setTabOrder(ok_button, rule_box_);
  setTabOrder(rule_box_, list_edit_);
  setTabOrder(list_edit_, cancel_button);
  ok_button->setFocus();

  // The edit speaks "\n"; the rest of the program "\r\n".
  list_edit_->setPlainText(QString::fromStdU16String(extension_text)
                               .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  rule_box_->setChecked(extension_rule_ != 0);
  list_edit_->setEnabled(rule_box_->isChecked());

  connect(rule_box_, &QCheckBox::toggled, list_edit_, &QPlainTextEdit::setEnabled);
  connect(ok_button, &QPushButton::clicked, this, &OptionDialog::Confirm);
  connect(cancel_button, &QPushButton::clicked, this, &QDialog::reject);
}

void OptionDialog::AddList() {
  QLabel* list_label = MakeStatic(QStringLiteral("登録されている拡張子"), false, this);
  // Stands against the list; a wider face widens it to the left, away
  // from the list.
  list_label->setAlignment(Qt::AlignRight | Qt::AlignTop);
  Place(list_label, 32, 88, 69, 9);
  list_edit_ = new QPlainTextEdit(this);
  list_edit_->setObjectName(ControlName(IDC_EXTENSION_LIST));
  // Named by the text beside it.
  list_label->setBuddy(list_edit_);
  list_edit_->setAccessibleName(list_label->text());
  list_edit_->setTabChangesFocus(true);
  list_edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Place(list_edit_, 102, 71, 100, 42);
}

void OptionDialog::Confirm() {
  std::u16string text = list_edit_->toPlainText()
                            .replace(QStringLiteral("\n"), QStringLiteral("\r\n"))
                            .toStdU16String();
  if (text.size() > kMaxExtensionTextLength) {
    text.resize(kMaxExtensionTextLength);
  }
  extension_text_ = std::move(text);
  extension_rule_ = rule_box_->isChecked() ? 1 : 0;
  accept();
}

int RunOptionDialog(QWidget* owner, std::u16string* extension_text, int* extension_rule) {
  OptionDialog dialog(owner, *extension_text, *extension_rule);
  if (dialog.exec() != QDialog::Accepted) return IDCANCEL;
  *extension_text = dialog.extensionText();
  *extension_rule = dialog.extensionRule();
  return IDOK;
}

}  // namespace velmora
