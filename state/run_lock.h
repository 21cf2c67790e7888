// Run locks: one run at a time on a tree, across every process of the user.
//
// A run holds a lock file in the state folder's locks/ for as long as its
// RunLock lives. The kernel drops the lock when the process dies, so a run
// that was killed never blocks the next one. Trees overlap when one is the
// other or lies below it; overlapping trees are never run at once.
#ifndef VELMORA_STATE_RUN_LOCK_H_
#define VELMORA_STATE_RUN_LOCK_H_

#include <memory>
#include <string>

namespace velmora::state {

class RunLock {
 public:
  enum class Result {
    kHeld,          // the tree is ours until the lock goes
    kBusy,          // a live run holds an overlapping tree
    kNoStateFolder  // the state folder cannot be used
  };

  // Takes the tree at the real path |tree|. On kBusy, |*holder| is the
  // folder the other run holds.
  static Result Acquire(const std::string& tree, std::unique_ptr<RunLock>* lock,
                        std::string* holder);

  // True when a live run (this process's included) holds a tree that
  // overlaps |tree|; |*holder| names it.
  static bool IsHeld(const std::string& tree, std::string* holder);

  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  const std::string& tree() const { return tree_; }

 private:
  RunLock(std::string tree, std::string path, int fd)
      : tree_(std::move(tree)), path_(std::move(path)), fd_(fd) {}

  std::string tree_;
  std::string path_;
  int fd_;
};

}  // namespace velmora::state

#endif  // VELMORA_STATE_RUN_LOCK_H_
