// SIGTERM, SIGHUP and SIGINT as events of the GUI thread.
//
// A signal handler may do almost nothing, so the handler only writes a byte
// into a pipe; a socket notifier on the other end reports the signal from
// the event loop, where the program can act on it safely. At most one
// SignalPipe may exist at a time; it puts the previous handlers back when
// destroyed.
#ifndef VELMORA_UI_QT_SIGNAL_PIPE_H_
#define VELMORA_UI_QT_SIGNAL_PIPE_H_

#include <signal.h>

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace velmora {

class SignalPipe : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers. Null when the pipe could not be made or another
  // SignalPipe exists.
  static std::unique_ptr<SignalPipe> Create(QObject* parent = nullptr);
  ~SignalPipe() override;

  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

 signals:
  // One of the signals arrived (several quick ones may come as one).
  void terminationRequested();

 private:
  SignalPipe(int read_fd, int write_fd, QObject* parent);
  void Drain();

  int read_fd_;
  int write_fd_;
  QSocketNotifier* notifier_;
  struct sigaction previous_[3];
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_SIGNAL_PIPE_H_
