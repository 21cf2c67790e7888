// velmora-cli end to end: the real binary on real temporary trees, the
// password on stdin, no terminal.

#include <gtest/gtest.h>

#include "job/messages.h"
#include "platform/u16_format.h"
#include "tests/cli/cli_process.h"
#include "tests/cli/cli_test_util.h"

namespace velmora::testing {
namespace {

const std::string kAllNine = Shown(Format(text::kAllDone, {9, 9})) + "\n";

CliResult Encrypt(const std::string& root,
                  const std::string& input = kPasswordLine) {
  return RunCli({"encrypt", root, "--password-stdin"}, input);
}

TEST(CliRunTest, EncryptThenDecryptRestoresEveryNameAndByte) {
  CliTree tree;
  const TreeSnapshot before = Snapshot(tree.root());

  const CliResult encrypted = Encrypt(tree.root());
  EXPECT_EQ(encrypted.exit_status, 0) << encrypted.err;
  const TreeSnapshot after = Snapshot(tree.root());
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [path, entry] : after) {
    EXPECT_EQ(before.count(path), 0u) << path;
  }
  for (const std::string& name : Names(tree.root())) {
    EXPECT_TRUE(LooksEnciphered(name)) << name;
  }

  const CliResult decrypted =
      RunCli({"decrypt", "--password-stdin", tree.root()}, kPasswordLine);
  EXPECT_EQ(decrypted.exit_status, 0) << decrypted.err;
  EXPECT_EQ(Snapshot(tree.root()), before);
}

TEST(CliRunTest, SummaryGoesToStdoutAndNothingElse) {
  CliTree tree;
  const CliResult result = Encrypt(tree.root());
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, kAllNine);
  EXPECT_FALSE(Contains(result.err, Shown(Format(text::kAllDone, {9, 9}))));
}

TEST(CliRunTest, MissingPathIsInvalid) {
  CliTree tree;
  const CliResult result =
      Encrypt(tree.base() + "/no such directory", kPasswordLine);
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_TRUE(Contains(result.err, Shown(text::kInvalidPath))) << result.err;
  EXPECT_EQ(result.out, "");
}

TEST(CliRunTest, FileIsRefused) {
  CliTree tree;
  const CliResult result = Encrypt(tree.root() + "/a.txt");
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_TRUE(Contains(result.err, Shown(text::kFileNotSupported)))
      << result.err;
  EXPECT_EQ(ReadFile(tree.root() + "/a.txt"), "hello");
}

TEST(CliRunTest, RootIsNeverATarget) {
  const CliResult result = RunCli({"encrypt", "/", "--password-stdin"});
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_TRUE(Contains(result.err, Shown(text::kInvalidPath))) << result.err;
}

TEST(CliRunTest, EncryptedTreeHasNothingToEncryptWithoutReadingAPassword) {
  CliTree tree;
  ASSERT_EQ(Encrypt(tree.root()).exit_status, 0);
  const TreeSnapshot encrypted = Snapshot(tree.root());

  // No password on stdin: the check comes first.
  const CliResult result = Encrypt(tree.root(), "");
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_TRUE(Contains(result.err, Shown(text::kNothingToEncrypt)))
      << result.err;
  EXPECT_FALSE(Contains(result.err, "パスワード")) << result.err;
  EXPECT_EQ(Snapshot(tree.root()), encrypted);
}

TEST(CliRunTest, PlainTreeHasNothingToDecrypt) {
  CliTree tree;
  const TreeSnapshot before = Snapshot(tree.root());
  const CliResult result = RunCli({"decrypt", tree.root(), "--password-stdin"});
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_TRUE(Contains(result.err, Shown(text::kNothingToDecrypt)))
      << result.err;
  EXPECT_EQ(Snapshot(tree.root()), before);
}

TEST(CliRunTest, WrongPasswordAbortsWithoutATerminalAndChangesNothing) {
  CliTree tree;
  ASSERT_EQ(Encrypt(tree.root()).exit_status, 0);
  const TreeSnapshot encrypted = Snapshot(tree.root());

  const CliResult result =
      RunCli({"decrypt", tree.root(), "--password-stdin"}, "wrong\n");
  EXPECT_EQ(result.exit_status, 1) << result.err;
  EXPECT_TRUE(Contains(result.err, ShownPrefix(text::kWrongPassword)))
      << result.err;
  EXPECT_TRUE(Contains(result.err, "-> いいえ")) << result.err;
  EXPECT_FALSE(Contains(result.err, Shown(text::kDontShowAgain)));
  EXPECT_EQ(Snapshot(tree.root()), encrypted);
}

