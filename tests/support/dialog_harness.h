// A MainDialog on a ScriptedWindow over a real temporary directory, with the
// steps a person takes.
#ifndef VELMORA_TESTS_SUPPORT_DIALOG_HARNESS_H_
#define VELMORA_TESTS_SUPPORT_DIALOG_HARNESS_H_

#include <memory>
#include <optional>
#include <string>

#include "engine/crypter.h"
#include "tests/support/scripted_window.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "ui/main_dialog.h"

namespace velmora::testing {

class DialogHarness {
 public:
  // Starts the dialog with |command_line| (bytes) verbatim; nullopt gives it
  // the temporary directory.
  explicit DialogHarness(std::optional<std::string> command_line = std::nullopt);

  const std::string& root() const { return dir_.path(); }
  ScriptedWindow& window() { return window_; }
  Crypter& crypter() { return crypter_; }
  MainDialog& dialog() { return *dialog_; }
  JobState& job() { return dialog_->job_; }
  std::u16string Status(int id) { return window_.GetControlText(id); }

  // Clicks the radio button |radio| and lets the scan run.
  void Choose(int radio) {
    for (int id : {IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT, IDC_RADIO_TEMPORARY}) {
      window_.SetChecked(id, id == radio);
    }
    dialog_->OnOperationChanged();
    window_.RunPostedCommands();
  }
  // Types |text| into the path box and lets the scan run.
  void TypePath(const std::u16string& text) {
    window_.SetControlText(IDC_PATH, text);
    dialog_->CheckTargetPath();
    window_.RunPostedCommands();
  }
  // Presses Execute, the password dialog answered with |password| (nullopt:
  // cancelled) and every box by the window's script.
  void Execute(std::optional<std::u16string> password) {
    window_.password = std::move(password);
    dialog_->OnOK();
  }
  void Encrypt(const std::u16string& password) {
    Choose(IDC_RADIO_ENCRYPT);
    Execute(password);
  }
  void Decrypt(const std::u16string& password) {
    Choose(IDC_RADIO_DECRYPT);
    Execute(password);
  }

  const ScopedStateHome& state_home() const { return state_home_; }

 private:
  ScopedStateHome state_home_;
  TempDir dir_;
  ScriptedWindow window_;
  Crypter crypter_;
  std::unique_ptr<MainDialog> dialog_;
};

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_DIALOG_HARNESS_H_
