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
#include <string>
#include <vector>

#include "platform/window_port.h"

namespace velmora::testing {

class ScriptedWindow : public WindowPort {
 public:
  struct Box {
    std::u16string text;
    unsigned flags;
    int answer;
  };

  // How a message box is answered when no queued answer is left: the
  // responder, if set, else the safe answer (No, Abort, OK); a question
  // answered that way is counted in unexpected_boxes.
  using Responder = std::function<int(const std::u16string& text, unsigned flags)>;

  // --- Script --------------------------------------------------------------
  void QueueAnswer(int answer) { answers_.push_back(answer); }
  void SetResponder(Responder responder) { responder_ = std::move(responder); }
  // The next password dialog is confirmed with |password|, or cancelled.
  void QueuePassword(std::optional<std::u16string> password) {
    passwords_.push_back(std::move(password));
  }
  void QueueOptionDialog(std::optional<std::u16string> text, int rule) {
    option_dialogs_.push_back({std::move(text), rule});
  }
  void QueueFolder(std::optional<std::u16string> folder) {
    folders_.push_back(std::move(folder));
  }
  // Called with each posted command when it is dispatched.
  std::function<void(int command)> dispatch;
  // Called once per PumpMessages, before the posted commands; a test uses it
  // to act "while the scan runs".
  std::function<void()> on_pump;

  // Dispatches posted commands until none is left.
  void RunPostedCommands();

  // --- What happened -------------------------------------------------------
  std::vector<Box> boxes;
  int unexpected_boxes = 0;
  int password_dialogs = 0;
  int option_dialogs = 0;
  int pumps = 0;
  bool input_blocked = false;
  int input_block_changes = 0;
  std::optional<int> ended;
  int focus = 0;
  std::vector<std::u16string> sub_status_history;  // every text of 1034

  // Every box shown, as UTF-8, for failure messages.
  std::string Dump() const;

  // Boxes whose text begins with |prefix|.
  int CountBoxes(std::u16string_view prefix) const;

  // --- WindowPort ----------------------------------------------------------
  std::u16string GetControlText(int id) override { return controls_[id].text; }
  void SetControlText(int id, const std::u16string& text) override;
  bool IsChecked(int id) override { return controls_[id].checked; }
  void SetChecked(int id, bool checked) override;
  void EnableControl(int id, bool enable) override {
    controls_[id].enabled = enable;
  }
  bool IsControlEnabled(int id) override { return controls_[id].enabled; }
  void SetFocusTo(int id) override { focus = id; }
  void SetInputBlocked(bool blocked) override {
    input_blocked = blocked;
    ++input_block_changes;
  }
  int MessageBox(const std::u16string& text, unsigned flags) override;
  int RunPasswordDialog(std::u16string* password) override;
  int RunOptionDialog(std::u16string* extension_text,
                      int* extension_rule) override;
  void PumpMessages() override;
  void PostCommand(int command) override { posted_.push_back(command); }
  bool StartWorker(std::function<void()> job) override {
    job();
    return true;
  }
  bool BrowseForFolder(const std::u16string& initial,
                       std::u16string* chosen) override;
  void EndDialog(int result) override {
    if (!ended) ended = result;
  }

  std::u16string last_browse_initial;
  // What the last option dialog was opened with.
  std::u16string last_option_text;
  int last_option_rule = -1;

 private:
  struct Control {
    std::u16string text;
    bool checked = false;
    bool enabled = true;
  };
  struct OptionAnswer {
    std::optional<std::u16string> text;
    int rule;
  };

  std::map<int, Control> controls_;
  std::deque<int> answers_;
  Responder responder_;
  std::deque<std::optional<std::u16string>> passwords_;
  std::deque<OptionAnswer> option_dialogs_;
  std::deque<std::optional<std::u16string>> folders_;
  std::deque<int> posted_;
};

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_SCRIPTED_WINDOW_H_
