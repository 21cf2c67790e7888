// Small helpers shared by the job and dialog tests: names as the cipher
// makes them, message boxes found by their text, and scripted answers.
#ifndef VELMORA_TESTS_JOB_JOB_TEST_UTIL_H_
#define VELMORA_TESTS_JOB_JOB_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/crypter.h"
#include "job/messages.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "tests/support/scripted_window.h"

namespace velmora::testing {

inline std::u16string U16(std::string_view bytes) { return Utf16FromWtf8(bytes); }
inline std::string Bytes(std::u16string_view text) { return Wtf8FromUtf16(text); }

// The on-disk name |plain| gets when enciphered with |password|, by an
// engine of its own.
inline std::string EncipheredName(std::u16string_view password,
                                  std::u16string_view plain,
                                  uint32_t extension_rule = 1) {
  Crypter crypter;
  crypter.SetPassword(password);
  crypter.m_nExtMode = extension_rule;
  return Bytes(crypter.ConvertName(plain, OP_ENCRYPT));
}

// The first line of a message: the sentence that says what happened,
// whatever follows it.
inline std::u16string FirstLine(std::u16string_view text) {
  return std::u16string(text.substr(0, text.find(u"\r\n")));
}

// The "path / name" block that closes the per-entry messages.
inline std::u16string Detail(const std::string& directory,
                             const std::string& name) {
  return Format(text::kDetail, {U16(directory), U16(name)});
}

// True when anything, a dangling link included, is at |path| (bytes).
inline bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

inline bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

inline bool EndsWith(std::u16string_view text, std::u16string_view suffix) {
  return text.size() >= suffix.size() &&
         text.substr(text.size() - suffix.size()) == suffix;
}

inline bool Contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}

// Boxes whose text begins with |prefix|, in the order they were shown.
inline std::vector<ScriptedWindow::Box> BoxesStartingWith(
    const ScriptedWindow& window, std::u16string_view prefix) {
  std::vector<ScriptedWindow::Box> found;
  for (const ScriptedWindow::Box& box : window.boxes) {
    if (StartsWith(box.text, prefix)) found.push_back(box);
  }
  return found;
}

// Answers by the beginning of a box's text. An information box is
// acknowledged; a question no rule covers fails the test and gets the safe
// answer.
class Script {
 public:
  Script& On(std::u16string prefix, int answer) {
    rules_.emplace_back(std::move(prefix), answer);
    return *this;
  }

  ScriptedWindow::Responder Responder() const {
    return [rules = rules_](const std::u16string& text, unsigned flags) {
      for (const auto& [prefix, answer] : rules) {
        if (StartsWith(text, prefix)) return answer;
      }
      switch (flags & MB_TYPEMASK) {
        case MB_OK: return IDOK;
        case MB_YESNO:
          ADD_FAILURE() << "unexpected question: " << Bytes(text);
          return IDNO;
        default:
          ADD_FAILURE() << "unexpected failure box: " << Bytes(text);
          return IDABORT;
      }
    };
  }

 private:
  std::vector<std::pair<std::u16string, int>> rules_;
};

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_JOB_JOB_TEST_UTIL_H_
