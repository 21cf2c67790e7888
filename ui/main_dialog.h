// MainDialog: the main window's logic, without any toolkit.
//
// A front end (the Qt widgets, the tests' scripted window) implements
// WindowPort, builds a MainDialog on it and forwards the user's actions to
// the handlers below; every text, check and state change of the window is
// made here.
//
// All handlers run on the interface thread. Execute (OnOK) hands RunJob to
// WindowPort::StartWorker; the exit pass runs RunJob through the exit-pass
// runner, which returns only when the pass is over. The dialog is the run's
// RunQuestions (message boxes) and RunProgress (status lines 1033 and 1034).
#ifndef VELMORA_UI_MAIN_DIALOG_H_
#define VELMORA_UI_MAIN_DIALOG_H_

#include <functional>
#include <string>
#include <utility>

#include "job/job_host.h"
#include "job/messages.h"
#include "job/run_progress.h"
#include "job/run_questions.h"
#include "job/run_request.h"
#include "platform/catalogue.h"
#include "ui/window_port.h"

namespace velmora {

// Placeholder of the path box; never checked as a path.
inline constexpr const Text& kDropHereText = text::kDropHere;

class MainDialog : public JobHost, public RunQuestions, public RunProgress {
 public:
  // Runs |pass| and returns once it is over.
  using ExitPassRunner = std::function<void(const std::function<void()>& pass)>;

  // |command_line| is the initial target, taken verbatim (empty for none).
  MainDialog(WindowPort& window, Crypter& crypter, std::u16string command_line);

  // Start-up: status lines, initial target, defaults, first path check.
  void OnInitDialog();

  // After start-up, with the window shown: when a temporary decryption left
  // a tree decrypted (its program was killed, or the machine went down),
  // says so and makes that tree the target, with encrypt selected.
  void OfferTreesLeftDecrypted();

  // The path box changed (typing, browsing, a drop, start-up).
  void CheckTargetPath();
  // A radio button was clicked, even the one already selected.
  void OnOperationChanged();
  // The posted ID_START_SCAN.
  void OnStartScan();
  // Button 1004: the folder browser.
  void OnBrowse();
  // A drop onto the window; |first_path| is the first dropped item.
  void OnDropFiles(const std::u16string& first_path);
  // Button 1011: the option dialog, then the rewrite of the extension table.
  void OnSettings();

  // Execute (button 1, Enter): starts RunJob through the window port.
  void OnOK();
  // Exit (button 2, Esc, the close command). Ignored while a walk runs;
  // otherwise stops a scan, runs the exit pass when a temporary decryption
  // waits, and ends the dialog.
  void OnCancel();
  // The window's close box: stops a scan, then Exit unless button 2 is
  // disabled.
  void OnClose();
  // The desktop session is ending: re-encrypt now if a temporary decryption
  // waits; that exit pass ends the dialog. Otherwise nothing happens.
  void OnSessionEnd();

  // The run the controls ask for: the path box, the operation buttons, the
  // extension rule setting and whether the exit pass runs.
  RunRequest RequestFromControls();
  // Runs RunJob on the calling thread with that request.
  void RunWithControls();

  // RunQuestions: message boxes.
  Answer Ask(const Question& question) override;
  void Notify(const Question& notice) override;
  bool AskPassword(SecretU16* password) override;

  // RunProgress: the status lines.
  void ScanStarted() override;
  void ScanFolder(const std::u16string& folder) override;
  void ScanCounted(int32_t entries) override;
  void ScanCompleted(int32_t entries) override;
  void WalkStarted() override;
  void EntryStarted(int32_t done, int32_t total, const std::u16string& path) override;
  // Status line 1033: the folder, then KiB done of the key size and both
  // names.
  void ContentsProgressed(const std::u16string& directory, const std::u16string& source,
                          const std::u16string& target, int64_t done, int32_t size) override;
  void WalkEnded() override;
  void RunSummarized(const RunSummary& summary) override;
  void Waiting() override;
  void RunEnded() override;

  // Runs the exit pass once when a temporary decryption waits.
  void ReencryptIfWaiting();
  // True while a temporary decryption waits for the exit pass.
  bool IsWaiting();

  // By default the exit pass runs on the calling thread; a front end with a
  // window to keep painting may run it elsewhere and wait.
  void SetExitPassRunner(ExitPassRunner runner) { run_exit_pass_ = std::move(runner); }

 private:
  void RunExitPass();
  // Disables everything but Exit and gives Exit the focus: a temporary
  // decryption waits for the program to end.
  void EnterWaitState();

  WindowPort& window_;
  std::u16string command_line_;
  ExitPassRunner run_exit_pass_;
};

}  // namespace velmora

#endif  // VELMORA_UI_MAIN_DIALOG_H_
