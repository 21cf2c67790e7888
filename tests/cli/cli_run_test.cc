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

// A tree of nine entries in "tree" below a temporary directory.
class CliTest : public ::testing::Test {
 protected:
  CliTest() : root_(base_.path() + "/tree") {
    for (const char* dir : {"", "/sub", "/sub/deeper", "/empty dir"}) {
      MakeDirectory(root_ + dir);
    }
    WriteFile(root_ + "/a.txt", "hello");
    WriteFile(root_ + "/empty", "");
    WriteFile(root_ + "/photo.JPG", RandomContents(20000, 1));
    WriteFile(root_ + "/big.bin", RandomContents(1048576 + 5, 2));
    WriteFile(root_ + "/sub/\xe5\xa0\xb1\xe5\x91\x8a.txt",
              RandomContents(5000, 3));
    WriteFile(root_ + "/sub/deeper/last", "deepest");
  }

  Cli Encrypt(const std::string& input = kPasswordLine) {
    return RunCli({"encrypt", root_, "--password-stdin"}, input);
  }

  ScopedStateHome state_home_;
  TempDir base_;
  const std::string root_;
  const std::string all_nine_ = Shown(Format(text::kAllDone, {9, 9})) + "\n";
};

// Each refused before the password is read, and before anything changes.
TEST_F(CliTest, RefusalsBeforeAnyChangeExitTwoThreeOrFourForNothingToDo) {
  const TreeSnapshot plain = Snapshot(root_);
  const std::string huge = base_.path() + "/huge";  // never snapshot: 4 GiB
  MakeDirectory(huge);
  MakeDirectory(huge + "/sub");
  MakeSparseFile(huge + "/sub/huge.img", int64_t{4} << 30);
  struct Row {
    std::string command, path, input, message;
    int status = 2;
  };
  const Row rows[] = {
      {"encrypt", base_.path() + "/missing", kPasswordLine,
       "無効なパスです。 (No such file or directory)"},
      {"encrypt", "/", kPasswordLine, "無効なパスです。"},
      {"encrypt", root_ + "/a.txt", kPasswordLine,
       Joined(text::kFileNotSupported) + " (Not a directory)"},
      {"encrypt", state_home_.path(), kPasswordLine,
       Joined(Format(text::kHoldsStateFolder,
                     {Utf16FromWtf8(state_home_.folder()), Utf16FromWtf8(state_home_.path())}))},
      // Its journals and locks are never part of a tree, whatever the target.
      {"encrypt", state_home_.folder() + "/journal", kPasswordLine,
       Joined(
           Format(text::kInsideStateFolder, {Utf16FromWtf8(state_home_.folder()),
                                             Utf16FromWtf8(state_home_.folder() + "/journal")}))},
      {"decrypt", state_home_.folder() + "/locks", kPasswordLine,
       Joined(Format(text::kInsideStateFolder, {Utf16FromWtf8(state_home_.folder()),
                                                Utf16FromWtf8(state_home_.folder() + "/locks")}))},
      {"encrypt", huge, "",
       Joined(text::kFileTooLarge +
              Format(text::kPathBlock, {Utf16FromWtf8(huge + "/sub/"), u"huge.img"})),
       3},
      {"decrypt", root_, "", Joined(text::kNothingToDecrypt), 4},
      {"open", root_, "", Joined(text::kNothingToDecrypt), 4},
      // No password, or an empty one.
      {"encrypt", root_, "",
       "velmora-cli: 標準入力: パスワードが入力されませんでした。 (空です)\n"},
      {"encrypt", root_, "\n", "velmora-cli: 標準入力: パスワードが短すぎます。\n"},
  };
  for (const char* sub : {"/journal", "/locks"}) {
    std::filesystem::create_directories(state_home_.folder() + sub);
    WriteFile(state_home_.folder() + sub + "/record", "kept as it is");
  }
  for (const Row& row : rows) {
    const Cli result = RunCli({row.command, row.path, "--password-stdin"}, row.input);
    EXPECT_EQ(result.status, row.status) << row.path;
    // One line, about the target where it is refused.
    EXPECT_TRUE(Has(result.err, row.message)) << result.err;
    EXPECT_TRUE(result.err.starts_with("velmora-cli: ")) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(result.out, "");
  }
  for (const char* sub : {"/journal", "/locks"}) {
    EXPECT_EQ(ReadFile(state_home_.folder() + sub + "/record"), "kept as it is");
  }
  // Without --password-stdin there is no terminal to ask either.
  EXPECT_EQ(RunCli({"encrypt", root_}, kPasswordLine).status, 2);
  EXPECT_EQ(Snapshot(root_), plain);
  // Encrypted, there is nothing to encrypt: found before a password is read.
  ASSERT_EQ(Encrypt().status, 0);
  const TreeSnapshot encrypted = Snapshot(root_);
  const Cli again = Encrypt("");
  EXPECT_EQ(again.status, 4);
  EXPECT_EQ(again.err, "velmora-cli: " + root_ + ": " + Joined(text::kNothingToEncrypt) + "\n");
  EXPECT_FALSE(Has(again.err, "パスワード")) << again.err;
  EXPECT_EQ(Snapshot(root_), encrypted);
}

