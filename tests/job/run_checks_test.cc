// What a run checks before it walks: the target, whether there is anything
// to do, the password, the mixed-tree warnings; and how it reports.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "job/messages.h"
#include "job/run_job.h"
#include "tests/job/job_test_util.h"
#include "tests/support/dialog_harness.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

constexpr char16_t kPassword[] = u"run checks";

// Runs RunJob on |path| as Execute would, without the dialog's own gate on
// the Execute button. Should a check let the path through, the password is
// cancelled, so nothing is ever walked.
void RunOn(DialogHarness& h, const std::u16string& path) {
  h.window().SetControlText(IDC_PATH, path);
  h.window().QueuePassword(std::nullopt);
  RunJob(h.dialog());
}

TEST(RunChecksTest, RefusesAMissingOrFileTargetWithTheTextAsTyped) {
  DialogHarness h;
  const std::string& r = h.root();
  WriteFile(r + "/file.txt", "plain");
  const TreeSnapshot before = Snapshot(r);

  struct Case {
    std::u16string typed;
    std::u16string message;
  };
  const Case cases[] = {
      {u"", Format(text::kPathMissing, {u""})},
      {U16(r + "/missing"), Format(text::kPathMissing, {U16(r + "/missing")})},
      {U16(r + "/file.txt"), Format(text::kPathIsFile, {U16(r + "/file.txt")})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Bytes(c.typed));
    h.window().boxes.clear();
    RunOn(h, c.typed);
    ASSERT_EQ(h.window().boxes.size(), 1u) << h.window().Dump();
    EXPECT_EQ(h.window().boxes[0].text, c.message);
    EXPECT_EQ(h.window().boxes[0].flags, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kInvalidTarget);
  }
  EXPECT_EQ(h.window().password_dialogs, 0);
  EXPECT_EQ(h.window().input_block_changes, 0);
  EXPECT_EQ(Snapshot(r), before);
}

TEST(RunChecksTest, NeverAcceptsTheRootHoweverItIsSpelled) {
  // Should the check ever fail, this test must not walk the machine: no
  // scan of the root is let run, and RunOn cancels the password.
  DialogHarness h;
  ::symlink("/", (h.root() + "/to-root").c_str());
  std::vector<int> posted;
  h.window().dispatch = [&posted](int command) { posted.push_back(command); };
  const std::u16string spellings[] = {u"/", u"//", u"/tmp/..",
                                       U16(h.root() + "/to-root"),
                                       U16(h.root() + "/to-root/")};
  for (const std::u16string& typed : spellings) {
    SCOPED_TRACE(Bytes(typed));
    h.window().boxes.clear();
    RunOn(h, typed);
    ASSERT_EQ(h.window().boxes.size(), 1u) << h.window().Dump();
    EXPECT_TRUE(StartsWith(h.window().boxes[0].text, FirstLine(text::kPathMissing)))
        << h.window().Dump();
    EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kInvalidTarget);

    // The path check does not start a scan of it either.
    h.TypePath(typed);
    EXPECT_TRUE(posted.empty());
    EXPECT_FALSE(h.window().IsControlEnabled(IDC_EXECUTE));
  }
  EXPECT_EQ(h.window().password_dialogs, 0);
  EXPECT_EQ(h.window().input_block_changes, 0);
}

TEST(RunChecksTest, OneTrailingSlashIsAcceptedAndWalked) {
  DialogHarness h;
  const std::string& r = h.root();
  WriteFile(r + "/a.txt", "a");
  MakeDirectory(r + "/S");
  WriteFile(r + "/S/g", "g");

  h.TypePath(U16(r + "/"));
  EXPECT_EQ(h.job().m_strScanDir, U16(r));
  EXPECT_EQ(h.job().m_nScanTotal, 3);
  ASSERT_TRUE(h.window().IsControlEnabled(IDC_EXECUTE));
  h.Encrypt(kPassword);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << h.window().Dump();
  EXPECT_EQ(h.job().m_nDone, 3);
  std::vector<std::string> expected = {EncipheredName(kPassword, u"S"),
                                       EncipheredName(kPassword, u"a.txt")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names(r), expected);
}

