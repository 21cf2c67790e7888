#include "job/directory_listing.h"

#include "platform/file_system.h"

namespace velmora {

bool ListDirectory(const std::u16string& pattern,
                   std::vector<DirectoryEntry>* entries) {
  entries->clear();
  DirectoryFinder finder;
  if (!finder.FindFile(pattern)) return false;
  while (finder.FindNextFile()) {
    if (finder.IsDots()) continue;
    DirectoryEntry entry;
    entry.name = finder.GetFileName();
    entry.path = finder.GetFilePath();
    entry.is_directory = finder.IsDirectory();
    entry.is_regular = finder.IsRegularFile();
    entry.size = finder.GetLength64();
    entries->push_back(std::move(entry));
  }
  return true;
}

std::u16string DirectoryWithSeparator(const std::u16string& path,
                                      const std::u16string& name) {
  return path.substr(0, path.size() - name.size());
}

}  // namespace velmora