// Every name here is shorter than the password, so a password off in a
// late unit still deciphers them. The verifier this account keeps refuses
// it; where there is none, only --trust-password (or a person) goes on.
TEST_F(CliTest, MistypedOrUncheckablePasswordExitsFiveAndChangesNothing) {
  ASSERT_EQ(Encrypt("Summer2024!\n").status, 0);
  const TreeSnapshot encrypted = Snapshot(root_);
  for (const char* command : {"decrypt", "open"}) {
    const Cli mistyped = RunCli({command, root_, "--password-stdin"}, "Summer2025!\n");
    EXPECT_EQ(mistyped.status, 5) << command;
    EXPECT_EQ(mistyped.err,
              "velmora-cli: " + root_ + ": " + Joined(text::kPasswordDiffers) + "\n");
    EXPECT_EQ(Snapshot(root_), encrypted);
  }

  std::filesystem::remove_all(state_home_.folder() + "/passwords");  // as if made elsewhere
  const std::string asked = Shown(text::kPasswordUnchecked) + "\n-> ";
  for (const char* option : {"--on-problem=skip", "--yes"}) {
    const Cli unattended =
        RunCli({"decrypt", root_, "--password-stdin", option}, "Summer2024!\n");
    EXPECT_EQ(unattended.status, 5) << option;
    // The refusal that ends the run, on one line with the option that
    // would have answered it.
    EXPECT_TRUE(Has(unattended.err, "velmora-cli: " + root_ + ": " +
                                        Joined(text::kPasswordUnchecked) + " -> いいえ " +
                                        Shown(cli::console_text::kTrustWouldAnswer) + "\n"))
        << unattended.err;
    EXPECT_EQ(Snapshot(root_), encrypted);
  }
  const Cli trusted =
      RunCli({"decrypt", "--trust-password", root_, "--password-stdin"}, "Summer2024!\n");
  EXPECT_EQ(trusted.status, 0) << trusted.err;
  EXPECT_TRUE(Has(trusted.err, asked + "はい\n")) << trusted.err;
  EXPECT_FALSE(Has(trusted.err, Shown(cli::console_text::kTrustWouldAnswer))) << trusted.err;
  EXPECT_EQ(trusted.out, all_nine_);
}

// Two trees of one account, encrypted with near passwords: each record
// names its tree, so neither password opens the other tree. Records that
// name no tree cannot tell them apart: only --trust-password goes on.
TEST_F(CliTest, AnotherTreesNearPasswordExitsFiveAndChangesNothing) {
  const std::string other = base_.path() + "/other";
  MakeDirectory(other);
  for (const char* name : {"/x.txt", "/y.txt"}) WriteFile(other + name, RandomContents(3000, 7));
  ASSERT_EQ(Encrypt("Summer2024!\n").status, 0);
  ASSERT_EQ(RunCli({"encrypt", other, "--password-stdin"}, "Summer2025!\n").status, 0);
  const TreeSnapshot encrypted = Snapshot(other);
  const Cli near = RunCli({"decrypt", other, "--password-stdin"}, "Summer2024!\n");
  EXPECT_EQ(near.status, 5);
  EXPECT_EQ(near.err, "velmora-cli: " + other + ": " + Joined(text::kPasswordDiffers) + "\n");
  EXPECT_EQ(Snapshot(other), encrypted);

  for (const auto& file : std::filesystem::directory_iterator(state_home_.folder() + "/passwords")) {
    const std::string record = ReadFile(file.path());
    std::filesystem::remove(file.path());
    WriteFile(file.path(), record.substr(0, record.find('\n') + 1));
  }
  const std::string asked = Shown(text::kPasswordUnproven) + "\n-> ";
  const Cli unproven = RunCli({"decrypt", other, "--password-stdin", "--yes"}, "Summer2024!\n");
  EXPECT_EQ(unproven.status, 5);
  EXPECT_TRUE(Has(unproven.err, Joined(text::kPasswordUnproven) + " -> いいえ ")) << unproven.err;
  EXPECT_EQ(Snapshot(other), encrypted);
  const Cli trusted =
      RunCli({"decrypt", "--trust-password", other, "--password-stdin"}, "Summer2025!\n");
  EXPECT_EQ(trusted.status, 0) << trusted.err;
  EXPECT_TRUE(Has(trusted.err, asked + "はい\n")) << trusted.err;
  EXPECT_EQ(ReadFile(other + "/x.txt"), RandomContents(3000, 7));
}

