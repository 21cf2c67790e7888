#include "platform/in_place_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fault_injection.h"
#include "platform/wtf8.h"

namespace velmora {

InPlaceFile::InPlaceFile(const std::u16string& path) {
  if (fault_injection::ShouldFailOpen()) return;
  const std::string bytes = Wtf8FromUtf16(path);
  // O_NONBLOCK keeps a FIFO that slipped in from blocking the open.
  int fd = ::open(bytes.c_str(),
                  O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  fd_ = fd;
  size_ = static_cast<int64_t>(st.st_size);
}

InPlaceFile::~InPlaceFile() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t InPlaceFile::ReadAt(void* buffer, int64_t count, int64_t offset) {
  if (fd_ < 0 || fault_injection::ShouldFailRead()) return -1;
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
  if (fd_ < 0 || fault_injection::ShouldFailWrite()) return false;
  const auto* in = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(fd_, in + done, static_cast<size_t>(count - done),
                         static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

}  // namespace velmora
