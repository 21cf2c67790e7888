// The dialog that edits which files are only partly encrypted.
#ifndef VELMORA_UI_QT_OPTION_DIALOG_H_
#define VELMORA_UI_QT_OPTION_DIALOG_H_

#include <cstddef>
#include <string>

#include "ui/qt/dialog_base.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace velmora {

// Control ids (object names, see ControlName()).
constexpr int IDC_EXTENSION_RULE = 1022;
constexpr int IDC_EXTENSION_LIST = 1021;

// Longest extension text OK hands back, in UTF-16 units; the rest is dropped.
constexpr std::size_t kMaxExtensionTextLength = 1022;

// Shows |extension_text| (one extension per line, "\r\n" line ends) for
// editing, and |extension_rule| (0 or 1) as the check box. The list can be
// edited only while the box is ticked; unticking keeps the text.
class OptionDialog : public DialogBase {
  Q_OBJECT

 public:
  OptionDialog(QWidget* owner, const std::u16string& extension_text, int extension_rule);

  // What the dialog held when OK was pressed: the list with "\r\n" line
  // ends, cut to kMaxExtensionTextLength units, and the box as 0 or 1.
  // Before OK, the values it was opened with.
  const std::u16string& extensionText() const { return extension_text_; }
  int extensionRule() const { return extension_rule_; }

 private:
  // The extension list and the text that names it.
  void AddList();
  void Confirm();

  QCheckBox* rule_box_;
  QPlainTextEdit* list_edit_;
  std::u16string extension_text_;
  int extension_rule_;
};

// Shows the option dialog modally over |owner| (may be null). Returns IDOK
// with both values replaced by the dialog's, or IDCANCEL with both untouched.
int RunOptionDialog(QWidget* owner, std::u16string* extension_text, int* extension_rule);

}  // namespace velmora

#endif  // VELMORA_UI_QT_OPTION_DIALOG_H_
