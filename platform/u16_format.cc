#include "platform/u16_format.h"

namespace velmora {

std::u16string DecimalText(int64_t value) {
  std::u16string digits;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits.insert(digits.begin(), u'-');
  return digits;
}

std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  out.reserve(format.size() + 64);
  const FormatArg* next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    char16_t c = format[i];
    if (c != u'%' || i + 1 >= format.size()) {
      out.push_back(c);
      continue;
    }
    std::size_t j = i + 1;
    if (format[j] == u'%') {
      out.push_back(u'%');
      i = j;
      continue;
    }
    std::size_t width = 0;
    while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') {
      width = width * 10 + (format[j] - u'0');
      ++j;
    }
    if (j >= format.size() || (format[j] != u'd' && format[j] != u's')) {
      out.push_back(c);
      continue;
    }
    std::u16string piece;
    if (next != args.end()) {
      if (const auto* number = std::get_if<int64_t>(next)) {
        piece = DecimalText(*number);
      } else {
        piece = std::u16string(std::get<std::u16string_view>(*next));
      }
      ++next;
    }
    if (piece.size() < width) out.append(width - piece.size(), u' ');
    out += piece;
    i = j;
  }
  return out;
}

}  // namespace velmora
