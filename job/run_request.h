// What a run is asked to do, and how it ended. A front end fills a
// RunRequest from its own controls or options; the job reads nothing else
// of the front end to decide what to do.
#ifndef VELMORA_JOB_RUN_REQUEST_H_
#define VELMORA_JOB_RUN_REQUEST_H_

#include <string>

namespace velmora {

enum class Operation {
  kEncrypt,
  kDecrypt,
  // Decrypt now; the tree waits for the exit pass to encrypt it again.
  kTemporary,
};

// Which files get only their head enciphered.
enum class ExtensionRule {
  kWhole = 0,         // every file is enciphered whole
  kHeadOfListed = 1,  // files with a registered extension: the head only
};

struct RunRequest {
  // The target as typed; a trailing '/' is allowed.
  std::u16string target;
  Operation operation = Operation::kEncrypt;
  ExtensionRule extension_rule = ExtensionRule::kHeadOfListed;
  // The pass at the end of a temporary decryption: no checks, no password,
  // the key schedule the decryption left.
  bool exit_pass = false;
};

// How the last run ended, for front ends that turn it into an exit status.
enum class RunOutcome {
  kNotRun,
  kInvalidTarget,      // the path is missing or names a file
  kNothingToDo,        // nothing to encrypt, or nothing to decrypt
  kCancelled,          // the password dialog was cancelled
  kDeclined,           // a warning about a mixed tree was declined
  kAllDone,            // every entry found was done
  kSomeDone,           // the walk ended with entries not done (or aborted)
  kWrongPassword,      // nothing done: entries refused for the password, or
                       // the password differs from its verifier
  kPasswordUnchecked,  // the names cannot check the password, and the
                       // question whether to trust it was declined
  kInUse,              // another run holds the tree
  kRepairRefused,      // an interrupted run's repair needs its own password
  kStateFailed,        // the state folder cannot be used, or repair failed
  kStopped,            // a stop request ended the repair of an interrupted
                       // run before the walk; the next run goes on with it
};

}  // namespace velmora

#endif  // VELMORA_JOB_RUN_REQUEST_H_
