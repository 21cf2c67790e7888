// What a run asks the person who started it, and what it tells them.
//
// Each question names itself with a QuestionId, so a front end that answers
// by itself (velmora-cli's options) decides by the id, never by the text.
// The text is the program's own, ready to show; the rest says how the box
// that shows it looks and which of its buttons Enter takes.
//
// Called on the thread that runs the job; an implementation that shows
// windows carries the call to its interface thread and waits.
#ifndef VELMORA_JOB_RUN_QUESTIONS_H_
#define VELMORA_JOB_RUN_QUESTIONS_H_

#include <cstdint>
#include <string>

#include "platform/secret_memory.h"

namespace velmora {

enum class QuestionId {
  // Notices (OK only) before the walk.
  kPathMissing,
  kPathIsFile,
  kSystemFolder,
  kTopFolder,
  kHoldsStateFolder,
  kInsideStateFolder,
  kTreeInUse,
  kStateFolderFailed,
  kNothingToEncrypt,
  kNothingToDecrypt,
  kRepaired,
  kRepairWrongPassword,
  kRepairFailed,
  kRepairTreeAbove,
  kRepairStopped,
  kPasswordDiffers,
  kMediaRefused,       // an encryption: the file system changes names
  kMediaChangesNames,  // a decryption: the same, told once; it goes on
  // Questions before the walk.
  kPasswordUnproven,   // a record of the password, none of this tree
  kPasswordUnchecked,  // neither the names nor a record check it
  kMixedEncrypted,     // encrypting a tree partly encrypted already
  kMixedPlain,         // decrypting a tree partly plain already
  // The scan refused a file it cannot take.
  kFileRefused,
  // The walk: an entry's name cannot be converted (Question::code), and
  // whether to skip that problem silently from now on.
  kEntryProblem,
  kDontShowAgain,
  // The walk: "the converted name exists, delete it and retry?", and a
  // step on an entry or a folder that failed (retry, ignore, abort).
  kTargetExists,
  kEntryFailed,
  // Notices of the walk: a file grew too large for the cipher since the
  // scan (the run stops), a file whose mode or times could not be put
  // back, and a journal that could not be written (the run stops).
  kFileTooLarge,
  kNotRestored,
  kJournalFailed,
  // After the walk.
  kPasswordNotRecorded,
  kSummary,
};

// The classic answer values, so that a message box's answer converts.
enum class Answer {
  kOk = 1,
  kCancel = 2,
  kAbort = 3,
  kRetry = 4,
  kIgnore = 5,
  kYes = 6,
  kNo = 7,
};

enum class Buttons { kOk, kYesNo, kAbortRetryIgnore, kAbortIgnore };

enum class Icon { kError, kQuestion, kWarning, kInformation };

struct Question {
  QuestionId id;
  std::u16string text;  // "\r\n" line ends
  Buttons buttons = Buttons::kOk;
  Icon icon = Icon::kWarning;
  // The second button (No) is the default: for questions whose Yes deletes
  // or risks data, Enter must not say Yes.
  bool second_is_default = false;
  // Yes passes over one entry and lets the run go on: the answer to take
  // when nobody is there to answer an exit pass.
  bool yes_skips_entry = false;
  int32_t code = 0;  // kEntryProblem: the name conversion's error code
};

class RunQuestions {
 public:
  virtual ~RunQuestions() = default;

  // Shows |question| and returns the answer, one of its buttons.
  virtual Answer Ask(const Question& question) = 0;
  // Shows |notice| (OK only) until it is taken note of.
  virtual void Notify(const Question& notice) = 0;
  // The run's password: true with it in |password|, false when none was
  // given (|password| untouched).
  virtual bool AskPassword(SecretU16* password) = 0;
};

}  // namespace velmora

#endif  // VELMORA_JOB_RUN_QUESTIONS_H_
