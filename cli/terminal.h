// The person at the terminal: whether there is one, and reading their
// answers and password from the controlling terminal (/dev/tty), so that
// standard input and output stay free for scripts.
#ifndef VELMORA_CLI_TERMINAL_H_
#define VELMORA_CLI_TERMINAL_H_

#include <termios.h>

#include <csignal>
#include <string>
#include <string_view>

#include "cli/signal_wait.h"
#include "platform/secret_memory.h"

namespace velmora::cli {

// True when |fd| is a terminal.
bool IsTerminal(int fd);

// Columns of the terminal on |fd|; 80 when it cannot be told.
int TerminalColumns(int fd);

enum class LineStatus {
  kLine,         // a line was read; its line end is not included
  kEndOfInput,   // end of input before a line end
  kInterrupted,  // a watched signal arrived
  kReadFailed,   // a read failed
};

// How reading a line ended, with the errno of the read for kReadFailed.
struct LineRead {
  LineStatus status;
  int error = 0;
};

// Reads one line from |fd| a byte at a time, so nothing after the line end
// is consumed. A trailing carriage return is dropped.
LineRead ReadLineFrom(int fd, SignalWatcher* signals, SecretBytes* line);

class Terminal {
 public:
  // Opens /dev/tty; is_open() tells whether that worked.
  Terminal();
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool is_open() const { return fd_ >= 0; }

  // While one lives, what is typed on the terminal is not echoed: made
  // before a password prompt is shown, so that nothing typed as it appears
  // shows. What was typed before (and echoed) is dropped. The terminal's
  // settings come back when it goes, however the reading ended (a line, the
  // end of input, a signal). Suspending (Ctrl+Z) is ignored meanwhile: a
  // stopped process would leave the terminal without echo. One made while
  // another lives does nothing.
  class Hidden {
   public:
    explicit Hidden(Terminal& terminal);
    ~Hidden();
    Hidden(const Hidden&) = delete;
    Hidden& operator=(const Hidden&) = delete;

   private:
    Terminal& terminal_;
    bool active_ = false;
    termios saved_{};
    struct sigaction saved_stop_ {};
  };

  // Writes |text| (UTF-8) in the locale's character set.
  void Write(std::string_view text);

  // Shows |prompt| and reads a line. With |hidden| the typing is not
  // echoed, within a Hidden of the caller's or one made before the prompt
  // shows and gone before this returns.
  LineStatus Prompt(std::string_view prompt, bool hidden, SignalWatcher* signals,
                    SecretBytes* line);

 private:
  int fd_ = -1;
  bool hidden_ = false;
};

}  // namespace velmora::cli

#endif  // VELMORA_CLI_TERMINAL_H_
