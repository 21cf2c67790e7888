#include "cli/display_text.h"

#include <cstring>

#include "cli/local_charset.h"
#include "platform/wtf8.h"

namespace velmora::cli {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool IsControl(char32_t c) {
  return (c < 0x20 && c != u'\n' && c != u'\t') || (c >= 0x7F && c < 0xA0);
}

// |bytes| with each run of line feeds made one space.
std::string Joined(std::string bytes) {
  while (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
  std::string line;
  line.reserve(bytes.size());
  char previous = 0;
  for (const char c : bytes) {
    if (c != '\n') {
      line.push_back(c);
    } else if (previous != '\n') {
      line.push_back(' ');
    }
    previous = c;
  }
  return line;
}

}  // namespace

std::string FailureLine(std::u16string_view subject, std::u16string_view text) {
  std::string line = "velmora-cli: ";
  if (!subject.empty()) line += Joined(DisplayText(subject)) + ": ";
  return line + Joined(DisplayText(text)) + "\n";
}

std::u16string SystemReason(int error) {
  return Utf16FromWtf8(Utf8FromLocal(std::strerror(error)));
}

std::u16string WithReason(std::u16string_view text, int error) {
  return std::u16string(text) + u" (" + SystemReason(error) + u")";
}

std::string DisplayText(std::u16string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      continue;  // the '\n' that follows is kept
    }
    if (unit == kEscapeLead && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDCFF) {
      const unsigned byte = text[i + 1] - 0xDC00;
      out += "\\x";
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
      ++i;
      continue;
    }
    char32_t c = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if ((unit >= 0xD800 && unit <= 0xDFFF) || IsControl(c)) {
      c = kReplacement;
    }
    AppendUtf8(c, &out);
  }
  return out;
}

}  // namespace velmora::cli
