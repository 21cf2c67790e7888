// velmora-cli's answers to the main dialog's questions, and the text it puts
// on a terminal: the parts the binary on a pipe cannot reach.

#include <gtest/gtest.h>

#include <utility>

#include "cli/answer_policy.h"
#include "cli/display_text.h"
#include "cli/progress_line.h"
#include "cli/session.h"
#include "job/messages.h"
#include "platform/u16_format.h"
#include "tests/cli/cli_child.h"

namespace velmora::cli {
namespace {

using P = ProblemPolicy;

TEST(AnswerPolicyTest, FlagsDecideOnlyWhatTheyMay) {
  namespace t = velmora::text;
  const std::u16string mixed = Format(t::kMixedPlain, {2});
  const std::u16string exists = Format(t::kTargetExists, {t::kWordEncryption, t::kKindFile}) +
                                Format(t::kTargetExistsDetail, {t::kKindFile, u"/t", u"name"});
  const std::u16string wrong = Format(t::kWrongPassword, {u"/t", u"name"});
  constexpr Buttons kYesNo = Buttons::kYesNo;
  constexpr Buttons kAri = Buttons::kAbortRetryIgnore;
  constexpr Buttons kAi = Buttons::kAbortIgnore;
  using Q = QuestionId;
  using A = Answer;
  constexpr std::optional<Answer> kAsk;  // the person decides
  struct Row {
    Question question;
    AnswerRules rules;  // yes_to_mixed, policy, person_present, exit_pass, trust_password
    std::optional<Answer> answer;
  } rows[] = {
      {{Q::kMixedPlain, mixed, kYesNo}, {true, P::kSkip}, A::kYes},
      {{Q::kMixedEncrypted, Format(t::kMixedEncrypted, {3}), kYesNo}, {true, P::kAbort}, A::kYes},
      {{Q::kMixedPlain, mixed, kYesNo}, {false, P::kSkip}, A::kNo},
      {{Q::kMixedPlain, mixed, kYesNo}, {false, P::kAbort, true}, kAsk},
      {{Q::kMixedPlain, mixed, kYesNo}, {false, P::kAsk}, kAsk},
      // Deleting an existing target: a person decides, or nobody does.
      {{Q::kTargetExists, exists, kYesNo}, {true, P::kSkip}, A::kNo},
      {{Q::kTargetExists, exists, kYesNo}, {true, P::kAbort, true, true}, A::kNo},
      {{Q::kTargetExists, exists, kYesNo}, {true, P::kAsk}, kAsk},
      {{Q::kEntryProblem, wrong, kYesNo}, {true, P::kSkip}, A::kYes},
      {{Q::kDontShowAgain, t::kDontShowAgain, kYesNo}, {false, P::kSkip}, A::kYes},
      {{Q::kEntryFailed, t::kOpenFailed, kAri}, {false, P::kSkip}, A::kIgnore},
      {{Q::kEntryFailed, t::kContentLeftForRepair, kAi}, {false, P::kSkip}, A::kIgnore},
      {{Q::kEntryProblem, wrong, kYesNo}, {true, P::kAbort, true}, A::kNo},
      {{Q::kEntryFailed, t::kOpenFailed, kAri}, {false, P::kAbort}, A::kAbort},
      {{Q::kEntryFailed, t::kContentLeftForRepair, kAi}, {false, P::kAbort}, A::kAbort},
      {{Q::kEntryProblem, wrong, kYesNo}, {false, P::kAsk}, kAsk},
      {{Q::kEntryFailed, t::kOpenFailed, kAri}, {false, P::kAsk, true}, kAsk},
      // Stopping the exit pass would leave the rest decrypted: skip instead.
      {{Q::kEntryProblem, wrong, kYesNo}, {false, P::kAbort, false, true}, A::kYes},
      {{Q::kEntryFailed, t::kOpenFailed, kAri}, {false, P::kAbort, false, true}, A::kIgnore},
      {{Q::kNothingToDecrypt, t::kNothingToDecrypt, Buttons::kOk}, {false, P::kAsk}, A::kOk},
      // Trusting a password the names cannot check: --trust-password or a
      // person, never --yes or a policy.
      {{Q::kPasswordUnchecked, t::kPasswordUnchecked, kYesNo},
       {false, P::kSkip, false, false, true},
       A::kYes},
      {{Q::kPasswordUnchecked, t::kPasswordUnchecked, kYesNo}, {true, P::kSkip}, A::kNo},
      {{Q::kPasswordUnchecked, t::kPasswordUnchecked, kYesNo}, {true, P::kAsk, true}, A::kNo},
      {{Q::kPasswordUnchecked, t::kPasswordUnchecked, kYesNo}, {false, P::kSkip, true}, kAsk},
      {{Q::kPasswordUnproven, t::kPasswordUnproven, kYesNo}, {true, P::kSkip}, A::kNo},
      {{Q::kPasswordUnproven, t::kPasswordUnproven, kYesNo},
       {false, P::kSkip, false, false, true},
       A::kYes},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FixedAnswer(row.question, row.rules), row.answer) << DisplayText(row.question.text);
  }
  EXPECT_EQ(ResolvePolicy(P::kDefault, true), P::kAsk);
  EXPECT_EQ(ResolvePolicy(P::kDefault, false), P::kAbort);
  EXPECT_EQ(ResolvePolicy(P::kSkip, true), P::kSkip);
}

// The walk's own boxes are told apart by their ids alone.
TEST(AnswerPolicyTest, TheWalksQuestionsAreKnownByTheirIds) {
  using Q = QuestionId;
  EXPECT_EQ(Classify({Q::kTargetExists, u"", Buttons::kYesNo}), QuestionKind::kTargetExists);
  EXPECT_EQ(Classify({Q::kEntryFailed, u"", Buttons::kAbortIgnore}), QuestionKind::kEntryProblem);
  for (const Q id : {Q::kFileTooLarge, Q::kNotRestored, Q::kJournalFailed}) {
    EXPECT_EQ(Classify({id, u""}), QuestionKind::kNotice);
  }
}

// A stopped repair leaves entries not done, as a stopped walk does.
TEST(ExitStatusTest, EachOutcomeHasItsStatus) {
  const std::pair<RunOutcome, int> rows[] = {
      {RunOutcome::kAllDone, 0},           {RunOutcome::kSomeDone, 1},
      {RunOutcome::kStopped, 1},           {RunOutcome::kInUse, 6},
      {RunOutcome::kRepairRefused, 5},     {RunOutcome::kWrongPassword, 5},
      {RunOutcome::kPasswordUnchecked, 5}, {RunOutcome::kNothingToDo, 4},
      {RunOutcome::kStateFailed, 2},       {RunOutcome::kDeclined, 2},
  };
  for (const auto& [outcome, status] : rows) {
    EXPECT_EQ(ExitStatusFor(outcome), status) << static_cast<int>(outcome);
  }
}

TEST(DisplayTextTest, NothingReachesTheTerminalThatCouldDriveIt) {
  EXPECT_EQ(DisplayText(u"一行目\r\n二行目\r\n"), "一行目\n二行目\n");
  EXPECT_EQ(DisplayText(std::u16string{u'a', 0xD800, u'b', 0x1B, 0x9B, u'c'}),
            "a\uFFFDb\uFFFD\uFFFDc");
  EXPECT_EQ(DisplayText(u"\U0001F600"), "\U0001F600");
  // A raw byte of a name that was not UTF-8.
  EXPECT_EQ(DisplayText(std::u16string{u'x', 0xFFFF, 0xDC83}), "x\\x83");
  // The progress line: wide characters take two columns, line ends a space.
  EXPECT_EQ(FitToColumns(u"処理中です", 5), "処理");
  EXPECT_EQ(FitToColumns(u"ab処理", 3), "ab");
  // Emoji are wide and combining marks take no column (glibc's wcwidth).
  EXPECT_EQ(FitToColumns(u"a\U0001F600b", 2), "a");
  EXPECT_EQ(FitToColumns(u"a\U0001F600b", 3), "a\xF0\x9F\x98\x80");
  EXPECT_EQ(FitToColumns(u"e\u0301xy", 2), "e\xCC\x81x");
  EXPECT_EQ(FitToColumns(u"dir\r\n  12K\x1b", 80), "dir   12K\xEF\xBF\xBD");
  // What glibc does not tell: the emoji form of a narrow character, an emoji
  // newer than its tables, a tab.
  EXPECT_EQ(FitToColumns(u"\u2764\uFE0Fx", 2), "\u2764\uFE0F");
  EXPECT_EQ(FitToColumns(u"a\U0001FAE8b", 2), "a");
  EXPECT_EQ(FitToColumns(u"a\tb", 2), "a ");
}

TEST(DisplayTextTest, AnErrorThatEndsTheRunIsOneLine) {
  EXPECT_EQ(FailureLine(u"/t/a\nb", u"one.\r\n\r\ntwo\r\nthree\r\n"),
            "velmora-cli: /t/a b: one. two three\n");
  EXPECT_EQ(FailureLine(u"", u"alone"), "velmora-cli: alone\n");
}

TEST(AnswerPolicyTest, WhatEndsTheRun) {
  EXPECT_TRUE(EndsRun({.id = QuestionId::kTreeInUse, .text = u""}, Answer::kOk));
  EXPECT_TRUE(EndsRun({.id = QuestionId::kPasswordDiffers, .text = u""}, Answer::kOk));
  EXPECT_FALSE(EndsRun({.id = QuestionId::kRepaired, .text = u""}, Answer::kOk));
  EXPECT_FALSE(EndsRun({.id = QuestionId::kSummary, .text = u""}, Answer::kOk));
  EXPECT_TRUE(EndsRun({.id = QuestionId::kMixedPlain, .text = u""}, Answer::kNo));
  EXPECT_FALSE(EndsRun({.id = QuestionId::kMixedPlain, .text = u""}, Answer::kYes));
  EXPECT_TRUE(EndsRun({.id = QuestionId::kEntryProblem, .text = u""}, Answer::kNo));
  EXPECT_FALSE(EndsRun({.id = QuestionId::kDontShowAgain, .text = u""}, Answer::kNo));
  EXPECT_FALSE(EndsRun({.id = QuestionId::kTargetExists, .text = u""}, Answer::kNo));
  EXPECT_TRUE(EndsRun({.id = QuestionId::kEntryFailed, .text = u""}, Answer::kAbort));
  EXPECT_FALSE(EndsRun({.id = QuestionId::kEntryFailed, .text = u""}, Answer::kIgnore));
}

TEST(ProgressTextTest, FiguresFirstThenTheEndOfThePathWithinTheWidth) {
  EXPECT_EQ(ByteSize(1023), "1023 B");
  EXPECT_EQ(ByteSize(1048575), "1.0 MiB");
  EXPECT_EQ(ClockTime(3), "0:03");
  EXPECT_EQ(ClockTime(3723), "1:02:03");
  EXPECT_EQ(ProgressText({.entries = 12, .bytes = 5000, .current = u"sub"}, 80),
            "検索中 12 件  4.9 KiB  sub");
  ProgressFigures walk{.walking = true,
                       .entries = 1234,
                       .entries_total = 20000,
                       .bytes = 58826752,
                       .bytes_total = 268435456,
                       .bytes_per_second = 410 * 1048576.0,
                       .current = u"sub/報告\U0001F600e\u0301.txt"};
  const std::string figures = "1234/20000 件  56.1 MiB / 256.0 MiB (21%)  410.0 MiB/s  残り 0:01";
  EXPECT_EQ(ProgressText(walk, 100), figures + "  sub/報告😀e\u0301.txt");
  EXPECT_EQ(ProgressText(walk, 75), figures + "  ...e\u0301.txt");
  // The tail never starts with a mark that would join the dots.
  EXPECT_EQ(ProgressText(walk, 74), figures + "  ....txt");
  walk.current = u"\u2764\uFE0F\U0001FAE8写真/\u2764\uFE0F\U0001FAE8e\u0301.txt";
  for (int columns = 0; columns <= 100; ++columns) {
    EXPECT_LE(testing::TerminalColumnsOf(ProgressText(walk, columns)), columns);
  }
  // Files grown since the scan, and a walk with no bytes to go by.
  walk.bytes_total = 1000;
  EXPECT_TRUE(ProgressText(walk, 200).find("(100%)") != std::string::npos);
  walk.bytes = walk.bytes_total = 0;
  walk.bytes_per_second = 0;
  EXPECT_EQ(ProgressText(walk, 30), "1234/20000 件  0 B / 0 B (6%)");
}

}  // namespace
}  // namespace velmora::cli
