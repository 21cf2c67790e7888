// What a run checks before it walks (the target, whether there is anything
// to do, the password, the mixed-tree warnings) and how it ends.

#include <unistd.h>

#include <cstdlib>

#include "job/run_job.h"
#include "tests/job/job_test_util.h"

namespace velmora::testing {
namespace {

class RunChecksTest : public JobTest {
 protected:
  // Runs with |typed| in the path box: the one box shown is |message| with
  // the text as typed (less a trailing '/').
  void ExpectRefusal(const std::string& typed, std::u16string_view message) {
    w().boxes.clear();
    w().SetControlText(IDC_PATH, U16(typed));
    h_.dialog().RunWithControls();
    const std::string shown =
        typed.size() > 1 && typed.ends_with('/') ? typed.substr(0, typed.size() - 1) : typed;
    EXPECT_EQ(w().boxes,
              (Boxes{{Format(message, {U16(shown)}), MB_OK | MB_ICONEXCLAMATION, IDOK}}));
  }
};

// Refused before a scan or a password, with the text as typed (the root,
// however spelt, as soon as it is typed).
TEST_F(RunChecksTest, RefusesMissingPathsFilesSystemAndTopFoldersAndTheHomeFolder) {
  const char* previous_home = std::getenv("HOME");
  const std::string saved_home = previous_home != nullptr ? previous_home : "";
  ::setenv("HOME", h_.root().c_str(), 1);
  Make({"file.txt"});
  ASSERT_EQ(::symlink("/", Path("to-root").c_str()), 0);
  const TreeSnapshot before = Snapshot(h_.root());
  std::vector<int> posted;  // should a check fail, the root is never scanned
  w().dispatch = [&posted](int command) { posted.push_back(command); };
  w().password = std::nullopt;  // nor walked
  const std::pair<std::string, std::u16string_view> cases[] = {
      {"", text::kPathMissing},
      {Path("missing"), text::kPathMissing},
      {"/", text::kSystemFolder},
      {"//", text::kSystemFolder},
      {"/tmp/..", text::kSystemFolder},
      {Path("to-root/"), text::kSystemFolder},
      {Path("file.txt"), text::kPathIsFile},
      {"/dev", text::kSystemFolder},
      {"/usr/share", text::kSystemFolder},
      {"/etc/", text::kSystemFolder},
      {"/tmp", text::kTopFolder},
      {"/var/tmp", text::kTopFolder},
      {h_.root(), text::kTopFolder},
  };
  for (const auto& [typed, message] : cases) {
    SCOPED_TRACE(typed);
    ExpectRefusal(typed, message);
    std::error_code error;
    const bool root = std::filesystem::canonical(typed, error) == "/";
    if ((message == text::kSystemFolder || message == text::kTopFolder) && !root) continue;
    h_.TypePath(U16(typed));  // these not even once typed
    EXPECT_FALSE(w().IsControlEnabled(IDC_EXECUTE));
  }
  EXPECT_TRUE(posted.empty());
  EXPECT_EQ(w().password_dialogs, 0);
  EXPECT_EQ(Snapshot(h_.root()), before);
  ::setenv("HOME", saved_home.c_str(), 1);
}

TEST_F(RunChecksTest, NothingToDoEndsTheRunBeforeThePassword) {
  const struct {
    std::string entry;  // the tree's one entry, if any
    int radio;
    std::u16string_view message;
  } cases[] = {
      {"", IDC_RADIO_ENCRYPT, text::kNothingToEncrypt},
      {Enc(u"f.txt"), IDC_RADIO_ENCRYPT, text::kNothingToEncrypt},
      {"f.txt", IDC_RADIO_TEMPORARY, text::kNothingToDecrypt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry + " " + std::to_string(c.radio));
    Empty();
    if (!c.entry.empty()) Make({c.entry});
    const TreeSnapshot before = Snapshot(h_.root());
    h_.Choose(c.radio);
    h_.Execute(kPassword);
    EXPECT_EQ(w().boxes, (Boxes{{std::u16string(c.message), MB_OK | MB_ICONEXCLAMATION, IDOK}}));
    EXPECT_EQ(Snapshot(h_.root()), before);
  }
  EXPECT_EQ(w().password_dialogs, 0);
}

TEST_F(RunChecksTest, CancelledPasswordOrDeclinedWarningLeavesTheTreeAndExecute) {
  // One name longer than the password checks all of it: no question.
  Make({Enc(u"x"), Enc(u"y"), Enc(u"z, longer than the password"), "p1", "p2", "p3", "p4",
        "plain dir/"});
  const TreeSnapshot before = Snapshot(h_.root());
  const struct {
    int radio;
    std::optional<std::u16string> password;
    std::u16string warning;  // asked after the password, and declined
  } cases[] = {
      {IDC_RADIO_ENCRYPT, std::nullopt, u""},
      {IDC_RADIO_ENCRYPT, kPassword, Format(text::kMixedEncrypted, {3})},
      {IDC_RADIO_DECRYPT, kPassword, Format(text::kMixedPlain, {5})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Bytes(c.warning));
    w().boxes.clear();
    w().password_dialogs = 0;
    w().answers = {{c.warning, IDNO}};
    h_.Choose(c.radio);
    h_.Execute(c.password);
    EXPECT_EQ(w().password_dialogs, 1);
    EXPECT_EQ(w().boxes,
              (c.warning.empty() ? Boxes{} : Boxes{{c.warning, MB_YESNO | MB_ICONQUESTION, IDNO}}));
    EXPECT_TRUE(w().IsControlEnabled(IDC_EXECUTE));
  }
  EXPECT_EQ(w().input_block_changes, 0);
  EXPECT_EQ(Snapshot(h_.root()), before);
}

TEST_F(RunChecksTest, TrailingSlashIsWalkedWithInputBlockedOnlyMeanwhile) {
  Make({"a", " b", "S/", "S/g"});  // a leading space cannot come back from the cipher
  std::vector<bool> blocked;       // at each box
  w().on_box = [&](const std::u16string&) { blocked.push_back(w().input_blocked); };
  w().answers = SkipEachProblem();
  h_.TypePath(U16(h_.root() + "/"));
  h_.Encrypt(kPassword);
  // The problem, its follow-up, and the summary: found first, then done.
  EXPECT_EQ(blocked, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(w().boxes.back().text, u"4 ファイル中 3 ファイル処理しました。");
  EXPECT_EQ(Names(h_.root()), (std::vector<std::string>{" b", Enc(u"S"), Enc(u"a")}));
  EXPECT_EQ(w().input_block_changes, 2);
  EXPECT_FALSE(w().IsControlEnabled(IDC_EXECUTE));
}

// A probe folder a killed run left is neither counted nor enciphered, and
// the next run removes it; one deeper that holds data of somebody else's is
// left as it is, and not counted either.
TEST_F(RunChecksTest, ProbeFolderIsNeverCountedOrTouchedAndALeftoverGoes) {
  Make({"a", "S/", "S/g", ".velmora-probe/", "S/.velmora-probe/"});
  WriteFile(Path(".velmora-probe/\xc2\xbf" "A$"), "");
  WriteFile(Path("S/.velmora-probe/x"), "data");
  h_.TypePath(U16(h_.root()));
  h_.Encrypt(kPassword);
  EXPECT_EQ(w().boxes.back().text, Format(text::kAllDone, {3, 3}));
  EXPECT_EQ(Names(h_.root()), (std::vector<std::string>{Enc(u"S"), Enc(u"a")}));
  EXPECT_EQ(Names(Path(Enc(u"S"))), (std::vector<std::string>{".velmora-probe", Enc(u"g")}));
  EXPECT_EQ(ReadFile(Path(Enc(u"S") + "/.velmora-probe/x")), "data");
}

}  // namespace
}  // namespace velmora::testing
