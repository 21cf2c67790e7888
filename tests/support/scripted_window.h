// A WindowPort that stands in for the person in front of the window: it
// keeps every control's text and state, records every message box, and
// answers from a script. The engine, the job and the file system under it
// are the real ones.
#ifndef VELMORA_TESTS_SUPPORT_SCRIPTED_WINDOW_H_
#define VELMORA_TESTS_SUPPORT_SCRIPTED_WINDOW_H_

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "ui/window_port.h"

namespace velmora::testing {

class ScriptedWindow : public WindowPort {
 public:
  struct Box {
    std::u16string text;
    unsigned flags;
    int answer;
    bool operator==(const Box&) const = default;
  };

  // --- Script --------------------------------------------------------------
  // A box is answered by the first rule whose text begins it; an information
  // box without one is acknowledged, and a question without one gets the
  // safe answer (No, Abort) and is counted in unexpected_boxes.
  std::vector<std::pair<std::u16string, int>> answers;
  // What the password dialog is confirmed with; nullopt cancels it.
  std::optional<std::u16string> password;
  // What the option dialog is confirmed with; a nullopt text cancels it.
  std::optional<std::u16string> option_text;
  int option_rule = 1;
  // The folder the browser returns; nullopt cancels it.
  std::optional<std::u16string> folder;
  // Called with each posted command when it is dispatched.
  std::function<void(int command)> dispatch;
  // Hooks to act "while" something happens: as a box comes up (before it is
  // answered), as the one-line status 1034 changes (the scan's and the
  // walk's progress), and in every PumpMessages (only the scan pumps).
  std::function<void(const std::u16string& text)> on_box;
  std::function<void(const std::u16string& text)> on_status;
  std::function<void()> on_pump;

  // --- What happened -------------------------------------------------------
  std::vector<Box> boxes;
  int unexpected_boxes = 0;
  int password_dialogs = 0;
  bool input_blocked = false;
  int input_block_changes = 0;
  std::optional<int> ended;
  int focus = 0;
  std::u16string last_browse_initial;
  std::u16string last_option_text;  // what the option dialog opened with
  int last_option_rule = -1;

  // Dispatches posted commands until none is left.
  void RunPostedCommands() {
    while (!posted_.empty()) {
      const int command = posted_.front();
      posted_.pop_front();
      if (dispatch) dispatch(command);
    }
  }

  // --- WindowPort ----------------------------------------------------------
  std::u16string GetControlText(int id) override { return texts_[id]; }
  void SetControlText(int id, const std::u16string& text) override {
    texts_[id] = text;
    if (id == IDC_STATUS_SUB && on_status) on_status(text);
  }
  bool IsChecked(int id) override { return checked_[id]; }
  void SetChecked(int id, bool checked) override { checked_[id] = checked; }
  void EnableControl(int id, bool enable) override { disabled_[id] = !enable; }
  bool IsControlEnabled(int id) override { return !disabled_[id]; }
  void SetFocusTo(int id) override { focus = id; }
  void SetInputBlocked(bool blocked) override {
    input_blocked = blocked;
    ++input_block_changes;
  }
  int MessageBox(const std::u16string& text, unsigned flags) override;
  int RunPasswordDialog(SecretU16* out) override {
    ++password_dialogs;
    if (password) out->assign(password->data(), password->size());
    return password ? IDOK : IDCANCEL;
  }
  int RunOptionDialog(std::u16string* text, int* rule) override {
    last_option_text = std::exchange(*text, option_text.value_or(*text));
    last_option_rule = std::exchange(*rule, option_text ? option_rule : *rule);
    return option_text ? IDOK : IDCANCEL;
  }
  void PumpMessages() override {
    if (on_pump) on_pump();
    RunPostedCommands();
  }
  void PostCommand(int command) override { posted_.push_back(command); }
  bool StartWorker(std::function<void()> job) override {
    job();
    return true;
  }
  bool BrowseForFolder(const std::u16string& initial, std::u16string* chosen) override {
    last_browse_initial = initial;
    *chosen = folder.value_or(*chosen);
    return folder.has_value();
  }
  void EndDialog(int result) override { ended = ended.value_or(result); }

 private:
  std::map<int, std::u16string> texts_;
  std::map<int, bool> checked_, disabled_;
  std::deque<int> posted_;
};

// A box as UTF-8, for failure messages.
void PrintTo(const ScriptedWindow::Box& box, std::ostream* out);

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_SCRIPTED_WINDOW_H_
