#include "ui/password_rules.h"

namespace velmora {

std::u16string PasswordProblem(const std::u16string& password,
                               const std::u16string& confirmation) {
  if (password.size() > kMaxPasswordLength) return u"パスワードが長すぎます。";
  if (password.size() < kMinPasswordLength) return u"パスワードが短すぎます。";
  if (password != confirmation) return u"パスワードが違います。";
  return std::u16string();
}

}  // namespace velmora
