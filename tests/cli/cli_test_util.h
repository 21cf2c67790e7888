// Shared pieces of the end-to-end tests of velmora-cli.
#ifndef VELMORA_TESTS_CLI_CLI_TEST_UTIL_H_
#define VELMORA_TESTS_CLI_CLI_TEST_UTIL_H_

#include <string>
#include <string_view>

#include "platform/wtf8.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {

inline constexpr char kPassword[] = "correct horse \xe3\x81\x82";
inline constexpr char kPasswordLine[] = "correct horse \xe3\x81\x82\n";

// A program text as the console prints it: UTF-8 with "\n" line ends.
inline std::string Shown(std::u16string_view text) {
  std::string bytes = Wtf8FromUtf16(text);
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      continue;
    }
    out.push_back(bytes[i]);
  }
  return out;
}

// The text of |format| up to its first field: enough to recognise a box.
inline std::string ShownPrefix(std::u16string_view format) {
  return Shown(format.substr(0, format.find(u'%')));
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// An enciphered name starts with U+00BF.
inline bool LooksEnciphered(const std::string& name) {
  return name.rfind("\xc2\xbf", 0) == 0;
}

// A temporary directory with a small tree in "tree" below it.
class CliTree {
 public:
  CliTree() : root_(base_.path() + "/tree") {
    MakeDirectory(root_);
    WriteFile(root_ + "/a.txt", "hello");
    WriteFile(root_ + "/empty", "");
    WriteFile(root_ + "/photo.JPG", RandomContents(20000, 1));
    WriteFile(root_ + "/big.bin", RandomContents(1048576 + 5, 2));
    MakeDirectory(root_ + "/sub");
    WriteFile(root_ + "/sub/\xe5\xa0\xb1\xe5\x91\x8a.txt",
              RandomContents(5000, 3));
    MakeDirectory(root_ + "/sub/deeper");
    WriteFile(root_ + "/sub/deeper/last", "deepest");
    MakeDirectory(root_ + "/empty dir");
  }

  const std::string& root() const { return root_; }
  const std::string& base() const { return base_.path(); }

 private:
  TempDir base_;
  std::string root_;
};

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_CLI_CLI_TEST_UTIL_H_
