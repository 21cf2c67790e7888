// The process that holds a password can be neither dumped nor read by
// another process of the user.

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

// Kilobytes locked in the mapping of this process that holds |address|,
// as the kernel reports it; -1 when no mapping does.
long LockedKilobytesAt(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    std::uintptr_t start = 0, end = 0;
    char dash = 0;
    std::istringstream head(line);
    if (head >> std::hex >> start >> dash >> end && dash == '-') {
      inside = start <= at && at < end;
      continue;
    }
    if (inside && line.starts_with("Locked:")) return std::stol(line.substr(7));
  }
  return -1;
}

bool MayLock(std::size_t bytes) {
#ifdef __SANITIZE_ADDRESS__
  return false;  // AddressSanitizer makes mlock a no-op
#endif
  rlimit limit{};
  return ::geteuid() == 0 ||
         (::getrlimit(RLIMIT_MEMLOCK, &limit) == 0 && limit.rlim_cur >= bytes * 4);
}

// A password's buffer lives in locked pages of its own, short or long, and
// so does each buffer it outgrows.
TEST(SecretMemoryTest, SecretStringsLiveInLockedPages) {
  if (!MayLock(1 << 20)) GTEST_SKIP() << "memory cannot be locked here (limit or sanitizer)";
  SecretU16 password;
  password.reserve(kSecretReserve);
  password = u"pw";
  EXPECT_GT(LockedKilobytesAt(password.data()), 0);
  password.append(5000, u'x');  // grown past its pages
  EXPECT_GT(LockedKilobytesAt(password.data()), 0);
  SecretBytes line;
  line.reserve(kSecretReserve);
  line = "typed";
  EXPECT_GT(LockedKilobytesAt(line.data()), 0);
}

// What the engine keeps (its copy of the password and the byte table made
// from it) is locked where it lies, in an ordinary allocation.
TEST(SecretMemoryTest, KeptMemoryIsLocked) {
  if (!MayLock(1 << 20)) GTEST_SKIP() << "memory cannot be locked here (limit or sanitizer)";
  std::vector<char> keys(256 * 1024);  // a mapping of its own, not locked
  EXPECT_EQ(LockedKilobytesAt(keys.data()), 0);
  ASSERT_TRUE(KeepInMemory(keys.data(), keys.size()));
  EXPECT_GE(LockedKilobytesAt(keys.data()), 256);
}

}  // namespace
}  // namespace velmora::testing
