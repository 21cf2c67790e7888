#include "platform/wtf8.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

// Every name the cipher can produce must come back from disk unchanged.
void ExpectRoundTrip(const std::u16string& text) {
  const std::string bytes = Wtf8FromUtf16(text);
  EXPECT_EQ(Wtf8Length(text), bytes.size());
  EXPECT_EQ(Utf16FromWtf8(bytes), text);
}

TEST(Wtf8Test, LoneSurrogatesRoundTrip) {
  ExpectRoundTrip(std::u16string(1, char16_t{0xD800}));
  ExpectRoundTrip(std::u16string(1, char16_t{0xDBFF}));
  ExpectRoundTrip(std::u16string(1, char16_t{0xDC00}));
  ExpectRoundTrip(std::u16string(1, char16_t{0xDFFF}));
  ExpectRoundTrip(std::u16string{u'a', char16_t{0xDABC}, u'b'});
  // A low surrogate before a high one is not a pair.
  ExpectRoundTrip(std::u16string{char16_t{0xDC01}, char16_t{0xD801}});
  EXPECT_EQ(Wtf8FromUtf16(std::u16string(1, char16_t{0xD800})),
            "\xED\xA0\x80");
}

TEST(Wtf8Test, ValidPairBecomesFourBytes) {
  const std::u16string pair = u"\U0001F600";
  ASSERT_EQ(pair.size(), 2u);
  EXPECT_EQ(Wtf8FromUtf16(pair), "\xF0\x9F\x98\x80");
  ExpectRoundTrip(pair);
  ExpectRoundTrip(u"x\U00010000\U0010FFFFy");
}

TEST(Wtf8Test, SeparatelyEncodedHighAndLowKeepTheirBytes) {
  // Written one after the other, the two 3-byte forms would read back as a
  // pair and then encode to 4 different bytes.
  const std::string bytes =
      Wtf8FromUtf16(std::u16string(1, char16_t{0xD83D})) +
      Wtf8FromUtf16(std::u16string(1, char16_t{0xDE00}));
  ASSERT_EQ(bytes, "\xED\xA0\xBD\xED\xB8\x80");
  const std::u16string text = Utf16FromWtf8(bytes);
  EXPECT_EQ(Wtf8FromUtf16(text), bytes);
  EXPECT_EQ(Wtf8Length(text), bytes.size());
}

TEST(Wtf8Test, ForeignBytesAreEscapedAndRestored) {
  const std::string shift_jis = "\x83\x65\x83\x58\x83\x67.txt";  // テスト.txt
  const std::u16string text = Utf16FromWtf8(shift_jis);
  EXPECT_TRUE(HasEscapedBytes(text));
  EXPECT_EQ(Wtf8FromUtf16(text), shift_jis);
  EXPECT_EQ(Wtf8Length(text), shift_jis.size());

  for (const std::string& bytes :
       {std::string("\xFF"), std::string("\xC0\xAF"), std::string("\xE3\x81"),
        std::string("\xF4\x90\x80\x80"), std::string("abc\x80")}) {
    const std::u16string escaped = Utf16FromWtf8(bytes);
    EXPECT_TRUE(HasEscapedBytes(escaped));
    EXPECT_EQ(Wtf8FromUtf16(escaped), bytes);
  }
}

TEST(Wtf8Test, ValidUtf8HasNoEscapes) {
  const std::string utf8 = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.txt";
  const std::u16string text = Utf16FromWtf8(utf8);
  EXPECT_EQ(text, u"テスト.txt");
  EXPECT_FALSE(HasEscapedBytes(text));
  EXPECT_EQ(Wtf8Length(text), utf8.size());
}

TEST(Wtf8Test, RealFfffBeforeLowSurrogateKeepsItsBytes) {
  // U+FFFF then U+DC80, as bytes: decoded naively they would look like the
  // escape of byte 0x80.
  const std::string bytes = "\xEF\xBF\xBF\xED\xB2\x80";
  const std::u16string text = Utf16FromWtf8(bytes);
  EXPECT_EQ(Wtf8FromUtf16(text), bytes);
  EXPECT_EQ(Wtf8Length(text), bytes.size());
}

}  // namespace
}  // namespace velmora
