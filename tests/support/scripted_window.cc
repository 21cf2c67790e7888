#include "tests/support/scripted_window.h"

#include <algorithm>

#include "platform/wtf8.h"

namespace velmora::testing {

int ScriptedWindow::MessageBox(const std::u16string& text, unsigned flags) {
  if (on_box) on_box(text);
  const unsigned type = flags & MB_TYPEMASK;
  Box box{text, flags, type == MB_OK ? IDOK : type == MB_YESNO ? IDNO : IDABORT};
  const auto rule = std::find_if(answers.begin(), answers.end(),
                                 [&](const auto& rule) { return text.starts_with(rule.first); });
  if (rule != answers.end()) box.answer = rule->second;
  if (rule == answers.end() && type != MB_OK) ++unexpected_boxes;
  boxes.push_back(box);
  return box.answer;
}

void PrintTo(const ScriptedWindow::Box& box, std::ostream* out) {
  *out << "\n[box " << box.flags << " -> " << box.answer << "] " << Wtf8FromUtf16(box.text);
}

}  // namespace velmora::testing
