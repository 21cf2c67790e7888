// The question asked when a name cannot be converted: No stops the run at
// that entry, Yes skips it, and the follow-up decides whether that kind of
// problem is asked about again during this run.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/messages.h"
#include "tests/job/job_test_util.h"
#include "tests/support/dialog_harness.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

constexpr char16_t kPassword[] = u"prompts";

// Two enciphered files and three plain ones: decrypting asks about each
// plain one unless told not to.
class NotEncryptedPromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string& r = h_.root();
    WriteFile(r + "/e1", "one");
    WriteFile(r + "/e2", "two");
    h_.Encrypt(kPassword);
    ASSERT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone);
    for (const char* name : {"p1", "p2", "p3"}) WriteFile(r + "/" + name, name);
    h_.window().boxes.clear();
  }

  void DecryptAnswering(int follow_up) {
    h_.window().SetResponder(Script()
                                 .On(Format(text::kMixedPlain, {3}), IDYES)
                                 .On(FirstLine(text::kNotEncrypted), IDYES)
                                 .On(text::kDontShowAgain, follow_up)
                                 .Responder());
    h_.Decrypt(kPassword);
  }

  int Prompts() {
    return h_.window().CountBoxes(FirstLine(text::kNotEncrypted));
  }

  DialogHarness h_;
};

TEST_F(NotEncryptedPromptTest, YesThenYesSkipsThatProblemSilentlyForTheRun) {
  DecryptAnswering(IDYES);
  EXPECT_EQ(Prompts(), 1) << h_.window().Dump();
  EXPECT_EQ(h_.window().CountBoxes(text::kDontShowAgain), 1);
  EXPECT_EQ(h_.job().m_nFound, 5);
  EXPECT_EQ(h_.job().m_nDone, 2);
  EXPECT_EQ(h_.window().boxes.back().text, u"5 ファイル中 2 ファイル処理しました。");
  EXPECT_EQ(Names(h_.root()),
            (std::vector<std::string>{"e1", "e2", "p1", "p2", "p3"}));
  EXPECT_EQ(ReadFile(h_.root() + "/e1"), "one");
  EXPECT_EQ(ReadFile(h_.root() + "/p2"), "p2");
}

TEST_F(NotEncryptedPromptTest, YesThenNoAsksAgainForEachEntry) {
  DecryptAnswering(IDNO);
  EXPECT_EQ(Prompts(), 3) << h_.window().Dump();
  EXPECT_EQ(h_.window().CountBoxes(text::kDontShowAgain), 3);
  EXPECT_EQ(h_.job().m_nDone, 2);
}

TEST_F(NotEncryptedPromptTest, NoStopsTheRunAtThatEntryWithoutAFollowUp) {
  h_.window().SetResponder(Script()
                               .On(Format(text::kMixedPlain, {3}), IDYES)
                               .On(FirstLine(text::kNotEncrypted), IDNO)
                               .Responder());
  h_.Decrypt(kPassword);
  EXPECT_EQ(Prompts(), 1) << h_.window().Dump();
  EXPECT_EQ(h_.window().CountBoxes(text::kDontShowAgain), 0);
  EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kSomeDone);
  // Entries after the one refused keep their enciphered names.
  const std::vector<std::string> order = ListingOrder(h_.root());
  int enciphered_after = 0;
  bool after = false;
  for (const std::string& name : order) {
    if (name[0] == 'p') {
      after = true;
    } else if (after) {
      ++enciphered_after;
    }
  }
  EXPECT_EQ(h_.job().m_nDone, 2 - enciphered_after);
  EXPECT_EQ(h_.window().boxes.back().text,
            Format(text::kSomeDone, {h_.job().m_nFound, h_.job().m_nDone}));
}

TEST(ProblemPromptTest, NoStopsBeforeAnyDirectoryIsEntered) {
  DialogHarness h;
  const std::string& r = h.root();
  MakeDirectory(r + "/S");
  WriteFile(r + "/S/g", "g");
  h.Encrypt(kPassword);
  WriteFile(r + "/plain", "plain");
  h.window().QueueAnswer(IDYES);  // W2
  h.window().QueueAnswer(IDNO);   // the plain file
  h.Decrypt(kPassword);
  // Whatever the listing order, the walk never got below the top level.
  const std::string g = EncipheredName(kPassword, u"g");
  const std::string s = EncipheredName(kPassword, u"S");
  EXPECT_TRUE(Names(r + "/S") == std::vector<std::string>{g} ||
              Names(r + "/" + s) == std::vector<std::string>{g})
      << h.window().Dump();
  EXPECT_EQ(h.window().CountBoxes(text::kDontShowAgain), 0);
}

