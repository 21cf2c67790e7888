#include "cli/progress_line.h"

#include <locale.h>
#include <unistd.h>
#include <wchar.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "cli/display_text.h"
#include "cli/terminal.h"

namespace velmora::cli {
namespace {

// "\r\n", "\r" and "\n" each become one space.
std::u16string OneLine(std::u16string_view text) {
  std::u16string line;
  line.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit == u'\r' || unit == u'\n') {
      if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      line.push_back(u' ');
    } else {
      line.push_back(unit);
    }
  }
  return line;
}

}  // namespace

int ColumnWidth(char32_t c) {
  // glibc's tables, read in a UTF-8 locale whatever the user's is: in "C"
  // every non-ASCII character would be unprintable.
  static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  const locale_t previous = utf8 != nullptr ? ::uselocale(utf8) : nullptr;
  const int width = ::wcwidth(static_cast<wchar_t>(c));
  if (previous != nullptr) ::uselocale(previous);
  return width < 0 ? 0 : width;
}

std::string FitToColumns(std::u16string_view text, int columns) {
  const std::string shown = DisplayText(OneLine(text));
  std::size_t end = 0;
  int used = 0;
  while (end < shown.size()) {
    // DisplayText writes well-formed UTF-8 only.
    const unsigned char lead = static_cast<unsigned char>(shown[end]);
    const std::size_t length =
        lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1   ? lead
                 : length == 2 ? lead & 0x1F
                 : length == 3 ? lead & 0x0F
                               : lead & 0x07;
    for (std::size_t k = 1; k < length && end + k < shown.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(shown[end + k]) & 0x3F);
    }
    const int width = ColumnWidth(c);
    if (used + width > columns) break;
    used += width;
    end += length;
  }
  return shown.substr(0, std::min(end, shown.size()));
}

namespace {

// A dumb terminal cannot go back to the start of a line and erase it.
bool IsDumbTerminal() {
  const char* term = std::getenv("TERM");
  return term == nullptr || std::string_view(term) == "dumb";
}

}  // namespace

ProgressLine::ProgressLine(int fd, bool enabled)
    : fd_(fd), enabled_(enabled && !IsDumbTerminal()) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Show(std::u16string_view main_text,
                        std::u16string_view sub_text) {
  if (!enabled_) return;
  constexpr auto kRedrawInterval = std::chrono::milliseconds(40);
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && now - last_draw_ < kRedrawInterval) return;
  last_draw_ = now;
  std::u16string joined(main_text);
  if (!joined.empty() && !sub_text.empty()) joined += u"  ";
  joined += sub_text;
  // One column short of the width: writing the last column wraps on some
  // terminals.
  const std::string fitted = FitToColumns(joined, TerminalColumns(fd_) - 1);
  // "\r", the text, then erase to the end of the line.
  WriteAll("\r" + fitted + "\x1b[K");
  shown_ = true;
}

void ProgressLine::Clear() {
  if (!enabled_ || !shown_) return;
  WriteAll("\r\x1b[K");
  shown_ = false;
}

void ProgressLine::WriteAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd_, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
}

}  // namespace velmora::cli
