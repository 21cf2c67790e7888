#include "cli/left_decrypted_warning.h"

#include <cstdio>
#include <string>

#include "cli/console_texts.h"
#include "cli/display_text.h"
#include "cli/local_charset.h"
#include "job/messages.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "state/left_decrypted.h"

namespace velmora::cli {
namespace {

// A path as a shell reads it back: single-quoted where needed.
std::string ShellQuoted(const std::string& path) {
  if (path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                             "0123456789/._-+,:@%") == std::string::npos) {
    return path;
  }
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

void WarnAboutTreesLeftDecrypted() {
  for (const std::string& tree : state::TreesLeftDecrypted()) {
    const std::u16string path = Utf16FromWtf8(tree);
    std::string lines =
        "velmora-cli: " + DisplayText(Format(text::kLeftDecrypted, {path})) + "\n" +
        DisplayText(Format(console_text::kEncryptItWith, {Utf16FromWtf8(ShellQuoted(tree))})) +
        "\n";
    std::fputs(LocalBytes(lines).c_str(), stderr);
  }
}

}  // namespace velmora::cli
