// velmora-cli end to end: the real binary on real temporary trees, stdio on
// pipes and no controlling terminal, so there is never a person to ask.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/console_texts.h"
#include "job/messages.h"
#include "platform/u16_format.h"
#include "tests/cli/cli_child.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

namespace ct = cli::console_text;

// A tree of nine entries in "tree" below a temporary directory.
class CliTest : public ::testing::Test {
 protected:
  CliTest() : root_(base_.path() + "/tree") {
    for (const char* dir : {"", "/sub", "/sub/deeper", "/empty dir"}) MakeDirectory(root_ + dir);
    WriteFile(root_ + "/a.txt", "hello");
    WriteFile(root_ + "/empty", "");
    WriteFile(root_ + "/photo.JPG", RandomContents(20000, 1));
    WriteFile(root_ + "/big.bin", RandomContents(1048576 + 5, 2));
    WriteFile(root_ + "/sub/\xe5\xa0\xb1\xe5\x91\x8a.txt", RandomContents(5000, 3));
    WriteFile(root_ + "/sub/deeper/last", "deepest");
  }
  Cli Encrypt(const std::string& input = kPasswordLine) {
    return RunCli({"encrypt", root_, "--password-stdin"}, input);
  }
  // The one line an error that ends the run prints.
  std::string Failure(std::u16string_view text, const std::string& tail = "") const {
    return "velmora-cli: " + root_ + ": " + Joined(text) + tail + "\n";
  }

  ScopedStateHome state_home_;
  TempDir base_;
  const std::string root_;
  const std::string all_nine_ = Shown(Format(text::kAllDone, {9, 9})) + "\n";
};

