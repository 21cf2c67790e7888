// The person at the terminal: whether there is one, and reading their
// answers and password from the controlling terminal (/dev/tty), so that
// standard input and output stay free for scripts.
#ifndef VELMORA_CLI_TERMINAL_H_
#define VELMORA_CLI_TERMINAL_H_

#include <string>
#include <string_view>

#include "cli/signal_wait.h"

namespace velmora::cli {

// True when |fd| is a terminal.
bool IsTerminal(int fd);

// Columns of the terminal on |fd|; 80 when it cannot be told.
int TerminalColumns(int fd);

enum class LineStatus {
  kLine,         // a line was read; its line end is not included
  kEndOfInput,   // end of input before a line end
  kInterrupted,  // a watched signal arrived
};

// Reads one line from |fd| a byte at a time, so nothing after the line end
// is consumed. A trailing carriage return is dropped.
LineStatus ReadLineFrom(int fd, SignalWatcher* signals, std::string* line);

class Terminal {
 public:
  // Opens /dev/tty; is_open() tells whether that worked.
  Terminal();
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool is_open() const { return fd_ >= 0; }

  void Write(std::string_view bytes);

  // Shows |prompt| and reads a line. With |hidden| the typing is not echoed;
  // the terminal's settings are restored before this returns, whether by a
  // line, the end of input or a signal.
  LineStatus Prompt(std::string_view prompt, bool hidden,
                    SignalWatcher* signals, std::string* line);

 private:
  int fd_ = -1;
};

}  // namespace velmora::cli

#endif  // VELMORA_CLI_TERMINAL_H_
