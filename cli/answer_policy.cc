#include "cli/answer_policy.h"

#include "cli/console_texts.h"
#include "job/messages.h"
#include "platform/window_port.h"

namespace velmora::cli {
namespace {

// True when |text| could have been made from |format|: the literal pieces
// between its %s / %d fields appear in order, the first one at the start.
// Text appended after the format (a detail block) is allowed.
bool MadeFrom(std::u16string_view text, std::u16string_view format) {
  std::size_t at = 0;
  bool first = true;
  while (!format.empty()) {
    std::size_t field = format.find(u'%');
    while (field != std::u16string_view::npos && field + 1 < format.size() &&
           format[field + 1] == u'%') {
      field = format.find(u'%', field + 2);
    }
    const std::u16string_view piece = format.substr(0, field);
    if (!piece.empty()) {
      const std::size_t found = text.find(piece, at);
      if (found == std::u16string_view::npos || (first && found != 0)) {
        return false;
      }
      at = found + piece.size();
    }
    first = false;
    if (field == std::u16string_view::npos) break;
    // Skip the field: '%', an optional width, the conversion letter.
    std::size_t end = field + 1;
    while (end < format.size() && format[end] >= u'0' && format[end] <= u'9') {
      ++end;
    }
    format.remove_prefix(end < format.size() ? end + 1 : format.size());
  }
  return true;
}

}  // namespace

Buttons ButtonsOf(unsigned flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_YESNO:
      return Buttons::kYesNo;
    case MB_ABORTRETRYIGNORE:
      return Buttons::kAbortRetryIgnore;
    case MB_ABORTIGNORE:
      return Buttons::kAbortIgnore;
    default:
      return Buttons::kOk;
  }
}

QuestionKind Classify(std::u16string_view text, unsigned flags) {
  const Buttons buttons = ButtonsOf(flags);
  if (buttons == Buttons::kOk) return QuestionKind::kNotice;
  if (buttons == Buttons::kYesNo) {
    if (MadeFrom(text, velmora::text::kMixedEncrypted) ||
        MadeFrom(text, velmora::text::kMixedPlain)) {
      return QuestionKind::kMixedTree;
    }
    if (MadeFrom(text, velmora::text::kTargetExists)) {
      return QuestionKind::kTargetExists;
    }
    if (MadeFrom(text, velmora::text::kPasswordUnchecked) ||
        MadeFrom(text, velmora::text::kPasswordUnproven)) {
      return QuestionKind::kUncheckedPassword;
    }
  }
  return QuestionKind::kEntryProblem;
}

ProblemPolicy ResolvePolicy(ProblemPolicy requested, bool person_present) {
  if (requested != ProblemPolicy::kDefault) return requested;
  return person_present ? ProblemPolicy::kAsk : ProblemPolicy::kAbort;
}

int CautiousAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::kYesNo:
      return IDNO;
    case Buttons::kAbortRetryIgnore:
    case Buttons::kAbortIgnore:
      return IDABORT;
    case Buttons::kOk:
      break;
  }
  return IDOK;
}

int AnswerForNobody(unsigned flags, const AnswerRules& rules) {
  const int skip = SkipAnswer(flags);
  if (rules.exit_pass && skip != 0) return skip;
  return CautiousAnswer(ButtonsOf(flags));
}

int FixedAnswer(std::u16string_view text, unsigned flags,
                const AnswerRules& rules) {
  const Buttons buttons = ButtonsOf(flags);
  switch (Classify(text, flags)) {
    case QuestionKind::kNotice:
      return IDOK;
    case QuestionKind::kMixedTree:
      if (rules.yes_to_mixed) return IDYES;
      if (rules.person_present || rules.policy == ProblemPolicy::kAsk) {
        return kAskPerson;
      }
      return IDNO;
    case QuestionKind::kTargetExists:
      // Deleting is never decided by a flag.
      return rules.policy == ProblemPolicy::kAsk ? kAskPerson : IDNO;
    case QuestionKind::kUncheckedPassword:
      if (rules.trust_password) return IDYES;
      // --yes asks for a run nobody attends.
      return rules.person_present && !rules.yes_to_mixed ? kAskPerson : IDNO;
    case QuestionKind::kEntryProblem:
      break;
  }
  const bool skip = rules.policy == ProblemPolicy::kSkip ||
                    (rules.policy == ProblemPolicy::kAbort && rules.exit_pass);
  if (skip) return buttons == Buttons::kYesNo ? IDYES : IDIGNORE;
  if (rules.policy == ProblemPolicy::kAsk) return kAskPerson;
  return CautiousAnswer(buttons);
}

std::u16string_view OptionThatAnswers(std::u16string_view text, unsigned flags,
                                      const AnswerRules& rules) {
  switch (Classify(text, flags)) {
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

std::u16string_view AnswerName(int answer) {
  switch (answer) {
    case IDYES:
      return console_text::kAnswerYes;
    case IDNO:
      return console_text::kAnswerNo;
    case IDABORT:
      return console_text::kAnswerAbort;
    case IDRETRY:
      return console_text::kAnswerRetry;
    case IDIGNORE:
      return console_text::kAnswerIgnore;
    default:
      return console_text::kAnswerOk;
  }
}

bool IsSummary(unsigned flags) {
  return (flags & MB_ICONMASK) == MB_ICONINFORMATION;
}

}  // namespace velmora::cli
