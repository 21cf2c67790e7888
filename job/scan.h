// The scan that precedes every run: counts the entries below the target,
// sorts them into enciphered and plain names, and refuses trees holding a
// file the content cipher cannot take. Only a completed scan enables
// Execute.
//
// Runs on the interface thread; between entries the front end may handle
// its waiting events (RunProgress::ScanCounted), so a window stays
// responsive. Anything that raises scan_generation (a path change, a
// newer scan, Exit, close) stops it at its next check; the newest scan's
// result is the one that stays.
#ifndef VELMORA_JOB_SCAN_H_
#define VELMORA_JOB_SCAN_H_

#include <cstdint>
#include <string>

#include "job/job_host.h"

namespace velmora {

// The largest file the content cipher takes, in bytes; the scan refuses a
// tree with a larger one, and a walk stops at one that grew since.
constexpr int64_t kAbsoluteSizeLimit = 4294967295;

// The scan a front end starts once the path check lets a folder through:
// scans scan_dir, telling |progress| how far it is and |questions|
// which file it refuses.
void OnStartScan(JobHost& host, RunQuestions& questions, RunProgress& progress);

}  // namespace velmora

#endif  // VELMORA_JOB_SCAN_H_
