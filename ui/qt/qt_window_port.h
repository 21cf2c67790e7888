// WindowPort over the widgets of MainWindow.
//
// Calls made on the GUI thread act directly. Calls from the job's worker
// thread are carried to the GUI thread: questions (texts, checks, message
// boxes, the password dialog) wait for their answer, which starts at its
// safe value (empty, false, IDCANCEL, IDNO, IDABORT) in case the call can
// no longer be delivered; control texts are handed over without waiting and
// reach the window in order, before any later question.
//
// The window takes no input from Execute until the worker has finished, and
// during the walk itself (SetInputBlocked), without greying its controls.
//
// Once nobody is left to answer (SetUnattended: a signal, the session
// ending), every message box and password dialog answers itself after five
// seconds, so that the program ends in bounded time.
//
// The port, the window, MainDialog and the Crypter must outlive the worker:
// destroy them only while IsWorkerActive() is false.
#ifndef VELMORA_UI_QT_QT_WINDOW_PORT_H_
#define VELMORA_UI_QT_QT_WINDOW_PORT_H_

#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "ui/qt/input_blocker.h"
#include "ui/qt/pending_texts.h"
#include "ui/window_port.h"

class QDialog;
class QWidget;

namespace velmora {

class MainDialog;
class MainWindow;

class QtWindowPort : public QObject, public WindowPort {
  Q_OBJECT

 public:
  // |window| must outlive the port. Create on the GUI thread.
  explicit QtWindowPort(MainWindow& window);
  ~QtWindowPort() override;

  // The dialog a posted ID_START_SCAN goes to. Set before the first
  // PostCommand.
  void AttachDialog(MainDialog* dialog) { dialog_ = dialog; }

  // GUI thread only.
  bool IsWorkerActive() const { return worker_active_; }
  bool IsInputBlocked() const { return blocker_.IsBlocked(); }
  bool IsEnded() const { return ended_; }
  bool IsUnattended() const { return unattended_; }

  // How long a box waits for an answer once nobody is there.
  static constexpr std::chrono::seconds kUnattendedWait{5};

  // Runs |job| on a worker thread and returns when it has finished; the
  // window meanwhile keeps painting and showing the job's texts, but takes
  // no input and cannot be closed (IsWorkerActive() is true). Runs |job|
  // directly when called off the GUI thread or while a worker runs. For
  // the exit pass, which must not leave the window frozen.
  void RunAndWait(const std::function<void()>& job);

  // From now on every message box and password dialog, the open ones
  // included, answers itself after kUnattendedWait (see UnattendedAnswer;
  // the password dialog is cancelled). GUI thread only.
  void SetUnattended();

  // --- WindowPort ----------------------------------------------------------
  std::u16string GetControlText(int id) override;
  void SetControlText(int id, const std::u16string& text) override;
  bool IsChecked(int id) override;
  void SetChecked(int id, bool checked) override;
  void EnableControl(int id, bool enable) override;
  bool IsControlEnabled(int id) override;
  void SetFocusTo(int id) override;
  void SetInputBlocked(bool blocked) override;
  int MessageBox(const std::u16string& text, unsigned flags) override;
  int RunPasswordDialog(SecretU16* password) override;
  int RunOptionDialog(std::u16string* extension_text, int* extension_rule) override;
  void PumpMessages() override;
  void PostCommand(int command) override;
  bool StartWorker(std::function<void()> job) override;
  bool BrowseForFolder(const std::u16string& initial, std::u16string* chosen) override;
  void EndDialog(int result) override;

 signals:
  // The worker has returned from its job. Emitted on the GUI thread.
  void workerFinished();
  // EndDialog was called (once).
  void dialogEnded(int result);

 private:
  bool OnGuiThread() const;
  // Runs |body| on the GUI thread and returns its result; |safe| when it
  // could not run there.
  template <typename R, typename F>
  R Ask(R safe, F body);
  // Runs |body| on the GUI thread and waits for it.
  template <typename F>
  void Do(F body);

  void ApplyPendingTexts();
  void ShowText(int id, const std::u16string& text);
  void UpdateInputBlock();
  void OnWorkerFinished();
  QWidget* Control(int id) const;
  // exec() of |dialog|, which is made to answer itself when unattended.
  int RunModal(QDialog& dialog);
  void Unattend(QDialog& dialog);

  MainWindow& window_;
  MainDialog* dialog_ = nullptr;
  InputBlocker blocker_;
  PendingTexts pending_;
  bool walk_blocked_ = false;
  bool worker_active_ = false;
  bool ended_ = false;
  bool unattended_ = false;
  // The modal dialogs open now, innermost last.
  std::vector<QPointer<QDialog>> open_dialogs_;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_QT_WINDOW_PORT_H_
