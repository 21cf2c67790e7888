// How one attempt at an entry ends, told to the user: the questions after a
// failure (Abort, Retry, Ignore), and what the content part of a renamed
// file came to. An answer that retries comes back as EntryStep::kRetry; the
// caller then starts the entry over. |quiet| after an answer that aborted
// the run: nothing is asked and the entry counts as skipped.
#ifndef VELMORA_JOB_ENTRY_OUTCOME_H_
#define VELMORA_JOB_ENTRY_OUTCOME_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "job/entry_contents.h"
#include "job/job_host.h"
#include "platform/file_system.h"
#include "platform/folder.h"

namespace velmora {

enum class EntryStep { kRetry, kFinished };

struct EntryOutcome {
  EntryStep step;
  EntryResult result;
};

// A regular file that carries its new name, its contents still to come.
struct RenamedFile {
  std::u16string name;  // as the walk found it, for a retry
  std::u16string directory;
  std::u16string source;
  std::u16string target;
  uint64_t id;  // its journal entry
  FileStatus status;
  int64_t range_bytes;
};

// The block naming |name| in |directory| under a message.
std::u16string Detail(const std::u16string& directory, const std::u16string& name);

// Asks host.questions_ about a step on an entry that failed: an error
// with Abort, Retry and Ignore (or Abort and Ignore only, when a retry
// could do harm). Retry comes back as kDone, so that the caller loops;
// Ignore as kSkipped, Abort as kAbortRun.
EntryResult AskAboutFailure(JobHost& host, const std::u16string& message,
                            Buttons buttons = Buttons::kAbortRetryIgnore);

// The journal could not be written: says so and returns kAbortRun. What
// was done before stays done, so the run ends as stopped, not as never
// begun.
EntryResult JournalFailed(JobHost& host);

// Gives |file| its old name back, nothing being written, and asks about
// |message|. Where the name cannot be given back, the entry stays in the
// journal for the repair.
EntryOutcome GiveBack(JobHost& host, const Folder& folder, const RenamedFile& file,
                      std::u16string_view message, bool quiet);

// What the content part of |file| came to, told to the user. |counted|
// when the transform counted its bytes in bytes_done itself.
EntryOutcome FinishContents(JobHost& host, const Folder& folder, const RenamedFile& file,
                            const ContentResult& contents, bool counted, bool quiet);

}  // namespace velmora

#endif  // VELMORA_JOB_ENTRY_OUTCOME_H_
