// One run of velmora-cli: the console front end, the start-up settings and
// the path check the desktop makes too, the scan and the run of a request
// built from the options, and the exit status.
//
// Exit status: 0 every entry done; 1 the run ended with entries not done
// (aborts included, and an interrupted run's repair a signal stopped); 2 an invalid or refused
// target, a declined warning, no password, or a state folder that cannot be used; 3 the scan
// refused the tree (a file too large); 4 nothing to do; 5 a wrong password (nothing done and
// entries refused for it, or it does not fit an interrupted run's repair); 6 another run holds the
// tree; 128 + the signal's number when a signal stopped encrypt or decrypt. Usage errors (2) are
// the caller's.
#ifndef VELMORA_CLI_SESSION_H_
#define VELMORA_CLI_SESSION_H_

#include "cli/options.h"
#include "job/job_host.h"

namespace velmora::cli {

constexpr int kExitAllDone = 0;
constexpr int kExitSomeNotDone = 1;
constexpr int kExitNothingDone = 2;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;
constexpr int kExitNothingToDo = 4;
constexpr int kExitWrongPassword = 5;
constexpr int kExitInUse = 6;
constexpr int kExitSignalBase = 128;

// The exit status for how a run ended.
int ExitStatusFor(RunOutcome outcome);

// Runs |options|' command (encrypt, decrypt or open) and returns the exit
// status.
int RunSession(const Options& options);

}  // namespace velmora::cli

#endif  // VELMORA_CLI_SESSION_H_
