#include "job/walk_ahead.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "job/entry_path.h"

namespace velmora {
namespace {

// Records the entries of |entries| from |first| on, one batch of them, into
// |batch| (on |helper| when given).
void PrepareBatch(JobHost& host, const Folder& folder, const FolderListing& entries,
                  std::size_t first, IntentBatch& batch, const Crypter& names,
                  HelperThread* helper) {
  std::vector<BatchEntry> in_batch;
  const std::size_t end = std::min(entries.size(), first + kBatchEntries);
  for (std::size_t next = first; next < end; ++next) {
    if (entries.LeftAlone(next)) continue;
    in_batch.push_back({std::u16string(entries.Name(next)), entries.IsListedRegular(next)});
  }
  if (!in_batch.empty()) batch.Prepare(host, folder, std::move(in_batch), names, helper);
}

bool HasFolders(const FolderListing& entries) {
  for (std::size_t index = 0; index < entries.size(); ++index) {
    if (entries.IsDirectory(index)) return true;
  }
  return false;
}

}  // namespace

WalkAhead::WalkAhead(JobHost& host) : host_(host), names_(host.crypter_) {}

WalkAhead::~WalkAhead() {
  intents_.Clear(host_);
  next_intents_.Clear(host_);
  Drop();
  helper_.Wait();
}

void WalkAhead::SetNext(const Folder& parent, const std::u16string& path,
                        bool unless_it_has_folders) {
  next_ = {};
  Folder folder = parent.OpenChild(NameOf(path));
  FileStatus status{};
  if (!folder.IsOpen() || !folder.Status(&status) || !SameMount(status, host_.tree_status_)) {
    return;  // entered at its turn, where what it asks has its place
  }
  next_.directory = path;
  next_.entered = std::make_unique<EnteredFolder>();
  next_.entered->folder = std::move(folder);
  next_.unless_it_has_folders = unless_it_has_folders;
}

void WalkAhead::SetNext(const Folder& folder, const std::u16string& directory,
                        const FolderListing& entries) {
  next_ = {};
  folder.RealPath();  // read here: the helper only reads it
  next_.directory = directory;
  next_.folder = &folder;
  next_.entries = &entries;
}

void WalkAhead::StartNextList() {
  if (next_.directory.empty()) return;
  EndAhead();  // anything prepared before and not taken
  ahead_ = std::move(next_);
  next_ = {};
  helper_busy_ = true;
  helper_.Start([this] { RecordNextList(); });
}

void WalkAhead::RecordNextList() {
  if (ahead_.entered) {
    EnteredFolder& entered = *ahead_.entered;
    if (!entered.entries.Read(entered.folder)) {
      ahead_.entered.reset();
      return;
    }
    if (ahead_.unless_it_has_folders && HasFolders(entered.entries)) return;
    ahead_.folder = &entered.folder;
    ahead_.entries = &entered.entries;
  }
  // The run stopped meanwhile: nothing more is recorded.
  if (stopping_.load(std::memory_order_relaxed)) return;
  if (!ahead_.folder->Status(&ahead_status_)) return;
  PrepareBatch(host_, *ahead_.folder, *ahead_.entries, 0, ahead_batch_, names_, nullptr);
  ahead_batch_for_ = ahead_.folder;
}

void WalkAhead::WaitForHelper() {
  if (!helper_busy_) return;
  helper_.Wait();
  helper_busy_ = false;
}

std::unique_ptr<EnteredFolder> WalkAhead::TakeEntered(const Folder& parent,
                                                      const std::u16string& path) {
  WaitForHelper();
  if (ahead_.directory != path || !ahead_.entered) return nullptr;
  // Swapped for something else since it was entered ahead (moved out of
  // the tree, say): what was prepared for it is given up.
  FileStatus now{};
  FileStatus entered{};
  if (!parent.Status(NameOf(path), &now) || !ahead_.entered->folder.Status(&entered) ||
      now.device != entered.device || now.inode != entered.inode) {
    EndAhead();
    return nullptr;
  }
  return std::move(ahead_.entered);
}

void WalkAhead::FirstBatch(const Folder& folder, const std::u16string& directory,
                           const FolderListing& entries, IntentBatch& batch) {
  WaitForHelper();
  FileStatus status{};
  if (ahead_batch_for_ == &folder && ahead_.directory == directory && folder.Status(&status) &&
      status.device == ahead_status_.device && status.inode == ahead_status_.inode) {
    std::swap(batch, ahead_batch_);
    ahead_batch_for_ = nullptr;
    ahead_ = {};
    return;
  }
  EndAhead();
  // Recorded here and now, with the walk's own crypter: the walk waits for
  // this batch anyway.
  PrepareBatch(host_, folder, entries, 0, batch, host_.crypter_, nullptr);
}

void WalkAhead::NextBatch(const Folder& folder, const FolderListing& entries, std::size_t first,
                          IntentBatch& batch) {
  PrepareBatch(host_, folder, entries, first, batch, names_, &helper_);
}

void WalkAhead::BeginBatch(const Folder& folder, const std::u16string& directory,
                           const FolderListing& entries, std::size_t index) {
  // The entries handed over hold their own intentions.
  intents_.Clear(host_);
  if (index == 0) FirstBatch(folder, directory, entries, next_intents_);
  next_intents_.WaitRecorded();
  std::swap(intents_, next_intents_);
  if (index + kBatchEntries < entries.size()) {
    NextBatch(folder, entries, index + kBatchEntries, next_intents_);
  } else {
    StartNextList();
  }
  intents_.WaitDurable(host_);
}

void WalkAhead::EndList(bool stopped) {
  intents_.Clear(host_);
  next_intents_.Clear(host_);
  if (stopped) {
    Drop();
  } else {
    StartNextList();  // unless started at the last batch already
  }
}

void WalkAhead::Drop() {
  stopping_.store(true, std::memory_order_relaxed);
  EndAhead();
  stopping_.store(false, std::memory_order_relaxed);
  next_ = {};
}

void WalkAhead::EndAhead() {
  WaitForHelper();
  ahead_batch_.Clear(host_);
  ahead_batch_for_ = nullptr;
  ahead_ = {};
}

}  // namespace velmora
