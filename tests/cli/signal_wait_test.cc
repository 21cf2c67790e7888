// Waiting for Enter, the end of input or a signal, and reading one line
// without taking more.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "cli/signal_wait.h"
#include "cli/terminal.h"

namespace velmora::cli {
namespace {

// A pipe whose write end the test controls.
class Pipe {
 public:
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) == 0) {
      read_ = fds[0];
      write_ = fds[1];
    }
  }
  ~Pipe() {
    CloseWrite();
    if (read_ >= 0) ::close(read_);
  }
  int read_fd() const { return read_; }
  void Write(const std::string& bytes) {
    ASSERT_EQ(::write(write_, bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
  }
  void CloseWrite() {
    if (write_ >= 0) ::close(write_);
    write_ = -1;
  }

 private:
  int read_ = -1;
  int write_ = -1;
};

TEST(SignalWaitTest, EnterEndsTheWait) {
  SignalWatcher signals;
  Pipe input;
  input.Write("some text\n");
  EXPECT_EQ(WaitForEnterOrSignal(input.read_fd(), signals), WaitEnd::kEnter);
}

TEST(SignalWaitTest, EndOfInputEndsTheWait) {
  SignalWatcher signals;
  Pipe input;
  input.Write("no line end");
  input.CloseWrite();
  EXPECT_EQ(WaitForEnterOrSignal(input.read_fd(), signals),
            WaitEnd::kEndOfInput);
}

TEST(SignalWaitTest, UnusableInputCountsAsEndOfInput) {
  SignalWatcher signals;
  EXPECT_EQ(WaitForEnterOrSignal(-1, signals), WaitEnd::kEndOfInput);
}

TEST(SignalWaitTest, CaughtSignalEndsTheWaitAndTheProcessLivesOn) {
  Pipe input;  // stays open and empty
  {
    SignalWatcher signals;
    EXPECT_FALSE(signals.Received());
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_TRUE(signals.Received());
    EXPECT_EQ(WaitForEnterOrSignal(input.read_fd(), signals),
              WaitEnd::kSignal);
    // Received stays true: a later wait ends at once too.
    EXPECT_EQ(WaitForEnterOrSignal(input.read_fd(), signals),
              WaitEnd::kSignal);
  }
  // The previous disposition is back.
  struct sigaction current;
  ASSERT_EQ(::sigaction(SIGTERM, nullptr, &current), 0);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

TEST(SignalWaitTest, EachWatcherStartsClear) {
  {
    SignalWatcher first;
    ASSERT_EQ(::raise(SIGINT), 0);
    EXPECT_TRUE(first.Received());
  }
  SignalWatcher second;
  EXPECT_FALSE(second.Received());
}

TEST(ReadLineTest, ReadsOneLineAndLeavesTheRest) {
  Pipe input;
  input.Write("secret\r\nEnter\n");
  std::string line;
  EXPECT_EQ(ReadLineFrom(input.read_fd(), nullptr, &line), LineStatus::kLine);
  EXPECT_EQ(line, "secret");
  EXPECT_EQ(ReadLineFrom(input.read_fd(), nullptr, &line), LineStatus::kLine);
  EXPECT_EQ(line, "Enter");
  input.CloseWrite();
  EXPECT_EQ(ReadLineFrom(input.read_fd(), nullptr, &line),
            LineStatus::kEndOfInput);
}

TEST(ReadLineTest, EmptyLineIsALine) {
  Pipe input;
  input.Write("\n");
  std::string line = "stale";
  EXPECT_EQ(ReadLineFrom(input.read_fd(), nullptr, &line), LineStatus::kLine);
  EXPECT_EQ(line, "");
}

TEST(ReadLineTest, LastLineWithoutLineEndCounts) {
  Pipe input;
  input.Write("pw");
  input.CloseWrite();
  std::string line;
  EXPECT_EQ(ReadLineFrom(input.read_fd(), nullptr, &line), LineStatus::kLine);
  EXPECT_EQ(line, "pw");
}

TEST(ReadLineTest, SignalInterruptsTheRead) {
  SignalWatcher signals;
  Pipe input;
  ASSERT_EQ(::raise(SIGHUP), 0);
  std::string line;
  EXPECT_EQ(ReadLineFrom(input.read_fd(), &signals, &line),
            LineStatus::kInterrupted);
}

}  // namespace
}  // namespace velmora::cli
