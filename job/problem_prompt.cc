#include "job/problem_prompt.h"

#include "job/messages.h"
#include "platform/u16_format.h"

namespace velmora {
namespace {

struct Problem {
  std::u16string_view text;
  unsigned icon;
};

Problem ProblemFor(int32_t code) {
  switch (code) {
    case ERR_WRONG_PASSWORD: return {text::kWrongPassword, MB_ICONERROR};
    case ERR_UNREPRESENTABLE: return {text::kUnrepresentableName, MB_ICONERROR};
    case ERR_BAD_CLASS_CHAR:
    case ERR_BAD_NAME: return {text::kInvalidName, MB_ICONERROR};
    case ERR_ALREADY_ENCRYPTED: return {text::kAlreadyEncrypted, MB_ICONWARNING};
    case ERR_NAME_TOO_LONG: return {text::kNameTooLong, MB_ICONERROR};
    case ERR_NOT_ENCRYPTED: return {text::kNotEncrypted, MB_ICONWARNING};
    case ERR_UNSUPPORTED_CLASS: return {text::kUnsupportedVersion, MB_ICONERROR};
    default: return {text::kUnexpectedError, MB_ICONERROR};
  }
}

}  // namespace

EntryResult PromptProblem(JobHost& host, int32_t code,
                          const std::u16string& directory,
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
      {QuestionId::kEntryProblem,
       Format(std::u16string(problem.text) + text::kSkipQuestion, {directory, name}),
       MB_YESNO | MB_YES_SKIPS_ENTRY | problem.icon, code});
  if (answer == Answer::kNo) return AbortRun;
  if (questions.Ask({QuestionId::kDontShowAgain, text::kDontShowAgain,
                     MB_YESNO | MB_ICONQUESTION}) == Answer::kYes &&
      known) {
    host.m_job.m_bDontShowAgain[code] = 1;
  }
  return Skipped;
}

}  // namespace velmora
