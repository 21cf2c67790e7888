#include "ui/password_rules.h"

#include "platform/catalogue.h"

namespace velmora {
namespace {

constexpr Text kTooLong = u"パスワードが長すぎます。";
constexpr Text kTooShort = u"パスワードが短すぎます。";
constexpr Text kMismatch = u"パスワードが違います。";

}  // namespace

std::u16string PasswordProblem(const std::u16string& password,
                               const std::u16string& confirmation) {
  if (password.size() > kMaxPasswordLength) return kTooLong;
  if (password.size() < kMinPasswordLength) return kTooShort;
  if (password != confirmation) return kMismatch;
  return std::u16string();
}

}  // namespace velmora
