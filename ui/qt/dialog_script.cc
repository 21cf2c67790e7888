#include "ui/qt/dialog_script.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <utility>

namespace velmora {
namespace {

DialogScript& CurrentScript() {
  static DialogScript script;
  return script;
}

}  // namespace

ScopedDialogScript::ScopedDialogScript(DialogScript script)
    : previous_(std::exchange(CurrentScript(), std::move(script))) {}

ScopedDialogScript::~ScopedDialogScript() { CurrentScript() = std::move(previous_); }

void ScheduleDialogScript(QDialog* dialog) {
  if (dialog == nullptr || !CurrentScript()) return;
  // Taken now: the test may uninstall the script before the timer fires.
  DialogScript script = CurrentScript();
  QTimer::singleShot(0, dialog, [dialog, script = std::move(script)] {
    QPointer<QDialog> guard(dialog);
    script(*dialog);
    // done() rather than reject(): a question refuses to be dismissed.
    if (guard && guard->isVisible()) guard->done(QDialog::Rejected);
  });
}

}  // namespace velmora
