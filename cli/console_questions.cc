// ConsoleFrontEnd as the run's RunQuestions: notices printed, questions
// answered by the options or by the person at the terminal.
#include <unistd.h>

#include <optional>
#include <string>

#include "cli/answer_policy.h"
#include "cli/console_front_end.h"
#include "cli/console_texts.h"
#include "cli/display_text.h"

namespace velmora::cli {
namespace {

// The button an empty line answers: the second one where it is the
// default, else none (the question is asked again).
std::optional<Answer> DefaultAnswer(const Question& question) {
  if (!question.second_is_default) return std::nullopt;
  switch (question.buttons) {
    case Buttons::kYesNo:
      return Answer::kNo;
    case Buttons::kAbortRetryIgnore:
      return Answer::kRetry;
    case Buttons::kAbortIgnore:
      return Answer::kIgnore;
    case Buttons::kOk:
      break;
  }
  return Answer::kOk;
}

// The button a typed answer names, or none.
std::optional<Answer> ParseAnswer(std::string_view line, const Question& question) {
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return DefaultAnswer(question);
  const char letter = static_cast<char>(line[first] | 0x20);  // lower case
  switch (question.buttons) {
    case Buttons::kYesNo:
      if (letter == 'y') return Answer::kYes;
      if (letter == 'n') return Answer::kNo;
      break;
    case Buttons::kAbortRetryIgnore:
      if (letter == 'r') return Answer::kRetry;
      [[fallthrough]];
    case Buttons::kAbortIgnore:
      if (letter == 'a') return Answer::kAbort;
      if (letter == 'i') return Answer::kIgnore;
      break;
    case Buttons::kOk:
      return Answer::kOk;
  }
  return std::nullopt;
}

std::u16string_view ChoiceText(const Question& question) {
  switch (question.buttons) {
    case Buttons::kYesNo:
      return DefaultAnswer(question) == Answer::kNo ? console_text::kChoiceYesNoDefaultNo
                                                    : console_text::kChoiceYesNo;
    case Buttons::kAbortRetryIgnore:
      return console_text::kChoiceAbortRetryIgnore;
    case Buttons::kAbortIgnore:
      return console_text::kChoiceAbortIgnore;
    case Buttons::kOk:
      break;
  }
  return u"";
}

}  // namespace

void ConsoleFrontEnd::Notify(const Question& notice) {
  // How the run ended belongs on stdout.
  if (notice.id == QuestionId::kSummary) {
    PrintOut(notice.text);
  } else if (EndsRun(notice, Answer::kOk)) {
    PrintFailure(settings_.target, notice.text);
  } else {
    PrintError(notice.text);
  }
}

Answer ConsoleFrontEnd::Ask(const Question& question) {
  // Answered by the options, or for want of a terminal: velmora-cli's own
  // answer, which a script's author may want to change.
  std::optional<Answer> answer = FixedAnswer(question, settings_.answers);
  if (!answer && OpenTerminal() == nullptr) {
    answer = AnswerForNobody(question, settings_.answers);
  }
  if (answer) {
    PrintOwnAnswer(question, *answer);
    return *answer;
  }
  PrintError(question.text);
  answer = AskPerson(question);
  const bool by_itself = !answer.has_value();
  if (by_itself) answer = AnswerForNobody(question, settings_.answers);
  PrintError(std::u16string(console_text::kAnswerArrow) + std::u16string(AnswerName(*answer)));
  if (by_itself && *answer == CautiousAnswer(question.buttons)) {
    const std::u16string_view option = OptionThatAnswers(question, settings_.answers);
    if (!option.empty()) PrintError(option);
  }
  return *answer;
}

void ConsoleFrontEnd::PrintOwnAnswer(const Question& question, Answer answer) {
  std::u16string lines = question.text + u"\r\n" + std::u16string(console_text::kAnswerArrow) +
                         std::u16string(AnswerName(answer));
  if (answer == CautiousAnswer(question.buttons)) {
    const std::u16string_view option = OptionThatAnswers(question, settings_.answers);
    if (!option.empty()) lines += u"\r\n" + std::u16string(option);
  }
  if (EndsRun(question, answer)) {
    PrintFailure(settings_.target, lines);
  } else {
    PrintError(lines);
  }
}

std::optional<Answer> ConsoleFrontEnd::AskPerson(const Question& question) {
  Terminal* terminal = OpenTerminal();
  if (terminal == nullptr) return std::nullopt;
  while (true) {
    SecretBytes line;
    if (terminal->Prompt(DisplayText(ChoiceText(question)), false, signals_, &line) !=
        LineStatus::kLine) {
      // The end of input or a signal: nobody is there any more.
      return AnswerForNobody(question, settings_.answers);
    }
    const std::optional<Answer> answer = ParseAnswer(line, question);
    if (answer) return answer;
  }
}

}  // namespace velmora::cli
