// The file-name cipher of Crypter.

#include <vector>

#include "engine/alphabet.h"
#include "engine/crc32.h"
#include "engine/crypter.h"
#include "platform/wtf8.h"

namespace velmora {
namespace {

constexpr std::size_t kPaddedLength = 8;

// White space removed in front of a deciphered name. A fixed set, so that
// the result never depends on the locale.
bool IsNameWhiteSpace(char16_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// CRC of the name's units, each little-endian.
uint32_t NameCrc(const std::u16string& name) {
  std::vector<uint8_t> bytes;
  bytes.reserve(name.size() * 2);
  for (char16_t unit : name) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return CrcUpdate(bytes.data(), static_cast<int32_t>(bytes.size()), 0xFFFFFFFFu);
}

// A plain name comes back unchanged from its enciphered form only when every
// unit is in the name alphabet (this also refuses names whose bytes were not
// UTF-8: their escapes hold U+FFFF) and it does not begin with white space,
// which deciphering strips.
bool IsRestorable(const std::u16string& name) {
  if (name.empty() || IsNameWhiteSpace(name.front())) return false;
  for (char16_t unit : name) {
    if (!IsPermittedUnit(unit)) return false;
  }
  return true;
}

// The error of a deciphered name |plain| whose seed check |seed_holds| or
// not; kNone when it may be used.
NameError PlainNameError(const std::u16string& plain, bool seed_holds) {
  if (plain.empty()) return NameError::kBadName;
  if (!seed_holds) return NameError::kWrongPassword;
  if (Wtf8Length(plain) > kMaxNameBytes || plain == u"." || plain == u"..") {
    return NameError::kBadName;
  }
  return NameError::kNone;
}

}  // namespace

NameConversion Crypter::ConvertName(std::u16string_view name, Direction direction) const {
  return direction == Direction::kEncrypt ? EncryptName(name) : DecryptName(name);
}

NameConversion Crypter::EncryptName(std::u16string_view plain) const {
  NameConversion conversion;
  conversion.source = plain;
  const CipherKeys& keys = *keys_;
  if (keys.empty()) {  // no key schedule yet
    conversion.error = NameError::kBadRangeClass;
    return conversion;
  }
  std::u16string padded = conversion.source;
  if (IsEncryptedName(padded)) {
    conversion.error = NameError::kAlreadyEncrypted;
    return conversion;
  }
  if (!IsRestorable(padded)) {
    conversion.error = NameError::kUnrepresentable;
    return conversion;
  }
  if (padded.size() < kPaddedLength) {
    padded.insert(0, kPaddedLength - padded.size(), u' ');
  }
  const uint32_t crc = NameCrc(padded);
  conversion.range_class = ClassifyName(padded);
  const uint32_t n = static_cast<uint32_t>(name_alphabet_);
  const uint32_t v = crc % (n * n);
  const uint32_t s0 = v / n;
  const uint32_t s1 = v % n;

  std::u16string result = PickMarker(crc);
  result.push_back(NameCharAt(static_cast<uint16_t>(s0)));
  result.push_back(NameCharAt(static_cast<uint16_t>(s1)));
  for (std::size_t i = 0; i < padded.size(); ++i) {
    uint16_t x = NameIndexOf(padded[i]);
    const uint32_t position = static_cast<uint32_t>(i);
    x = AddMod(x, keys.name_stream(position + v));
    x = AddMod(x, keys.password()[i % keys.password().size()]);
    result.push_back(NameCharAt(x));
  }
  result.push_back(CodeCharAt(static_cast<uint16_t>(conversion.range_class)));

  if (result.size() > static_cast<std::size_t>(kMaxPathUnits) ||
      Wtf8Length(result) > kMaxNameBytes) {
    conversion.error = NameError::kNameTooLong;
    return conversion;
  }
  conversion.target = std::move(result);
  return conversion;
}

NameError Crypter::CipherNameError(std::u16string_view name) const {
  if (!HasMarker(name)) return NameError::kNotEncrypted;
  // A marked name whose bytes were not UTF-8 was never made by the cipher.
  if (name.size() < 2 || HasEscapedBytes(name)) return NameError::kBadName;
  if (CodeIndexOf(name.back()) > static_cast<uint16_t>(RangeClass::kWhole)) {
    return NameError::kBadClassChar;
  }
  if (keys_->empty()) return NameError::kBadRangeClass;  // no key schedule yet
  return NameError::kNone;
}

NameConversion Crypter::DecryptName(std::u16string_view name) const {
  NameConversion conversion;
  conversion.source = name;
  conversion.error = CipherNameError(name);
  if (!conversion.ok()) return conversion;
  conversion.range_class = static_cast<RangeClass>(CodeIndexOf(name.back()));
  const std::u16string_view rest = name.substr(1, name.size() - 2);
  const char16_t seed0 = rest.size() > 0 ? rest[0] : u'\0';
  const char16_t seed1 = rest.size() > 1 ? rest[1] : u'\0';
  const std::u16string_view body = rest.substr(std::min<std::size_t>(2, rest.size()));

  const CipherKeys& keys = *keys_;
  const uint32_t n = static_cast<uint32_t>(name_alphabet_);
  const uint32_t v = n * NameIndexOf(seed0) + NameIndexOf(seed1);
  std::u16string padded;
  padded.reserve(body.size());
  for (std::size_t i = 0; i < body.size(); ++i) {
    uint16_t x = NameIndexOf(body[i]);
    const uint32_t position = static_cast<uint32_t>(i);
    x = AddMod(x, -static_cast<int32_t>(keys.name_stream(position + v)));
    x = AddMod(x, -static_cast<int32_t>(keys.password()[i % keys.password().size()]));
    padded.push_back(NameCharAt(x));
  }

  std::size_t first = 0;
  while (first < padded.size() && IsNameWhiteSpace(padded[first])) ++first;
  std::u16string result = padded.substr(first);
  // The seed characters carry the CRC of the plain name: a wrong password,
  // or a plain name that only looks enciphered, gives a name that fails this
  // test, and renaming to it would lose the real name for good.
  conversion.error = PlainNameError(result, NameCrc(padded) % (n * n) == v);
  if (conversion.ok()) conversion.target = std::move(result);
  return conversion;
}

}  // namespace velmora
