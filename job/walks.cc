#include "job/walks.h"

#include "job/directory_listing.h"
#include "job/entry_operation.h"
#include "job/messages.h"
#include "platform/u16_format.h"

namespace velmora {
namespace {

constexpr int64_t kAbsoluteSizeLimit = 4294967295;  // bytes

}  // namespace

EntryResult EncryptWalk(JobHost& host, LevelLists& levels,
                        const std::u16string& pattern, std::size_t depth) {
  if (depth == 0) {
    for (WideListBuffer& list : levels) list.Clear();
  }
  if (levels.size() < depth + 2) levels.resize(depth + 2);

  std::vector<DirectoryEntry> entries;
  ListDirectory(pattern, &entries);
  for (const DirectoryEntry& entry : entries) {
    ++host.m_job.m_nFound;
    AppendEntry(levels[depth], entry.path);
    if (entry.is_directory) {
      if (EncryptWalk(host, levels, entry.path + u"/*", depth + 1) == AbortRun) {
        return AbortRun;
      }
      const EntryResult result = ProcessEntryList(host, levels[depth + 1]);
      levels[depth + 1].Clear();
      if (result == AbortRun) return AbortRun;
    } else if (entry.size > kAbsoluteSizeLimit) {
      host.m_window.MessageBox(
          std::u16string(text::kFileTooLarge) +
              Format(text::kPathBlock,
                     {DirectoryWithSeparator(entry.path, entry.name), entry.name}),
          MB_OK | MB_ICONERROR);
      return AbortRun;
    }
  }
  if (depth == 0) {
    return ProcessEntryList(host, levels[0]) == AbortRun ? AbortRun : Done;
  }
  return Done;
}

EntryResult DecryptWalk(JobHost& host, const std::u16string& pattern,
                        std::size_t depth) {
  std::vector<DirectoryEntry> entries;
  if (ListDirectory(pattern, &entries)) {
    WideListBuffer list;
    for (const DirectoryEntry& entry : entries) {
      ++host.m_job.m_nFound;
      AppendEntry(list, entry.path);
    }
    if (ProcessEntryList(host, list) == AbortRun) return AbortRun;
  }
  // Read again: the entries now carry the names just given to them.
  if (ListDirectory(pattern, &entries)) {
    for (const DirectoryEntry& entry : entries) {
      if (!entry.is_directory) continue;
      if (DecryptWalk(host, entry.path + u"/*", depth + 1) == AbortRun) {
        return AbortRun;
      }
    }
  }
  return Done;
}

}  // namespace velmora