TEST(CliRunTest, SkipPolicySkipsEveryRefusedEntry) {
  CliTree tree;
  ASSERT_EQ(Encrypt(tree.root()).exit_status, 0);
  const TreeSnapshot encrypted = Snapshot(tree.root());

  const CliResult result = RunCli(
      {"decrypt", "--on-problem=skip", tree.root(), "--password-stdin"},
      "wrong\n");
  EXPECT_EQ(result.exit_status, 1) << result.err;
  // Skip, and do not ask again: one prompt for the whole run.
  EXPECT_TRUE(Contains(result.err, ShownPrefix(text::kWrongPassword)));
  EXPECT_TRUE(Contains(result.err, Shown(text::kDontShowAgain) + "\n-> はい"))
      << result.err;
  EXPECT_EQ(result.err.find(ShownPrefix(text::kWrongPassword)),
            result.err.rfind(ShownPrefix(text::kWrongPassword)));
  EXPECT_EQ(result.out, Shown(Format(text::kSomeDone, {9, 0})) + "\n");
  EXPECT_EQ(Snapshot(tree.root()), encrypted);
}

TEST(CliRunTest, MixedTreeWithoutYesIsDeclined) {
  CliTree tree;
  ASSERT_EQ(Encrypt(tree.root()).exit_status, 0);
  WriteFile(tree.root() + "/new.txt", "added later");
  const TreeSnapshot mixed = Snapshot(tree.root());

  const CliResult result = Encrypt(tree.root());
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_TRUE(Contains(result.err,
                       Shown(Format(text::kMixedEncrypted, {9})) + "\n-> いいえ"))
      << result.err;
  EXPECT_EQ(Snapshot(tree.root()), mixed);
}

TEST(CliRunTest, MixedTreeWithYesGoesOn) {
  CliTree tree;
  ASSERT_EQ(Encrypt(tree.root()).exit_status, 0);
  WriteFile(tree.root() + "/new.txt", "added later");

  const CliResult result =
      RunCli({"encrypt", tree.root(), "--password-stdin", "--yes",
              "--on-problem=skip"},
             kPasswordLine);
  EXPECT_TRUE(Contains(result.err,
                       Shown(Format(text::kMixedEncrypted, {9})) + "\n-> はい"))
      << result.err;
  // The enciphered entries are refused and skipped; the new file is done.
  EXPECT_EQ(result.exit_status, 1) << result.err;
  for (const std::string& name : Names(tree.root())) {
    EXPECT_TRUE(LooksEnciphered(name)) << name;
  }
}

TEST(CliRunTest, EmptyPasswordLineIsTooShort) {
  CliTree tree;
  const TreeSnapshot before = Snapshot(tree.root());
  const CliResult result = Encrypt(tree.root(), "\n");
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_TRUE(Contains(result.err, "パスワードが短すぎます。")) << result.err;
  EXPECT_EQ(Snapshot(tree.root()), before);
}

TEST(CliRunTest, NoPasswordAtAllChangesNothing) {
  CliTree tree;
  const TreeSnapshot before = Snapshot(tree.root());
  const CliResult result = Encrypt(tree.root(), "");
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_EQ(Snapshot(tree.root()), before);
  // Without --password-stdin there is no terminal to ask either.
  const CliResult no_terminal = RunCli({"encrypt", tree.root()}, "pw\n");
  EXPECT_EQ(no_terminal.exit_status, 2);
  EXPECT_EQ(Snapshot(tree.root()), before);
}

TEST(CliRunTest, FourGibibyteFileIsRefusedByTheScan) {
  CliTree tree;
  MakeSparseFile(tree.root() + "/sub/huge.img", int64_t{4} << 30);
  // Names only: a snapshot would read the 4 GiB.
  const std::vector<std::string> top = Names(tree.root());
  const std::vector<std::string> sub = Names(tree.root() + "/sub");
  const CliResult result = Encrypt(tree.root(), "");
  EXPECT_EQ(result.exit_status, 3) << result.err;
  EXPECT_TRUE(Contains(result.err, Shown(text::kFileTooLarge))) << result.err;
  EXPECT_TRUE(Contains(result.err, "huge.img")) << result.err;
  EXPECT_EQ(Names(tree.root()), top);
  EXPECT_EQ(Names(tree.root() + "/sub"), sub);
  EXPECT_EQ(ReadFile(tree.root() + "/a.txt"), "hello");
}

