#include "cli/progress_line.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

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
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return 0;
  if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) ||
      (c >= 0x3099 && c <= 0x309A) || (c >= 0xFE00 && c <= 0xFE0F)) {
    return 0;
  }
  if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
      (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
      (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD)) {
    return 2;
  }
  return 1;
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

ProgressLine::ProgressLine(int fd, bool enabled) : fd_(fd), enabled_(enabled) {}

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
