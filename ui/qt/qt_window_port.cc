#include "ui/qt/qt_window_port.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QRadioButton>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

#include "ui/main_dialog.h"
#include "ui/qt/folder_browser.h"
#include "ui/qt/main_window.h"
#include "ui/qt/message_box.h"
#include "ui/qt/option_dialog.h"
#include "ui/qt/password_dialog.h"

namespace velmora {
namespace {

// The job writes "\r\n"; labels break lines at "\n".
QString ToDisplay(const std::u16string& text) {
  QString shown = QString::fromStdU16String(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

std::u16string FromDisplay(QString text) {
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return text.toStdU16String();
}

}  // namespace

QtWindowPort::QtWindowPort(MainWindow& window) : window_(window), blocker_(&window) {}

QtWindowPort::~QtWindowPort() = default;

bool QtWindowPort::OnGuiThread() const { return QThread::currentThread() == thread(); }

template <typename R, typename F>
R QtWindowPort::Ask(R safe, F body) {
  if (OnGuiThread()) return body();
  // A blocking call from the GUI thread to itself would deadlock; from any
  // other thread it waits. If the call is dropped undelivered (the GUI
  // thread is going away) the answer stays |safe|.
  R answer = safe;
  QMetaObject::invokeMethod(
      this, [&answer, &body] { answer = body(); }, Qt::BlockingQueuedConnection);
  return answer;
}

template <typename F>
void QtWindowPort::Do(F body) {
  if (OnGuiThread()) {
    body();
    return;
  }
  QMetaObject::invokeMethod(
      this, [&body] { body(); }, Qt::BlockingQueuedConnection);
}

QWidget* QtWindowPort::Control(int id) const { return window_.Control(id); }

void QtWindowPort::ApplyPendingTexts() {
  for (const PendingTexts::Entry& entry : pending_.Take()) {
    ShowText(entry.first, entry.second);
  }
}

void QtWindowPort::ShowText(int id, const std::u16string& text) {
  QWidget* control = Control(id);
  const QString shown = ToDisplay(text);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(shown);  // emits no textEdited: not the user's edit
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(shown);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(shown);
  } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
    group->setTitle(shown);
  }
}

std::u16string QtWindowPort::GetControlText(int id) {
  return Ask(std::u16string(), [this, id] {
    ApplyPendingTexts();
    QWidget* control = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      return edit->text().toStdU16String();
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
      return FromDisplay(label->text());
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      return FromDisplay(button->text());
    }
    if (auto* group = qobject_cast<QGroupBox*>(control)) {
      return FromDisplay(group->title());
    }
    return std::u16string();
  });
}

void QtWindowPort::SetControlText(int id, const std::u16string& text) {
  if (OnGuiThread()) {
    ApplyPendingTexts();  // older texts from the worker go first
    ShowText(id, text);
    return;
  }
  // Progress lines come once per entry; the worker does not wait for them,
  // and the GUI thread shows only the newest of each.
  if (pending_.Put(id, text)) {
    QMetaObject::invokeMethod(
        this, [this] { ApplyPendingTexts(); }, Qt::QueuedConnection);
  }
}

bool QtWindowPort::IsChecked(int id) {
  return Ask(false, [this, id] {
    auto* button = qobject_cast<QAbstractButton*>(Control(id));
    return button != nullptr && button->isChecked();
  });
}

void QtWindowPort::SetChecked(int id, bool checked) {
  Do([this, id, checked] {
    ApplyPendingTexts();
    auto* button = qobject_cast<QAbstractButton*>(Control(id));
    if (button == nullptr) return;
    // Sets this button only, as the caller says; clicks still keep one
    // radio button selected.
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(checked);
    button->setAutoExclusive(exclusive);
  });
}

void QtWindowPort::EnableControl(int id, bool enable) {
  Do([this, id, enable] {
    ApplyPendingTexts();
    QWidget* control = Control(id);
    if (control == nullptr) return;
    // Qt hands the focus of a control being disabled on to the next one,
    // and a button that takes the focus becomes the default: Enter after a
    // run would open the option dialog. The window keeps the focus itself,
    // so Enter goes to "実行", which ignores it while disabled.
    if (!enable && window_.focusWidget() == control) {
      window_.setFocus(Qt::OtherFocusReason);
    }
    control->setEnabled(enable);
  });
}

bool QtWindowPort::IsControlEnabled(int id) {
  return Ask(false, [this, id] {
    const QWidget* control = Control(id);
    return control != nullptr && control->isEnabled();
  });
}

void QtWindowPort::SetFocusTo(int id) {
  Do([this, id] {
    ApplyPendingTexts();
    if (QWidget* control = Control(id)) control->setFocus(Qt::OtherFocusReason);
  });
}

void QtWindowPort::SetInputBlocked(bool blocked) {
  Do([this, blocked] {
    ApplyPendingTexts();
    walk_blocked_ = blocked;
    UpdateInputBlock();
  });
}

