// What a walk prepares ahead of the entries' turn, so that the journal's
// flushes overlap the work instead of holding it up. On one helper thread,
// with the run's keys (shared, read only) and its own copy of the
// extension table:
//  - the next batch of a folder's intentions, recorded while the current
//    batch is worked through;
//  - the folder whose list comes next, listed and its first batch
//    recorded while the current list's last batch is worked through, so a
//    tree of many small folders does not wait for one flush per folder.
//
// Nothing done ahead asks anything or changes an entry. A folder that
// cannot be entered quietly ahead is entered again at its turn, with its
// questions; intentions that are not taken are ended.
#ifndef VELMORA_JOB_WALK_AHEAD_H_
#define VELMORA_JOB_WALK_AHEAD_H_

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "engine/crypter.h"
#include "job/entry_journal.h"
#include "job/folder_listing.h"
#include "job/job_host.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/helper_thread.h"

namespace velmora {

// Entries whose intentions are made durable with one flush.
constexpr std::size_t kBatchEntries = 128;

// A folder opened and listed.
struct EnteredFolder {
  Folder folder;
  FolderListing entries;
};

class WalkAhead {
 public:
  // The host's crypter must hold the run's keys.
  explicit WalkAhead(JobHost& host);
  ~WalkAhead();  // ends the intentions not taken
  WalkAhead(const WalkAhead&) = delete;
  WalkAhead& operator=(const WalkAhead&) = delete;

  // Names the folder whose list comes after the next one: the folder at
  // |path|, an entry of |parent|, opened now if that asks nothing (its
  // turn, test hook included, is still when the walk reaches it), and
  // listed with its first batch recorded once the next list reaches its
  // last batch. With |unless_it_has_folders| nothing is recorded for it
  // when it holds folders (their lists would come first).
  void SetNext(const Folder& parent, const std::u16string& path, bool unless_it_has_folders);
  // The same for |folder| (at |directory|), listed as |entries| already;
  // both must stay as they are until that list's turn.
  void SetNext(const Folder& folder, const std::u16string& directory, const FolderListing& entries);

  // The folder at |path|, an entry of |parent|, when it was entered and
  // listed ahead and is still the folder there; null when not (enter it
  // the usual way, questions and all).
  std::unique_ptr<EnteredFolder> TakeEntered(const Folder& parent, const std::u16string& path);

  // For the list of |entries| of |folder| (at |directory|), at |index|, a
  // multiple of kBatchEntries: ends the intentions of the batch before
  // that were not taken, makes this batch's the current ones (durable on
  // return, or failed so that each entry records itself) and starts
  // recording the next batch, or the next list's first, meanwhile.
  // |folder| and |entries| must stay as they are until EndList().
  void BeginBatch(const Folder& folder, const std::u16string& directory,
                  const FolderListing& entries, std::size_t index);
  // The intentions of the current batch.
  IntentBatch& intents() { return intents_; }
  // The thread that transforms the contents of small files beside the
  // walk, one for the whole walk.
  HelperThread& content_worker() { return content_worker_; }
  // The list is through: the intentions not taken are ended, and the next
  // list is started on, unless |stopped| (the run ends: whatever was
  // prepared for a next list is ended too).
  void EndList(bool stopped);

 private:
  // Fills |batch|, empty, with the first batch's intentions: those
  // recorded ahead for this folder, else recorded now.
  void FirstBatch(const Folder& folder, const std::u16string& directory,
                  const FolderListing& entries, IntentBatch& batch);
  // Starts recording the batch from |first| on into |batch|, empty, on
  // the helper; |folder| and |entries| must outlive its recording.
  void NextBatch(const Folder& folder, const FolderListing& entries, std::size_t first,
                 IntentBatch& batch);
  // The current list is at its last batch: starts on the next list.
  void StartNextList();
  // The run stops: whatever was prepared for a next list is ended.
  void Drop();

  // A list named by SetNext(): either listed already (not owned) or a
  // folder opened ahead, listed on the helper.
  struct NextList {
    std::u16string directory;
    const Folder* folder = nullptr;
    const FolderListing* entries = nullptr;
    std::unique_ptr<EnteredFolder> entered;
    bool unless_it_has_folders = false;
  };

  void RecordNextList();  // on the helper
  void WaitForHelper();
  void EndAhead();  // what was prepared for the list after the current one

  JobHost& host_;
  const Crypter names_;  // the helper's: the run's keys, shared
  NextList next_;        // the walk's
  // Written on the helper; read only after WaitForHelper().
  NextList ahead_;
  IntentBatch ahead_batch_;
  const Folder* ahead_batch_for_ = nullptr;
  FileStatus ahead_status_;  // of the folder it was recorded for
  bool helper_busy_ = false;
  std::atomic<bool> stopping_{false};  // Drop() waits: no more recording
  // The walk's: the batch being worked through, and the next one, whose
  // flush overlaps this one's work.
  IntentBatch intents_;
  IntentBatch next_intents_;
  HelperThread content_worker_;
  HelperThread helper_;  // last: its thread ends first
};

}  // namespace velmora

#endif  // VELMORA_JOB_WALK_AHEAD_H_
