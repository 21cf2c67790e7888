// An open file descriptor, closed when the object goes.
#ifndef VELMORA_PLATFORM_DESCRIPTOR_H_
#define VELMORA_PLATFORM_DESCRIPTOR_H_

#include <unistd.h>

namespace velmora {

class OwnedFd {
 public:
  explicit OwnedFd(int fd = -1) : fd_(fd) {}
  ~OwnedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;

  int get() const { return fd_; }
  // Hands the descriptor over: the caller closes it.
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

}  // namespace velmora

#endif  // VELMORA_PLATFORM_DESCRIPTOR_H_
