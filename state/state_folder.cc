#include "state/state_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/file_system.h"

namespace velmora::state {
namespace {

// mkdir -p with mode 0700 for what it creates.
bool MakeFolders(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string StateFolderPath() {
  const char* xdg = std::getenv("XDG_STATE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/velmora";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    return std::string(home) + "/.local/state/velmora";
  }
  return std::string();
}

std::string EnsureStateSubfolder(const char* sub) {
  const std::string base = StateFolderPath();
  if (base.empty()) {
    errno = ENOENT;
    return std::string();
  }
  if (!MakeFolders(base)) return std::string();
  // Tighten a folder some other tool made with looser bits.
  ::chmod(base.c_str(), 0700);
  std::string folder = base + "/" + sub;
  if (!MakeFolders(folder)) return std::string();
  return folder;
}

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

StateFolderPlace PlaceOfStateFolder(const std::string& target) {
  // The folder may not exist yet: resolve its nearest existing ancestor and
  // keep the rest as written.
  std::string folder = StateFolderPath();
  std::string rest;
  while (!folder.empty()) {
    const std::string real = RealPath(folder);
    if (!real.empty()) {
      const std::string resolved = (real == "/" ? std::string() : real) + rest;
      if (resolved.empty()) break;
      if (IsSameOrBelow(resolved, target)) return StateFolderPlace::kHolds;
      if (IsSameOrBelow(target, resolved)) return StateFolderPlace::kInside;
      break;
    }
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos) break;
    rest = folder.substr(slash) + rest;
    folder.resize(slash);
  }
  return StateFolderPlace::kApart;
}

std::string TreeKey(const std::string& real_path) {
  char key[17];
  std::snprintf(key, sizeof key, "%016llx",
                static_cast<unsigned long long>(XXH3_64bits(real_path.data(), real_path.size())));
  return key;
}

bool SyncEnabled() {
  const char* value = std::getenv("VELMORA_SYNC");
  return value == nullptr || std::string(value) != "0";
}

bool WriteFileDurably(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && (!SyncEnabled() || ::fdatasync(fd) == 0);
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(path.substr(0, path.rfind('/')));
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  struct stat st {};
  // Journals run to megabytes: read them in one go where the size is known.
  const std::size_t chunk =
      ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 4096;
  bytes->clear();
  std::size_t used = 0;
  for (;;) {
    bytes->resize(used + chunk);
    const ssize_t n = ::read(fd, bytes->data() + used, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      bytes->resize(used);
      return n == 0;
    }
    used += static_cast<std::size_t>(n);
  }
}

bool ReadFileHead(const std::string& path, std::size_t limit, std::string* bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  bytes->resize(limit);
  ssize_t n;
  do {
    n = ::pread(fd, bytes->data(), limit, 0);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  bytes->resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return n >= 0;
}

void SyncFolder(const std::string& path) {
  if (!SyncEnabled()) return;
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace velmora::state
