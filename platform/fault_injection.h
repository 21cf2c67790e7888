// Test seam: makes the n-th open for update, read or write of file contents,
// or the n-th application of a file status, fail, so that the failure paths a healthy
// disk never takes on demand can be exercised.
// Counting starts at 1 from the last Reset(); 0 disables the fault.
// Not thread-safe: arm it before the run that should fail.
#ifndef VELMORA_PLATFORM_FAULT_INJECTION_H_
#define VELMORA_PLATFORM_FAULT_INJECTION_H_

#include <functional>
#include <string>

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

// Called by the file layer and the journal before each mutating step.
void CrashPoint();

// Runs |hook| with an entry's path after the walk has listed the entry and
// read its status, just before it is entered or changed: a test swaps the
// entry for something else there. An empty hook removes it (so does Reset).
void SetEntryHook(std::function<void(const std::u16string& path)> hook);
void BeforeEntry(const std::u16string& path);

}  // namespace velmora::fault_injection

#endif  // VELMORA_PLATFORM_FAULT_INJECTION_H_
