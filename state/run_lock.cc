#include "state/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/descriptor.h"
#include "platform/directory_reader.h"
#include "platform/file_system.h"
#include "state/state_folder.h"

namespace velmora::state {
namespace {

constexpr char kLocks[] = "locks";

// Serialises looking at the lock files and adding or removing one, so two
// runs starting at once on nested trees cannot both miss each other.
class RegistryGuard {
 public:
  explicit RegistryGuard(const std::string& folder)
      : fd_(::open((folder + "/registry").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_.get() >= 0) {
      while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  bool ok() const { return fd_.get() >= 0; }

 private:
  OwnedFd fd_;
};

bool Overlap(const std::string& a, const std::string& b) {
  return IsSameOrBelow(a, b) || IsSameOrBelow(b, a);
}

// Looks through the lock files for a live one overlapping |tree|; removes
// the files of dead runs on the way. The registry must be held.
bool FindHolder(const std::string& folder, const std::string& tree, std::string* holder) {
  std::vector<std::string> names;
  if (!ReadDirectoryAt(folder, [&](int, std::string_view name, unsigned char) {
        if (name.size() > 5 && name.ends_with(".lock")) names.emplace_back(name);
        return true;
      })) {
    return false;
  }
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    OwnedFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() < 0) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
      ::unlink(path.c_str());  // its run is gone
      continue;
    }
    std::string held;
    if (ReadWholeFile(path, &held) && Overlap(held, tree)) {
      *holder = held;
      return true;
    }
  }
  return false;
}

}  // namespace

RunLock::Result RunLock::Acquire(const std::string& tree, std::unique_ptr<RunLock>* lock,
                                 std::string* holder) {
  const std::string folder = EnsureStateSubfolder(kLocks);
  if (folder.empty()) return Result::kNoStateFolder;
  RegistryGuard registry(folder);
  if (!registry.ok()) return Result::kNoStateFolder;
  if (FindHolder(folder, tree, holder)) return Result::kBusy;

  const std::string path = folder + "/" + TreeKey(tree) + ".lock";
  OwnedFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (fd.get() < 0) return Result::kNoStateFolder;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    *holder = tree;
    return Result::kBusy;
  }
  if (::ftruncate(fd.get(), 0) != 0 ||
      ::pwrite(fd.get(), tree.data(), tree.size(), 0) != static_cast<ssize_t>(tree.size())) {
    ::unlink(path.c_str());
    return Result::kNoStateFolder;
  }
  lock->reset(new RunLock(tree, path, fd.release()));
  return Result::kHeld;
}

bool RunLock::IsHeld(const std::string& tree, std::string* holder) {
  const std::string folder = EnsureStateSubfolder(kLocks);
  if (folder.empty()) return false;
  RegistryGuard registry(folder);
  return registry.ok() && FindHolder(folder, tree, holder);
}

RunLock::~RunLock() {
  const std::string folder = path_.substr(0, path_.rfind('/'));
  RegistryGuard registry(folder);
  ::unlink(path_.c_str());
  ::close(fd_);
}

}  // namespace velmora::state
