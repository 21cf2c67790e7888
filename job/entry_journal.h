// The journal as the per-entry operation uses it: an entry's intention is
// recorded, and made durable, before the entry is renamed or written.
//
// Small files are recorded ahead of their turn, a batch of them per flush
// of the journal, so a tree of many small files costs one flush per batch
// instead of one per file. A prepared record is used only while the entry
// is still what was recorded (same file, size and time); otherwise the
// entry gets a fresh record.
#ifndef VELMORA_JOB_ENTRY_JOURNAL_H_
#define VELMORA_JOB_ENTRY_JOURNAL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/crypter.h"
#include "job/job_host.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/helper_thread.h"
#include "platform/in_place_file.h"
#include "state/journal_format.h"
#include "state/journaled_transform.h"

namespace velmora {

// The intention for one entry, with what was prepared ahead: page digests
// already durable and, for a small file its owner may read and write, the
// file opened and its range read.
struct EntryIntent {
  state::EntryRecord record;
  FileStatus status;     // as read when it was recorded
  bool durable = false;  // recorded ahead and already durable
  std::shared_ptr<InPlaceFile> file;
  state::PreparedContents contents;
  std::u16string source;  // the names it was recorded with, when ahead
  std::u16string target;
};

// The record of renaming an entry of |folder| as |names| says and
// transforming it over their class range, for an entry whose status is
// |status|.
state::EntryRecord MakeEntryRecord(const JobHost& host, const Folder& folder,
                                   const NameConversion& names, const FileStatus& status);

// An entry of a batch: its name, and whether its folder's listing said it
// is a regular file.
struct BatchEntry {
  std::u16string name;
  bool listed_regular = false;
};

// The intentions of one batch of entries of one folder, each known by its
// name in that folder.
class IntentBatch {
 public:
  // Records the intentions of the entries |entries| (not yet processed) of
  // |folder|, and starts making them durable with one flush, on the
  // journal's thread. Entries whose name does not convert with |crypter|
  // (one with the run's keys) get no intention: nothing will be done to
  // them but ask about their refusal. With |helper|, all of it is done there while the caller
  // goes on; |folder| and |crypter| must then outlive the batch's next
  // WaitRecorded(), WaitDurable() or Clear().
  void Prepare(JobHost& host, const Folder& folder, std::vector<BatchEntry> entries,
               const Crypter& crypter, HelperThread* helper = nullptr);

  // Waits until the prepared intentions are durable. Where the flush
  // failed nothing stays prepared: each entry then records itself, and its
  // own flush reports the failure.
  void WaitDurable(JobHost& host);

  // The prepared intention for the entry |name| if it still matches
  // |record| (durable once WaitDurable() returned); else |record| itself,
  // recorded now but not yet durable. Only after WaitDurable().
  EntryIntent Take(JobHost& host, const std::u16string& name, const state::EntryRecord& record);

  // Moves the intention prepared for |name| to |intent| when its file was
  // opened and read ahead; false when there is none. Its record stands for
  // the entry as intent->status says it was. Only after WaitDurable().
  bool TakeOpened(const std::u16string& name, EntryIntent* intent);

  // The status the prepared intention for |name| was recorded from; false
  // when there is none. Only after WaitDurable().
  bool PreparedStatus(const std::u16string& name, FileStatus* status) const;

  // The conversion of the entry |name| in the run's direction: the one the
  // batch made when it recorded it, else made now. Only after
  // WaitDurable().
  NameConversion Conversion(const JobHost& host, const std::u16string& name) const;

  // Ends the intentions not taken: nothing was done to those entries.
  void Clear(JobHost& host);

  // Returns once the recording on a helper has finished (before moving
  // the batch, say).
  void WaitRecorded();

 private:
  // The part of Prepare() that may run on a helper.
  void Record(const JobHost& host, const Folder& folder, const std::vector<BatchEntry>& entries,
              const Crypter& crypter);
  std::unordered_map<std::u16string, EntryIntent> prepared_;  // by name
  // Every name of the batch, converted once, refusals included.
  std::unordered_map<std::u16string, NameConversion> conversions_;
  uint64_t ticket_ = 0;
  bool durable_ = false;
  HelperThread* recording_on_ = nullptr;
};

}  // namespace velmora

#endif  // VELMORA_JOB_ENTRY_JOURNAL_H_
