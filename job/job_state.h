// The counters, flags, mode and password that one program run shares between
// the front end, the scan and the job, and the result of every per-entry
// step.
//
// No field is locked: each has one writer at a time. The thread that runs a
// job writes running, mode, found, done, bytes_done, current_entry and
// dont_show_again; the interface thread writes exit_pass, scan_generation,
// scan_dir and the scan counts and sizes. The window takes no input while a
// walk runs, so no scan can overlap a walk. The fields the other thread
// reads while its owner writes them are atomic.
#ifndef VELMORA_JOB_JOB_STATE_H_
#define VELMORA_JOB_JOB_STATE_H_

#include <atomic>
#include <cstdint>
#include <string>

namespace velmora {

// Result of an operation on one entry.
enum class EntryResult {
  kDone,      // the entry has its new name (and, for a file, contents)
  kSkipped,   // the entry is left as it was; the run goes on
  kAbortRun,  // the entry is left as it was; the whole run stops
};

struct JobState {
  // Indexed by name-conversion error code: 1 = skip that problem silently
  // for the rest of the run.
  int32_t dont_show_again[10] = {};
  int32_t mode = 0;  // 0 encrypt, 1 decrypt (also temporary decryption)
  std::atomic<int32_t> running{0};
  std::atomic<int32_t> exit_pass{0};
  std::atomic<int32_t> scan_generation{0};
  std::u16string scan_dir;
  int32_t scan_total = 0;
  int32_t scan_encrypted = 0;
  int32_t scan_plain = 0;
  // Sizes of the regular files the scan found, and of those among them
  // under enciphered names: what a run has to transform.
  int64_t scan_bytes = 0;
  int64_t scan_bytes_encrypted = 0;
  // The longest and the shortest enciphered names the scan found: one at
  // least as long as the password checks every unit of it, and a password
  // the shortest one takes is at most partly wrong.
  std::u16string scan_longest_name;
  std::u16string scan_shortest_name;
  // The longest plain name: enciphered, it may check the whole password.
  std::u16string scan_longest_plain_name;
  int32_t found = 0;
  int32_t done = 0;
  // Bytes of file contents this run has transformed; a progress display
  // reads it from another thread while a file is being transformed.
  std::atomic<int64_t> bytes_done{0};
  // The full path of the entry the walk is on.
  std::u16string current_entry;
  // Entries the exit pass found enciphered already (a stop, or a skip,
  // left them so): not done by it, yet as they should be.
  int32_t already_enciphered = 0;
  // Entries refused because the password does not fit their names.
  int32_t wrong_password = 0;
};

}  // namespace velmora

#endif  // VELMORA_JOB_JOB_STATE_H_
