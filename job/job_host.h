// What a run needs from its front end: the engine, the shared job state and
// the extension rule setting (for the scan). MainDialog is a JobHost;
// velmora-cli makes one of its own. The job layer sees nothing else of a
// front end.
#ifndef VELMORA_JOB_JOB_HOST_H_
#define VELMORA_JOB_JOB_HOST_H_

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "engine/crypter.h"
#include "job/job_state.h"
#include "job/run_progress.h"
#include "job/run_questions.h"
#include "job/run_request.h"
#include "platform/file_system.h"
#include "state/journal.h"
#include "state/run_lock.h"

namespace velmora {

// How the last scan ended.
enum class ScanOutcome {
  kNotRun,
  kCompleted,  // Execute enabled
  kStopped,    // superseded by a newer scan, Exit or close
  kRefused,    // a file too large for the cipher
};

class JobHost {
 public:
  explicit JobHost(Crypter& crypter) : crypter_(crypter) {}
  JobHost(const JobHost&) = delete;
  JobHost& operator=(const JobHost&) = delete;
  virtual ~JobHost() = default;

  Crypter& crypter_;
  JobState job_;
  // 1: files with a registered extension get only their head enciphered.
  int32_t ext_rule_ = 0;

  std::atomic<RunOutcome> last_run_outcome_{RunOutcome::kNotRun};

  // Whom the current run or scan asks and tells; set by RunJob and
  // OnStartScan.
  RunQuestions* questions_ = nullptr;
  RunProgress* progress_ = nullptr;

  // Set by a front end (a signal, say): the walk stops before its next
  // entry. The exit pass ignores it: it must encrypt the tree again.
  std::atomic<bool> stop_requested_{false};

  // What a run holds outside the tree, from its start to its end (through
  // the wait of a temporary decryption): the tree's real path, its lock
  // and its journal.
  std::string tree_real_path_;
  // The target's status: nothing on another file system or mount is
  // entered or changed.
  FileStatus tree_status_;
  // From the scan: how many names inside the tree each file with more
  // than one hard link has. A file with a name outside is left alone.
  std::map<std::pair<uint64_t, uint64_t>, uint64_t> links_inside_;
  // Entries the repair before this run put back as they were before the
  // interrupted run: already in the state this run asks for when that run
  // went the other way.
  std::set<uint64_t> repaired_inodes_;
  std::unique_ptr<state::RunLock> run_lock_;
  std::unique_ptr<state::Journal> journal_;
  ScanOutcome last_scan_outcome_ = ScanOutcome::kNotRun;
};

// The settings every front end starts with: the engine's tables and the
// extension rule (files with a registered extension get only their head
// enciphered), before any option or dialog changes them.
void LoadStartupSettings(JobHost& host);

}  // namespace velmora

#endif  // VELMORA_JOB_JOB_HOST_H_
