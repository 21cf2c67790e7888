#include "tests/support/scripted_window.h"

#include "platform/wtf8.h"

namespace velmora::testing {

void ScriptedWindow::SetControlText(int id, const std::u16string& text) {
  controls_[id].text = text;
  if (id == IDC_STATUS_SUB) sub_status_history.push_back(text);
}

void ScriptedWindow::SetChecked(int id, bool checked) {
  // The three operation buttons form one radio group.
  const int radios[] = {IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT,
                        IDC_RADIO_TEMPORARY};
  bool is_radio = false;
  for (int radio : radios) is_radio = is_radio || radio == id;
  if (checked && is_radio) {
    for (int radio : radios) controls_[radio].checked = false;
  }
  controls_[id].checked = checked;
}

int ScriptedWindow::MessageBox(const std::u16string& text, unsigned flags) {
  int answer;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  } else if (responder_) {
    answer = responder_(text, flags);
  } else {
    if ((flags & MB_TYPEMASK) != MB_OK) ++unexpected_boxes;
    switch (flags & MB_TYPEMASK) {
      case MB_YESNO: answer = IDNO; break;
      case MB_ABORTRETRYIGNORE:
      case MB_ABORTIGNORE: answer = IDABORT; break;
      default: answer = IDOK; break;
    }
  }
  boxes.push_back({text, flags, answer});
  return answer;
}

int ScriptedWindow::RunPasswordDialog(std::u16string* password) {
  ++password_dialogs;
  if (passwords_.empty() || !passwords_.front()) {
    if (!passwords_.empty()) passwords_.pop_front();
    return IDCANCEL;
  }
  *password = *passwords_.front();
  passwords_.pop_front();
  return IDOK;
}

int ScriptedWindow::RunOptionDialog(std::u16string* extension_text,
                                    int* extension_rule) {
  ++option_dialogs;
  last_option_text = *extension_text;
  last_option_rule = *extension_rule;
  if (option_dialogs_.empty() || !option_dialogs_.front().text) {
    if (!option_dialogs_.empty()) option_dialogs_.pop_front();
    return IDCANCEL;
  }
  *extension_text = *option_dialogs_.front().text;
  *extension_rule = option_dialogs_.front().rule;
  option_dialogs_.pop_front();
  return IDOK;
}

void ScriptedWindow::PumpMessages() {
  ++pumps;
  if (on_pump) on_pump();
  RunPostedCommands();
}

void ScriptedWindow::RunPostedCommands() {
  while (!posted_.empty()) {
    const int command = posted_.front();
    posted_.pop_front();
    if (dispatch) dispatch(command);
  }
}

bool ScriptedWindow::BrowseForFolder(const std::u16string& initial,
                                     std::u16string* chosen) {
  last_browse_initial = initial;
  if (folders_.empty() || !folders_.front()) {
    if (!folders_.empty()) folders_.pop_front();
    return false;
  }
  *chosen = *folders_.front();
  folders_.pop_front();
  return true;
}

std::string ScriptedWindow::Dump() const {
  std::string out;
  for (const Box& box : boxes) {
    out += "[box " + std::to_string(box.flags) + " -> " +
           std::to_string(box.answer) + "] " + Wtf8FromUtf16(box.text) + "\n";
  }
  return out;
}

int ScriptedWindow::CountBoxes(std::u16string_view prefix) const {
  int count = 0;
  for (const Box& box : boxes) {
    if (std::u16string_view(box.text).substr(0, prefix.size()) == prefix) ++count;
  }
  return count;
}

}  // namespace velmora::testing
