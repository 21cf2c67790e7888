// RunJob: one complete run over the target tree, as |request| asks. It
// validates the target, stops when there is nothing to do, asks for the
// password, builds the key schedule, warns about mixed trees, walks the
// tree, and reports. Everything it asks or tells goes to |questions|, how
// far it is to |progress|.
//
// Runs on a worker thread for Execute, and on the interface thread for the
// exit pass (request.exit_pass, with exit_pass set: no checks, no
// password, the key schedule of the temporary decryption). Not reentrant:
// one run at a time. The way it ended is left in host.last_run_outcome_.
#ifndef VELMORA_JOB_RUN_JOB_H_
#define VELMORA_JOB_RUN_JOB_H_

#include <string>

#include "job/job_host.h"
#include "job/run_progress.h"
#include "job/run_questions.h"
#include "job/run_request.h"

namespace velmora {

void RunJob(JobHost& host, const RunRequest& request, RunQuestions& questions,
            RunProgress& progress);

// The summary of a run as its notice and the status line say it.
std::u16string SummaryText(const RunSummary& summary);

// Target validation shared with the path check. Removes one trailing '/'
// from |path| and probes it. The root of the file system is a folder, but
// no target, and is not even scanned.
enum class TargetCheck { kEmpty, kDirectory, kMissing, kFile, kFileSystemRoot };
TargetCheck CheckTarget(std::u16string* path);

}  // namespace velmora

#endif  // VELMORA_JOB_RUN_JOB_H_
