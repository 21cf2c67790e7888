#include "job/walks.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

#include "job/entry_operation.h"
#include "job/entry_outcome.h"
#include "job/entry_path.h"
#include "job/folder_listing.h"
#include "job/messages.h"
#include "job/walk_ahead.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"

namespace velmora {
namespace {

std::u16string FolderDetail(const std::u16string& path) {
  return Format(text::kDetail, {ParentOf(path), NameOf(path)});
}

// Asks about a folder that is left out; Retry comes back as kDone.
EntryResult AskAboutFolder(JobHost& host, std::u16string_view message, const std::u16string& path,
                           int error, Buttons buttons) {
  std::u16string text = std::u16string(message) + FolderDetail(path);
  if (error != 0) {
    text += Format(text::kReason, {Utf16FromWtf8(std::strerror(error))});
  }
  return AskAboutFailure(host, text, buttons);
}

// What entering a folder found: the folder opened and, when |list| was
// asked for, its entries.
struct Entered {
  EntryResult result = EntryResult::kAbortRun;
  Folder folder;
  FolderListing entries;
};

// Opens the folder |name| of |parent| (at |path|) and lists it, asking
// about every failure: kDone with the folder, kSkipped when it is to be left
// alone, kAbortRun. With |list| false only whether it could be listed is
// judged, from the permissions.
Entered Enter(JobHost& host, const Folder& parent, const std::u16string& path, bool list) {
  Entered entered;
  for (;;) {
    entered.folder = parent.OpenChild(NameOf(path));
    FileStatus status{};
    const bool opened = entered.folder.IsOpen() && entered.folder.Status(&status);
    if (opened && !SameMount(status, host.tree_status_)) {
      entered.result = AskAboutFolder(host, text::kOtherFileSystem, path, 0, Buttons::kAbortIgnore);
      return entered;
    }
    // errno of the step that failed: opening, reading the status, listing.
    if (opened && (list ? entered.entries.Read(entered.folder) : entered.folder.MayList())) {
      entered.result = EntryResult::kDone;
      return entered;
    }
    const int error = errno;
    entered.result =
        AskAboutFolder(host, text::kFolderUnreadable, path, error, Buttons::kAbortRetryIgnore);
    if (entered.result != EntryResult::kDone) return entered;
  }
}

// The folder at |path|, an entry of |parent|: entered ahead, or entered
// now (asking about every failure). Null unless it is to be walked; with
// |result| kAbortRun when the run stops, kSkipped when it is left alone.
std::unique_ptr<EnteredFolder> EnterChild(JobHost& host, WalkAhead& ahead, const Folder& parent,
                                          const std::u16string& path, EntryResult* result) {
  *result = EntryResult::kDone;
  std::unique_ptr<EnteredFolder> child = ahead.TakeEntered(parent, path);
  if (child) return child;
  Entered entered = Enter(host, parent, path, true);
  *result = entered.result;
  if (entered.result != EntryResult::kDone) return nullptr;
  child = std::make_unique<EnteredFolder>();
  child->folder = std::move(entered.folder);
  child->entries = std::move(entered.entries);
  return child;
}

// The index of the first folder of |entries| from |from| on, or size().
std::size_t NextFolder(const FolderListing& entries, std::size_t from) {
  while (from < entries.size() && !entries.IsDirectory(from)) ++from;
  return from;
}

// Everything below |folder| (at |directory|, listed as |entries|): each
// folder's contents before the folder's own name. The entries of |folder|
// itself are left to the caller, and are the next list after these.
EntryResult EncryptBelow(JobHost& host, WalkAhead& ahead, const Folder& folder,
                         const std::u16string& directory, FolderListing& entries) {
  for (std::size_t index = 0; index < entries.size(); ++index) {
    ++host.job_.found;
    if (!entries.IsDirectory(index)) continue;
    const std::u16string path = JoinPath(directory, entries.Name(index));
    EntryResult entered = EntryResult::kDone;
    std::unique_ptr<EnteredFolder> child = EnterChild(host, ahead, folder, path, &entered);
    if (entered == EntryResult::kAbortRun) return EntryResult::kAbortRun;
    if (entered == EntryResult::kSkipped) {
      entries.LeaveAlone(index);  // as it is, and not done
      continue;
    }
    if (EncryptBelow(host, ahead, child->folder, path, child->entries) == EntryResult::kAbortRun) {
      return EntryResult::kAbortRun;
    }
    // After this child's list comes the next child's, when that one holds
    // no folders, or this folder's own. (A next child that holds folders
    // is still entered ahead; only its entries are not recorded.)
    const std::size_t next = NextFolder(entries, index + 1);
    if (next < entries.size()) {
      ahead.SetNext(folder, JoinPath(directory, entries.Name(next)), true);
    } else {
      ahead.SetNext(folder, directory, entries);
    }
    if (ProcessEntryList(host, ahead, child->folder, path, child->entries) ==
        EntryResult::kAbortRun) {
      return EntryResult::kAbortRun;
    }
  }
  return EntryResult::kDone;
}

EntryResult DecryptFolder(JobHost& host, WalkAhead& ahead, const Folder& folder,
                          const std::u16string& directory, FolderListing& entries) {
  // A folder that cannot be entered keeps its enciphered name: it is
  // judged before the names change.
  std::set<std::u16string> left_alone;
  for (std::size_t index = 0; index < entries.size(); ++index) {
    ++host.job_.found;
    if (!entries.IsDirectory(index)) continue;
    const std::u16string path = JoinPath(directory, entries.Name(index));
    const EntryResult probe = Enter(host, folder, path, false).result;
    if (probe == EntryResult::kAbortRun) return EntryResult::kAbortRun;
    if (probe == EntryResult::kSkipped) {
      entries.LeaveAlone(index);
      left_alone.emplace(entries.Name(index));
    }
  }
  if (ProcessEntryList(host, ahead, folder, directory, entries) == EntryResult::kAbortRun) {
    return EntryResult::kAbortRun;
  }

  // Read again: the entries now carry the names just given to them.
  if (!entries.Read(folder)) {
    return AskAboutFolder(host, text::kFolderUnreadable, directory, errno, Buttons::kAbortIgnore);
  }
  for (std::size_t index = 0; index < entries.size(); ++index) {
    if (!entries.IsDirectory(index)) continue;
    const std::u16string name(entries.Name(index));
    if (left_alone.count(name) != 0) continue;
    const std::u16string path = JoinPath(directory, name);
    EntryResult entered = EntryResult::kDone;
    std::unique_ptr<EnteredFolder> child = EnterChild(host, ahead, folder, path, &entered);
    if (entered == EntryResult::kAbortRun) return EntryResult::kAbortRun;
    if (entered == EntryResult::kSkipped) {
      ++host.job_.found;  // its contents count as not done
      continue;
    }
    // A child without folders inside is followed by its next sibling.
    if (NextFolder(child->entries, 0) == child->entries.size()) {
      std::size_t next = NextFolder(entries, index + 1);
      while (next < entries.size() && left_alone.count(std::u16string(entries.Name(next))) != 0) {
        next = NextFolder(entries, next + 1);
      }
      if (next < entries.size()) {
        ahead.SetNext(folder, JoinPath(directory, entries.Name(next)), false);
      }
    }
    if (DecryptFolder(host, ahead, child->folder, path, child->entries) == EntryResult::kAbortRun) {
      return EntryResult::kAbortRun;
    }
  }
  return EntryResult::kDone;
}

// The target itself, opened and listed; kAbortRun when it cannot be.
Entered EnterTarget(JobHost& host, const std::u16string& directory) {
  Entered entered;
  for (;;) {
    entered.folder = Folder::Open(directory);
    FileStatus status{};
    if (entered.folder.IsOpen() && entered.folder.Status(&status) &&
        entered.entries.Read(entered.folder)) {
      host.tree_status_ = status;
      entered.result = EntryResult::kDone;
      return entered;
    }
    ++host.job_.found;  // the run cannot end as all done
    entered.result =
        AskAboutFolder(host, text::kFolderUnreadable, directory, errno, Buttons::kAbortRetryIgnore);
    if (entered.result != EntryResult::kDone) return entered;
    --host.job_.found;
  }
}

}  // namespace

EntryResult EncryptWalk(JobHost& host, const std::u16string& directory) {
  Entered target = EnterTarget(host, directory);
  if (target.result != EntryResult::kDone) return EntryResult::kAbortRun;
  WalkAhead ahead(host);
  if (EncryptBelow(host, ahead, target.folder, directory, target.entries) ==
      EntryResult::kAbortRun) {
    return EntryResult::kAbortRun;
  }
  return ProcessEntryList(host, ahead, target.folder, directory, target.entries);
}

EntryResult DecryptWalk(JobHost& host, const std::u16string& directory) {
  Entered target = EnterTarget(host, directory);
  if (target.result != EntryResult::kDone) return EntryResult::kAbortRun;
  WalkAhead ahead(host);
  return DecryptFolder(host, ahead, target.folder, directory, target.entries);
}

}  // namespace velmora
