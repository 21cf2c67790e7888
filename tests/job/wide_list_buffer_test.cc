#include "job/wide_list_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

std::u16string Token(WideListBuffer& buffer, int index) {
  return buffer.NextToken(index);
}

void ReadAsLines() {
  WideListBuffer::ResetSeparators();
  WideListBuffer::AddSeparator(u"");
  WideListBuffer::AddSeparator(u"\r");
}

TEST(WideListBufferTest, GrowsByDoublingFrom256Bytes) {
  WideListBuffer buffer;
  EXPECT_EQ(std::u16string(buffer.GetData()), u"");
  EXPECT_EQ(buffer.CapacityBytes(), 256u);
  buffer.AppendString(std::u16string(126, u'x'));
  EXPECT_EQ(buffer.CapacityBytes(), 256u);
  buffer.AppendString(u"y");
  EXPECT_EQ(buffer.CapacityBytes(), 512u);
  EXPECT_EQ(buffer.LengthBytes(), 254u);
  EXPECT_EQ(std::u16string(buffer.GetData()), std::u16string(126, u'x') + u"y");
  buffer.Clear();
  EXPECT_EQ(buffer.LengthBytes(), 0u);
  EXPECT_EQ(std::u16string(buffer.GetData()), u"");
  EXPECT_EQ(buffer.CapacityBytes(), 256u);
}

TEST(WideListBufferTest, ReadsLinesWithAndWithoutAFinalBreak) {
  for (const char16_t* text : {u"LZH\r\nZIP\r\n", u"LZH\r\nZIP"}) {
    WideListBuffer buffer;
    buffer.AppendString(text);
    ReadAsLines();
    EXPECT_EQ(Token(buffer, 0), u"LZH");
    EXPECT_EQ(Token(buffer, 1), u"ZIP");
    EXPECT_EQ(Token(buffer, 2), u"");
    EXPECT_EQ(Token(buffer, 3), u"");
  }
}

TEST(WideListBufferTest, BlankLineGivesAnEmptyTokenInTheMiddle) {
  WideListBuffer buffer;
  buffer.AppendString(u"LZH\r\n\r\nZIP");
  ReadAsLines();
  EXPECT_EQ(Token(buffer, 0), u"LZH");
  EXPECT_EQ(Token(buffer, 1), u"");
  EXPECT_EQ(Token(buffer, 2), u"ZIP");
  // Only the line feed right after a break is dropped; others stay.
  WideListBuffer inner;
  inner.AppendString(u"a\nb\r\n\nc");
  ReadAsLines();
  EXPECT_EQ(Token(inner, 0), u"a\nb");
  EXPECT_EQ(Token(inner, 1), u"\nc");
}

TEST(WideListBufferTest, NulSeparatedEntriesKeepCarriageReturnsAndLineFeeds) {
  WideListBuffer list;
  const char16_t nul = u'\0';
  for (const char16_t* path : {u"/t/a\rb", u"/t/\nleading", u"/t/plain"}) {
    list.AppendString(path);
    list.Append(&nul, 2);
  }
  WideListBuffer::ResetSeparators();
  WideListBuffer::AddSeparator(u"");
  EXPECT_EQ(Token(list, 0), u"/t/a\rb");
  EXPECT_EQ(Token(list, 1), u"/t/\nleading");
  EXPECT_EQ(Token(list, 2), u"/t/plain");
  EXPECT_EQ(Token(list, 3), u"");
}

TEST(WideListBufferTest, MovedBufferOwnsTheBlock) {
  WideListBuffer a;
  a.AppendString(u"abc");
  WideListBuffer b = std::move(a);
  EXPECT_EQ(std::u16string(b.GetData()), u"abc");
  EXPECT_EQ(std::u16string(a.GetData()), u"");
}

}  // namespace
}  // namespace velmora
