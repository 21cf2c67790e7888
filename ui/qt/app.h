// App: the desktop program put together — the main window, its window port
// and MainDialog — and the ways it ends: Exit, the close box, the end of
// the desktop session, and SIGTERM, SIGHUP or SIGINT.
//
// Ending never waits for the worker. A request to end that comes while a
// worker runs is remembered and carried out once the worker has finished;
// the temporary decryption it may have left is encrypted again by the exit
// pass first. finished() says when nothing is left to do and the event loop
// may stop; the caller keeps the App alive until then. After a signal or
// the session's end nobody answers boxes any more: each closes by itself
// after a few seconds (QtWindowPort::SetUnattended).
//
// Needs a QApplication. GUI thread only.
#ifndef VELMORA_UI_QT_APP_H_
#define VELMORA_UI_QT_APP_H_

#include <QObject>
#include <memory>
#include <string>

#include "engine/crypter.h"
#include "ui/main_dialog.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_window_port.h"

class QSessionManager;

namespace velmora {

class SignalPipe;

class App : public QObject {
  Q_OBJECT

 public:
  // |command_line| is the initial target, verbatim. |crypter| must outlive
  // the App.
  App(std::u16string command_line, Crypter& crypter);
  ~App() override;

  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Runs MainDialog's start-up and shows the window.
  void Start();

  // Routes SIGTERM, SIGHUP and SIGINT to the exit path, until the App goes.
  // False when the handlers could not be installed (another App has them).
  bool WatchTerminationSignals();

  // The window ended and no worker runs.
  bool IsFinished() const { return finished_; }

  MainWindow& window() { return window_; }
  QtWindowPort& port() { return port_; }
  MainDialog& dialog() { return dialog_; }

 signals:
  // Emitted once, when IsFinished() becomes true.
  void finished();

 private:
  void OnCommitData(QSessionManager& manager);
  void OnTerminationRequested();
  void OnWorkerFinished();
  void OnDialogEnded();
  void CheckFinished();

  MainWindow window_;
  QtWindowPort port_;
  MainDialog dialog_;
  std::unique_ptr<SignalPipe> signals_;
  bool session_end_pending_ = false;
  bool exit_pending_ = false;
  bool finished_ = false;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_APP_H_
