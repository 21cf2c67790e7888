// The counters, flags, mode and password that one program run shares between
// the main dialog, the scan and the job, and the result of every per-entry
// step.
//
// No field is locked: each has one writer at a time. The thread that runs a
// job writes m_bRunning, m_nMode, m_nFound, m_nDone, m_nBytesDone,
// m_strCurrentEntry and m_bDontShowAgain; the interface thread
// writes m_bExitPass, m_nScanGeneration, m_strScanDir and the scan counts
// and sizes. The window takes no input while a walk runs, so no scan can
// overlap a walk. The fields the other thread reads while its owner writes
// them are atomic.
#ifndef VELMORA_JOB_JOB_STATE_H_
#define VELMORA_JOB_JOB_STATE_H_

#include <atomic>
#include <cstdint>
#include <string>

namespace velmora {

// Result of an operation on one entry.
enum EntryResult : int32_t {
  Done = 0,       // the entry has its new name (and, for a file, contents)
  Skipped = -1,   // the entry is left as it was; the run goes on
  AbortRun = -2,  // the entry is left as it was; the whole run stops
};

struct JobState {
  // Indexed by name-conversion error code: 1 = skip that problem silently
  // for the rest of the run.
  int32_t m_bDontShowAgain[10] = {};
  int32_t m_nMode = 0;  // 0 encrypt, 1 decrypt (also temporary decryption)
  std::atomic<int32_t> m_bRunning{0};
  std::atomic<int32_t> m_bExitPass{0};
  std::atomic<int32_t> m_nScanGeneration{0};
  std::u16string m_strScanDir;
  int32_t m_nScanTotal = 0;
  int32_t m_nScanEncrypted = 0;
  int32_t m_nScanPlain = 0;
  // Sizes of the regular files the scan found, and of those among them
  // under enciphered names: what a run has to transform.
  int64_t m_nScanBytes = 0;
  int64_t m_nScanBytesEncrypted = 0;
  // The longest and the shortest enciphered names the scan found: one at
  // least as long as the password checks every unit of it, and a password
  // the shortest one takes is at most partly wrong.
  std::u16string m_strScanLongestName;
  std::u16string m_strScanShortestName;
  // The longest plain name: enciphered, it may check the whole password.
  std::u16string m_strScanLongestPlainName;
  int32_t m_nFound = 0;
  int32_t m_nDone = 0;
  // Bytes of file contents this run has transformed; a progress display
  // reads it from another thread while a file is being transformed.
  std::atomic<int64_t> m_nBytesDone{0};
  // The full path of the entry the walk is on.
  std::u16string m_strCurrentEntry;
  // Entries the exit pass found enciphered already (a stop, or a skip,
  // left them so): not done by it, yet as they should be.
  int32_t m_nAlreadyEnciphered = 0;
  // Entries refused because the password does not fit their names.
  int32_t m_nWrongPassword = 0;
};

}  // namespace velmora

#endif  // VELMORA_JOB_JOB_STATE_H_