TEST(ProblemPromptTest, ASuppressedCodeLeavesOtherCodesWithTheSameText) {
  DialogHarness h;
  const std::string& r = h.root();
  MakeDirectory(r + "/S");
  h.Encrypt(kPassword);  // S gets its enciphered name; nothing else to do
  const std::string s = EncipheredName(kPassword, u"S");
  ASSERT_EQ(Names(r), std::vector<std::string>{s});
  // A marked name with a class character out of range (code 3), twice, and
  // a bare marker (code 7) below, met after both.
  WriteFile(r + "/\xc2\xbf" "abcX", "3");
  WriteFile(r + "/\xc2\xbf" "abcY", "3");
  WriteFile(r + "/" + s + "/\xc2\xbf", "7");

  h.window().SetResponder(Script()
                              .On(Format(text::kMixedPlain, {3}), IDYES)
                              .On(FirstLine(text::kInvalidName), IDYES)
                              .On(text::kDontShowAgain, IDYES)
                              .Responder());
  h.Decrypt(kPassword);
  const auto prompts = BoxesStartingWith(h.window(), FirstLine(text::kInvalidName));
  ASSERT_EQ(prompts.size(), 2u) << h.window().Dump();
  EXPECT_TRUE(Contains(prompts[0].text, Detail(r, "\xc2\xbf" "abcX")) ||
              Contains(prompts[0].text, Detail(r, "\xc2\xbf" "abcY")));
  EXPECT_TRUE(Contains(prompts[1].text, Detail(r + "/S", "\xc2\xbf")));
  for (const auto& prompt : prompts) {
    EXPECT_EQ(prompt.flags, MB_YESNO | MB_ICONERROR);
  }
  EXPECT_EQ(h.job().m_nDone, 1);  // S
}

TEST(ProblemPromptTest, WrongPasswordIsAnErrorAndEveryRunAsksAgain) {
  DialogHarness h;
  const std::string& r = h.root();
  WriteFile(r + "/a", "a");
  WriteFile(r + "/b", "b");
  h.Encrypt(kPassword);
  const TreeSnapshot encrypted = Snapshot(r);

  h.window().SetResponder(Script()
                              .On(FirstLine(text::kWrongPassword), IDYES)
                              .On(text::kDontShowAgain, IDYES)
                              .Responder());
  for (int run = 1; run <= 2; ++run) {
    h.Decrypt(u"not the password");
    const auto prompts = BoxesStartingWith(h.window(), FirstLine(text::kWrongPassword));
    ASSERT_EQ(prompts.size(), static_cast<std::size_t>(run)) << h.window().Dump();
    EXPECT_EQ(prompts.back().flags, MB_YESNO | MB_ICONERROR);
    EXPECT_EQ(h.window().boxes.back().text, u"2 ファイル中 0 ファイル処理しました。");
  }
  EXPECT_EQ(Snapshot(r), encrypted);
}

TEST(ProblemPromptTest, UnrepresentableNameIsAnErrorNamingTheEntry) {
  DialogHarness h;
  const std::string& r = h.root();
  MakeDirectory(r + "/S");
  WriteFile(r + "/S/what?", "question mark");
  h.window().SetResponder(Script()
                              .On(FirstLine(text::kUnrepresentableName), IDYES)
                              .On(text::kDontShowAgain, IDNO)
                              .Responder());
  h.Encrypt(kPassword);
  const auto prompts =
      BoxesStartingWith(h.window(), FirstLine(text::kUnrepresentableName));
  ASSERT_EQ(prompts.size(), 1u) << h.window().Dump();
  EXPECT_TRUE(Contains(prompts[0].text, Detail(r + "/S", "what?")));
  EXPECT_EQ(prompts[0].flags, MB_YESNO | MB_ICONERROR);
  EXPECT_EQ(ReadFile(r + "/" + EncipheredName(kPassword, u"S") + "/what?"),
            "question mark");
}

}  // namespace
}  // namespace velmora::testing
