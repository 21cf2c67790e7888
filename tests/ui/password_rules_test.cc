#include "job/password_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

TEST(PasswordRulesTest, FirstFailingRuleDecides) {
  const std::u16string too_long = u"パスワードが長すぎます。";
  const std::u16string too_short = u"パスワードが短すぎます。";
  const std::u16string mismatch = u"パスワードが違います。";
  const std::u16string x1020(1020, u'x');
  const std::u16string x1021(1021, u'x');
  std::u16string keys;  // 510 code points outside the BMP: 1020 units
  for (int i = 0; i < 510; ++i) keys += u"\U0001F511";
  const struct {
    std::u16string password, confirmation, want;
  } cases[] = {
      {u"", u"", too_short},
      {u"鍵", u"鍵", too_short},
      {u"", u"abc", too_short},  // only the confirmation typed
      {u"x", u"other", too_short},
      {u"ab", u"ab", u""},
      {u"\U0001F511", u"\U0001F511", u""},  // two units
      {u"ab", u"abc", mismatch},
      {u"Secret", u"secret", mismatch},
      {u"ＡＢ", u"ａｂ", mismatch},
      {u"ab", x1021, mismatch},  // only the first box's length counts
      {x1020, x1020, u""},
      {keys, keys, u""},
      {x1021, x1021, too_long},
      {keys + u"a", keys + u"a", too_long},
      {x1021, u"other", too_long},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PasswordProblem(c.password, c.confirmation), c.want)
        << c.password.size() << " / " << c.confirmation.size();
  }
}

}  // namespace
}  // namespace velmora
