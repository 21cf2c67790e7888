// Names on disk: every UTF-16 name the cipher can produce, and every byte
// string a directory can hold, must survive the trip through WTF-8.

#include "platform/wtf8.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

TEST(Wtf8Test, Utf16NamesRoundTripWithTheirExactBytes) {
  struct Case {
    std::u16string text;
    std::string bytes;
  };
  const Case cases[] = {
      {std::u16string(1, char16_t{0xD800}), "\xED\xA0\x80"},  // lone high
      {std::u16string(1, char16_t{0xDFFF}), "\xED\xBF\xBF"},  // lone low
      {u"\U0001F600", "\xF0\x9F\x98\x80"},                   // a pair: 4 bytes
      {std::u16string{char16_t{0xDC01}, char16_t{0xD801}},   // not a pair
       "\xED\xB0\x81\xED\xA0\x81"},
      {u"\u30c6\u30b9\u30c8.txt", "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Wtf8FromUtf16(c.text), c.bytes);
    EXPECT_EQ(Wtf8Length(c.text), c.bytes.size());
    EXPECT_EQ(Utf16FromWtf8(c.bytes), c.text);
    EXPECT_FALSE(HasEscapedBytes(c.text));
  }
}

TEST(Wtf8Test, ForeignBytesAreEscapedAndRestoredExactly) {
  for (const std::string& bytes : {
           std::string("\x83\x65\x83\x58\x83\x67.txt"),  // Shift_JIS
           std::string("\xFF"), std::string("\xC0\xAF"),  // overlong
           std::string("\xE3\x81"),                       // cut short
           std::string("\xF4\x90\x80\x80"),               // beyond U+10FFFF
           // Separately written high and low halves would read back as a
           // pair and re-encode as 4 other bytes.
           std::string("\xED\xA0\xBD\xED\xB8\x80"),
       }) {
    const std::u16string text = Utf16FromWtf8(bytes);
    EXPECT_TRUE(HasEscapedBytes(text));
    EXPECT_EQ(Wtf8FromUtf16(text), bytes);
    EXPECT_EQ(Wtf8Length(text), bytes.size());
  }
  // A real U+FFFF before a low surrogate must not read as an escape.
  const std::string lookalike = "\xEF\xBF\xBF\xED\xB2\x80";
  EXPECT_EQ(Wtf8FromUtf16(Utf16FromWtf8(lookalike)), lookalike);
}

}  // namespace
}  // namespace velmora