TEST_F(CliTest, WrongPasswordFollowsTheProblemPolicy) {
  ASSERT_EQ(Encrypt().status, 0);
  const TreeSnapshot encrypted = Snapshot(root_);
  const std::string skip_all = Shown(text::kDontShowAgain) + "\n-> はい\n";
  // Without a terminal the default is abort, and ask has nobody to ask:
  // both name the option that would have skipped.
  const std::string skip_would = " -> いいえ " + Shown(cli::console_text::kSkipWouldAnswer) + "\n";
  for (const std::string policy : {"", "abort", "ask", "skip"}) {
    std::vector<std::string> args = {"decrypt", root_, "--password-stdin"};
    if (!policy.empty()) args.insert(args.begin() + 1, "--on-problem=" + policy);
    const Cli result = RunCli(args, "wrong\n");
    EXPECT_EQ(result.status, 5) << result.err;  // nothing done: the password
    EXPECT_TRUE(Has(result.err, Shown(text::kWrongPassword))) << result.err;
    if (policy == "skip") {  // answered, so not the end of the run  // one prompt, then every entry skipped
      EXPECT_TRUE(Has(result.err, "-> はい\n" + skip_all)) << result.err;
      EXPECT_EQ(result.out, Shown(Format(text::kSomeDone, {9, 0})) + "\n");
    } else {
      EXPECT_TRUE(Has(result.err, skip_would)) << result.err;
      EXPECT_TRUE(result.err.starts_with("velmora-cli: " + root_ + ": ")) << result.err;
      EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
      EXPECT_FALSE(Has(result.err, skip_all)) << result.err;
    }
    EXPECT_EQ(Snapshot(root_), encrypted) << policy;
  }
}

