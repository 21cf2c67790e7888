#include "state/folder_renames.h"

#include <sys/stat.h>

#include <algorithm>
#include <tuple>
#include <utility>

namespace velmora::state {
namespace {

// The names of |path| from the top; empty components (doubled or trailing
// slashes) are skipped.
std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

}  // namespace

FolderRenames::FolderProbe FolderRenames::OnDisk() {
  return [](const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  };
}

FolderRenames::FolderRenames(std::vector<Rename> renames, FolderProbe is_folder)
    : is_folder_(std::move(is_folder)) {
  // Shallower parents first: a parent's canonical spelling depends only on
  // renames of the folders above it. Sorting also brings duplicates
  // together.
  using Keyed = std::pair<std::size_t, Rename>;
  std::vector<Keyed> sorted;
  sorted.reserve(renames.size());
  for (Rename& rename : renames) {
    const std::size_t depth = Components(rename.parent).size();
    sorted.emplace_back(depth, std::move(rename));
  }
  const auto key = [](const Keyed& k) {
    return std::tie(k.first, k.second.parent, k.second.from, k.second.to);
  };
  std::sort(sorted.begin(), sorted.end(),
            [&](const Keyed& a, const Keyed& b) { return key(a) < key(b); });
  sorted.erase(std::unique(sorted.begin(), sorted.end(),
                           [&](const Keyed& a, const Keyed& b) { return key(a) == key(b); }),
               sorted.end());
  for (const Keyed& keyed : sorted) {
    const Rename& rename = keyed.second;
    const std::string parent = Canonical(rename.parent);
    Join(parent + "/" + rename.from, parent + "/" + rename.to);
  }
  for (const std::string& node : nodes_) {
    names_[Find(node)].push_back(node.substr(node.rfind('/') + 1));
  }
}

std::string FolderRenames::Find(const std::string& node) {
  std::string root = node;
  for (auto it = root_.find(root); it != root_.end() && it->second != root; it = root_.find(root)) {
    root = it->second;
  }
  // Every node on the way now points at the root.
  for (std::string at = node; at != root;) {
    auto it = root_.find(at);
    at = std::exchange(it->second, root);
  }
  return root;
}

std::string FolderRenames::Canonical(const std::string& path) {
  std::string canonical;
  for (const std::string& name : Components(path)) {
    canonical = Find(canonical + "/" + name);
  }
  return canonical;
}

void FolderRenames::Join(const std::string& a, const std::string& b) {
  for (const std::string& node : {a, b}) {
    if (root_.emplace(node, node).second) nodes_.push_back(node);
  }
  const std::string root_a = Find(a);
  const std::string root_b = Find(b);
  if (root_a != root_b) root_[root_b] = root_a;
}

std::string FolderRenames::Resolve(const std::string& folder) const {
  if (is_folder_(folder) || !folder.starts_with('/')) return folder;
  std::string resolved;
  std::string canonical;
  for (const std::string& name : Components(folder)) {
    const std::string node = canonical + "/" + name;
    const auto known = root_.find(node);
    const std::string* found = is_folder_(resolved + "/" + name) ? &name : nullptr;
    if (found == nullptr && known != root_.end()) {
      // After construction every node points straight at its class.
      for (const std::string& other : names_.at(known->second)) {
        if (other != name && is_folder_(resolved + "/" + other)) {
          found = &other;
          break;
        }
      }
    }
    if (found == nullptr) return folder;
    resolved += "/" + *found;
    canonical = known != root_.end() ? known->second : node;
  }
  return resolved;
}

}  // namespace velmora::state
