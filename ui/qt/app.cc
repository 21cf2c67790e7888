#include "ui/qt/app.h"

#include <QGuiApplication>
#include <QIcon>
#include <QSessionManager>
#include <functional>
#include <utility>

#include "ui/qt/program_resources.h"
#include "ui/qt/signal_pipe.h"

namespace velmora {

App::App(std::u16string command_line, Crypter& crypter)
    : window_(), port_(window_), dialog_(port_, crypter, std::move(command_line)) {
  port_.AttachDialog(&dialog_);
  // The exit pass re-encrypts on a worker so that the window keeps painting
  // its progress: a window that stops answering invites a force quit, which
  // would cut the encryption short.
  dialog_.SetExitPassRunner([this](const std::function<void()>& pass) { port_.RunAndWait(pass); });
  const QIcon icon = ProgramIcon();
  QGuiApplication::setWindowIcon(icon);
  window_.setWindowIcon(icon);

  connect(&window_, &MainWindow::pathEdited, this, [this] { dialog_.CheckTargetPath(); });
  connect(&window_, &MainWindow::operationClicked, this, [this] { dialog_.OnOperationChanged(); });
  connect(&window_, &MainWindow::browseClicked, this, [this] { dialog_.OnBrowse(); });
  connect(&window_, &MainWindow::settingsClicked, this, [this] { dialog_.OnSettings(); });
  connect(&window_, &MainWindow::executeRequested, this, [this] { dialog_.OnOK(); });
  connect(&window_, &MainWindow::exitRequested, this, [this] { dialog_.OnCancel(); });
  connect(&window_, &MainWindow::closeRequested, this, [this] {
    // MainDialog tells a walk from a scan by running, which is set only
    // once the walk starts; a close box while the worker still asks its
    // questions must not end the dialog under it.
    if (!port_.IsWorkerActive()) dialog_.OnClose();
  });
  connect(&window_, &MainWindow::pathDropped, this,
          [this](const std::u16string& path) { dialog_.OnDropFiles(path); });

  connect(&port_, &QtWindowPort::workerFinished, this, &App::OnWorkerFinished);
  connect(&port_, &QtWindowPort::dialogEnded, this, &App::OnDialogEnded);

  // Direct: the session manager wants the data saved before this returns.
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(gui, &QGuiApplication::commitDataRequest, this, &App::OnCommitData,
            Qt::DirectConnection);
  }
}

App::~App() = default;

void App::Start() {
  dialog_.OnInitDialog();
  window_.show();
  dialog_.OfferTreesLeftDecrypted();
}

bool App::WatchTerminationSignals() {
  if (signals_ != nullptr) return true;
  signals_ = SignalPipe::Create();
  if (signals_ == nullptr) return false;
  connect(signals_.get(), &SignalPipe::terminationRequested, this, &App::OnTerminationRequested);
  return true;
}

void App::OnCommitData(QSessionManager& manager) {
  // A new session would start the program on an empty target; nothing in
  // it is worth restoring.
  manager.setRestartHint(QSessionManager::RestartNever);
  // Nobody answers boxes while the session goes; a run's or the exit
  // pass's boxes close by themselves. A session end that is then cancelled
  // with nothing to do leaves the boxes as they were.
  if (port_.IsWorkerActive()) {
    port_.SetUnattended();
    // A walk stops after the entry it is on; the exit pass runs on.
    dialog_.stop_requested_ = true;
    session_end_pending_ = true;
    return;
  }
  // The exit pass ends with its summary box; ask leave to show it. The tree
  // is encrypted again whatever the answer.
  if (dialog_.IsWaiting()) {
    port_.SetUnattended();
    manager.allowsInteraction();
  }
  dialog_.OnSessionEnd();
}

void App::OnTerminationRequested() {
  // Whoever sent the signal waits for the program to end, not for a click.
  port_.SetUnattended();
  if (port_.IsEnded()) return;
  if (port_.IsWorkerActive()) {
    // A walk stops after the entry it is on (the exit pass runs on); then
    // Exit re-encrypts what a temporary decryption deciphered.
    dialog_.stop_requested_ = true;
    exit_pending_ = true;
    return;
  }
  // As Exit: stops a scan, re-encrypts a waiting temporary decryption and
  // ends the dialog.
  dialog_.OnCancel();
}

void App::OnWorkerFinished() {
  if (exit_pending_ && !port_.IsEnded()) {
    exit_pending_ = false;
    dialog_.OnCancel();
  } else if (session_end_pending_) {
    session_end_pending_ = false;
    dialog_.OnSessionEnd();
  }
  CheckFinished();
}

void App::OnDialogEnded() { CheckFinished(); }

void App::CheckFinished() {
  if (finished_ || !port_.IsEnded() || port_.IsWorkerActive()) return;
  finished_ = true;
  emit finished();
}

}  // namespace velmora
