#include "ui/qt/signal_pipe.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>

namespace velmora {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The write end for the handler; -1 while no SignalPipe exists.
std::atomic<int> g_write_fd{-1};

extern "C" void OnSignal(int /*signal_number*/) {
  const int saved_errno = errno;
  const int fd = g_write_fd.load();
  if (fd != -1) {
    const char byte = 1;
    // A full pipe already holds a pending request; nothing is lost.
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = saved_errno;
}

}  // namespace

std::unique_ptr<SignalPipe> SignalPipe::Create(QObject* parent) {
  if (g_write_fd.load() != -1) return nullptr;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return nullptr;
  return std::unique_ptr<SignalPipe>(new SignalPipe(fds[0], fds[1], parent));
}

SignalPipe::SignalPipe(int read_fd, int write_fd, QObject* parent)
    : QObject(parent),
      read_fd_(read_fd),
      write_fd_(write_fd),
      notifier_(new QSocketNotifier(read_fd, QSocketNotifier::Read, this)) {
  connect(notifier_, &QSocketNotifier::activated, this, &SignalPipe::Drain);
  g_write_fd.store(write_fd_);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

SignalPipe::~SignalPipe() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  g_write_fd.store(-1);
  delete notifier_;
  ::close(read_fd_);
  ::close(write_fd_);
}

void SignalPipe::Drain() {
  char buffer[64];
  bool any = false;
  while (::read(read_fd_, buffer, sizeof buffer) > 0) any = true;
  if (any) emit terminationRequested();
}

}  // namespace velmora
