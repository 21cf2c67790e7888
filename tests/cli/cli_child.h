// velmora-cli as a child process of a test: stdio on pipes without a
// controlling terminal, or on a pseudo-terminal.
#ifndef VELMORA_TESTS_CLI_CLI_CHILD_H_
#define VELMORA_TESTS_CLI_CLI_CHILD_H_

#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/wtf8.h"

namespace velmora::testing {

inline constexpr char kPasswordLine[] = "correct horse \xe3\x81\x82\n";

struct Cli {
  int status = -1;  // -1 unless the child exited
  std::string out, err;
};

// A running velmora-cli.
class Child {
 public:
  // |env| adds to the child's environment (Japanese unless it says else).
  // With |terminal_columns| stdio is a new pseudo-terminal that wide, read
  // raw as stdout; |cooked| makes it echo, read lines and obey Ctrl+S/Q.
  // |typed_ahead| reaches the terminal before the program starts.
  explicit Child(std::vector<std::string> args,
                 std::vector<std::pair<const char*, const char*>> env = {},
                 unsigned short terminal_columns = 0, bool cooked = false,
                 const std::string& typed_ahead = "") {
    args.insert(args.begin(), VELMORA_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipes[3][2];
    int go[2] = {-1, -1};  // the program starts once typed_ahead is in
    EXPECT_EQ(::pipe2(go, O_CLOEXEC), 0);
    ::signal(SIGPIPE, SIG_IGN);  // the child may exit before reading stdin
    if (terminal_columns > 0) {
      termios modes{};
      ::cfmakeraw(&modes);
      if (cooked) {
        modes.c_iflag |= ICRNL | IXON;
        modes.c_lflag |= ECHO | ECHOE | ECHOK | ICANON | ISIG | IEXTEN;
        modes.c_cc[VMIN] = 1;
        modes.c_cc[VINTR] = 0x03;
        modes.c_cc[VEOF] = 0x04;
        modes.c_cc[VERASE] = 0x7F;
        modes.c_cc[VSTART] = 0x11;
        modes.c_cc[VSTOP] = 0x13;
      }
      const winsize size = {24, terminal_columns, 0, 0};
      pid_ = ::forkpty(&fd_[1], nullptr, &modes, &size);
      terminal_ = true;
    } else {
      for (auto& ends : pipes) EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
      pid_ = ::fork();
    }
    if (pid_ == 0) {
      if (terminal_columns == 0) {
        ::setsid();  // no controlling terminal: /dev/tty cannot be opened
        for (int fd = 0; fd < 3; ++fd) ::dup2(pipes[fd][fd == 0 ? 0 : 1], fd);
      }
      ::unsetenv("LANGUAGE");  // Japanese, whatever the caller's locale
      ::setenv("LC_ALL", "C.UTF-8", 1);
      for (const auto& [name, value] : env) ::setenv(name, value, 1);
      char started = 0;
      if (::read(go[0], &started, 1) != 1) ::_exit(127);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    for (int fd = 0; fd < 3 && terminal_columns == 0; ++fd) {
      ::close(pipes[fd][fd == 0 ? 0 : 1]);
      fd_[fd] = pipes[fd][fd == 0 ? 1 : 0];
    }
    // What is typed goes to the terminal too.
    if (terminal_) fd_[0] = ::dup(fd_[1]);
    ::close(go[0]);
    if (!typed_ahead.empty()) Write(typed_ahead);
    EXPECT_EQ(::write(go[1], "g", 1), 1);
    ::close(go[1]);
  }
  ~Child() {
    for (int fd : fd_) ::close(fd);
    if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0) ::waitpid(pid_, nullptr, 0);
  }

  void Write(const std::string& bytes) {
    if (::write(fd_[0], bytes.data(), bytes.size()) < 0) return;  // it ended
  }
  void CloseInput() { ::close(std::exchange(fd_[0], -1)); }
  void Signal(int number) { ::kill(pid_, number); }
  pid_t pid() const { return pid_; }
  // The modes the program has set on its terminal.
  bool TerminalModes(termios* modes) const { return terminal_ && ::tcgetattr(fd_[1], modes) == 0; }

  // Collects output until stderr (on a terminal: all output) holds |needle|
  // (nullptr: until it ends); false when it ends or a minute passes first.
  bool ReadUntil(const char* needle) {
    const std::string& seen = terminal_ ? result_.out : result_.err;
    while (needle == nullptr || seen.find(needle) == std::string::npos) {
      pollfd fds[2] = {{fd_[1], POLLIN, 0}, {fd_[2], POLLIN, 0}};
      if (std::max(fd_[1], fd_[2]) < 0 || ::poll(fds, 2, 60000) <= 0) {
        return false;
      }
      for (int i = 1; i < 3; ++i) {
        if (fds[i - 1].revents == 0) continue;
        char buffer[4096];
        const ssize_t count = ::read(fd_[i], buffer, sizeof buffer);
        if (count > 0) (i == 2 ? result_.err : result_.out).append(buffer, count);
        // A terminal ends in EIO once the child's side is closed.
        if (count == 0 || (count < 0 && errno != EINTR)) ::close(std::exchange(fd_[i], -1));
      }
    }
    return true;
  }

  Cli Finish() {
    ReadUntil(nullptr);  // a child still writing after a minute is killed
    int status = -1;     // not an exit, should waitpid fail
    if (std::max(fd_[1], fd_[2]) >= 0) ::kill(pid_, SIGKILL);
    ::waitpid(std::exchange(pid_, -1), &status, 0);
    result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result_;
  }

 private:
  pid_t pid_ = -1;
  bool terminal_ = false;
  int fd_[3] = {-1, -1, -1};  // our ends of its stdin, stdout and stderr
  Cli result_;
};

inline Cli RunCli(const std::vector<std::string>& args, const std::string& input,
                  std::vector<std::pair<const char*, const char*>> env = {}) {
  Child child(args, std::move(env));
  child.Write(input);
  child.CloseInput();
  return child.Finish();
}

// A program text as the console prints it: UTF-8 with "\n" line ends.
inline std::string Shown(std::u16string_view text) {
  std::string bytes = Wtf8FromUtf16(text);
  std::erase(bytes, '\r');
  return bytes;
}

// A program text as an error that ends the run shows it: one line.
inline std::string Joined(std::u16string_view text) {
  std::string bytes = Shown(text);
  while (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
  std::string line;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    if (bytes[at] != '\n') {
      line.push_back(bytes[at]);
    } else if (at == 0 || bytes[at - 1] != '\n') {
      line.push_back(' ');
    }
  }
  return line;
}

// Columns |utf8| takes on a terminal that draws every emoji wide.
inline int TerminalColumnsOf(std::string_view utf8) {
  int columns = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length && at + k < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[at + k]) & 0x3F);
    }
    at += length;
    if ((c >= 0x300 && c < 0x370) || c == 0xFE0F) continue;
    columns += c >= 0x1100 && c != 0xFFFD ? 2 : 1;
  }
  return columns;
}

inline bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// |bytes| converted with iconv; none when they do not convert.
inline std::optional<std::string> Converted(const char* to, const char* from,
                                            const std::string& bytes) {
  const iconv_t handle = ::iconv_open(to, from);
  if (handle == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(bytes.size() * 2 + 1, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  char* next = out.data();
  std::size_t room = out.size();
  const std::size_t result = ::iconv(handle, &in, &in_left, &next, &room);
  ::iconv_close(handle);
  if (result == static_cast<std::size_t>(-1)) return std::nullopt;
  out.resize(out.size() - room);
  return out;
}

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_CLI_CLI_CHILD_H_