// An empty or unreadable password source is named, with the reason.
TEST_F(CliTest, APasswordSourceThatGivesNoneIsNamedWithItsReason) {
  const TreeSnapshot plain = Snapshot(root_);
  const std::string none = Shown(cli::console_text::kNoPassword);
  const std::string unreadable = Shown(cli::console_text::kPasswordUnreadable);
  struct Row {
    std::vector<std::string> options;
    std::string input, err;
  } rows[] = {
      {{"--password-stdin"}, "", "velmora-cli: 標準入力: " + none + " (空です)\n"},
      {{"--password-file", "/dev/null"}, "", "velmora-cli: /dev/null: " + none + " (空です)\n"},
      {{"--password-fd=0"}, "", "velmora-cli: ファイル記述子 0: " + none + " (空です)\n"},
      {{"--password-file", base_.path()},
       kPasswordLine,
       "velmora-cli: " + base_.path() + ": " + unreadable + " (Is a directory)\n"},
      // Not open in the child.
      {{"--password-fd", "7"},
       kPasswordLine,
       "velmora-cli: ファイル記述子 7: " + unreadable + " (Bad file descriptor)\n"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args = {"encrypt", root_};
    args.insert(args.end(), row.options.begin(), row.options.end());
    const Cli result = RunCli(args, row.input);
    EXPECT_EQ(result.status, 2) << row.err;
    EXPECT_EQ(result.err, row.err);
  }
  EXPECT_EQ(Snapshot(root_), plain);
}

// A refusal before the run is one line on stderr, however long its
// message: missing folder, a file, a wrong password, a tree in use.
TEST_F(CliTest, EachRefusalBeforeARunIsOneLineOnStderr) {
  ASSERT_EQ(Encrypt("Summer2024!\n").status, 0);
  const auto one_line = [](const Cli& result) {
    EXPECT_TRUE(result.err.starts_with("velmora-cli: ")) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(result.err.ends_with("\n")) << result.err;
  };
  one_line(RunCli({"decrypt", base_.path() + "/missing", "--password-stdin"}, kPasswordLine));
  one_line(RunCli({"decrypt", root_ + "/empty", "--password-stdin"}, kPasswordLine));
  // Differs from this account's record, and deciphers no name.
  one_line(RunCli({"decrypt", root_, "--password-stdin"}, "Summer2025!\n"));
  one_line(RunCli({"decrypt", root_, "--password-stdin"}, "wrong\n"));
  Child open({"open", root_, "--password-stdin"});
  open.Write("Summer2024!\n");
  ASSERT_TRUE(open.ReadUntil(Shown(text::kWaiting).c_str()));
  const Cli in_use = RunCli({"decrypt", root_, "--password-stdin"}, "Summer2024!\n");
  EXPECT_EQ(in_use.status, 6);
  one_line(in_use);
  open.CloseInput();
  EXPECT_EQ(open.Finish().status, 0);
}

// --yes goes on past the mixed-tree warning, but never deletes an existing
// target: a.txt added to the encrypted tree finds its enciphered name taken.
TEST_F(CliTest, MixedTreeGoesOnOnlyWithYesAndAnExistingTargetIsNeverDeleted) {
  ASSERT_EQ(Encrypt().status, 0);
  WriteFile(root_ + "/a.txt", "second");
  const TreeSnapshot mixed = Snapshot(root_);
  const std::string warning = Shown(Format(text::kMixedEncrypted, {9}));
  const std::vector<std::string> args = {"encrypt", root_, "--on-problem=skip", "--password-stdin"};

  const Cli declined = RunCli(args, kPasswordLine);
  EXPECT_EQ(declined.status, 2);
  EXPECT_EQ(declined.err, "velmora-cli: " + root_ + ": " +
                             Joined(Format(text::kMixedEncrypted, {9})) + " -> いいえ " +
                             Shown(cli::console_text::kYesWouldAnswer) + "\n");
  EXPECT_EQ(Snapshot(root_), mixed);

  std::vector<std::string> with_yes = args;
  with_yes.insert(with_yes.begin() + 1, "--yes");
  const Cli accepted = RunCli(with_yes, kPasswordLine);
  EXPECT_TRUE(Has(accepted.err, warning + "\n-> はい\n")) << accepted.err;
  // The enciphered entries are refused and skipped; a.txt is not replaced.
  EXPECT_EQ(accepted.status, 1) << accepted.err;
  const std::u16string_view exists = text::kTargetExists;
  EXPECT_TRUE(Has(accepted.err, Shown(exists.substr(0, exists.find(u'%')))));
  EXPECT_TRUE(Has(accepted.err, "-> いいえ\n")) << accepted.err;
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
  const std::string waiting = Shown(text::kWaiting);
  // 0 closes stdin, -1 types Enter; the rest are signals.
  for (const int end : {0, -1, SIGTERM, SIGHUP}) {
    Child child({"open", "--password-stdin", root_});
    child.Write(kPasswordLine);
    ASSERT_TRUE(child.ReadUntil(waiting.c_str())) << end;
    EXPECT_EQ(Snapshot(root_), plain);
    if (end == 0) child.CloseInput();
    if (end == -1) child.Write("\n");
    if (end > 0) child.Signal(end);
    const Cli opened = child.Finish();
    EXPECT_EQ(opened.status, 0) << end << opened.err;
    EXPECT_EQ(opened.out, all_nine_ + all_nine_);
    EXPECT_EQ(Snapshot(root_), encrypted) << end;
  }
  // Refused at once: the exit pass must leave the tree as it is.
  EXPECT_EQ(RunCli({"open", root_, "--password-stdin"}, "wrong\n").status, 5);
  EXPECT_EQ(Snapshot(root_), encrypted);
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
  // Before the command, a value after a space, short -y, and a password
  // from a file and from an inherited descriptor.
  const std::string file = base_.path() + "/pass";
  WriteFile(file, kPasswordLine);
  Cli result = RunCli({"--password-file", file, "-y", "encrypt", root_,
                       "--on-problem", "skip"}, "");
  ASSERT_EQ(result.status, 0) << result.err;
  // Decrypt asks once: one line of input is enough on descriptor 0.
  result = RunCli({"--password-fd=0", "decrypt", "--", root_}, kPasswordLine);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Snapshot(root_), plain);
  // "--" makes a name that starts with '-' the directory.
  result = RunCli({"encrypt", "--password-stdin", "--", "-h"}, kPasswordLine);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "velmora-cli: -h: " + Shown(text::kInvalidPath) +
                            " (No such file or directory)\n");
  // A password file that cannot be read names the file and the reason.
  result = RunCli({"encrypt", root_, "--password-file=" + file + "x"}, "");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "velmora-cli: " + file + "x: " +
                            Shown(cli::console_text::kPasswordUnreadable) +
                            " (No such file or directory)\n");
  // It is read before the scan but told only when the run asks for it:
  // with nothing to decrypt, nothing is said about it.
  result = RunCli({"decrypt", root_, "--password-file=" + file + "x"}, "");
  EXPECT_EQ(result.status, 4);
  EXPECT_FALSE(Has(result.err, "No such file")) << result.err;
  EXPECT_EQ(Snapshot(root_), plain);
}

