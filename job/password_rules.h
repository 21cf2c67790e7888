// What a new password must satisfy before the password dialog lets it go.
//
// Both front ends ask the same question so that the desktop dialog and the
// terminal prompt accept and refuse exactly the same input.
#ifndef VELMORA_JOB_PASSWORD_RULES_H_
#define VELMORA_JOB_PASSWORD_RULES_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// Lengths are counted in UTF-16 units, as the password is stored.
constexpr std::size_t kMinPasswordLength = 2;
constexpr std::size_t kMaxPasswordLength = 1020;

// Returns the line to show under the password boxes, or the empty text when
// |password| may be used. The checks run in this order and the first that
// fails decides: |password| longer than kMaxPasswordLength, shorter than
// kMinPasswordLength, different from |confirmation| (exact, case-sensitive).
// Only |password|'s length is checked; a wrong-length |confirmation| shows up
// as a mismatch.
std::u16string PasswordProblem(std::u16string_view password, std::u16string_view confirmation);

}  // namespace velmora

#endif  // VELMORA_JOB_PASSWORD_RULES_H_
