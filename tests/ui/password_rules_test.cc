#include "ui/password_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

const std::u16string kTooLong = u"パスワードが長すぎます。";
const std::u16string kTooShort = u"パスワードが短すぎます。";
const std::u16string kMismatch = u"パスワードが違います。";

TEST(PasswordRulesTest, LimitsAreTwoAndTenTwenty) {
  EXPECT_EQ(kMinPasswordLength, 2u);
  EXPECT_EQ(kMaxPasswordLength, 1020u);
}

TEST(PasswordRulesTest, EmptyIsTooShort) {
  EXPECT_EQ(PasswordProblem(u"", u""), kTooShort);
}

TEST(PasswordRulesTest, OneUnitIsTooShortEvenWhenBothMatch) {
  EXPECT_EQ(PasswordProblem(u"a", u"a"), kTooShort);
  EXPECT_EQ(PasswordProblem(u"鍵", u"鍵"), kTooShort);
}

TEST(PasswordRulesTest, OnlyConfirmationTypedIsTooShort) {
  EXPECT_EQ(PasswordProblem(u"", u"abc"), kTooShort);
}

TEST(PasswordRulesTest, TwoEqualUnitsAreAccepted) {
  EXPECT_EQ(PasswordProblem(u"ab", u"ab"), u"");
  EXPECT_EQ(PasswordProblem(u"秘密", u"秘密"), u"");
}

TEST(PasswordRulesTest, DifferenceIsMismatch) {
  EXPECT_EQ(PasswordProblem(u"ab", u"ac"), kMismatch);
  EXPECT_EQ(PasswordProblem(u"ab", u""), kMismatch);
  EXPECT_EQ(PasswordProblem(u"ab", u"abc"), kMismatch);
}

TEST(PasswordRulesTest, CaseMatters) {
  EXPECT_EQ(PasswordProblem(u"Secret", u"secret"), kMismatch);
  // Full-width letters are not folded either.
  EXPECT_EQ(PasswordProblem(u"ＡＢ", u"ａｂ"), kMismatch);
}

TEST(PasswordRulesTest, MaximumLengthIsAccepted) {
  const std::u16string longest(kMaxPasswordLength, u'x');
  EXPECT_EQ(PasswordProblem(longest, longest), u"");
}

TEST(PasswordRulesTest, OneOverMaximumIsTooLong) {
  const std::u16string too_long(kMaxPasswordLength + 1, u'x');
  EXPECT_EQ(PasswordProblem(too_long, too_long), kTooLong);
}

TEST(PasswordRulesTest, LengthIsCheckedBeforeMatching) {
  const std::u16string too_long(kMaxPasswordLength + 1, u'x');
  EXPECT_EQ(PasswordProblem(too_long, u"other"), kTooLong);
  EXPECT_EQ(PasswordProblem(u"x", u"other"), kTooShort);
}

TEST(PasswordRulesTest, OnlyFirstBoxLengthIsChecked) {
  const std::u16string too_long(kMaxPasswordLength + 1, u'x');
  EXPECT_EQ(PasswordProblem(u"ab", too_long), kMismatch);
  EXPECT_EQ(PasswordProblem(u"ab", u"a"), kMismatch);
}

TEST(PasswordRulesTest, LengthCountsUtf16Units) {
  // One code point outside the BMP is two units: long enough.
  const std::u16string emoji = u"\U0001F511";
  ASSERT_EQ(emoji.size(), 2u);
  EXPECT_EQ(PasswordProblem(emoji, emoji), u"");
  // 510 such code points are 1020 units; one more unit is too long.
  std::u16string at_limit;
  for (int i = 0; i < 510; ++i) at_limit += emoji;
  EXPECT_EQ(PasswordProblem(at_limit, at_limit), u"");
  EXPECT_EQ(PasswordProblem(at_limit + u"a", at_limit + u"a"), kTooLong);
}

}  // namespace
}  // namespace velmora
