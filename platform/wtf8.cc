#include "platform/wtf8.h"

namespace velmora {
namespace {

bool IsHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
bool IsEscapedByte(char16_t u) { return u >= 0xDC80 && u <= 0xDCFF; }

void AppendCodePoint(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one well-formed sequence at |bytes[i]|; returns its length, or 0
// when the bytes there do not form one. Surrogates are accepted as 3-byte
// sequences (that is the WTF-8 extension).
std::size_t DecodeSequence(std::string_view bytes, std::size_t i, char32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
  const auto is_cont = [&](std::size_t k) {
    return i + k < bytes.size() && (byte(k) & 0xC0) == 0x80;
  };
  unsigned char b0 = byte(0);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF && is_cont(1)) {
    cp = ((b0 & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF && is_cont(1) && is_cont(2)) {
    cp = ((b0 & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
    return cp >= 0x800 ? 3 : 0;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4 && is_cont(1) && is_cont(2) && is_cont(3)) {
    cp = ((b0 & 0x07u) << 18) | ((byte(1) & 0x3Fu) << 12) | ((byte(2) & 0x3Fu) << 6) |
         (byte(3) & 0x3Fu);
    return (cp >= 0x10000 && cp <= 0x10FFFF) ? 4 : 0;
  }
  return 0;
}

}  // namespace

std::string Wtf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t u = text[i];
    if (u == kEscapeLead && i + 1 < text.size() && IsEscapedByte(text[i + 1])) {
      out.push_back(static_cast<char>(text[i + 1] & 0xFF));
      ++i;
    } else if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
      AppendCodePoint(out,
                      0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
      ++i;
    } else {
      AppendCodePoint(out, u);
    }
  }
  return out;
}

std::size_t Utf16FromWtf8Into(std::string_view bytes, char16_t* out) {
  std::size_t n = 0;
  bool last_was_lone_high = false;
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    std::size_t len = DecodeSequence(bytes, i, cp);
    // A lone low surrogate right after a lone high one would read back as a
    // pair and be re-encoded as 4 bytes; keep those bytes raw instead.
    if (len == 3 && IsLow(cp) && last_was_lone_high) len = 0;
    // A real U+FFFF before a low surrogate would read back as an escape.
    if (len == 3 && cp == kEscapeLead && i + 3 < bytes.size()) {
      char32_t next = 0;
      if (DecodeSequence(bytes, i + 3, next) == 3 && next >= 0xDC80 && next <= 0xDCFF) {
        len = 0;
      }
    }
    if (len == 0) {
      out[n++] = kEscapeLead;
      out[n++] = static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i]));
      last_was_lone_high = false;
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      out[n++] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out[n++] = static_cast<char16_t>(cp);
    }
    last_was_lone_high = IsHigh(cp);
    i += len;
  }
  return n;
}

std::u16string Utf16FromWtf8(std::string_view bytes) {
  std::u16string out(bytes.size() * 2, u'\0');
  out.resize(Utf16FromWtf8Into(bytes, out.data()));
  return out;
}

std::size_t Wtf8Length(std::u16string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t u = text[i];
    if (u == kEscapeLead && i + 1 < text.size() && IsEscapedByte(text[i + 1])) {
      n += 1;
      ++i;
    } else if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
      n += 4;
      ++i;
    } else {
      n += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
    }
  }
  return n;
}

bool HasEscapedBytes(std::u16string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == kEscapeLead && IsEscapedByte(text[i + 1])) return true;
  }
  return false;
}

}  // namespace velmora