TEST(RunChecksTest, NothingToDoEndsTheRunBeforeThePassword) {
  enum class Entry { kNone, kPlain, kEnciphered };  // the tree's one entry
  struct Case {
    const char* name;
    Entry entry;
    int radio;
    const char16_t* message;
  };
  const Case cases[] = {
      {"empty tree, encrypt", Entry::kNone, IDC_RADIO_ENCRYPT, text::kNothingToEncrypt},
      {"enciphered tree, encrypt", Entry::kEnciphered, IDC_RADIO_ENCRYPT,
       text::kNothingToEncrypt},
      {"plain tree, decrypt", Entry::kPlain, IDC_RADIO_DECRYPT, text::kNothingToDecrypt},
      {"plain tree, temporary", Entry::kPlain, IDC_RADIO_TEMPORARY,
       text::kNothingToDecrypt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DialogHarness h;
    if (c.entry != Entry::kNone) {
      const std::string name = c.entry == Entry::kEnciphered
                                   ? EncipheredName(kPassword, u"f.txt")
                                   : "f.txt";
      WriteFile(h.root() + "/" + name, "contents");
    }
    const TreeSnapshot before = Snapshot(h.root());
    h.Choose(c.radio);
    h.Execute(kPassword);
    ASSERT_EQ(h.window().boxes.size(), 1u) << h.window().Dump();
    EXPECT_EQ(h.window().boxes[0].text, c.message);
    EXPECT_EQ(h.window().boxes[0].flags, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(h.window().password_dialogs, 0);
    EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kNothingToDo);
    EXPECT_EQ(Snapshot(h.root()), before);
  }
}

TEST(RunChecksTest, CancelledPasswordTouchesNothingAndKeepsExecute) {
  DialogHarness h;
  WriteFile(h.root() + "/a.txt", "a");
  const TreeSnapshot before = Snapshot(h.root());
  h.Choose(IDC_RADIO_ENCRYPT);
  h.Execute(std::nullopt);
  EXPECT_EQ(h.window().password_dialogs, 1);
  EXPECT_TRUE(h.window().boxes.empty()) << h.window().Dump();
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kCancelled);
  EXPECT_EQ(Snapshot(h.root()), before);
  EXPECT_TRUE(h.window().IsControlEnabled(IDC_EXECUTE));
  EXPECT_EQ(h.window().input_block_changes, 0);
}

class MixedTreeTest : public ::testing::Test {
 protected:
  // 3 enciphered and 5 plain entries.
  void SetUp() override {
    const std::string& r = h_.root();
    for (const char16_t* name : {u"x.txt", u"y.txt", u"z.txt"}) {
      WriteFile(r + "/" + EncipheredName(kPassword, name), "enciphered");
    }
    for (const char* name : {"p1", "p2", "p3", "p4"}) WriteFile(r + "/" + name, name);
    MakeDirectory(r + "/plain dir");
    before_ = Snapshot(r);
  }

  DialogHarness h_;
  TreeSnapshot before_;
};

TEST_F(MixedTreeTest, EncryptWarnsAfterThePasswordAndNoLeavesTheTree) {
  int passwords_at_warning = -1;
  ScriptedWindow& window = h_.window();
  window.SetResponder([&](const std::u16string&, unsigned) {
    passwords_at_warning = window.password_dialogs;
    return IDNO;
  });
  h_.Encrypt(kPassword);
  ASSERT_EQ(window.boxes.size(), 1u) << window.Dump();
  EXPECT_EQ(window.boxes[0].text, Format(text::kMixedEncrypted, {3}));
  EXPECT_EQ(window.boxes[0].flags, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(passwords_at_warning, 1);
  EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kDeclined);
  EXPECT_EQ(window.input_block_changes, 0);
  EXPECT_EQ(Snapshot(h_.root()), before_);
}