TEST_F(CliTest, RefusalsBeforeAnyChangeExitTwoThreeOrFourForNothingToDo) {
  const TreeSnapshot plain = Snapshot(root_);
  const std::string huge = base_.path() + "/huge";  // never snapshot: 4 GiB
  MakeDirectory(huge);
  MakeSparseFile(huge + "/huge.img", int64_t{4} << 30);
  const std::u16string state = Utf16FromWtf8(state_home_.folder());
  const struct {
    std::string command, path, input, message;
    int status = 2;
  } rows[] = {
      {"encrypt", base_.path() + "/missing", kPasswordLine,
       "無効なパスです。 (No such file or directory)"},
      {"encrypt", root_ + "/a.txt", kPasswordLine,
       Joined(text::kFileNotSupported) + " (Not a directory)"},
      {"encrypt", state_home_.path(), kPasswordLine,
       Joined(Format(text::kHoldsStateFolder, {state, Utf16FromWtf8(state_home_.path())}))},
      {"decrypt", state_home_.folder() + "/journal", kPasswordLine,
       Joined(Format(text::kInsideStateFolder, {state, state + u"/journal"}))},
      {"encrypt", huge, "",
       Joined(text::kFileTooLarge +
              Format(text::kPathBlock, {Utf16FromWtf8(huge + "/"), u"huge.img"})),
       3},
      {"decrypt", root_, "", Joined(text::kNothingToDecrypt), 4},
      {"open", root_, "", Joined(text::kNothingToDecrypt), 4},
      {"encrypt", root_, "\n", "velmora-cli: 標準入力: パスワードが短すぎます。\n"},
  };
  std::filesystem::create_directories(state_home_.folder() + "/journal");
  WriteFile(state_home_.folder() + "/journal/record", "kept as it is");
  for (const auto& row : rows) {
    const Cli result = RunCli({row.command, row.path, "--password-stdin"}, row.input);
    EXPECT_EQ(result.status, row.status) << row.path;
    EXPECT_TRUE(Has(result.err, row.message)) << result.err;
    EXPECT_TRUE(result.err.starts_with("velmora-cli: ")) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(ReadFile(state_home_.folder() + "/journal/record"), "kept as it is");
  // Without --password-stdin there is no terminal to ask either.
  EXPECT_EQ(RunCli({"encrypt", root_}, kPasswordLine).status, 2);
  EXPECT_EQ(Snapshot(root_), plain);
  // Encrypted, there is nothing to encrypt: found before a password is read.
  ASSERT_EQ(Encrypt().status, 0);
  const Cli again = Encrypt("");
  EXPECT_EQ(again.status, 4);
  EXPECT_EQ(again.err, Failure(text::kNothingToEncrypt));
}

// The names are shorter than the password, so a near one deciphers them:
// this account's verifier refuses it (tests/job/password_check_test.cc);
// without one only --trust-password goes on.
TEST_F(CliTest, AnUncheckablePasswordNeedsTrustPassword) {
  ASSERT_EQ(Encrypt("Summer2024!\n").status, 0);
  const TreeSnapshot encrypted = Snapshot(root_);
  const Cli mistyped = RunCli({"open", root_, "--password-stdin"}, "Summer2025!\n");
  EXPECT_EQ(mistyped.status, 5);
  EXPECT_EQ(mistyped.err, Failure(text::kPasswordDiffers));
  std::filesystem::remove_all(state_home_.folder() + "/passwords");  // as if made elsewhere
  const Cli unattended = RunCli({"decrypt", root_, "--password-stdin", "--yes"}, "Summer2024!\n");
  EXPECT_EQ(unattended.status, 5);
  EXPECT_TRUE(Has(unattended.err,
                  Failure(text::kPasswordUnchecked, " -> いいえ " + Shown(ct::kTrustWouldAnswer))))
      << unattended.err;
  EXPECT_EQ(Snapshot(root_), encrypted);
  const Cli trusted =
      RunCli({"decrypt", "--trust-password", root_, "--password-stdin"}, "Summer2024!\n");
  EXPECT_EQ(trusted.status, 0) << trusted.err;
  EXPECT_TRUE(Has(trusted.err, Shown(text::kPasswordUnchecked) + "\n-> はい\n")) << trusted.err;
  EXPECT_EQ(trusted.out, all_nine_);
}

// Without a terminal the default policy is abort (AnswerPolicyTest); skip
// answers the one prompt and every entry is skipped.
TEST_F(CliTest, AWrongPasswordIsSkippedEntryByEntryUnderSkip) {
  ASSERT_EQ(Encrypt().status, 0);
  const TreeSnapshot encrypted = Snapshot(root_);
  const Cli aborted = RunCli({"decrypt", root_, "--password-stdin"}, "wrong\n");
  EXPECT_EQ(aborted.status, 5);
  EXPECT_TRUE(aborted.err.ends_with(" -> いいえ " + Shown(ct::kSkipWouldAnswer) + "\n"))
      << aborted.err;
  const Cli skipped =
      RunCli({"decrypt", "--on-problem=skip", root_, "--password-stdin"}, "wrong\n");
  EXPECT_EQ(skipped.status, 5);
  EXPECT_TRUE(Has(skipped.err, "-> はい\n" + Shown(text::kDontShowAgain) + "\n-> はい\n"))
      << skipped.err;
  EXPECT_EQ(skipped.out, Shown(Format(text::kSomeDone, {9, 0})) + "\n");
  EXPECT_EQ(Snapshot(root_), encrypted);
}

TEST_F(CliTest, APasswordSourceThatGivesNoneIsNamedWithItsReason) {
  const std::string none = Shown(ct::kNoPassword);
  const std::string unreadable = Shown(ct::kPasswordUnreadable);
  const struct {
    std::vector<std::string> options;
    std::string input, err;
  } rows[] = {
      {{"--password-stdin"}, "", "velmora-cli: 標準入力: " + none + " (空です)\n"},
      {{"--password-file", "/dev/null"}, "", "velmora-cli: /dev/null: " + none + " (空です)\n"},
      {{"--password-fd=0"}, "", "velmora-cli: ファイル記述子 0: " + none + " (空です)\n"},
      {{"--password-file", base_.path()},
       kPasswordLine,
       "velmora-cli: " + base_.path() + ": " + unreadable + " (Is a directory)\n"},
      {{"--password-fd", "7"},
       kPasswordLine,  // not open in the child
       "velmora-cli: ファイル記述子 7: " + unreadable + " (Bad file descriptor)\n"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = {"encrypt", root_};
    args.insert(args.end(), row.options.begin(), row.options.end());
    const Cli result = RunCli(args, row.input);
    EXPECT_EQ(result.status, 2) << row.err;
    EXPECT_EQ(result.err, row.err);
  }
}

// --yes goes on past the mixed-tree warning, but never deletes an existing
// target: a.txt added to the encrypted tree finds its enciphered name taken.
TEST_F(CliTest, MixedTreeGoesOnOnlyWithYesAndAnExistingTargetIsNeverDeleted) {
  ASSERT_EQ(Encrypt().status, 0);
  WriteFile(root_ + "/a.txt", "second");
  const TreeSnapshot mixed = Snapshot(root_);
  const std::u16string warning = Format(text::kMixedEncrypted, {9});
  const Cli declined =
      RunCli({"encrypt", root_, "--on-problem=skip", "--password-stdin"}, kPasswordLine);
  EXPECT_EQ(declined.status, 2);
  EXPECT_EQ(declined.err, Failure(warning, " -> いいえ " + Shown(ct::kYesWouldAnswer)));
  const Cli accepted =
      RunCli({"encrypt", "--yes", root_, "--on-problem=skip", "--password-stdin"}, kPasswordLine);
  EXPECT_EQ(accepted.status, 1) << accepted.err;
  EXPECT_TRUE(Has(accepted.err, Shown(warning) + "\n-> はい\n")) << accepted.err;
  const std::u16string_view exists = text::kTargetExists;
  EXPECT_TRUE(Has(accepted.err, Shown(exists.substr(0, exists.find(u'%')))));
  EXPECT_EQ(Snapshot(root_), mixed);
}

// Only the summary goes to stdout. Open encrypts again with the same key,
// so to the same names and bytes, whichever way its wait ends.
TEST_F(CliTest, EncryptOpenAndDecryptRestoreEveryNameAndByte) {
  const TreeSnapshot plain = Snapshot(root_);
  const Cli result = Encrypt();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, all_nine_);
  EXPECT_FALSE(Has(result.err, all_nine_)) << result.err;
  EXPECT_FALSE(Has(result.err, "\r")) << result.err;  // no progress line on a pipe
  const TreeSnapshot encrypted = Snapshot(root_);
  for (const auto& [path, entry] : encrypted) EXPECT_EQ(plain.count(path), 0u) << path;
  // 0 closes stdin, -1 types Enter; the rest are signals.
  for (const int end : {0, -1, SIGTERM, SIGHUP}) {
    Child child({"open", "--password-stdin", root_});
    child.Write(kPasswordLine);
    ASSERT_TRUE(child.ReadUntil(Shown(text::kWaiting).c_str())) << end;
    EXPECT_EQ(Snapshot(root_), plain);
    if (end == 0) child.CloseInput();
    if (end == -1) child.Write("\n");
    if (end > 0) child.Signal(end);
    const Cli opened = child.Finish();
    EXPECT_EQ(opened.status, 0) << end << opened.err;
    EXPECT_EQ(opened.out, all_nine_ + all_nine_);
    EXPECT_EQ(Snapshot(root_), encrypted) << end;
  }
  const Cli decrypted = RunCli({"decrypt", "--password-stdin", root_}, kPasswordLine);
  EXPECT_EQ(decrypted.status, 0) << decrypted.err;
  EXPECT_EQ(decrypted.out, all_nine_);
  EXPECT_EQ(Snapshot(root_), plain);
}

TEST_F(CliTest, UsageErrorsExitTwoAndChangeNothing) {
  const TreeSnapshot plain = Snapshot(root_);
  const std::vector<std::vector<std::string>> lines = {
      {},
      {"encrypt"},
      {"scramble", root_},
      {"encrypt", root_, "--force"},
      {"encrypt", "--on-problem=maybe", root_},
      {"encrypt", root_, "--extensions=ZIP,ABCDEFGHIJ"},
      {"encrypt", root_, "--extensions=あいうえおかきくけこ"},
      {"encrypt", root_, "--on-problem"},
      {"encrypt", root_, "extra"},
      {"encrypt", root_, "--yes=1"},
      {"encrypt", root_, "--password-fd=x"},
      {"encrypt", root_, "--password-stdin", "--password-fd", "0"}};
  for (const std::vector<std::string>& args : lines) {
    const Cli result = RunCli(args, kPasswordLine);
    EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
    EXPECT_TRUE(Has(result.err, "'velmora-cli --help'")) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(Snapshot(root_), plain);
}

TEST_F(CliTest, OptionsTakeEveryGetoptForm) {
  const TreeSnapshot plain = Snapshot(root_);
  const std::string file = base_.path() + "/pass";
  WriteFile(file, kPasswordLine);
  Cli result =
      RunCli({"--password-file", file, "-y", "encrypt", root_, "--on-problem", "skip"}, "");
  ASSERT_EQ(result.status, 0) << result.err;
  // Decrypt asks once: one line of input is enough on descriptor 0.
  result = RunCli({"--password-fd=0", "decrypt", "--", root_}, kPasswordLine);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Snapshot(root_), plain);
  result = RunCli({"encrypt", "--password-stdin", "--", "-h"}, kPasswordLine);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err,
            "velmora-cli: -h: " + Shown(text::kInvalidPath) + " (No such file or directory)\n");
  // An unreadable password file is told only when the run asks for it.
  result = RunCli({"decrypt", root_, "--password-file=" + file + "x"}, "");
  EXPECT_EQ(result.status, 4);
  EXPECT_FALSE(Has(result.err, "No such file")) << result.err;
}

