// The journal of one run: what the run is about to do to each entry,
// written before it is done, so that after a crash or a power cut the next
// run can tell every entry's state and repair it (see recovery.h).
//
// Records are buffered; Commit() writes them and makes them durable with
// one fdatasync. The rule the callers keep: Commit() between recording an
// intention (Begin, Pages) and the first change it describes. End() needs
// no Commit(): a lost End only makes the next run check that entry again.
//
// Begin, Pages, End and the commits may be called from more than one
// thread: a batch of intentions can be recorded beside the walk.
//
// One journal per run, state-folder/journal/<tree key>-<start time>-<pid>.log.
// When the run ends with every entry it began ended, the file is renamed to
// .done, so later runs in the same boot need read no more than its header.
// A run's journal stays behind after the run: its entries' bytes may still
// be only in the page cache, and a later run on the tree retires it once
// they are surely on the disk (recovery.h).
#ifndef VELMORA_STATE_JOURNAL_H_
#define VELMORA_STATE_JOURNAL_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "state/journal_format.h"

namespace velmora::state {

class Journal {
 public:
  // Starts a new journal for a run on the tree at the real path |tree|.
  // Null when the state folder cannot hold it.
  static std::unique_ptr<Journal> Start(const std::string& tree);
  // Writes what is still buffered; marks the journal done when every entry
  // begun was ended.
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Records an entry about to change and returns the id given to it.
  uint64_t Begin(const EntryRecord& record);
  // Records the digests of an entry's pages before they are written.
  void Pages(uint64_t id, uint64_t first_page, const uint64_t* digests, std::size_t count);
  // The entry is consistent again (done, or put back).
  void End(uint64_t id);

  // Writes the buffered records and, when any of them is an intention,
  // makes them durable. False when the journal could not be written:
  // nothing recorded since the last Commit() may then be acted on.
  bool Commit();

  // The same, on the journal's own thread, so that the caller can go on
  // preparing work while the disk flushes: returns a ticket for
  // WaitDurable(), which returns once everything recorded before the call
  // is durable (false when the journal could not be written).
  uint64_t CommitAsync();
  bool WaitDurable(uint64_t ticket);
  // True once WaitDurable(|ticket|) would return at once: the caller can
  // act on its intentions now, or do other work first.
  bool Flushed(uint64_t ticket) const {
    return durable_up_to_.load(std::memory_order_acquire) >= ticket;
  }

  const std::string& path() const { return path_; }
  // Entries begun so far: the run has changed the tree when not 0.
  uint64_t begun() const { return next_id_.load() - 1; }

 private:
  Journal(std::string path, int fd, bool durable)
      : path_(std::move(path)), fd_(fd), durable_(durable) {}
  void FlushLoop();
  // Writes |bytes| and, with |sync|, flushes them; false on failure.
  bool WriteOut(const std::string& bytes, bool sync);

  const std::string path_;
  const int fd_;
  const bool durable_;
  std::atomic<uint64_t> next_id_{1};

  // Shared with the flushing thread and other recording threads.
  std::mutex mutex_;
  std::set<uint64_t> open_;  // begun, not ended
  // Apart, so that a commit wakes only the flusher and a flush only the
  // threads waiting for one.
  std::condition_variable flush_wanted_;
  std::condition_variable flushed_;
  std::string pending_;
  bool needs_sync_ = false;
  bool failed_ = false;
  bool stopping_ = false;
  uint64_t requested_ = 0;  // tickets handed out
  // Tickets done; written under mutex_, read without it by Flushed().
  std::atomic<uint64_t> durable_up_to_{0};
  std::thread flusher_;
};

// The name ending of a journal whose entries all ended.
inline constexpr char kDoneSuffix[] = ".done";

// A new journal file's path for a run on |tree|.
std::string NewJournalPath(const std::string& tree);

}  // namespace velmora::state

#endif  // VELMORA_STATE_JOURNAL_H_
