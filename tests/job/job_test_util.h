// What the job tests share: a dialog over a fresh directory, enciphered
// names, and message boxes found by their text.
#ifndef VELMORA_TESTS_JOB_JOB_TEST_UTIL_H_
#define VELMORA_TESTS_JOB_JOB_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/crypter.h"
#include "job/messages.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "tests/support/dialog_harness.h"
#include "tests/support/tree.h"

namespace velmora::testing {

inline constexpr char16_t kPassword[] = u"correct horse \u3042";
using Boxes = std::vector<ScriptedWindow::Box>;

inline std::u16string U16(std::string_view bytes) { return Utf16FromWtf8(bytes); }
inline std::string Bytes(std::u16string_view text) { return Wtf8FromUtf16(text); }

// The on-disk name |plain| gets with kPassword.
inline std::string Enc(std::u16string_view plain) {
  Crypter crypter;
  crypter.SetPassword(kPassword);
  crypter.set_listed_extensions(ListedExtensions::kHeadOnly);
  return Bytes(crypter.ConvertName(plain, Direction::kEncrypt).target);
}

// The start of a message, up to its first field or line end.
inline std::u16string Lead(std::u16string_view text) {
  return std::u16string(text.substr(0, text.find_first_of(u"%\r")));
}

// The "path / name" block that closes the per-entry messages.
inline std::u16string Detail(const std::string& directory, const std::string& name) {
  return Format(text::kDetail, {U16(directory), U16(name)});
}

// The "path / name" blocks of the boxes starting with |prefix|, in order.
inline std::vector<std::u16string> DetailsOf(const ScriptedWindow& window,
                                             std::u16string_view prefix) {
  std::vector<std::u16string> details;
  for (const auto& box : window.boxes) {
    if (box.text.starts_with(prefix))
      details.push_back(box.text.substr(box.text.rfind(u"ファイルパス")));
  }
  return details;
}

// Every box shown, for failure messages.
inline std::string Dump(const ScriptedWindow& window) {
  return ::testing::PrintToString(window.boxes);
}

// Goes on past the warnings and skips each problem, answering the follow-up
// with |follow_up|.
inline std::vector<std::pair<std::u16string, int>> SkipEachProblem(int follow_up = IDNO) {
  std::vector<std::pair<std::u16string, int>> answers = {{text::kDontShowAgain, follow_up}};
  for (const Text& question :
       {text::kMixedEncrypted, text::kMixedPlain, text::kPasswordUnchecked, text::kPasswordUnproven,
        text::kWrongPassword, text::kUnrepresentableName, text::kInvalidName,
        text::kAlreadyEncrypted, text::kNotEncrypted}) {
    answers.emplace_back(Lead(question), IDYES);
  }
  return answers;
}

// A dialog over a fresh directory; every question needs a rule.
class JobTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(w().unexpected_boxes, 0) << Dump(w()); }

  ScriptedWindow& w() { return h_.window(); }
  std::string Path(const std::string& relative) const { return h_.root() + "/" + relative; }
  // A path ending in '/' a directory, any other a file holding its path.
  void Make(std::initializer_list<std::string> entries) {
    for (const std::string& entry : entries) {
      if (entry.ends_with('/'))
        MakeDirectory(Path(entry));
      else
        WriteFile(Path(entry), entry);
    }
  }
  // Empties the directory and forgets the boxes shown so far.
  void Empty() {
    for (const std::string& name : Names(h_.root())) std::filesystem::remove_all(Path(name));
    w().boxes.clear();
  }

  DialogHarness h_;
};

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_JOB_JOB_TEST_UTIL_H_