TEST(CliRunTest, ExistingTargetIsNeverDeletedByAFlag) {
  TempDir base;
  const std::string root = base.path() + "/t";
  MakeDirectory(root);
  WriteFile(root + "/a.txt", "first");
  ASSERT_EQ(Encrypt(root).exit_status, 0);
  // A new a.txt now stands where decryption wants to put the old one.
  WriteFile(root + "/a.txt", "second");
  const TreeSnapshot before = Snapshot(root);

  const CliResult result =
      RunCli({"decrypt", root, "--password-stdin", "--yes",
              "--on-problem=skip"},
             kPasswordLine);
  EXPECT_EQ(result.exit_status, 1) << result.err;
  EXPECT_TRUE(Contains(result.err, ShownPrefix(text::kTargetExists)))
      << result.err;
  EXPECT_TRUE(Contains(result.err, "-> いいえ")) << result.err;
  EXPECT_EQ(Snapshot(root), before);
  EXPECT_EQ(ReadFile(root + "/a.txt"), "second");
}

// The class character at the end of an enciphered name records the range:
// '#' the head only, '$' the whole file.
char ClassOf(const std::string& root, const std::string& plain_contents) {
  for (const std::string& name : Names(root)) {
    const std::string path = root + "/" + name;
    if (ReadFile(path).size() == plain_contents.size() &&
        ReadFile(path) != plain_contents) {
      return name.back();
    }
  }
  return '?';
}

TEST(CliRunTest, RegisteredExtensionsGetOnlyTheirHeadEnciphered) {
  TempDir base;
  const std::string root = base.path() + "/t";
  MakeDirectory(root);
  const std::string zip = RandomContents(20000, 7);
  const std::string dat = RandomContents(20001, 8);
  WriteFile(root + "/a.zip", zip);
  WriteFile(root + "/b.dat", dat);
  ASSERT_EQ(Encrypt(root).exit_status, 0);
  EXPECT_EQ(ClassOf(root, zip), '#');
  EXPECT_EQ(ClassOf(root, dat), '$');
}

TEST(CliRunTest, WholeTurnsTheExtensionRuleOff) {
  TempDir base;
  const std::string root = base.path() + "/t";
  MakeDirectory(root);
  const std::string zip = RandomContents(20000, 7);
  WriteFile(root + "/a.zip", zip);
  const CliResult result =
      RunCli({"encrypt", "--whole", root, "--password-stdin"}, kPasswordLine);
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(ClassOf(root, zip), '$');
  // Every byte changed range: the tail differs too.
  for (const std::string& name : Names(root)) {
    EXPECT_NE(ReadFile(root + "/" + name).substr(10000), zip.substr(10000));
  }
}

TEST(CliRunTest, ExtensionsReplaceTheTable) {
  TempDir base;
  const std::string root = base.path() + "/t";
  MakeDirectory(root);
  const std::string zip = RandomContents(20000, 7);
  const std::string dat = RandomContents(20001, 8);
  WriteFile(root + "/a.zip", zip);
  WriteFile(root + "/b.DAT", dat);
  const CliResult result = RunCli(
      {"encrypt", root, "--extensions=LZH,dat", "--password-stdin"},
      kPasswordLine);
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(ClassOf(root, zip), '$');
  EXPECT_EQ(ClassOf(root, dat), '#');
}

TEST(CliRunTest, UsageErrorsExitTwo) {
  CliTree tree;
  const TreeSnapshot before = Snapshot(tree.root());
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"encrypt"}, {"scramble", tree.root()},
        {"encrypt", tree.root(), "--force"},
        {"encrypt", tree.root(), "--extensions=TOOLONGEXT"}}) {
    const CliResult result = RunCli(args, kPasswordLine);
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_TRUE(Contains(result.err, "Usage: velmora-cli")) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(Snapshot(tree.root()), before);
}

TEST(CliRunTest, VersionAndHelp) {
  const CliResult version = RunCli({"--version"});
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_EQ(version.out, "velmora-cli 1.1\n");
  const CliResult help = RunCli({"open", "--help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_TRUE(Contains(help.out, "--password-stdin"));
}

}  // namespace
}  // namespace velmora::testing
