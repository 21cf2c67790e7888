#include "job/problem_prompt.h"

#include "job/messages.h"
#include "platform/u16_format.h"

namespace velmora {
namespace {

struct Problem {
  std::u16string_view text;
  Icon icon;
};

Problem ProblemFor(int32_t code) {
  switch (code) {
    case ERR_WRONG_PASSWORD:
      return {text::kWrongPassword, Icon::kError};
    case ERR_UNREPRESENTABLE:
      return {text::kUnrepresentableName, Icon::kError};
    case ERR_BAD_CLASS_CHAR:
    case ERR_BAD_NAME:
      return {text::kInvalidName, Icon::kError};
    case ERR_ALREADY_ENCRYPTED:
      return {text::kAlreadyEncrypted, Icon::kWarning};
    case ERR_NAME_TOO_LONG:
      return {text::kNameTooLong, Icon::kError};
    case ERR_NOT_ENCRYPTED:
      return {text::kNotEncrypted, Icon::kWarning};
    case ERR_UNSUPPORTED_CLASS:
      return {text::kUnsupportedVersion, Icon::kError};
    default:
      return {text::kUnexpectedError, Icon::kError};
  }
}

}  // namespace

EntryResult PromptProblem(JobHost& host, int32_t code, const std::u16string& directory,
                          const std::u16string& name) {
  const bool known = code >= 0 && code < 10;
  if (code == ERR_WRONG_PASSWORD) ++host.job_.wrong_password;
  if (known && host.job_.dont_show_again[code] == 1) return EntryResult::kSkipped;
  // The exit pass encrypts what the temporary decryption deciphered; an
  // entry it left enciphered (skipped, or after a stop) is as it should be.
  if (code == ERR_ALREADY_ENCRYPTED && host.job_.exit_pass == 1) {
    ++host.job_.already_enciphered;
    return EntryResult::kSkipped;
  }
  const Problem problem = ProblemFor(code);
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
