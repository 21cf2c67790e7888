// RunJob: one complete run over the target tree. It validates the target,
// takes the operation from the radio buttons, stops when there is nothing
// to do, asks for the password, builds the key schedule, warns about mixed
// trees, walks the tree with the window's input blocked, and reports.
//
// Runs on a worker thread for Execute, and on the interface thread for the
// exit pass (m_bExitPass set: no checks, no password, the key schedule of
// the temporary decryption). Not reentrant: one run at a time. The way it
// ended is left in host.m_lastRunOutcome.
#ifndef VELMORA_JOB_RUN_JOB_H_
#define VELMORA_JOB_RUN_JOB_H_

#include <string>

#include "job/job_host.h"

namespace velmora {

void RunJob(JobHost& host);

// Disables everything but Exit and gives Exit the focus: a temporary
// decryption waits for the program to end.
void EnterWaitState(JobHost& host);

// Target validation shared with the path check. Removes one trailing '/'
// from |path| and probes it.
enum class TargetCheck { kEmpty, kDirectory, kMissing, kFile };
TargetCheck CheckTarget(std::u16string* path);

}  // namespace velmora

#endif  // VELMORA_JOB_RUN_JOB_H_
