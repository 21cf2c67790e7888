// A WindowPort standing in for the person: it keeps every control's text
// and state, records every message box and answers from a script.
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

  // A box is answered by the first rule whose text begins it; a question
  // without one gets the safe answer (No, Abort) and counts as unexpected.
  std::vector<std::pair<std::u16string, int>> answers;
  // What the password, option and folder dialogs give; nullopt cancels.
  std::optional<std::u16string> password;
  std::optional<std::u16string> option_text;
  int option_rule = 1;
  std::optional<std::u16string> folder;
  std::function<void(int command)> dispatch;  // each posted command
  // Hooks as a box comes up, as status 1034 changes and in PumpMessages.
  std::function<void(const std::u16string& text)> on_box;
  std::function<void(const std::u16string& text)> on_status;
  std::function<void()> on_pump;

  // What happened.
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
