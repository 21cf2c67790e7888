// The folder browser behind the ".." button: a tree of the file system's
// folders over FolderModel, so that a folder whose name is not UTF-8 is
// listed and handed back byte for byte.
#ifndef VELMORA_UI_QT_FOLDER_BROWSER_H_
#define VELMORA_UI_QT_FOLDER_BROWSER_H_

#include <string>

#include "ui/qt/dialog_base.h"

class QPushButton;
class QShowEvent;
class QTreeView;
class QWidget;

namespace velmora {

class FolderModel;

class FolderBrowser : public DialogBase {
  Q_OBJECT

 public:
  // Opens on |initial| (or its deepest existing ancestor; relative paths
  // start at the current directory).
  FolderBrowser(QWidget* owner, const std::u16string& initial);

  // The folder chosen with OK; empty before that.
  const std::u16string& chosen() const { return chosen_; }

  QTreeView* tree() const { return tree_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Confirm();

  FolderModel* model_;
  QTreeView* tree_;
  QPushButton* ok_button_;
  std::u16string chosen_;
};

// Runs the browser modally; true with the choice in |chosen|, false when
// cancelled (|chosen| untouched).
bool RunFolderBrowser(QWidget* owner, const std::u16string& initial, std::u16string* chosen);

}  // namespace velmora

#endif  // VELMORA_UI_QT_FOLDER_BROWSER_H_