TEST_F(CliTest, SummaryThatCannotBeWrittenFailsTheRun) {
  const std::string command = "printf 'secret\\n' | LC_ALL=C.UTF-8 " +
                              std::string(VELMORA_CLI_PATH) +
                              " encrypt --password-stdin '" + root_ +
                              "' >/dev/full 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

// The locales come from the install script; a missing one reads as C.
// Japanese is the program's own language (C, POSIX, C.UTF-8) and that of
// ja locales; every other gets English, the only other catalogue.
TEST(CliLocaleTest, JapaneseForJapaneseAndCLocalesEnglishForEveryOther) {
  struct Row {
    const char* language;
    const char* all;
    bool english;
  } rows[] = {{"", "en_US.UTF-8", true},
              {"en", "ja_JP.UTF-8", true},
              {"ja:en", "en_US.UTF-8", false},
              {"fr:en", "ja_JP.UTF-8", true},
              {"", "ja_JP.UTF-8", false},
              {"en", "C", false},
              {"en", "POSIX", false},
              {"", "C.UTF-8", false},
              {"", "de_DE.UTF-8", true},
              {"de", "de_DE.UTF-8", true},
              {"ja", "de_DE.UTF-8", false}};
  for (const Row& row : rows) {
    TempDir dir;
    WriteFile(dir.path() + "/a", "a");
    SCOPED_TRACE(std::string(row.language) + " " + row.all);
    const Cli result = RunCli({"encrypt", dir.path(), "--password-stdin"}, kPasswordLine,
                              {{"LANGUAGE", row.language}, {"LC_ALL", row.all}});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, row.english ? "All done without problems.\n1 / 1 entries\n"
                                      : Shown(Format(text::kAllDone, {1, 1})) + "\n");
    const Cli help = RunCli({"--help"}, "", {{"LANGUAGE", row.language}, {"LC_ALL", row.all}});
    EXPECT_EQ(Has(help.out, "Usage: velmora-cli"), row.english);
  }
}

// Under an EUC-JP locale everything printed is EUC-JP, with '?' for what
// it lacks (the emoji); under C it is the UTF-8 it always was.
TEST(CliCharsetTest, OutputIsInTheLocalesCharacterSet) {
  TempDir dir;
  WriteFile(dir.path() + "/a", "a");
  const std::vector<std::pair<const char*, const char*>> euc = {{"LC_ALL", "ja_JP.EUC-JP"}};
  const Cli done = RunCli({"encrypt", dir.path(), "--password-stdin"}, kPasswordLine, euc);
  ASSERT_EQ(done.status, 0) << done.err;
  const std::string summary = Shown(Format(text::kAllDone, {1, 1})) + "\n";
  EXPECT_NE(done.out, summary);
  EXPECT_EQ(Converted("UTF-8", "EUC-JP", done.out), summary);

  const std::string missing = dir.path() + "/\xe5\xa0\xb1\xe5\x91\x8a\xf0\x9f\x98\x80";
  const Cli refused = RunCli({"encrypt", missing, "--password-stdin"}, kPasswordLine, euc);
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

TEST(CliRangeTest, WholeAndExtensionsChooseWhatIsEnciphered) {
  // The last character of an enciphered name: '#' the head, '$' everything.
  struct Row {
    const char* option;
    const char* file;
    char range;
  } rows[] = {{"--yes", "a.zip", '#'},
              {"--whole", "a.zip", '$'},
              {"--extensions=LZH,dat", "b.DAT", '#'},
              {"--extensions=LZH,dat", "a.zip", '$'},
              {"--extensions=ABCDEFGHI,あいうえおかきくけ", "c.ABCDEFGHI", '#'},
              {"--extensions=ABCDEFGHI,あいうえおかきくけ",
               "d.あいうえおかきくけ", '#'}};
  for (const Row& row : rows) {
    TempDir dir;
    WriteFile(dir.path() + "/" + row.file, RandomContents(20000, 7));
    const Cli result = RunCli(
        {"encrypt", row.option, dir.path(), "--password-stdin"}, kPasswordLine);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Names(dir.path()).at(0).back(), row.range)
        << row.option << " " << row.file;
  }
}

}  // namespace
}  // namespace velmora::testing
