// velmora-cli open: decrypt, wait, and encrypt again with the same key when
// input ends or a signal comes.

#include <gtest/gtest.h>

#include <csignal>

#include "job/messages.h"
#include "platform/u16_format.h"
#include "tests/cli/cli_process.h"
#include "tests/cli/cli_test_util.h"

namespace velmora::testing {
namespace {

class CliOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plain_ = Snapshot(tree_.root());
    const CliResult result =
        RunCli({"encrypt", tree_.root(), "--password-stdin"}, kPasswordLine);
    ASSERT_EQ(result.exit_status, 0) << result.err;
    encrypted_ = Snapshot(tree_.root());
  }

  CliTree tree_;
  TreeSnapshot plain_;
  TreeSnapshot encrypted_;
};

TEST_F(CliOpenTest, EndOfInputEncryptsAgain) {
  const CliResult result =
      RunCli({"open", tree_.root(), "--password-stdin"}, kPasswordLine);
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_TRUE(Contains(result.err, Shown(text::kWaiting))) << result.err;
  // The same key gives the same names and bytes as before.
  EXPECT_EQ(Snapshot(tree_.root()), encrypted_);
  const std::string summary = Shown(Format(text::kAllDone, {9, 9})) + "\n";
  EXPECT_EQ(result.out, summary + summary);
}

TEST_F(CliOpenTest, EnterEncryptsAgain) {
  CliProcess process({"open", "--password-stdin", tree_.root()});
  process.Write(kPasswordLine);
  ASSERT_TRUE(process.WaitForStderr(Shown(text::kWaiting)));
  EXPECT_EQ(Snapshot(tree_.root()), plain_);
  process.Write("\n");
  const CliResult result = process.Finish();
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(Snapshot(tree_.root()), encrypted_);
}

class CliOpenSignalTest : public CliOpenTest,
                          public ::testing::WithParamInterface<int> {};

TEST_P(CliOpenSignalTest, SignalEncryptsAgain) {
  CliProcess process({"open", tree_.root(), "--password-stdin"});
  process.Write(kPasswordLine);  // and keep stdin open
  ASSERT_TRUE(process.WaitForStderr(Shown(text::kWaiting)));
  EXPECT_EQ(Snapshot(tree_.root()), plain_);
  process.Signal(GetParam());
  const CliResult result = process.Finish();
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(Snapshot(tree_.root()), encrypted_);
  for (const std::string& name : Names(tree_.root())) {
    EXPECT_TRUE(LooksEnciphered(name)) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, CliOpenSignalTest,
                         ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                           switch (info.param) {
                             case SIGTERM: return std::string("Term");
                             case SIGINT: return std::string("Int");
                             default: return std::string("Hup");
                           }
                         });

TEST_F(CliOpenTest, WrongPasswordDoesNotWaitWithNothingDecrypted) {
  // Abort at the first refusal: nothing was decrypted, yet the dialog waits
  // for the exit pass, which must leave the tree as it was.
  const CliResult result =
      RunCli({"open", tree_.root(), "--password-stdin"}, "wrong\n");
  EXPECT_EQ(result.exit_status, 1) << result.err;
  EXPECT_EQ(Snapshot(tree_.root()), encrypted_);
}

TEST_F(CliOpenTest, PlainTreeHasNothingToOpen) {
  const CliResult decrypted =
      RunCli({"decrypt", tree_.root(), "--password-stdin"}, kPasswordLine);
  ASSERT_EQ(decrypted.exit_status, 0);
  const CliResult result =
      RunCli({"open", tree_.root(), "--password-stdin"}, kPasswordLine);
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_TRUE(Contains(result.err, Shown(text::kNothingToDecrypt)));
  EXPECT_FALSE(Contains(result.err, Shown(text::kWaiting)));
  EXPECT_EQ(Snapshot(tree_.root()), plain_);
}

}  // namespace
}  // namespace velmora::testing
