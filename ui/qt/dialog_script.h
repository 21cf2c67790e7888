// A hook through which tests answer modal dialogs.
//
// A modal dialog runs its own event loop, so a test cannot act on it after
// calling the function that opens it. Instead the test installs a script;
// every Velmora dialog hands itself to the script once it is on screen, from
// inside its own event loop. The script drives the real widgets (types into
// the edits, clicks the buttons) and normally closes the dialog.
//
//   ScopedDialogScript script([](QDialog& dialog) {
//     QTest::keyClicks(dialog.findChild<QLineEdit*>("1026"), "pw");
//     ...
//     QTest::mouseClick(dialog.findChild<QPushButton*>("1"), Qt::LeftButton);
//   });
//   int answer = RunPasswordDialog(nullptr, &password);
//
// Without a script installed the dialogs behave normally. GUI thread only.
#ifndef VELMORA_UI_QT_DIALOG_SCRIPT_H_
#define VELMORA_UI_QT_DIALOG_SCRIPT_H_

#include <functional>

class QDialog;

namespace velmora {

using DialogScript = std::function<void(QDialog& dialog)>;

// Installs a script for its lifetime and restores the previous one (usually
// none) when destroyed. The script is called for every dialog shown while it
// is installed; it can tell them apart with qobject_cast.
class ScopedDialogScript {
 public:
  explicit ScopedDialogScript(DialogScript script);
  ~ScopedDialogScript();

  ScopedDialogScript(const ScopedDialogScript&) = delete;
  ScopedDialogScript& operator=(const ScopedDialogScript&) = delete;

 private:
  DialogScript previous_;
};

// Called by a dialog each time it is shown. When a script is installed, it
// is queued to run on |dialog| as soon as control is back in the event loop
// (inside exec()). If the dialog is still open when the script returns it is
// closed unanswered (rejected), so a script that forgets to close it cannot
// hang a test. Other dialogs of the program (message boxes, say) may call this too.
void ScheduleDialogScript(QDialog* dialog);

}  // namespace velmora

#endif  // VELMORA_UI_QT_DIALOG_SCRIPT_H_
