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
  if (code == ERR_WRONG_PASSWORD) ++host.m_job.m_nWrongPassword;
  if (known && host.m_job.m_bDontShowAgain[code] == 1) return Skipped;
  // The exit pass encrypts what the temporary decryption deciphered; an
  // entry it left enciphered (skipped, or after a stop) is as it should be.
  if (code == ERR_ALREADY_ENCRYPTED && host.m_job.m_bExitPass == 1) {
    ++host.m_job.m_nAlreadyEnciphered;
    return Skipped;
  }
  const Problem problem = ProblemFor(code);
  // Yes passes over the entry: an exit pass nobody attends takes it.
  RunQuestions& questions = *host.m_questions;
  const Answer answer = questions.Ask(
      {.id = QuestionId::kEntryProblem,
       .text = Format(std::u16string(problem.text) + text::kSkipQuestion, {directory, name}),
       .buttons = Buttons::kYesNo,
       .icon = problem.icon,
       .yes_skips_entry = true,
       .code = code});
  if (answer == Answer::kNo) return AbortRun;
  if (questions.Ask({.id = QuestionId::kDontShowAgain,
                     .text = text::kDontShowAgain,
                     .buttons = Buttons::kYesNo,
                     .icon = Icon::kQuestion}) == Answer::kYes &&
      known) {
    host.m_job.m_bDontShowAgain[code] = 1;
  }
  return Skipped;
}

}  // namespace velmora
