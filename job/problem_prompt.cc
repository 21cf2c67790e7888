#include "job/problem_prompt.h"

#include "job/messages.h"
#include "platform/u16_format.h"

namespace velmora {
namespace {

struct Problem {
  std::u16string_view text;
  Icon icon;
};

Problem ProblemFor(NameError error) {
  switch (error) {
    case NameError::kWrongPassword:
      return {text::kWrongPassword, Icon::kError};
    case NameError::kUnrepresentable:
      return {text::kUnrepresentableName, Icon::kError};
    case NameError::kBadClassChar:
    case NameError::kBadName:
      return {text::kInvalidName, Icon::kError};
    case NameError::kAlreadyEncrypted:
      return {text::kAlreadyEncrypted, Icon::kWarning};
    case NameError::kNameTooLong:
      return {text::kNameTooLong, Icon::kError};
    case NameError::kNotEncrypted:
      return {text::kNotEncrypted, Icon::kWarning};
    case NameError::kUnsupportedClass:
      return {text::kUnsupportedVersion, Icon::kError};
    case NameError::kNone:
    case NameError::kBadRangeClass:
      break;
  }
  return {text::kUnexpectedError, Icon::kError};
}

}  // namespace

EntryResult PromptProblem(JobHost& host, NameError error, const std::u16string& directory,
                          const std::u16string& name) {
  const int32_t code = ProblemCode(error);
  const bool known = code >= 0 && code < kNameErrorCount;
  if (error == NameError::kWrongPassword) ++host.job_.wrong_password;
  if (known && host.job_.dont_show_again[code] == 1) return EntryResult::kSkipped;
  // The exit pass encrypts what the temporary decryption deciphered; an
  // entry it left enciphered (skipped, or after a stop) is as it should be.
  if (error == NameError::kAlreadyEncrypted && host.job_.exit_pass == 1) {
    ++host.job_.already_enciphered;
    return EntryResult::kSkipped;
  }
  const Problem problem = ProblemFor(error);
  // Yes passes over the entry: an exit pass nobody attends takes it.
  RunQuestions& questions = *host.questions_;
  const Answer answer = questions.Ask(
      {.id = QuestionId::kEntryProblem,
       .text = Format(std::u16string(problem.text) + text::kSkipQuestion, {directory, name}),
       .buttons = Buttons::kYesNo,
       .icon = problem.icon,
       .yes_skips_entry = true,
       .code = code});
  if (answer == Answer::kNo) return EntryResult::kAbortRun;
  if (questions.Ask({.id = QuestionId::kDontShowAgain,
                     .text = text::kDontShowAgain,
                     .buttons = Buttons::kYesNo,
                     .icon = Icon::kQuestion}) == Answer::kYes &&
      known) {
    host.job_.dont_show_again[code] = 1;
  }
  return EntryResult::kSkipped;
}

}  // namespace velmora
