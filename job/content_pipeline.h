// Content parts of small files handed to a worker beside the walk, in walk
// order (when the walk waits for them, it transforms the last ones
// itself); their results are taken back, and told to the user, in the
// same order, before the walk asks anything else. After an answer that
// aborts the run, the rest are taken back without questions: done, or
// given back their old names.
//
// Ending a pipeline is the caller's step, Finish(), whose answer counts: a
// destructor asks nothing, so it only takes back quietly what a caller
// left (a mistake).
#ifndef VELMORA_JOB_CONTENT_PIPELINE_H_
#define VELMORA_JOB_CONTENT_PIPELINE_H_

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>

#include "job/entry_contents.h"
#include "job/entry_journal.h"
#include "job/entry_outcome.h"
#include "job/job_host.h"
#include "platform/folder.h"
#include "platform/helper_thread.h"

namespace velmora {

class ContentPipeline {
 public:
  // Entries of |folder|, transformed on |worker| and on the caller's
  // thread; a retry takes what |intents| recorded ahead for its entry.
  ContentPipeline(JobHost& host, IntentBatch& intents, const Folder& folder, HelperThread& worker)
      : host_(host), intents_(intents), folder_(folder), worker_(worker) {}
  ~ContentPipeline();
  ContentPipeline(const ContentPipeline&) = delete;
  ContentPipeline& operator=(const ContentPipeline&) = delete;

  // Hands over |file|, renamed already; its intention carries the file
  // opened and read ahead.
  void Hand(RenamedFile file, EntryIntent intent);

  // True when the caller should Finish() before handing over more.
  bool full() const { return pending_.size() >= kMostPending; }

  // Takes every result back, in order, counting each entry done; an
  // answer that fails an entry is retried on the spot. kAbortRun when an
  // answer stops the run.
  EntryResult Finish() { return TakeBack(false); }

 private:
  // Entries handed to the worker at once: waking it for each would cost
  // more than a small file's contents.
  static constexpr std::size_t kEntriesPerStart = 8;
  // Entries handed over and not yet taken back: each holds its journal
  // entry and, until the worker gets to it, an open file.
  static constexpr std::size_t kMostPending = 128;

  struct Pending {
    Pending(RenamedFile renamed, EntryIntent recorded)
        : file(std::move(renamed)), intent(std::move(recorded)) {}
    RenamedFile file;
    EntryIntent intent;  // with the file opened ahead
    ContentResult result;
    std::atomic<bool> claimed{false};  // by the thread that transforms it
  };

  // Finish(), or with |quiet| the same without a question or a retry.
  EntryResult TakeBack(bool quiet);
  // Starts the work on the entries handed over since the last start.
  void StartPending();
  // Transforms |entry| unless another thread has claimed it.
  void Transform(Pending& entry);

  JobHost& host_;
  IntentBatch& intents_;
  const Folder& folder_;
  std::deque<Pending> pending_;  // references stay valid as it grows
  std::size_t started_ = 0;      // entries of pending_ handed to the worker
  HelperThread& worker_;         // shared: it runs this pipeline's jobs only until Finish()
};

}  // namespace velmora

#endif  // VELMORA_JOB_CONTENT_PIPELINE_H_
