// Signals as events, and the wait of a temporary decryption.
//
// While a SignalWatcher lives, SIGINT, SIGTERM, SIGHUP and SIGQUIT no longer
// end the process: each is recorded and a byte is written to a pipe (the
// self-pipe), so a walk always finishes the entry it is on and every wait
// can watch for them with poll(). SIGPIPE is ignored, so a closed output
// fails a write instead of killing a walk half-way.
#ifndef VELMORA_CLI_SIGNAL_WAIT_H_
#define VELMORA_CLI_SIGNAL_WAIT_H_

#include <atomic>

namespace velmora::cli {

class SignalWatcher {
 public:
  // Installs the handlers; only one watcher may exist at a time.
  SignalWatcher();
  // Puts the previous dispositions back and closes the pipe.
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

  // Read end of the self-pipe, for poll(); -1 when it could not be made.
  int fd() const { return read_fd_; }

  // True once any watched signal has arrived. Stays true.
  bool Received();

  // The first watched signal that arrived, or 0.
  int FirstSignal() const;

  // Every watched signal from now on (and one that came already) sets
  // |*flag|; null stops that.
  void SetStopFlag(std::atomic<bool>* flag);

 private:
  int read_fd_ = -1;
  int write_fd_ = -1;
  bool received_ = false;
};

enum class WaitResult { kReadable, kSignal };

// Blocks until |fd| is readable (or at its end, or broken) or a watched
// signal arrives. |signals| may be null.
WaitResult WaitReadable(int fd, SignalWatcher* signals);

enum class WaitEnd { kEnter, kEndOfInput, kSignal };

// Blocks until a line end or the end of input on |input_fd|, or a watched
// signal. A signal that arrived earlier ends the wait at once. An unusable
// |input_fd| counts as end of input.
WaitEnd WaitForEnterOrSignal(int input_fd, SignalWatcher& signals);

}  // namespace velmora::cli

#endif  // VELMORA_CLI_SIGNAL_WAIT_H_
