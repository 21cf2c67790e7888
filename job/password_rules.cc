#include "job/password_rules.h"

#include "job/messages.h"

namespace velmora {

std::u16string PasswordProblem(std::u16string_view password, std::u16string_view confirmation) {
  if (password.size() > kMaxPasswordLength) return text::kPasswordTooLong;
  if (password.size() < kMinPasswordLength) return text::kPasswordTooShort;
  if (password != confirmation) return text::kPasswordMismatch;
  return std::u16string();
}

}  // namespace velmora
