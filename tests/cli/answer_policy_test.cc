#include "cli/answer_policy.h"

#include <gtest/gtest.h>

#include "job/messages.h"
#include "platform/u16_format.h"
#include "platform/window_port.h"

namespace velmora::cli {
namespace {

const std::u16string kMixedEncryptedText =
    Format(velmora::text::kMixedEncrypted, {3});
const std::u16string kMixedPlainText = Format(velmora::text::kMixedPlain, {2});
const std::u16string kTargetExistsText =
    Format(velmora::text::kTargetExists,
           {velmora::text::kWordEncryption, velmora::text::kKindFile}) +
    Format(velmora::text::kTargetExistsDetail,
           {velmora::text::kKindFile, u"/t", u"name"});
const std::u16string kWrongPasswordText =
    Format(velmora::text::kWrongPassword, {u"/t", u"name"});

constexpr unsigned kQuestion = MB_YESNO | MB_ICONQUESTION;
constexpr unsigned kExclamation = MB_YESNO | MB_ICONEXCLAMATION;

AnswerRules Rules(ProblemPolicy policy, bool yes = false,
                  bool person = false) {
  AnswerRules rules;
  rules.policy = policy;
  rules.yes_to_mixed = yes;
  rules.person_present = person;
  return rules;
}

TEST(AnswerPolicyTest, ButtonsFromFlags) {
  EXPECT_EQ(ButtonsOf(MB_OK | MB_ICONERROR), Buttons::kOk);
  EXPECT_EQ(ButtonsOf(kQuestion), Buttons::kYesNo);
  EXPECT_EQ(ButtonsOf(MB_ABORTRETRYIGNORE | MB_ICONERROR),
            Buttons::kAbortRetryIgnore);
  EXPECT_EQ(ButtonsOf(MB_ABORTIGNORE | MB_ICONERROR), Buttons::kAbortIgnore);
}

TEST(AnswerPolicyTest, ClassifiesTheQuestions) {
  EXPECT_EQ(Classify(kMixedEncryptedText, kQuestion), QuestionKind::kMixedTree);
  EXPECT_EQ(Classify(kMixedPlainText, kQuestion), QuestionKind::kMixedTree);
  EXPECT_EQ(Classify(kTargetExistsText, kExclamation),
            QuestionKind::kTargetExists);
  EXPECT_EQ(Classify(kWrongPasswordText, MB_YESNO | MB_ICONERROR),
            QuestionKind::kEntryProblem);
  EXPECT_EQ(Classify(velmora::text::kDontShowAgain, kQuestion),
            QuestionKind::kEntryProblem);
  EXPECT_EQ(Classify(velmora::text::kNothingToEncrypt, MB_OK),
            QuestionKind::kNotice);
}

TEST(AnswerPolicyTest, DefaultPolicyAsksOnlyAPerson) {
  EXPECT_EQ(ResolvePolicy(ProblemPolicy::kDefault, true), ProblemPolicy::kAsk);
  EXPECT_EQ(ResolvePolicy(ProblemPolicy::kDefault, false),
            ProblemPolicy::kAbort);
  EXPECT_EQ(ResolvePolicy(ProblemPolicy::kSkip, true), ProblemPolicy::kSkip);
}

TEST(AnswerPolicyTest, MixedTreeWarningsNeedYes) {
  EXPECT_EQ(FixedAnswer(kMixedEncryptedText, kQuestion,
                        Rules(ProblemPolicy::kSkip, true)),
            IDYES);
  EXPECT_EQ(FixedAnswer(kMixedPlainText, kQuestion,
                        Rules(ProblemPolicy::kSkip, false)),
            IDNO);
  EXPECT_EQ(FixedAnswer(kMixedPlainText, kQuestion,
                        Rules(ProblemPolicy::kAbort, false, true)),
            kAskPerson);
}

TEST(AnswerPolicyTest, SkipPolicySkipsEveryProblem) {
  const AnswerRules skip = Rules(ProblemPolicy::kSkip);
  EXPECT_EQ(FixedAnswer(kWrongPasswordText, MB_YESNO | MB_ICONERROR, skip),
            IDYES);
  EXPECT_EQ(FixedAnswer(velmora::text::kDontShowAgain, kQuestion, skip), IDYES);
  EXPECT_EQ(FixedAnswer(velmora::text::kOpenFailed,
                        MB_ABORTRETRYIGNORE | MB_ICONERROR, skip),
            IDIGNORE);
  EXPECT_EQ(FixedAnswer(velmora::text::kContentFailed,
                        MB_ABORTIGNORE | MB_ICONERROR, skip),
            IDIGNORE);
}

TEST(AnswerPolicyTest, AbortPolicyStops) {
  const AnswerRules abort = Rules(ProblemPolicy::kAbort);
  EXPECT_EQ(FixedAnswer(kWrongPasswordText, MB_YESNO | MB_ICONERROR, abort),
            IDNO);
  EXPECT_EQ(FixedAnswer(velmora::text::kOpenFailed,
                        MB_ABORTRETRYIGNORE | MB_ICONERROR, abort),
            IDABORT);
  EXPECT_EQ(FixedAnswer(velmora::text::kContentFailed,
                        MB_ABORTIGNORE | MB_ICONERROR, abort),
            IDABORT);
}

TEST(AnswerPolicyTest, AbortPolicySkipsDuringTheExitPass) {
  AnswerRules rules = Rules(ProblemPolicy::kAbort);
  rules.exit_pass = true;
  EXPECT_EQ(FixedAnswer(kWrongPasswordText, MB_YESNO | MB_ICONWARNING, rules),
            IDYES);
  EXPECT_EQ(FixedAnswer(velmora::text::kOpenFailed,
                        MB_ABORTRETRYIGNORE | MB_ICONERROR, rules),
            IDIGNORE);
  EXPECT_EQ(FixedAnswer(kTargetExistsText, kExclamation, rules), IDNO);
}

TEST(AnswerPolicyTest, OnlyAPersonDeletesAnExistingTarget) {
  EXPECT_EQ(FixedAnswer(kTargetExistsText, kExclamation,
                        Rules(ProblemPolicy::kSkip, true)),
            IDNO);
  EXPECT_EQ(FixedAnswer(kTargetExistsText, kExclamation,
                        Rules(ProblemPolicy::kAbort, true)),
            IDNO);
  EXPECT_EQ(FixedAnswer(kTargetExistsText, kExclamation,
                        Rules(ProblemPolicy::kAsk)),
            kAskPerson);
}

TEST(AnswerPolicyTest, NoticesAreAcknowledged) {
  EXPECT_EQ(FixedAnswer(velmora::text::kNothingToDecrypt,
                        MB_OK | MB_ICONEXCLAMATION, Rules(ProblemPolicy::kAsk)),
            IDOK);
}

TEST(AnswerPolicyTest, CautiousAnswersChangeNothing) {
  EXPECT_EQ(CautiousAnswer(Buttons::kYesNo), IDNO);
  EXPECT_EQ(CautiousAnswer(Buttons::kAbortRetryIgnore), IDABORT);
  EXPECT_EQ(CautiousAnswer(Buttons::kAbortIgnore), IDABORT);
}

TEST(AnswerPolicyTest, AnswerNames) {
  EXPECT_EQ(AnswerName(IDYES), u"はい");
  EXPECT_EQ(AnswerName(IDNO), u"いいえ");
  EXPECT_EQ(AnswerName(IDABORT), u"中止");
  EXPECT_EQ(AnswerName(IDIGNORE), u"無視");
  EXPECT_EQ(AnswerName(IDRETRY), u"再試行");
}

TEST(AnswerPolicyTest, OnlyTheInformationBoxIsTheSummary) {
  EXPECT_TRUE(IsSummary(MB_OK | MB_ICONINFORMATION));
  EXPECT_FALSE(IsSummary(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_FALSE(IsSummary(MB_OK | MB_ICONERROR));
}

}  // namespace
}  // namespace velmora::cli
