// Which of a run's questions velmora-cli answers by itself, and how, told
// apart by their QuestionId.
//
// A question of a run is either a notice (OK only) or asks for an answer.
// Those that ask come in four kinds that the options treat differently:
//   - the warnings about a tree that is partly encrypted already (--yes),
//   - "the target name exists: delete it and retry?", which deletes data and
//     so is answered Yes only by a person at the terminal,
//   - "the names cannot check the whole password: go on?", which decides
//     whether a mistyped password garbles the tree, and so is answered Yes
//     only by --trust-password or a person (never by --yes: given --yes
//     alone, it is answered No),
//   - the per-entry problem prompts and failed steps (--on-problem).
#ifndef VELMORA_CLI_ANSWER_POLICY_H_
#define VELMORA_CLI_ANSWER_POLICY_H_

#include <optional>
#include <string>
#include <string_view>

#include "cli/options.h"
#include "job/run_questions.h"

namespace velmora::cli {

enum class QuestionKind {
  kNotice,
  kMixedTree,
  kTargetExists,
  kUncheckedPassword,
  kEntryProblem,
};

// The kind of |question|, by its id.
QuestionKind Classify(const Question& question);

// The run's answering rules, with the default policy already resolved.
struct AnswerRules {
  bool yes_to_mixed = false;                     // --yes
  ProblemPolicy policy = ProblemPolicy::kAbort;  // kAsk, kSkip or kAbort
  bool person_present = false;                   // stdin and stderr are a terminal
  // The exit pass of a temporary decryption runs: stopping it would leave
  // the rest of the tree decrypted, so the abort policy skips instead.
  bool exit_pass = false;
  bool trust_password = false;  // --trust-password
};

// kDefault becomes kAsk when a person is present, kAbort otherwise.
ProblemPolicy ResolvePolicy(ProblemPolicy requested, bool person_present);

// The answer taken without asking; none when the person at the terminal
// must decide.
std::optional<Answer> FixedAnswer(const Question& question, const AnswerRules& rules);

// The answer that changes nothing and goes no further: No, or Abort.
Answer CautiousAnswer(Buttons buttons);

// The answer taken when a person was to answer and nobody did (no
// terminal, the end of input, a signal): the cautious one, except that an
// exit pass goes on past the entry where an answer skips it (see
// SkipAnswer), so that it encrypts all it can.
Answer AnswerForNobody(const Question& question, const AnswerRules& rules);

// The line that names the option which would have answered a question
// velmora-cli refused by itself (--yes, --on-problem, --trust-password), or
// empty when no option answers it more boldly.
std::u16string_view OptionThatAnswers(const Question& question, const AnswerRules& rules);

// True when |answer| to |question| ends the run: the notices that refuse
// it or stop it, and the answers that decline, refuse the password or
// abort.
bool EndsRun(const Question& question, Answer answer);

// The name of an answer as shown in the log line ("はい", "中止", ...).
std::u16string_view AnswerName(Answer answer);

}  // namespace velmora::cli

#endif  // VELMORA_CLI_ANSWER_POLICY_H_
