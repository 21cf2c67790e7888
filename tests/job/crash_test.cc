// A run dying at any mutating step (rename, content write, status change,
// journal write), in a child process: one decrypt after gives back the
// original tree, names, bytes, modes and times.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <tuple>

#include "platform/fault_injection.h"
#include "tests/job/job_test_util.h"

namespace velmora::testing {
namespace {

class CrashTest : public JobTest {
 protected:
  // A kill loses nothing the kernel holds.
  CrashTest() { ::setenv("VELMORA_SYNC", "0", 1); }
  ~CrashTest() override { ::unsetenv("VELMORA_SYNC"); }

  // Several chunks, the head class, empty, read-only, a link, and two
  // folders of small files transformed beside the walk.
  void MakeTree() {
    Empty();
    Make({"docs/"});
    WriteFile(Path("docs/big.bin"), RandomContents(3 * 1048576 + 4096 + 5, 1));
    WriteFile(Path("docs/note.txt"), RandomContents(5000, 2));
    for (int i = 0; i < 8; ++i) {
      WriteFile(Path("docs/s" + std::to_string(i)), RandomContents(100 + i, 10 + i));
    }
    Make({"more/"});
    for (int i = 0; i < 3; ++i) {
      WriteFile(Path("more/m" + std::to_string(i)), RandomContents(200 + i, 30 + i));
    }
    WriteFile(Path("photo.zip"), RandomContents(20000, 3));
    WriteFile(Path("empty"), "");
    WriteFile(Path("ro.txt"), RandomContents(3000, 4));
    ASSERT_EQ(::chmod(Path("ro.txt").c_str(), 0444), 0);
    ASSERT_EQ(::symlink("photo.zip", Path("link").c_str()), 0);
  }

  // True when a child running |radio| died at mutating step |step|.
  bool RunAndDieAt(int radio, int step) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      fault_injection::CrashAtNthMutation(step);
      w().answers = SkipEachProblem();
      h_.Choose(radio);
      h_.Execute(kPassword);
      ::_exit(0);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    EXPECT_TRUE(code == 0 || code == fault_injection::kCrashExitStatus) << code;
    return code == fault_injection::kCrashExitStatus;
  }
};

// Shard k dies at steps k+1, k+1+kShards, ... until the run no longer dies.
constexpr int kShards = 4;

class CrashShardTest : public CrashTest,
                       public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(CrashShardTest, DyingAtAnyStepOfARunLosesNothing) {
  const auto [radio, shard] = GetParam();
  int step = shard + 1;
  for (;; step += kShards) {
    MakeTree();
    const TreeSnapshot original = Snapshot(h_.root());
    if (radio == IDC_RADIO_DECRYPT) {
      h_.Encrypt(kPassword);
      ASSERT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone);
    }
    const bool died = RunAndDieAt(radio, step);
    w().boxes.clear();
    w().answers = SkipEachProblem();
    h_.Decrypt(kPassword);
    ASSERT_EQ(Snapshot(h_.root()), original) << (radio == IDC_RADIO_ENCRYPT ? "encrypt" : "decrypt")
                                             << " died at step " << step << Dump(w());
    if (!died) break;
  }
  EXPECT_GT(step, 20);  // the run had that many steps to die at
}

INSTANTIATE_TEST_SUITE_P(EveryStep, CrashShardTest,
                         ::testing::Combine(::testing::Values(IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT),
                                            ::testing::Range(0, kShards)));

}  // namespace
}  // namespace velmora::testing
