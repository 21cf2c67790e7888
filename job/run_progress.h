// How far the scan and a run are, as numbers and names. A front end turns
// them into its own display (status lines, a progress line).
//
// The scan reports on the interface thread, a run on the thread that runs
// it.
#ifndef VELMORA_JOB_RUN_PROGRESS_H_
#define VELMORA_JOB_RUN_PROGRESS_H_

#include <cstdint>
#include <string>

namespace velmora {

// The end of a run's walk.
struct RunSummary {
  int32_t done = 0;   // entries done
  int32_t found = 0;  // entries the walk found
  bool all_done() const { return done == found; }
};

class RunProgress {
 public:
  virtual ~RunProgress() = default;

  // The scan began.
  virtual void ScanStarted() = 0;
  // The scan enters |folder| (a full path).
  virtual void ScanFolder(const std::u16string& folder) = 0;
  // The scan has counted |entries| so far. A front end with an event loop
  // handles its waiting events here; they may stop the scan (see
  // job/scan.h).
  virtual void ScanCounted(int32_t entries) = 0;
  // The scan completed with |entries| found; a run may start.
  virtual void ScanCompleted(int32_t entries) = 0;

  // The walk begins: nothing else may start until WalkEnded().
  virtual void WalkStarted() = 0;
  // The walk is on the entry at |path| (a full path), with |done| of the
  // |total| entries the scan found done.
  virtual void EntryStarted(int32_t done, int32_t total, const std::u16string& path) = 0;
  // The contents of the entry |source| in |directory| (a full path),
  // renamed |target|, are transformed up to |done| of its |size| key
  // bytes; told at the start of the file, as it goes and at its end.
  virtual void ContentsProgressed(const std::u16string& directory, const std::u16string& source,
                                  const std::u16string& target, int64_t done, int32_t size) = 0;
  virtual void WalkEnded() = 0;
  // How the walk ended; told before the summary notice.
  virtual void RunSummarized(const RunSummary& summary) = 0;
  // A temporary decryption now waits for the exit pass.
  virtual void Waiting() = 0;
  // The run is over; a new one needs a new scan.
  virtual void RunEnded() = 0;
};

}  // namespace velmora

#endif  // VELMORA_JOB_RUN_PROGRESS_H_
