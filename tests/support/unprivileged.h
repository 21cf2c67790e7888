// Runs part of a test as a user without privileges, for the cases where
// permissions matter. As root (as in CI) the part runs in a child process
// with the ids of "nobody"; otherwise in a child as the user running the
// tests. Failures in the child fail the test.
#ifndef VELMORA_TESTS_SUPPORT_UNPRIVILEGED_H_
#define VELMORA_TESTS_SUPPORT_UNPRIVILEGED_H_

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace velmora::testing {

inline constexpr uid_t kNobody = 65534;

// The user the unprivileged part runs as.
inline uid_t UnprivilegedUser() { return ::geteuid() == 0 ? kNobody : ::geteuid(); }

// Gives |path| and everything below it to that user.
inline void HandOver(const std::string& path) {
  if (::geteuid() != 0) return;
  namespace fs = std::filesystem;
  EXPECT_EQ(::lchown(path.c_str(), kNobody, kNobody), 0) << path;
  std::error_code error;
  for (fs::recursive_directory_iterator it(path, error), end; !error && it != end;
       it.increment(error)) {
    EXPECT_EQ(::lchown(it->path().c_str(), kNobody, kNobody), 0) << it->path();
  }
}

inline void RunUnprivileged(const std::function<void()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
         ::setresuid(kNobody, kNobody, kNobody) != 0)) {
      ::_exit(2);
    }
    body();
    std::fflush(nullptr);
    ::_exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the unprivileged part failed (status " << status << ")";
}

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_UNPRIVILEGED_H_
