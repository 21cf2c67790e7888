// Run locks between processes: a tree held by one process is refused to
// another for itself and every folder it overlaps, until its holder lets
// it go or dies.

#include "state/run_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>

#include "state/state_folder.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::state {
namespace {

RunLock::Result Acquire(const std::string& tree, std::string* holder = nullptr) {
  std::unique_ptr<RunLock> lock;
  std::string ignored;
  return RunLock::Acquire(tree, &lock, holder != nullptr ? holder : &ignored);
}

// A child process that takes |tree| and holds it until it is destroyed or
// killed: flock is per open file description, so only another process
// shows what another run would see.
class OtherRun {
 public:
  explicit OtherRun(const std::string& tree) {
    int to_child[2], from_child[2];
    if (::pipe(to_child) != 0 || ::pipe(from_child) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(to_child[1]);
      std::unique_ptr<RunLock> lock;
      std::string holder;
      const char reply =
          RunLock::Acquire(tree, &lock, &holder) == RunLock::Result::kHeld ? 'h' : 'b';
      char ignored = 0;
      if (::write(from_child[1], &reply, 1) == 1) {
        while (::read(to_child[0], &ignored, 1) > 0) {
        }
      }
      ::_exit(0);  // never the parent's clean-up
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    to_child_ = to_child[1];
    char reply = 0;
    held_ = ::read(from_child[0], &reply, 1) == 1 && reply == 'h';
    ::close(from_child[0]);
  }
  ~OtherRun() {
    ::close(to_child_);  // the child's cue to end
    if (pid_ > 0) Reap();
  }

  bool held() const { return held_; }
  bool Kill() { return pid_ > 0 && ::kill(pid_, SIGKILL) == 0 && WIFSIGNALED(Reap()); }

 private:
  int Reap() {
    int status = 0;
    if (::waitpid(std::exchange(pid_, -1), &status, 0) < 0) status = 0;
    return status;
  }

  pid_t pid_ = -1;
  int to_child_ = -1;
  bool held_ = false;
};

class RunLockTest : public ::testing::Test {
 protected:
  RunLockTest() {
    for (const char* folder : {"/tree", "/tree/inner", "/tree/inner/deep", "/sibling", "/tree-2"}) {
      velmora::testing::MakeDirectory(dir_.path() + folder);
    }
  }

  velmora::testing::ScopedStateHome state_;
  velmora::testing::TempDir dir_;
  const std::string base_ = RealPath(dir_.path());
  const std::string tree_ = base_ + "/tree";
};

TEST_F(RunLockTest, AHeldTreeIsRefusedForEveryOverlappingFolderAndFreeBesideIt) {
  OtherRun other(tree_);
  ASSERT_TRUE(other.held());
  for (const std::string& folder : {tree_, tree_ + "/inner", tree_ + "/inner/deep", base_}) {
    std::string holder;
    EXPECT_EQ(Acquire(folder, &holder), RunLock::Result::kBusy) << folder;
    EXPECT_EQ(holder, tree_) << folder;
    holder.clear();
    EXPECT_TRUE(RunLock::IsHeld(folder, &holder)) << folder;
    EXPECT_EQ(holder, tree_) << folder;
  }
  // tree-2 starts with the held tree's name but is not inside it.
  for (const std::string& folder : {base_ + "/sibling", base_ + "/tree-2"}) {
    std::string holder;
    EXPECT_FALSE(RunLock::IsHeld(folder, &holder)) << folder;
    EXPECT_EQ(Acquire(folder), RunLock::Result::kHeld) << folder;
  }
}

TEST_F(RunLockTest, ALockHoldsTheTreeUntilItIsDestroyed) {
  std::unique_ptr<RunLock> lock;
  std::string holder;
  ASSERT_EQ(RunLock::Acquire(tree_, &lock, &holder), RunLock::Result::kHeld);
  ASSERT_TRUE(lock);
  EXPECT_EQ(lock->tree(), tree_);
  EXPECT_FALSE(OtherRun(tree_ + "/inner").held());
  lock.reset();
  EXPECT_FALSE(RunLock::IsHeld(tree_, &holder)) << holder;
  EXPECT_TRUE(OtherRun(tree_ + "/inner").held());
  EXPECT_TRUE(OtherRun(tree_).held());
}

TEST_F(RunLockTest, AKilledHolderNeverBlocksTheNextRun) {
  OtherRun other(tree_);
  ASSERT_TRUE(other.held());
  ASSERT_EQ(Acquire(tree_), RunLock::Result::kBusy);
  ASSERT_TRUE(other.Kill());
  std::string holder;
  EXPECT_FALSE(RunLock::IsHeld(base_, &holder)) << holder;
  EXPECT_EQ(Acquire(tree_), RunLock::Result::kHeld);
}

}  // namespace
}  // namespace velmora::state
