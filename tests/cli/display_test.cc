// What reaches the terminal: shown text, the progress line's width, and
// the exit status of each way a run ends.

#include <gtest/gtest.h>

#include "cli/display_text.h"
#include "cli/progress_line.h"
#include "cli/session.h"

namespace velmora::cli {
namespace {

TEST(DisplayTextTest, CarriageReturnLineFeedBecomesLineFeed) {
  EXPECT_EQ(DisplayText(u"一行目\r\n二行目\r\n"), "一行目\n二行目\n");
}

TEST(DisplayTextTest, LoneSurrogatesAndControlsAreReplaced) {
  const std::u16string text = {u'a', char16_t(0xD800), u'b', char16_t(0x1B),
                               char16_t(0x9B), u'c'};
  EXPECT_EQ(DisplayText(text), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c");
}

TEST(DisplayTextTest, SurrogatePairsStayOneCharacter) {
  EXPECT_EQ(DisplayText(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(DisplayTextTest, EscapedRawBytesShowAsHex) {
  const std::u16string text = {u'x', char16_t(0xFFFF), char16_t(0xDC83)};
  EXPECT_EQ(DisplayText(text), "x\\x83");
}

TEST(ProgressLineTest, WideCharactersTakeTwoColumns) {
  EXPECT_EQ(ColumnWidth(U'a'), 1);
  EXPECT_EQ(ColumnWidth(U'処'), 2);
  EXPECT_EQ(ColumnWidth(U'\u3000'), 2);
  EXPECT_EQ(FitToColumns(u"処理中です", 5), "処理");
  EXPECT_EQ(FitToColumns(u"ab処理", 3), "ab");
  EXPECT_EQ(FitToColumns(u"abc", 10), "abc");
}

TEST(ProgressLineTest, LineEndsBecomeSpaces) {
  EXPECT_EQ(FitToColumns(u"dir\r\n  12K", 80), "dir   12K");
}

TEST(ExitStatusTest, EachOutcomeHasItsStatus) {
  EXPECT_EQ(ExitStatusFor(RunOutcome::kAllDone), 0);
  EXPECT_EQ(ExitStatusFor(RunOutcome::kSomeDone), 1);
  EXPECT_EQ(ExitStatusFor(RunOutcome::kInvalidTarget), 2);
  EXPECT_EQ(ExitStatusFor(RunOutcome::kNothingToDo), 2);
  EXPECT_EQ(ExitStatusFor(RunOutcome::kCancelled), 2);
  EXPECT_EQ(ExitStatusFor(RunOutcome::kDeclined), 2);
}

}  // namespace
}  // namespace velmora::cli