void QtWindowPort::UpdateInputBlock() {
  blocker_.SetBlocked(walk_blocked_ || worker_active_);
  // The walk itself shows a busy pointer; the questions before it do not.
  if (walk_blocked_) {
    window_.setCursor(Qt::BusyCursor);
  } else {
    window_.unsetCursor();
  }
}

int QtWindowPort::RunModal(QDialog& dialog) {
  open_dialogs_.emplace_back(&dialog);
  if (unattended_) Unattend(dialog);
  const int result = dialog.exec();
  open_dialogs_.pop_back();
  return result;
}

void QtWindowPort::Unattend(QDialog& dialog) {
  if (auto* box = qobject_cast<MessageBoxDialog*>(&dialog)) {
    box->AnswerAfter(kUnattendedWait, dialog_ != nullptr && dialog_->job_.exit_pass == 1);
    return;
  }
  QTimer::singleShot(kUnattendedWait, &dialog, [&dialog] { dialog.done(QDialog::Rejected); });
}

void QtWindowPort::SetUnattended() {
  if (unattended_) return;
  unattended_ = true;
  for (const QPointer<QDialog>& dialog : open_dialogs_) {
    if (dialog) Unattend(*dialog);
  }
}

int QtWindowPort::MessageBox(const std::u16string& text, unsigned flags) {
  return Ask(SafeAnswer(flags), [this, &text, flags] {
    ApplyPendingTexts();
    MessageBoxDialog box(&window_, text, flags);
    RunModal(box);
    return box.Answer();
  });
}

int QtWindowPort::RunPasswordDialog(SecretU16* password) {
  return Ask(IDCANCEL, [this, password] {
    ApplyPendingTexts();
    PasswordDialog dialog(&window_);
    if (RunModal(dialog) != QDialog::Accepted) return IDCANCEL;
    *password = dialog.passwordInput();
    return IDOK;
  });
}

int QtWindowPort::RunOptionDialog(std::u16string* extension_text, int* extension_rule) {
  return Ask(IDCANCEL, [this, extension_text, extension_rule] {
    ApplyPendingTexts();
    return ::velmora::RunOptionDialog(&window_, extension_text, extension_rule);
  });
}

void QtWindowPort::PumpMessages() {
  // The scan pumps on the GUI thread; a worker has no messages of its own.
  if (OnGuiThread()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtWindowPort::PostCommand(int command) {
  QMetaObject::invokeMethod(
      this,
      [this, command] {
        // A scan posted just before Exit must not start after it.
        if (ended_ || dialog_ == nullptr) return;
        if (command == ID_START_SCAN) dialog_->OnStartScan();
      },
      Qt::QueuedConnection);
}

bool QtWindowPort::StartWorker(std::function<void()> job) {
  if (!OnGuiThread() || worker_active_) return false;
  worker_active_ = true;
  UpdateInputBlock();
  try {
    // Never joined: the GUI thread must not wait for a job that may be
    // waiting for the GUI thread. The finish is reported back as an event.
    std::thread([this, job = std::move(job)] {
      job();
      QMetaObject::invokeMethod(
          this, [this] { OnWorkerFinished(); }, Qt::QueuedConnection);
    }).detach();
  } catch (const std::system_error&) {
    worker_active_ = false;
    UpdateInputBlock();
    return false;
  }
  return true;
}

void QtWindowPort::RunAndWait(const std::function<void()>& job) {
  if (!OnGuiThread() || worker_active_) {
    job();
    return;
  }
  worker_active_ = true;
  UpdateInputBlock();
  QEventLoop loop;
  std::atomic<bool> done = false;
  std::thread worker;
  try {
    worker = std::thread([&job, &done, &loop] {
      job();
      done = true;
      QMetaObject::invokeMethod(
          &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    // No thread to be had: the job still has to run, frozen window or not.
    job();
    done = true;
  }
  // The loop also returns when the application is told to quit; the job
  // must still end before anything it uses goes away.
  while (!done) loop.exec();
  // Joined before |loop| goes: the worker may still be posting its quit.
  if (worker.joinable()) worker.join();
  ApplyPendingTexts();
  worker_active_ = false;
  UpdateInputBlock();
}

void QtWindowPort::OnWorkerFinished() {
  ApplyPendingTexts();
  worker_active_ = false;
  UpdateInputBlock();
  emit workerFinished();
}

bool QtWindowPort::BrowseForFolder(const std::u16string& initial, std::u16string* chosen) {
  return Ask(false, [this, &initial, chosen] {
    // The browser opens on the current target when there is one.
    return RunFolderBrowser(&window_, initial, chosen);
  });
}

void QtWindowPort::EndDialog(int result) {
  Do([this, result] {
    if (ended_) return;
    ended_ = true;
    ApplyPendingTexts();
    window_.End();
    emit dialogEnded(result);
  });
}

}  // namespace velmora
