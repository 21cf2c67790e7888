// The folders of the file system as a tree for a view, read as the walks
// read them: every real directory is listed, whatever bytes its name holds,
// and each one's path comes back exactly as the program names it (escaped
// bytes included, see platform/wtf8.h), never through a display string.
// Links to directories are not listed: a run never follows them either.
// A folder's subfolders are read when the view first asks for them; before
// that, only as far as the first one, to tell whether it can be expanded.
#ifndef VELMORA_UI_QT_FOLDER_MODEL_H_
#define VELMORA_UI_QT_FOLDER_MODEL_H_

#include <QAbstractItemModel>
#include <QModelIndex>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class FolderModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  // One top-level row: the file system root "/".
  explicit FolderModel(QObject* parent = nullptr);
  ~FolderModel() override;

  // The path of the folder at |index|; empty for an invalid index.
  std::u16string PathOf(const QModelIndex& index) const;

  // The folder |path| (absolute, or relative to the current directory) or,
  // when it does not exist, its deepest existing ancestor; reads the
  // folders on the way.
  QModelIndex Find(const std::u16string& path);

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  struct Node {
    std::u16string path;
    QString shown;
    Node* parent = nullptr;
    int row = 0;
    bool listed = false;
    // Whether an unlisted folder holds a folder: known once asked.
    mutable std::optional<bool> has_folders;
    std::vector<std::unique_ptr<Node>> children;
  };

  Node* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(const Node* node) const;

  Node top_;  // holds the root folder; never shown
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_FOLDER_MODEL_H_