TEST_F(CliTest, SummaryThatCannotBeWrittenFailsTheRun) {
  const std::string command = "printf 'secret\\n' | LC_ALL=C.UTF-8 " +
                              std::string(VELMORA_CLI_PATH) + " encrypt --password-stdin '" +
                              root_ + "' >/dev/full 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

// Japanese for C, POSIX, C.UTF-8 and ja locales; English, the only other
// catalogue, for every other. A missing locale reads as C.
TEST(CliLocaleTest, JapaneseForJapaneseAndCLocalesEnglishForEveryOther) {
  const struct {
    const char* language;
    const char* all;
    bool english;
  } rows[] = {{"", "en_US.UTF-8", true},       {"en", "ja_JP.UTF-8", true},
              {"ja:en", "en_US.UTF-8", false}, {"fr:en", "ja_JP.UTF-8", true},
              {"", "ja_JP.UTF-8", false},      {"en", "C", false},
              {"en", "POSIX", false},          {"", "C.UTF-8", false},
              {"", "de_DE.UTF-8", true},       {"ja", "de_DE.UTF-8", false}};
  TempDir dir;
  WriteFile(dir.path() + "/a", "a");
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.language) + " " + row.all);
    const Cli help = RunCli({"--help"}, "", {{"LANGUAGE", row.language}, {"LC_ALL", row.all}});
    EXPECT_EQ(Has(help.out, "Usage: velmora-cli"), row.english);
  }
  const Cli result = RunCli({"encrypt", dir.path(), "--password-stdin"}, kPasswordLine,
                            {{"LANGUAGE", ""}, {"LC_ALL", "en_US.UTF-8"}});
  EXPECT_EQ(result.out, "All done without problems.\n1 / 1 entries\n");
}

