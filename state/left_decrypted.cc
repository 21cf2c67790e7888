#include "state/left_decrypted.h"

#include <unistd.h>

#include <algorithm>

#include "platform/directory_reader.h"
#include "state/run_lock.h"
#include "state/state_folder.h"

namespace velmora::state {
namespace {

constexpr char kFolder[] = "decrypted";

}  // namespace

bool RecordLeftDecrypted(const std::string& tree) {
  const std::string folder = EnsureStateSubfolder(kFolder);
  return !folder.empty() && WriteFileDurably(folder + "/" + TreeKey(tree), tree);
}

void ClearLeftDecrypted(const std::string& tree) {
  const std::string folder = EnsureStateSubfolder(kFolder);
  if (folder.empty()) return;
  if (::unlink((folder + "/" + TreeKey(tree)).c_str()) == 0) SyncFolder(folder);
}

std::vector<std::string> TreesLeftDecrypted() {
  std::vector<std::string> trees;
  const std::string folder = StateFolderPath() + "/" + kFolder;
  const std::vector<std::string> names = FolderNames(folder, [](std::string_view name) {
    return name.size() == 16 && name.find('.') == std::string_view::npos;
  });
  for (const std::string& name : names) {
    std::string tree;
    std::string holder;
    if (!ReadWholeFile(folder + "/" + name, &tree) || tree.empty()) continue;
    // Not there now (deleted, or on a drive not mounted): nothing to
    // encrypt today; the record stays for the day it is back.
    if (RealPath(tree).empty()) continue;
    if (RunLock::IsHeld(tree, &holder)) continue;
    trees.push_back(tree);
  }
  std::sort(trees.begin(), trees.end());
  return trees;
}

}  // namespace velmora::state
