#include "cli/signal_wait.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace velmora::cli {
namespace {

constexpr int kWatched[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kWatchedCount = sizeof(kWatched) / sizeof(kWatched[0]);

volatile sig_atomic_t g_write_fd = -1;
volatile sig_atomic_t g_signalled = 0;
volatile sig_atomic_t g_first_signal = 0;
// Lock-free, so storing through it is safe in a handler.
std::atomic<std::atomic<bool>*> g_stop_flag{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free);
struct sigaction g_previous[kWatchedCount];
struct sigaction g_previous_pipe;

void OnSignal(int signal_number) {
  const int saved_errno = errno;
  g_signalled = 1;
  if (g_first_signal == 0) g_first_signal = signal_number;
  if (std::atomic<bool>* stop = g_stop_flag.load()) stop->store(true);
  const unsigned char byte = static_cast<unsigned char>(signal_number);
  // A full pipe already holds a wake-up; losing this byte is harmless.
  const ssize_t ignored = ::write(g_write_fd, &byte, 1);
  static_cast<void>(ignored);
  errno = saved_errno;
}

}  // namespace

SignalWatcher::SignalWatcher() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    read_fd_ = fds[0];
    write_fd_ = fds[1];
  }
  g_write_fd = write_fd_;
  g_signalled = 0;
  g_first_signal = 0;

  struct sigaction action;
  std::memset(&action, 0, sizeof(action));
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // Restart interrupted system calls: the file operations of a walk must
  // not see EINTR because someone pressed Ctrl+C.
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < kWatchedCount; ++i) {
    ::sigaction(kWatched[i], &action, &g_previous[i]);
  }

  struct sigaction ignore;
  std::memset(&ignore, 0, sizeof(ignore));
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, &g_previous_pipe);
}

SignalWatcher::~SignalWatcher() {
  for (int i = 0; i < kWatchedCount; ++i) {
    ::sigaction(kWatched[i], &g_previous[i], nullptr);
  }
  ::sigaction(SIGPIPE, &g_previous_pipe, nullptr);
  g_write_fd = -1;
  g_stop_flag = nullptr;
  if (read_fd_ >= 0) ::close(read_fd_);
  if (write_fd_ >= 0) ::close(write_fd_);
}

void SignalWatcher::SetStopFlag(std::atomic<bool>* flag) {
  g_stop_flag = flag;
  if (flag != nullptr && g_signalled != 0) flag->store(true);
}

int SignalWatcher::FirstSignal() const { return g_first_signal; }

bool SignalWatcher::Received() {
  if (read_fd_ >= 0) {
    unsigned char drain[64];
    while (::read(read_fd_, drain, sizeof(drain)) > 0) {
    }
  }
  if (g_signalled != 0) received_ = true;
  return received_;
}

WaitResult WaitReadable(int fd, SignalWatcher* signals) {
  while (true) {
    if (signals != nullptr && signals->Received()) return WaitResult::kSignal;
    // poll() skips a negative descriptor and would wait forever; the read
    // that follows reports the problem instead.
    if (fd < 0) return WaitResult::kReadable;
    pollfd fds[2] = {};
    fds[0].fd = fd;
    fds[0].events = POLLIN;
    nfds_t count = 1;
    if (signals != nullptr && signals->fd() >= 0) {
      fds[1].fd = signals->fd();
      fds[1].events = POLLIN;
      count = 2;
    }
    const int ready = ::poll(fds, count, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      // poll itself failed: let the caller's read find out what is wrong.
      return WaitResult::kReadable;
    }
    if (fds[0].revents != 0) return WaitResult::kReadable;
    // Otherwise the self-pipe woke us; the loop head records it.
  }
}

WaitEnd WaitForEnterOrSignal(int input_fd, SignalWatcher& signals) {
  while (true) {
    if (WaitReadable(input_fd, &signals) == WaitResult::kSignal) {
      return WaitEnd::kSignal;
    }
    char buffer[256];
    const ssize_t count = ::read(input_fd, buffer, sizeof(buffer));
    if (count == 0) return WaitEnd::kEndOfInput;
    if (count < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return WaitEnd::kEndOfInput;
    }
    if (std::memchr(buffer, '\n', static_cast<std::size_t>(count)) != nullptr) {
      return WaitEnd::kEnter;
    }
  }
}

}  // namespace velmora::cli
