#include "state/recovery.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <map>
#include <set>
#include <utility>

#include "platform/directory_reader.h"
#include "platform/file_system.h"
#include "platform/wtf8.h"
#include "state/entry_repair.h"
#include "state/folder_renames.h"
#include "state/journal.h"
#include "state/state_folder.h"

namespace velmora::state {
namespace {

// A finished journal of this boot is kept at least this long.
constexpr double kRetireAfterSeconds = 120;

struct LoadedJournal {
  std::string path;
  bool same_boot = false;
  bool skip = false;        // made with another password; all its entries ended
  bool consistent = false;  // every entry it recorded was found or made so
  JournalContents contents;
  std::vector<RecordedEntry> to_check;  // in the order begun
};

std::u16string Wide(const std::string& bytes) { return Utf16FromWtf8(bytes); }

std::string EntryPath(const EntryRecord& r, const std::string& name) {
  return r.folder + "/" + name;
}

// The entries of |contents| that need a look.
std::vector<RecordedEntry> EntriesToCheck(const JournalContents& contents, bool same_boot) {
  std::set<uint64_t> ended(contents.ended.begin(), contents.ended.end());
  std::map<uint64_t, RecordedEntry> by_id;
  for (const EntryRecord& record : contents.entries) {
    const bool done = ended.count(record.id) != 0;
    if (same_boot && done) continue;
    by_id[record.id] = RecordedEntry{record, {}, done};
  }
  for (const PageRecord& pages : contents.pages) {
    auto it = by_id.find(pages.id);
    if (it == by_id.end()) continue;
    for (std::size_t i = 0; i < pages.digests.size(); ++i) {
      it->second.digests[pages.first_page + i] = pages.digests[i];
    }
  }
  std::vector<RecordedEntry> entries;
  entries.reserve(by_id.size());
  for (auto& [id, entry] : by_id) entries.push_back(std::move(entry));
  return entries;
}

// Does the key schedule give this record's name pair?
bool PasswordFits(const Crypter& crypter, const EntryRecord& r) {
  const bool encrypt = r.operation == Direction::kEncrypt;
  const std::string& plain = encrypt ? r.source : r.target;
  const std::string& cipher = encrypt ? r.target : r.source;
  const NameConversion back = crypter.ConvertName(Wide(cipher), Direction::kDecrypt);
  return back.ok() && back.target == Wide(plain) && back.range_bytes() == r.range_bytes;
}

bool HasUnfinished(const JournalContents& contents, bool same_boot) {
  if (!same_boot) return !contents.entries.empty();
  std::set<uint64_t> ended(contents.ended.begin(), contents.ended.end());
  return std::any_of(contents.entries.begin(), contents.entries.end(),
                     [&](const EntryRecord& r) { return ended.count(r.id) == 0; });
}

// Flushes the target's file system, so that what the retired journals
// described is on the disk before they go.
bool SyncFileSystem(const std::string& target) {
  const int fd = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::syncfs(fd) == 0;
  ::close(fd);
  return ok;
}

// Names hold the run's start time after "<tree key>-".
void SortOldestFirst(std::vector<LoadedJournal>* journals) {
  const auto started = [](const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    return name.substr(name.find('-') + 1);
  };
  std::sort(journals->begin(), journals->end(),
            [&](const LoadedJournal& a, const LoadedJournal& b) {
              return started(a.path) < started(b.path);
            });
}

// The journals of |target| and the trees below it, with the entries each
// needs checked; a journal of a tree above it with unfinished entries is
// reported in |tree_above|.
std::vector<LoadedJournal> LoadJournals(const std::string& folder, const std::string& target,
                                        std::string* tree_above) {
  const std::string boot = CurrentBootId();
  std::vector<LoadedJournal> journals;
  const std::vector<std::string> names = FolderNames(folder, [](std::string_view name) {
    return name.ends_with(kDoneSuffix) || name.ends_with(".log");
  });
  for (const std::string& name : names) {
    const bool done = name.ends_with(kDoneSuffix);
    LoadedJournal loaded;
    loaded.path = folder + "/" + name;
    // The header alone tells whose journal it is, and for one marked done
    // in this boot (every entry ended) it is all there is to read.
    std::string bytes;
    if (ReadFileHead(loaded.path, 4096, &bytes)) {
      const JournalContents head = DecodeJournal(bytes);
      if (head.has_header) {
        const std::string& tree = head.header.tree;
        const bool below = IsSameOrBelow(tree, target);
        if (!below && !IsSameOrBelow(target, tree)) continue;
        if (done && head.header.boot_id == boot) {
          loaded.same_boot = true;
          loaded.contents = head;
          if (below) journals.push_back(std::move(loaded));
          continue;
        }
      }
    }
    if (!ReadWholeFile(loaded.path, &bytes)) continue;
    loaded.contents = DecodeJournal(bytes);
    if (!loaded.contents.has_header) {
      // Cut off before its header was durable: it recorded nothing.
      if (name.starts_with(TreeKey(target) + "-")) ::unlink(loaded.path.c_str());
      continue;
    }
    const std::string& tree = loaded.contents.header.tree;
    const bool same_boot = loaded.contents.header.boot_id == boot;
    loaded.same_boot = same_boot;
    if (IsSameOrBelow(tree, target)) {
      loaded.to_check = EntriesToCheck(loaded.contents, same_boot);
      journals.push_back(std::move(loaded));
    } else if (IsSameOrBelow(target, tree) && HasUnfinished(loaded.contents, same_boot)) {
      *tree_above = tree;
    }
  }
  SortOldestFirst(&journals);
  return journals;
}

// Marks |entries| of the journal at |path| ended: they were just found
// consistent, and later runs of this boot need not look at them again.
// The End frames go right
// after its last readable frame: appended behind a torn one (a run killed
// mid-write), readers would never see them, and the entries would be
// "repaired" again by every later run, against files long since changed.
bool AppendEnds(const std::string& path, std::size_t valid_bytes,
                const std::vector<RecordedEntry>& entries) {
  std::string frames;
  for (const RecordedEntry& entry : entries) EncodeEnd(entry.record.id, &frames);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  const auto at = static_cast<off_t>(valid_bytes);
  const bool ok =
      ::ftruncate(fd, at) == 0 &&
      ::pwrite(fd, frames.data(), frames.size(), at) == static_cast<ssize_t>(frames.size()) &&
      (!SyncEnabled() || ::fdatasync(fd) == 0);
  ::close(fd);
  return ok;
}

// Seconds since the journal was last written.
double AgeSeconds(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return std::difftime(std::time(nullptr), st.st_mtim.tv_sec);
}

// Every unfinished record must fit the password before anything is
// touched. A journal whose entries all finished, made with another
// password, is left for a run with that password; an unfinished one
// refuses the run (false).
bool CheckPassword(const Crypter& crypter, std::vector<LoadedJournal>* journals) {
  for (LoadedJournal& journal : *journals) {
    for (const RecordedEntry& entry : journal.to_check) {
      if (PasswordFits(crypter, entry.record)) continue;
      const bool all_ended = std::all_of(journal.to_check.begin(), journal.to_check.end(),
                                         [](const RecordedEntry& e) { return e.ended; });
      if (!all_ended) return false;
      journal.skip = true;
      break;
    }
  }
  return true;
}

// Entries recorded inside a renamed folder name it by whichever name it
// had then; every journal's renames count, the heads of finished ones too.
std::vector<FolderRenames::Rename> RecordedFolderRenames(
    const std::vector<LoadedJournal>& journals) {
  std::vector<FolderRenames::Rename> renames;
  for (const LoadedJournal& journal : journals) {
    for (const EntryRecord& r : journal.contents.entries) {
      if (r.kind == EntryKind::kDirectory) renames.push_back({r.folder, r.source, r.target});
    }
  }
  return renames;
}

enum class JournalRepair { kConsistent, kFailed, kStopped };

// Brings the entries |journal| needs checked to a consistent state, newest
// first (an entry renamed later may lie inside a folder renamed earlier).
// A stop request is honoured between entries, never inside one.
JournalRepair RepairJournal(const Crypter& crypter, const FolderRenames& folders,
                            const std::atomic<bool>& stop, const LoadedJournal& journal,
                            RepairReport* report) {
  bool all_consistent = true;
  for (auto it = journal.to_check.rbegin(); it != journal.to_check.rend(); ++it) {
    if (stop.load()) return JournalRepair::kStopped;
    // Resolved afresh for each entry: repairing a folder renames it back.
    EntryRepair repair(crypter, *it, folders.Resolve(it->record.folder));
    switch (repair.Run()) {
      case EntryVerdict::kRepaired:
        report->repaired.push_back(Wtf8FromUtf16(repair.path()));
        report->repaired_inodes.push_back(it->record.inode);
        break;
      case EntryVerdict::kFailed:
        // Where it lies now, when it was found; else where it was.
        report->failed.push_back(repair.path().empty() ? EntryPath(it->record, it->record.source)
                                                       : Wtf8FromUtf16(repair.path()));
        all_consistent = false;
        break;
      case EntryVerdict::kGone:
      case EntryVerdict::kConsistent:
      case EntryVerdict::kForeign:
        break;
    }
  }
  return all_consistent ? JournalRepair::kConsistent : JournalRepair::kFailed;
}

// Retires |journal|, whose entries are all consistent, once they are
// surely on the disk; |synced| tells whether the file system was flushed.
void Retire(const LoadedJournal& journal, const std::string& target, bool* synced) {
  if (!journal.same_boot) {
    // Every entry was read back from the disk itself, and every repair
    // flushed: nothing of this journal is left to tell.
    ::unlink(journal.path.c_str());
    return;
  }
  if (!journal.to_check.empty() &&
      !AppendEnds(journal.path, journal.contents.valid_bytes, journal.to_check)) {
    return;
  }
  // Its entries' bytes may still be only in the page cache. The kernel
  // writes dirty pages back within half a minute or so; after that one
  // flush of the file system costs little and makes sure.
  if (AgeSeconds(journal.path) < kRetireAfterSeconds) return;
  if (!*synced && SyncEnabled()) {
    if (!SyncFileSystem(target)) return;  // kept: not known to be on disk
    *synced = true;
  }
  ::unlink(journal.path.c_str());
}

}  // namespace

struct PendingRepair::Journals {
  std::string target;
  std::string folder;
  std::string tree_above;
  std::vector<LoadedJournal> loaded;
};

PendingRepair::PendingRepair(std::unique_ptr<Journals> journals) : journals_(std::move(journals)) {}
PendingRepair::PendingRepair(PendingRepair&&) noexcept = default;
PendingRepair& PendingRepair::operator=(PendingRepair&&) noexcept = default;
PendingRepair::~PendingRepair() = default;

PendingRepair PendingRepair::Load(const std::string& target) {
  auto journals = std::make_unique<Journals>();
  journals->target = target;
  journals->folder = EnsureStateSubfolder("journal");
  if (!journals->folder.empty()) {
    journals->loaded = LoadJournals(journals->folder, target, &journals->tree_above);
  }
  return PendingRepair(std::move(journals));
}

bool PendingRepair::needed() const {
  if (!journals_->tree_above.empty()) return true;
  return std::any_of(journals_->loaded.begin(), journals_->loaded.end(),
                     [](const LoadedJournal& j) { return !j.to_check.empty(); });
}

RepairReport PendingRepair::Run(const Crypter& crypter, const std::atomic<bool>& stop) {
  RepairReport report;
  std::vector<LoadedJournal>& journals = journals_->loaded;
  if (journals_->folder.empty()) return report;
  if (!journals_->tree_above.empty()) {
    report.status = RepairReport::Status::kTreeAbove;
    report.tree_above = journals_->tree_above;
    return report;
  }
  if (!CheckPassword(crypter, &journals)) {
    report.status = RepairReport::Status::kWrongPassword;
    return report;
  }
  const FolderRenames folders(RecordedFolderRenames(journals));
  for (LoadedJournal& journal : journals) {
    if (journal.skip) continue;
    switch (RepairJournal(crypter, folders, stop, journal, &report)) {
      case JournalRepair::kConsistent:
        journal.consistent = true;
        break;
      case JournalRepair::kFailed:
        report.status = RepairReport::Status::kFailed;
        break;
      case JournalRepair::kStopped:
        // Each entry was repaired whole or not begun; every journal stays,
        // unmarked, and the next run goes through them again.
        report.status = RepairReport::Status::kStopped;
        journals.clear();
        return report;
    }
  }
  bool synced = false;
  for (const LoadedJournal& journal : journals) {
    if (journal.consistent) Retire(journal, journals_->target, &synced);
  }
  SyncFolder(journals_->folder);
  journals.clear();
  return report;
}

}  // namespace velmora::state
