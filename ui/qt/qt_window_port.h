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
// The port, the window, MainDialog and the Crypter must outlive the worker:
// destroy them only while IsWorkerActive() is false.
#ifndef VELMORA_UI_QT_QT_WINDOW_PORT_H_
#define VELMORA_UI_QT_QT_WINDOW_PORT_H_

#include <QObject>

#include <functional>
#include <string>

#include "platform/window_port.h"
#include "ui/qt/input_blocker.h"
#include "ui/qt/pending_texts.h"

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
  int RunPasswordDialog(std::u16string* password) override;
  int RunOptionDialog(std::u16string* extension_text,
                      int* extension_rule) override;
  void PumpMessages() override;
  void PostCommand(int command) override;
  bool StartWorker(std::function<void()> job) override;
  bool BrowseForFolder(const std::u16string& initial,
                       std::u16string* chosen) override;
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

  MainWindow& window_;
  MainDialog* dialog_ = nullptr;
  InputBlocker blocker_;
  PendingTexts pending_;
  bool walk_blocked_ = false;
  bool worker_active_ = false;
  bool ended_ = false;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_QT_WINDOW_PORT_H_
