// A MainDialog on a ScriptedWindow over a real temporary directory, with the
// steps a person takes: choose the operation, wait for the scan, press
// Execute, answer the questions.
#ifndef VELMORA_TESTS_SUPPORT_DIALOG_HARNESS_H_
#define VELMORA_TESTS_SUPPORT_DIALOG_HARNESS_H_

#include <memory>
#include <optional>
#include <string>

#include "engine/crypter.h"
#include "tests/support/scripted_window.h"
#include "tests/support/temp_dir.h"
#include "ui/main_dialog.h"

namespace velmora::testing {

class DialogHarness {
 public:
  // Starts the dialog with |target| (bytes) as its command line; empty means
  // the temporary directory itself.
  explicit DialogHarness(const std::string& target = "");

  const std::string& root() const { return dir_.path(); }
  ScriptedWindow& window() { return window_; }
  Crypter& crypter() { return crypter_; }
  MainDialog& dialog() { return *dialog_; }
  JobState& job() { return dialog_->m_job; }

  // Clicks the radio button |radio| and lets the scan run.
  void Choose(int radio);
  // Types |text| into the path box and lets the scan run.
  void TypePath(const std::u16string& text);
  // Presses Execute with |password| queued (nullopt: the user cancels).
  void Execute(std::optional<std::u16string> password);

  // Choose + Execute, answering every further question with the responder
  // set on the window (or the safe default).
  void Encrypt(const std::u16string& password);
  void Decrypt(const std::u16string& password);

  std::u16string Status(int id) { return window_.GetControlText(id); }

 private:
  TempDir dir_;
  ScriptedWindow window_;
  Crypter crypter_;
  std::unique_ptr<MainDialog> dialog_;
};

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_DIALOG_HARNESS_H_
