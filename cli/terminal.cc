#include "cli/terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>

#include "cli/local_charset.h"
#include "platform/secret_memory.h"

namespace velmora::cli {
namespace {

// A line may be a password: room for any sensible one from the start, in
// locked pages (a buffer it outgrows is wiped as it goes).
constexpr std::size_t kLineReserve = 1024;

}  // namespace

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

int TerminalColumns(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col;
  }
  return 80;
}

LineRead ReadLineFrom(int fd, SignalWatcher* signals, SecretBytes* line) {
  line->clear();
  line->reserve(kLineReserve);
  while (true) {
    if (WaitReadable(fd, signals) == WaitResult::kSignal) {
      return {LineStatus::kInterrupted};
    }
    char byte;
    const ssize_t count = ::read(fd, &byte, 1);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (count < 0) return {LineStatus::kReadFailed, errno};
    if (count == 0) {
      // A last line without its line end still counts, as for any text.
      return {line->empty() ? LineStatus::kEndOfInput : LineStatus::kLine};
    }
    if (byte == '\n') break;
    line->push_back(byte);
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return {LineStatus::kLine};
}

Terminal::Terminal() { fd_ = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY); }

Terminal::~Terminal() {
  if (fd_ >= 0) ::close(fd_);
}

void Terminal::Write(std::string_view text) {
  const std::string local = LocalBytes(text);
  std::string_view bytes = local;
  while (fd_ >= 0 && !bytes.empty()) {
    const ssize_t count = ::write(fd_, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
}

Terminal::Hidden::Hidden(Terminal& terminal) : terminal_(terminal) {
  const int fd = terminal_.fd_;
  if (fd < 0 || terminal_.hidden_ || ::tcgetattr(fd, &saved_) != 0) return;
  struct sigaction ignore;
  std::memset(&ignore, 0, sizeof(ignore));
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGTSTP, &ignore, &saved_stop_);
  termios quiet = saved_;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
  quiet.c_lflag |= ECHONL;
  // Not TCSAFLUSH: that waits for the output, which Ctrl+S may hold.
  active_ = ::tcsetattr(fd, TCSANOW, &quiet) == 0;
  if (!active_) {
    ::sigaction(SIGTSTP, &saved_stop_, nullptr);
    return;
  }
  ::tcflush(fd, TCIFLUSH);
  terminal_.hidden_ = true;
}

Terminal::Hidden::~Hidden() {
  if (!active_) return;
  ::tcsetattr(terminal_.fd_, TCSANOW, &saved_);
  ::sigaction(SIGTSTP, &saved_stop_, nullptr);
  terminal_.hidden_ = false;
}

LineStatus Terminal::Prompt(std::string_view prompt, bool hidden, SignalWatcher* signals,
                            SecretBytes* line) {
  line->clear();
  if (fd_ < 0) return LineStatus::kEndOfInput;
  std::optional<Hidden> own;
  if (hidden) own.emplace(*this);
  Write(prompt);
  const LineStatus status = ReadLineFrom(fd_, signals, line).status;
  // Whatever ended the read, the next output starts on a fresh line.
  if (status != LineStatus::kLine) Write("\n");
  return status;
}

}  // namespace velmora::cli
