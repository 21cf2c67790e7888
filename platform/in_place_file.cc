#include "platform/in_place_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fault_injection.h"
#include "platform/folder.h"
#include "platform/wtf8.h"

namespace velmora {

InPlaceFile::InPlaceFile(const std::u16string& path, Access access) {
  if (path.find(u'\0') != std::u16string::npos) {
    open_error_ = EINVAL;
    return;
  }
  Open(AT_FDCWD, Wtf8FromUtf16(path), access);
}

InPlaceFile::InPlaceFile(const Folder& folder, const std::u16string& name, Access access) {
  if (name.empty() || name.find(u'\0') != std::u16string::npos ||
      name.find(u'/') != std::u16string::npos) {
    open_error_ = EINVAL;
    return;
  }
  Open(folder.Descriptor(), Wtf8FromUtf16(name), access);
}

void InPlaceFile::Open(int folder_fd, const std::string& path, Access access) {
  // The seams count only opens and reads for update: the ones that can
  // leave a file half-transformed.
  if (access == kReadWrite && fault_injection::ShouldFailOpen()) {
    open_error_ = EIO;
    return;
  }
  for_update_ = access != kReadOnly;
  // O_NONBLOCK keeps a FIFO that slipped in from blocking the open; on the
  // regular file that is all this goes on to accept, it changes nothing.
  const int flags =
      (access == kReadOnly ? O_RDONLY : O_RDWR) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  // A look that changes nothing should not change the access time either;
  // only the owner may ask for that.
  int fd = access != kReadWrite ? ::openat(folder_fd, path.c_str(), flags | O_NOATIME) : -1;
  if (fd < 0) fd = ::openat(folder_fd, path.c_str(), flags);
  if (fd < 0) {
    open_error_ = errno;
    return;
  }
  // With the mount, so that this status may stand for the entry's own.
  if (!StatusAt(fd, "", &status_at_open_) || !status_at_open_.is_regular) {
    ::close(fd);
    status_at_open_ = FileStatus{};
    open_error_ = EINVAL;
    return;
  }
  fd_ = fd;
  size_ = status_at_open_.size;
}

bool InPlaceFile::Status(FileStatus* status) const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
  FileStatusFromStat(st, status);
  return true;
}

bool InPlaceFile::RestoreStatus(const FileStatus& status, bool with_mode) {
  if (fd_ < 0 || fault_injection::ShouldFailSetStatus()) return false;
  if (with_mode) {
    fault_injection::CrashPoint();
    if (::fchmod(fd_, static_cast<mode_t>(status.mode & 07777)) != 0) return false;
  }
  // Times last, so that nothing done here afterwards can disturb them.
  const timespec times[2] = {status.access_time, status.modify_time};
  fault_injection::CrashPoint();
  return ::futimens(fd_, times) == 0;
}

InPlaceFile::~InPlaceFile() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t InPlaceFile::ReadAt(void* buffer, int64_t count, int64_t offset) {
  if (for_update_ && fault_injection::ShouldFailRead()) {
    NoteFailure(Operation::kRead, EIO);
    return -1;
  }
  const int64_t done = ReadAheadAt(buffer, count, offset);
  if (done < 0) NoteFailure(Operation::kRead, fd_ < 0 ? EBADF : errno);
  return done;
}

int64_t InPlaceFile::ReadAheadAt(void* buffer, int64_t count, int64_t offset) const {
  if (fd_ < 0) return -1;
  auto* out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd_, out + done, static_cast<size_t>(count - done),
                        static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += n;
  }
  return done;
}

bool InPlaceFile::WriteAt(const void* buffer, int64_t count, int64_t offset) {
  fault_injection::CrashPoint();
  if (fd_ < 0 || fault_injection::ShouldFailWrite()) {
    NoteFailure(Operation::kWrite, fd_ < 0 ? EBADF : EIO);
    return false;
  }
  fault_injection::BeforeWrite(fd_, buffer, count, offset);
  const auto* in = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(fd_, in + done, static_cast<size_t>(count - done),
                         static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that takes nothing has no errno of its own.
      NoteFailure(Operation::kWrite, n < 0 ? errno : EIO);
      return false;
    }
    done += n;
  }
  return true;
}

void InPlaceFile::NoteFailure(Operation operation, int error) {
  std::lock_guard<std::mutex> lock(failure_mutex_);
  if (failure_.operation == Operation::kNone) failure_ = {operation, error};
}

InPlaceFile::Failure InPlaceFile::FirstFailure() const {
  std::lock_guard<std::mutex> lock(failure_mutex_);
  return failure_;
}

bool InPlaceFile::Reused() { return !fault_injection::ShouldFailOpen(); }

bool InPlaceFile::Sync() { return fd_ >= 0 && ::fdatasync(fd_) == 0; }

}  // namespace velmora
