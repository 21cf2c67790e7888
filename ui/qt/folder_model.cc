#include "ui/qt/folder_model.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/wtf8.h"

namespace velmora {
namespace {

std::u16string Join(const std::u16string& directory, const std::u16string& name) {
  return directory == u"/" ? u"/" + name : directory + u"/" + name;
}

// Bytes that are not UTF-8 show as U+FFFD; the path itself keeps them.
QString Shown(const std::u16string& name) { return QString::fromStdString(Wtf8FromUtf16(name)); }

}  // namespace

FolderModel::FolderModel(QObject* parent) : QAbstractItemModel(parent) {
  auto root = std::make_unique<Node>();
  root->path = u"/";
  root->shown = QStringLiteral("/");
  root->parent = &top_;
  top_.children.push_back(std::move(root));
  top_.listed = true;
}

FolderModel::~FolderModel() = default;

FolderModel::Node* FolderModel::NodeOf(const QModelIndex& index) const {
  if (!index.isValid()) return const_cast<Node*>(&top_);
  return static_cast<Node*>(index.internalPointer());
}

QModelIndex FolderModel::IndexOf(const Node* node) const {
  if (node == nullptr || node == &top_) return QModelIndex();
  return createIndex(node->row, 0, const_cast<Node*>(node));
}

std::u16string FolderModel::PathOf(const QModelIndex& index) const {
  return index.isValid() ? NodeOf(index)->path : std::u16string();
}

QModelIndex FolderModel::Find(const std::u16string& path) {
  std::u16string absolute = path;
  if (absolute.empty() || absolute.front() != u'/') {
    absolute = Join(GetCurrentDirectoryPath(), absolute);
  }
  Node* node = top_.children.front().get();
  std::size_t start = 0;
  while (start < absolute.size()) {
    const std::size_t end = std::min(absolute.find(u'/', start), absolute.size());
    const std::u16string part = absolute.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (node->parent != &top_) node = node->parent;
      continue;
    }
    const QModelIndex index = IndexOf(node);
    if (canFetchMore(index)) fetchMore(index);
    const std::u16string wanted = Join(node->path, part);
    const auto child =
        std::find_if(node->children.begin(), node->children.end(),
                     [&](const std::unique_ptr<Node>& c) { return c->path == wanted; });
    if (child == node->children.end()) break;
    node = child->get();
  }
  return IndexOf(node);
}

QModelIndex FolderModel::index(int row, int column, const QModelIndex& parent) const {
  const Node* node = NodeOf(parent);
  if (column != 0 || row < 0 || row >= static_cast<int>(node->children.size())) {
    return QModelIndex();
  }
  return IndexOf(node->children[static_cast<std::size_t>(row)].get());
}

QModelIndex FolderModel::parent(const QModelIndex& child) const {
  if (!child.isValid()) return QModelIndex();
  return IndexOf(NodeOf(child)->parent);
}

int FolderModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(NodeOf(parent)->children.size());
}

int FolderModel::columnCount(const QModelIndex& /*parent*/) const { return 1; }

QVariant FolderModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return QVariant();
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    return NodeOf(index)->shown;
  }
  return QVariant();
}

bool FolderModel::hasChildren(const QModelIndex& parent) const {
  const Node* node = NodeOf(parent);
  if (node->listed) return !node->children.empty();
  // Reading only up to the first subfolder keeps the expand mark off empty
  // folders without reading every folder in view.
  if (!node->has_folders.has_value()) {
    bool found = false;
    Folder::Open(node->path).ListStatuses([&found](std::u16string_view, const FileStatus& status) {
      found = status.is_directory;
      return !found;
    });
    node->has_folders = found;
  }
  return *node->has_folders;
}

bool FolderModel::canFetchMore(const QModelIndex& parent) const { return !NodeOf(parent)->listed; }

void FolderModel::fetchMore(const QModelIndex& parent) {
  Node* node = NodeOf(parent);
  if (node->listed) return;
  node->listed = true;
  std::vector<std::unique_ptr<Node>> found;
  Folder::Open(node->path).ListStatuses([&](std::u16string_view name, const FileStatus& status) {
    if (!status.is_directory) return true;
    auto child = std::make_unique<Node>();
    child->path = Join(node->path, std::u16string(name));
    child->shown = Shown(std::u16string(name));
    child->parent = node;
    found.push_back(std::move(child));
    return true;
  });
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    const int order = a->shown.compare(b->shown, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a->path < b->path;
  });
  if (found.empty()) {
    // The expand mark goes now that the folder is known to be empty.
    emit dataChanged(parent, parent);
    return;
  }
  for (std::size_t row = 0; row < found.size(); ++row) {
    found[row]->row = static_cast<int>(row);
  }
  beginInsertRows(parent, 0, static_cast<int>(found.size()) - 1);
  node->children = std::move(found);
  endInsertRows();
}

}  // namespace velmora
