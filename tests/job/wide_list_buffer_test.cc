#include "job/wide_list_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using namespace std::string_literals;

TEST(WideListBufferTest, GrowsByDoublingFrom256Bytes) {
  WideListBuffer buffer;
  EXPECT_EQ(std::u16string(buffer.GetData()), u"");
  EXPECT_EQ(buffer.CapacityBytes(), 256u);
  buffer.AppendString(std::u16string(126, u'x'));
  EXPECT_EQ(buffer.CapacityBytes(), 256u);
  buffer.AppendString(u"y");  // 254 bytes and the terminator
  EXPECT_EQ(buffer.CapacityBytes(), 512u);
  EXPECT_EQ(std::u16string(buffer.GetData()), std::u16string(126, u'x') + u"y");
  buffer.Clear();
  EXPECT_EQ(std::u16string(buffer.GetData()), u"");
  EXPECT_EQ(buffer.CapacityBytes(), 256u);
}

TEST(WideListBufferTest, SplitsCrLfLinesOrNulSeparatedEntries) {
  const struct {
    std::u16string text;
    bool lines;  // else NUL-separated entries, which keep CR and LF
    std::vector<std::u16string> tokens;
  } cases[] = {
      {u"LZH\r\nZIP\r\n", true, {u"LZH", u"ZIP", u""}},
      {u"LZH\r\nZIP", true, {u"LZH", u"ZIP", u""}},
      {u"LZH\r\n\r\nZIP", true, {u"LZH", u"", u"ZIP", u""}},
      {u"a\nb\r\n\nc", true, {u"a\nb", u"\nc", u""}},  // only the LF right after a break goes
      {u"/t/a\rb\0/t/\nc\0/t/d\0"s, false, {u"/t/a\rb", u"/t/\nc", u"/t/d", u""}},
  };
  for (const auto& c : cases) {
    WideListBuffer buffer;
    buffer.AppendString(c.text);
    WideListBuffer::ResetSeparators();
    WideListBuffer::AddSeparator(u"");
    if (c.lines) WideListBuffer::AddSeparator(u"\r");
    std::vector<std::u16string> tokens;
    for (std::size_t i = 0; i < c.tokens.size(); ++i) {
      tokens.push_back(buffer.NextToken(static_cast<int32_t>(i)));
    }
    EXPECT_EQ(tokens, c.tokens);
  }
}

}  // namespace
}  // namespace velmora
