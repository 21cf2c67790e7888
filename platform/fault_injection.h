// Test seam: makes the n-th open for update, read or write of file contents,
// or the n-th application of a file status, fail, so that the failure paths a healthy
// disk never takes on demand can be exercised.
// Counting starts at 1 from the last Reset(); 0 disables the fault.
// Not thread-safe: arm it before the run that should fail.
#ifndef VELMORA_PLATFORM_FAULT_INJECTION_H_
#define VELMORA_PLATFORM_FAULT_INJECTION_H_

#include <cstdint>
#include <functional>

namespace velmora::fault_injection {

void Reset();
void FailNthOpen(int n);
void FailNthRead(int n);
void FailNthWrite(int n);
// The n-th write and every one after it, as on a disk that has gone bad.
void FailWritesFrom(int n);
void FailNthSetStatus(int n);
void FailNthJournalWrite(int n);

// Ends the process with kCrashExitStatus (no clean-up, like a kill) at the
// n-th mutating step: every rename, removal, content write, status change,
// journal write and journal flush counts.
constexpr int kCrashExitStatus = 86;
void CrashAtNthMutation(int n);

// Called by the file layer before each read or write; true means "fail it".
bool ShouldFailOpen();
bool ShouldFailRead();
bool ShouldFailWrite();
bool ShouldFailSetStatus();
bool ShouldFailJournal();

// Makes renames take the path of a file system without RENAME_NOREPLACE
// (sshfs, FAT through FUSE): check, then rename.
void SimulateNoReplaceUnsupported(bool unsupported);
bool NoReplaceUnsupported();

// Called by the file layer and the journal before each mutating step.
void CrashPoint();

// What the order observer is told, at the boundary between the program and
// the disk: a test checks that every change of the tree was described in a
// durable journal first.
struct OrderEvent {
  enum class Kind {
    kJournalSynced,  // the journal's records written so far are durable
    kWrite,          // file contents are about to be written
    kRename,         // an entry is about to be renamed
    kOpenFolder,     // a folder is about to be opened by name, to be walked
  };
  Kind kind = Kind::kWrite;
  // The journal's descriptor, the written file's, or the folder's (or
  // AT_FDCWD) that |from| and |to| are relative to.
  int fd = -1;
  const void* bytes = nullptr;  // kWrite: |count| bytes for |offset|
  int64_t count = 0;
  int64_t offset = 0;
  const char* from = nullptr;  // kRename, kOpenFolder: the name in |fd|
  const char* to = nullptr;    // kRename
};

// Runs |observer| at each event, on the thread the event happens on, so it
// must be thread-safe. Set it before the run; an empty one removes it (so
// does Reset). Unset, each event costs one test.
void SetOrderObserver(std::function<void(const OrderEvent& event)> observer);
// Called by the journal where it flushes (whether or not VELMORA_SYNC=0
// skips the flush itself), and by the file layer before each content write,
// rename and opening of a folder by name.
void JournalSynced(int fd);
void BeforeWrite(int fd, const void* bytes, int64_t count, int64_t offset);
void BeforeRename(int folder_fd, const char* from, const char* to);
void BeforeOpenFolder(int parent_fd, const char* name);

}  // namespace velmora::fault_injection

#endif  // VELMORA_PLATFORM_FAULT_INJECTION_H_