TEST_F(MixedTreeTest, DecryptWarnsAboutThePlainEntriesAndNoLeavesTheTree) {
  h_.window().QueueAnswer(IDNO);
  h_.Decrypt(kPassword);
  ASSERT_EQ(h_.window().boxes.size(), 1u) << h_.window().Dump();
  EXPECT_EQ(h_.window().boxes[0].text, Format(text::kMixedPlain, {5}));
  EXPECT_EQ(h_.window().password_dialogs, 1);
  EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kDeclined);
  EXPECT_EQ(Snapshot(h_.root()), before_);
}

TEST(RunReportTest, AllDoneAndSomeDoneSummaries) {
  DialogHarness h;
  const std::string& r = h.root();
  WriteFile(r + "/a", "a");
  WriteFile(r + "/b", "b");
  WriteFile(r + "/c", "c");
  h.Encrypt(kPassword);
  EXPECT_EQ(h.window().boxes.back().text, u"全て正常に処理しました。\r\n3 / 3ファイル");
  EXPECT_EQ(h.window().boxes.back().flags, MB_OK | MB_ICONINFORMATION);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone);
  EXPECT_EQ(h.Status(IDC_STATUS_MAIN), h.window().boxes.back().text);
  EXPECT_EQ(h.Status(IDC_STATUS_SUB), text::kProcessingComplete);

  // One entry is skipped: the count of entries found comes first.
  DialogHarness skipped;
  const std::string& s = skipped.root();
  WriteFile(s + "/a", "a");
  WriteFile(s + "/b", "b");
  WriteFile(s + "/ leading space", "cannot come back");
  skipped.window().SetResponder(
      Script()
          .On(FirstLine(text::kUnrepresentableName), IDYES)
          .On(text::kDontShowAgain, IDNO)
          .Responder());
  skipped.Encrypt(kPassword);
  EXPECT_EQ(skipped.window().boxes.back().text, u"3 ファイル中 2 ファイル処理しました。");
  EXPECT_EQ(skipped.dialog().m_lastRunOutcome, RunOutcome::kSomeDone);
}

TEST(RunReportTest, InputIsBlockedOnlyDuringTheWalkAndExecuteEndsDisabled) {
  DialogHarness h;
  WriteFile(h.root() + "/a", "a");
  WriteFile(h.root() + "/ b", "cannot come back");
  std::vector<std::pair<std::u16string, bool>> seen;  // box, input blocked
  ScriptedWindow& window = h.window();
  window.SetResponder([&](const std::u16string& text, unsigned flags) {
    seen.emplace_back(text, window.input_blocked);
    return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  });
  h.Encrypt(kPassword);
  ASSERT_EQ(seen.size(), 3u) << window.Dump();  // problem, follow-up, summary
  EXPECT_TRUE(seen[0].second);
  EXPECT_TRUE(seen[1].second);
  EXPECT_EQ(seen[2].first, u"2 ファイル中 1 ファイル処理しました。");
  EXPECT_FALSE(seen[2].second);
  EXPECT_FALSE(window.input_blocked);
  EXPECT_EQ(window.input_block_changes, 2);
  EXPECT_FALSE(window.IsControlEnabled(IDC_EXECUTE));

  // A run the user stops inside the walk ends the same way.
  WriteFile(h.root() + "/c", "c");
  window.SetResponder(Script()
                          .On(Format(text::kMixedPlain, {2}), IDYES)
                          .On(FirstLine(text::kNotEncrypted), IDNO)
                          .Responder());
  h.Decrypt(kPassword);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kSomeDone) << window.Dump();
  EXPECT_FALSE(window.input_blocked);
  EXPECT_EQ(window.input_block_changes, 4);
  EXPECT_FALSE(window.IsControlEnabled(IDC_EXECUTE));
}

}  // namespace
}  // namespace velmora::testing
