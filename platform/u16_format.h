// printf-style formatting of UTF-16 message texts.
//
// Supports %s (a UTF-16 string), %d with an optional field width (%8d pads
// with spaces on the left) and %%. Arguments are consumed in order; a missing
// argument formats as nothing, and surplus arguments are ignored.
#ifndef VELMORA_PLATFORM_U16_FORMAT_H_
#define VELMORA_PLATFORM_U16_FORMAT_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace velmora {

using FormatArg = std::variant<int64_t, std::u16string_view>;

std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args);

// Decimal digits of |value| as UTF-16.
std::u16string DecimalText(int64_t value);

}  // namespace velmora

#endif  // VELMORA_PLATFORM_U16_FORMAT_H_
