#include "cli/answer_policy.h"

#include "cli/console_texts.h"

namespace velmora::cli {
namespace {

// The answer that passes over the entry a question is about and goes on
// with the run: Ignore where offered, Yes where it skips; none when no
// answer does.
std::optional<Answer> SkipAnswer(const Question& question) {
  switch (question.buttons) {
    case Buttons::kAbortRetryIgnore:
    case Buttons::kAbortIgnore:
      return Answer::kIgnore;
    case Buttons::kYesNo:
      if (question.yes_skips_entry) return Answer::kYes;
      break;
    case Buttons::kOk:
      break;
  }
  return std::nullopt;
}

}  // namespace

QuestionKind Classify(const Question& question) {
  switch (question.id) {
    case QuestionId::kMixedEncrypted:
    case QuestionId::kMixedPlain:
      return QuestionKind::kMixedTree;
    case QuestionId::kTargetExists:
      return QuestionKind::kTargetExists;
    case QuestionId::kPasswordUnchecked:
    case QuestionId::kPasswordUnproven:
      return QuestionKind::kUncheckedPassword;
    case QuestionId::kEntryProblem:
    case QuestionId::kDontShowAgain:
    case QuestionId::kEntryFailed:
      return QuestionKind::kEntryProblem;
    case QuestionId::kPathMissing:
    case QuestionId::kPathIsFile:
    case QuestionId::kSystemFolder:
    case QuestionId::kTopFolder:
    case QuestionId::kHoldsStateFolder:
    case QuestionId::kInsideStateFolder:
    case QuestionId::kTreeInUse:
    case QuestionId::kStateFolderFailed:
    case QuestionId::kNothingToEncrypt:
    case QuestionId::kNothingToDecrypt:
    case QuestionId::kRepaired:
    case QuestionId::kRepairWrongPassword:
    case QuestionId::kRepairFailed:
    case QuestionId::kRepairTreeAbove:
    case QuestionId::kRepairStopped:
    case QuestionId::kPasswordDiffers:
    case QuestionId::kMediaRefused:
    case QuestionId::kMediaChangesNames:
    case QuestionId::kFileRefused:
    case QuestionId::kFileTooLarge:
    case QuestionId::kNotRestored:
    case QuestionId::kJournalFailed:
    case QuestionId::kPasswordNotRecorded:
    case QuestionId::kSummary:
      break;
  }
  return QuestionKind::kNotice;
}

ProblemPolicy ResolvePolicy(ProblemPolicy requested, bool person_present) {
  if (requested != ProblemPolicy::kDefault) return requested;
  return person_present ? ProblemPolicy::kAsk : ProblemPolicy::kAbort;
}

Answer CautiousAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::kYesNo:
      return Answer::kNo;
    case Buttons::kAbortRetryIgnore:
    case Buttons::kAbortIgnore:
      return Answer::kAbort;
    case Buttons::kOk:
      break;
  }
  return Answer::kOk;
}

Answer AnswerForNobody(const Question& question, const AnswerRules& rules) {
  const std::optional<Answer> skip = SkipAnswer(question);
  if (rules.exit_pass && skip) return *skip;
  return CautiousAnswer(question.buttons);
}

std::optional<Answer> FixedAnswer(const Question& question, const AnswerRules& rules) {
  const Buttons buttons = question.buttons;
  switch (Classify(question)) {
    case QuestionKind::kNotice:
      return Answer::kOk;
    case QuestionKind::kMixedTree:
      if (rules.yes_to_mixed) return Answer::kYes;
      if (rules.person_present || rules.policy == ProblemPolicy::kAsk) {
        return std::nullopt;
      }
      return Answer::kNo;
    case QuestionKind::kTargetExists:
      // Deleting is never decided by a flag.
      if (rules.policy == ProblemPolicy::kAsk) return std::nullopt;
      return Answer::kNo;
    case QuestionKind::kUncheckedPassword:
      if (rules.trust_password) return Answer::kYes;
      // --yes asks for a run nobody attends.
      if (rules.person_present && !rules.yes_to_mixed) return std::nullopt;
      return Answer::kNo;
    case QuestionKind::kEntryProblem:
      break;
  }
  const bool skip = rules.policy == ProblemPolicy::kSkip ||
                    (rules.policy == ProblemPolicy::kAbort && rules.exit_pass);
  if (skip) return buttons == Buttons::kYesNo ? Answer::kYes : Answer::kIgnore;
  if (rules.policy == ProblemPolicy::kAsk) return std::nullopt;
  return CautiousAnswer(buttons);
}

std::u16string_view OptionThatAnswers(const Question& question, const AnswerRules& rules) {
  switch (Classify(question)) {
    case QuestionKind::kMixedTree:
      if (!rules.yes_to_mixed) return console_text::kYesWouldAnswer;
      break;
    case QuestionKind::kUncheckedPassword:
      if (!rules.trust_password) return console_text::kTrustWouldAnswer;
      break;
    case QuestionKind::kEntryProblem:
      if (rules.policy == ProblemPolicy::kSkip) break;
      // Asking helps only where someone is at the terminal.
      return rules.person_present ? console_text::kSkipOrAskWouldAnswer
                                  : console_text::kSkipWouldAnswer;
    case QuestionKind::kNotice:
    case QuestionKind::kTargetExists:
      break;
  }
  return {};
}

bool EndsRun(const Question& question, Answer answer) {
  switch (question.id) {
    case QuestionId::kRepaired:
    case QuestionId::kMediaChangesNames:
    case QuestionId::kNotRestored:
    case QuestionId::kPasswordNotRecorded:
    case QuestionId::kSummary:
    case QuestionId::kTargetExists:
    case QuestionId::kDontShowAgain:
      return false;
    case QuestionId::kMixedEncrypted:
    case QuestionId::kMixedPlain:
    case QuestionId::kPasswordUnproven:
    case QuestionId::kPasswordUnchecked:
    case QuestionId::kEntryProblem:
      return answer == Answer::kNo;
    case QuestionId::kEntryFailed:
      return answer == Answer::kAbort;
    default:
      break;
  }
  // Every other notice refuses the target or stops the run.
  return Classify(question) == QuestionKind::kNotice;
}

std::u16string_view AnswerName(Answer answer) {
  switch (answer) {
    case Answer::kYes:
      return console_text::kAnswerYes;
    case Answer::kNo:
      return console_text::kAnswerNo;
    case Answer::kAbort:
      return console_text::kAnswerAbort;
    case Answer::kRetry:
      return console_text::kAnswerRetry;
    case Answer::kIgnore:
      return console_text::kAnswerIgnore;
    default:
      return console_text::kAnswerOk;
  }
}

}  // namespace velmora::cli
