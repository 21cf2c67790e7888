#include "job/wide_list_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using namespace std::string_literals;

// Lines of the settings, or NUL-separated entries of a walk that keep CR and
// LF; the long list outgrows the first block several times.
TEST(WideListBufferTest, SplitsCrLfLinesOrNulSeparatedEntries) {
  const std::u16string long_name(300, u'x');
  const struct {
    std::u16string text;
    bool lines;
    std::vector<std::u16string> tokens;
  } cases[] = {
      {u"LZH\r\nZIP\r\n", true, {u"LZH", u"ZIP", u""}},
      {u"LZH\r\nZIP", true, {u"LZH", u"ZIP", u""}},
      {u"LZH\r\n\r\nZIP", true, {u"LZH", u"", u"ZIP", u""}},
      {u"a\nb\r\n\nc", true, {u"a\nb", u"\nc", u""}},  // only the LF right after a break goes
      {u"/t/a\rb\0/t/\nc\0/t/d\0"s, false, {u"/t/a\rb", u"/t/\nc", u"/t/d", u""}},
      {long_name + u'\0' + long_name + u'\0' + long_name, false,
       {long_name, long_name, long_name, u""}},
  };
  for (const auto& c : cases) {
    WideListBuffer buffer;
    EXPECT_EQ(std::u16string(buffer.GetData()), u"");
    for (char16_t unit : c.text) buffer.AppendString(std::u16string_view(&unit, 1));
    WideListBuffer::ResetSeparators();
    WideListBuffer::AddSeparator(u"");
    if (c.lines) WideListBuffer::AddSeparator(u"\r");
    std::vector<std::u16string> tokens;
    for (std::size_t i = 0; i < c.tokens.size(); ++i) {
      tokens.push_back(buffer.NextToken(static_cast<int32_t>(i)));
    }
    EXPECT_EQ(tokens, c.tokens);
    buffer.Clear();
    EXPECT_EQ(std::u16string(buffer.GetData()), u"");
  }
}

}  // namespace
}  // namespace velmora
