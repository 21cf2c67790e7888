// velmora-cli when runs are stopped or started twice: the real binary, a
// state folder of the test's own. Dying at each step is tests/job/crash_test.cc.

#include <filesystem>

#include "job/messages.h"
#include "platform/u16_format.h"
#include "tests/cli/cli_child.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

constexpr char kMarker[] = "\xc2\xbf";  // how every enciphered name begins

std::vector<std::string> Enciphered(const std::string& directory) {
  std::vector<std::string> names = Names(directory);
  std::erase_if(names, [](const std::string& name) { return !name.starts_with(kMarker); });
  return names;
}

class CliSafetyTest : public ::testing::Test {
 protected:
  CliSafetyTest() : root_(base_.path() + "/tree") {
    MakeDirectory(root_);
    WriteFile(password_, kPasswordLine);
  }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
  Cli Run(const std::vector<std::string>& args) { return RunCli(args, kPasswordLine); }

  ScopedStateHome state_home_;
  TempDir base_;
  const std::string root_;
  const std::string password_ = base_.path() + "/password";
  const std::string long_name_ = std::string(100, 'x');  // too long once enciphered
};

// The signal comes while the run waits on the terminal for an answer about
// a name too long to encipher: the run goes no further than that entry.
TEST_F(CliSafetyTest, ASignalStopsTheRunAfterTheCurrentEntry) {
  for (int i = 0; i < 400; ++i) WriteFile(Path("f" + std::to_string(i)), RandomContents(20000, i));
  WriteFile(Path(long_name_), "x");
  const TreeSnapshot original = Snapshot(root_);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    Child child({"encrypt", "--password-file", password_, root_}, {{"TERM", "dumb"}}, 80);
    ASSERT_TRUE(child.ReadUntil(Shown(text::kNameTooLong).c_str()));
    child.Signal(signal);
    const Cli stopped = child.Finish();
    EXPECT_EQ(stopped.status, 128 + signal) << stopped.out;
    EXPECT_TRUE(Has(stopped.out, "401 ファイル中 ")) << stopped.out;
    const Cli back = Run({"decrypt", root_, "--password-stdin", "--yes", "--on-problem=skip"});
    EXPECT_EQ(Snapshot(root_), original) << back.err;
  }
}

// After a signal nobody answers: the exit pass skips a file added while
// open whose name cannot be enciphered, and encrypts everything else.
TEST_F(CliSafetyTest, AfterASignalTheExitPassSkipsWhatItCannotEncrypt) {
  MakeDirectory(Path("sub"));
  for (int i = 0; i < 10; ++i) WriteFile(Path("sub/f" + std::to_string(i)), "f");
  for (int i = 0; i < 14; ++i) WriteFile(Path("g" + std::to_string(i)), "g");
  ASSERT_EQ(Run({"encrypt", "--password-file", password_, root_}).status, 0);
  Child open({"open", "--password-file", password_, root_}, {{"TERM", "dumb"}}, 80);
  ASSERT_TRUE(open.ReadUntil(Shown(text::kWaiting).c_str()));
  WriteFile(Path("sub/" + long_name_), "added while open");
  open.Signal(SIGTERM);
  const Cli ended = open.Finish();
  EXPECT_EQ(ended.status, 1) << ended.out;
  EXPECT_TRUE(Has(ended.out, Shown(text::kNameTooLong))) << ended.out;
  EXPECT_TRUE(Has(ended.out, Shown(Format(text::kSomeDone, {26, 25})))) << ended.out;
  ASSERT_EQ(Enciphered(root_).size(), 15u) << ended.out;
  EXPECT_EQ(Names(root_).size(), 15u);
  for (const std::string& name : Names(root_)) {
    if (!std::filesystem::is_directory(Path(name))) continue;
    std::vector<std::string> plain = Names(Path(name));
    std::erase_if(plain, [](const std::string& entry) { return entry.starts_with(kMarker); });
    EXPECT_EQ(plain, std::vector<std::string>{long_name_}) << ended.out;
  }
}

// While open waits, its tree is refused above, inside and itself; once it
// is killed, every start names the tree until it is encrypted again.
TEST_F(CliSafetyTest, ATreeInUseIsRefusedAndOneLeftDecryptedIsNamedUntilEncrypted) {
  MakeDirectory(Path("sub"));
  WriteFile(Path("sub/a.txt"), "a");
  ASSERT_EQ(Run({"encrypt", root_, "--password-stdin"}).status, 0);
  Child open({"open", root_, "--password-stdin"});
  open.Write(kPasswordLine);
  ASSERT_TRUE(open.ReadUntil(Shown(text::kWaiting).c_str()));
  for (const std::string& other : {root_, root_ + "/sub", base_.path()}) {
    const Cli refused = Run({"encrypt", other, "--password-stdin"});
    EXPECT_EQ(refused.status, 6) << other;
    EXPECT_EQ(refused.err, "velmora-cli: " + other + ": " +
                               Joined(Format(text::kTreeInUse, {Utf16FromWtf8(root_)})) + "\n");
  }
  const std::string warning = Shown(Format(text::kLeftDecrypted, {Utf16FromWtf8(root_)}));
  EXPECT_FALSE(Has(Run({"--version"}).err, warning));
  open.Signal(SIGKILL);
  open.Finish();
  const Cli help = Run({"--help"});
  EXPECT_TRUE(Has(help.err, warning)) << help.err;
  EXPECT_TRUE(Has(help.err, "velmora-cli encrypt " + root_)) << help.err;
  EXPECT_EQ(Run({"encrypt", root_, "--password-stdin"}).status, 0);
  EXPECT_EQ(Enciphered(root_).size(), 1u);
  EXPECT_FALSE(Has(Run({"--help"}).err, warning));
}

}  // namespace
}  // namespace velmora::testing