// Under EUC-JP everything printed is EUC-JP, with '?' for what it lacks
// (the emoji); under C it is the UTF-8 it always was.
TEST(CliCharsetTest, OutputIsInTheLocalesCharacterSet) {
  TempDir dir;
  const std::string missing = dir.path() + "/\xe5\xa0\xb1\xe5\x91\x8a\xf0\x9f\x98\x80";
  const Cli refused =
      RunCli({"encrypt", missing, "--password-stdin"}, kPasswordLine, {{"LC_ALL", "ja_JP.EUC-JP"}});
  EXPECT_EQ(refused.status, 2);
  const std::optional<std::string> line = Converted("UTF-8", "EUC-JP", refused.err);
  ASSERT_TRUE(line.has_value()) << refused.err;
  EXPECT_TRUE(line->starts_with("velmora-cli: " + dir.path() +
                                "/\xe5\xa0\xb1\xe5\x91\x8a?: " + Shown(text::kInvalidPath) + " ("))
      << *line;
  EXPECT_TRUE(line->ends_with(")\n")) << *line;
  const Cli plain =
      RunCli({"encrypt", missing, "--password-stdin"}, kPasswordLine, {{"LC_ALL", "C"}});
  EXPECT_EQ(plain.err, "velmora-cli: " + missing + ": " + Shown(text::kInvalidPath) +
                           " (No such file or directory)\n");
}

// The last character of an enciphered name: '#' the head, '$' everything.
TEST(CliRangeTest, WholeAndExtensionsChooseWhatIsEnciphered) {
  const struct {
    const char* option;
    const char* file;
    char range;
  } rows[] = {{"--yes", "a.zip", '#'},
              {"--whole", "a.zip", '$'},
              {"--extensions=LZH,dat", "b.DAT", '#'},
              {"--extensions=LZH,dat", "a.zip", '$'},
              {"--extensions=ABCDEFGHI,あいうえおかきくけ", "c.ABCDEFGHI", '#'},
              {"--extensions=ABCDEFGHI,あいうえおかきくけ", "d.あいうえおかきくけ", '#'}};
  for (const auto& row : rows) {
    TempDir dir;
    WriteFile(dir.path() + "/" + row.file, RandomContents(20000, 7));
    const Cli result =
        RunCli({"encrypt", row.option, dir.path(), "--password-stdin"}, kPasswordLine);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Names(dir.path()).at(0).back(), row.range) << row.option << " " << row.file;
  }
}

}  // namespace
}  // namespace velmora::testing
