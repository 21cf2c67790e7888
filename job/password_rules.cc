#include "job/password_rules.h"

#include "platform/catalogue.h"

namespace velmora {
namespace {

constexpr Text kTooLong = u"パスワードが長すぎます。";
constexpr Text kTooShort = u"パスワードが短すぎます。";
constexpr Text kMismatch = u"パスワードが違います。";

}  // namespace

std::u16string PasswordProblem(std::u16string_view password, std::u16string_view confirmation) {
  if (password.size() > kMaxPasswordLength) return kTooLong;
  if (password.size() < kMinPasswordLength) return kTooShort;
  if (password != confirmation) return kMismatch;
  return std::u16string();
}

}  // namespace velmora
