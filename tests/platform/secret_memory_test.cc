// The process that holds a password can be neither dumped nor read by
// another process of the user.

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/secret_memory.h"

namespace velmora::testing {
namespace {

TEST(SecretMemoryTest, TheProcessIsNoLongerDumpable) {
  const pid_t pid = ::fork();  // the test runner itself stays as it was
  if (pid == 0) {
    ProtectProcessMemory();
    char secret[4096] = {};
    KeepInMemory(secret, sizeof secret);  // may be refused by the limit
    ::_exit(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace velmora::testing
