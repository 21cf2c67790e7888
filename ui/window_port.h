// The main window as the dialog logic sees it.
//
// Everything MainDialog does with "the window" goes through this
// interface: control texts and states by id, message boxes, the password
// and option dialogs, the message pump and posted commands. The Qt front
// end and the tests implement it; the job layer never sees it.
//
// Implementations must be callable from the thread that runs a job (the
// dialog shows the run's questions there); the Qt one carries such calls
// to the GUI thread and waits for the answer.
#ifndef VELMORA_UI_WINDOW_PORT_H_
#define VELMORA_UI_WINDOW_PORT_H_

#include <functional>
#include <string>

#include "platform/secret_memory.h"

namespace velmora {

// Controls of the main dialog.
constexpr int IDC_EXECUTE = 1;             // "実行", the default button (IDOK)
constexpr int IDC_EXIT = 2;                // "終了" (IDCANCEL)
constexpr int IDC_RADIO_ENCRYPT = 1001;    // "暗号化"
constexpr int IDC_RADIO_DECRYPT = 1002;    // "暗号解除"
constexpr int IDC_PATH = 1003;             // target path edit
constexpr int IDC_BROWSE = 1004;           // ".."
constexpr int IDC_RADIO_TEMPORARY = 1007;  // temporary decryption
constexpr int IDC_SETTINGS = 1011;         // "設定"
constexpr int IDC_STATUS_MAIN = 1033;      // several lines
constexpr int IDC_STATUS_SUB = 1034;       // one line
// The "動作" group box has no id of its own in the dialog template; the port
// addresses it by this one.
constexpr int IDC_OPERATION_GROUP = 1099;

// Commands posted to the main dialog.
constexpr int ID_START_SCAN = 1030;

// Message box flags and answers (the classic values).
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x02;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
// Abort or Ignore only: offered where a retry could do harm.
constexpr unsigned MB_ABORTIGNORE = 0x0E;
constexpr unsigned MB_TYPEMASK = 0x0F;
constexpr unsigned MB_ICONMASK = 0xF0;
// The second button (No) is the default: for questions whose Yes deletes
// or risks data, Enter must not say Yes.
constexpr unsigned MB_DEFBUTTON2 = 0x100;
constexpr unsigned MB_DEFMASK = 0xF00;
// Our own bit, used by no classic flag: the Yes of this Yes/No question
// passes over one entry and lets the run go on, so it is the answer to take
// when nobody is there to answer an exit pass.
constexpr unsigned MB_YES_SKIPS_ENTRY = 0x01000000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The answer that passes over the entry a question is about and goes on
// with the run: Ignore where offered, Yes where |flags| say it skips; 0
// when no answer does.
constexpr int SkipAnswer(unsigned flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE:
    case MB_ABORTIGNORE:
      return IDIGNORE;
    case MB_YESNO:
      return (flags & MB_YES_SKIPS_ENTRY) != 0 ? IDYES : 0;
    default:
      return 0;
  }
}

// Caption of every message box.
inline constexpr char16_t kCaption[] = u"Velmora";

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // Texts use "\r\n" line ends; the port converts at its boundary.
  virtual std::u16string GetControlText(int id) = 0;
  virtual void SetControlText(int id, const std::u16string& text) = 0;

  // Radio buttons and check boxes.
  virtual bool IsChecked(int id) = 0;
  virtual void SetChecked(int id, bool checked) = 0;

  virtual void EnableControl(int id, bool enable) = 0;
  virtual bool IsControlEnabled(int id) = 0;
  virtual void SetFocusTo(int id) = 0;

  // Blocks all input to the window without greying its controls.
  virtual void SetInputBlocked(bool blocked) = 0;

  // Shows a modal message box with the caption "Velmora"; returns IDOK,
  // IDYES, IDNO, IDABORT, IDRETRY or IDIGNORE.
  virtual int MessageBox(const std::u16string& text, unsigned flags) = 0;

  // Runs the password dialog modally. Returns IDOK with the password in
  // |password|, or IDCANCEL (|password| untouched).
  virtual int RunPasswordDialog(SecretU16* password) = 0;

  // Runs the option dialog modally on |extension_text| (one extension per
  // line, "\r\n" line ends) and |extension_rule| (0 or 1). On OK both are
  // replaced by what the user left in the dialog; on cancel both stay.
  virtual int RunOptionDialog(std::u16string* extension_text, int* extension_rule) = 0;

  // Handles every message that is waiting, then returns.
  virtual void PumpMessages() = 0;

  // Queues |command| to the main dialog; it is handled after the current
  // message.
  virtual void PostCommand(int command) = 0;

  // Runs |job| as the run of Execute: on a worker thread in the desktop
  // program (never joined), inline where there is no event loop to keep
  // alive. Returns false when it could not be started.
  virtual bool StartWorker(std::function<void()> job) = 0;

  // Asks the user for a directory, starting at |initial|. True with the
  // choice in |chosen|, false when cancelled.
  virtual bool BrowseForFolder(const std::u16string& initial, std::u16string* chosen) = 0;

  // Ends the main dialog; the program ends with it.
  virtual void EndDialog(int result) = 0;
};

}  // namespace velmora

#endif  // VELMORA_UI_WINDOW_PORT_H_
