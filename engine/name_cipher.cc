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

}  // namespace

std::u16string Crypter::ConvertName(std::u16string_view name, uint32_t operation) {
  m_nOperation = operation;
  if (operation == OP_ENCRYPT) {
    m_strPlainName = name;
    m_strCipherName = EncryptName();
    return m_strCipherName;
  }
  m_strCipherName = name;
  m_strPlainName = DecryptName();
  return m_strPlainName;
}

std::u16string Crypter::EncryptName() {
  m_nError = ERR_NONE;
  if (m_nPasswordLen <= 0) {  // no key schedule yet
    m_nError = ERR_BAD_RANGE_CLASS;
    return {};
  }
  std::u16string padded = m_strPlainName;
  if (IsEncryptedName(padded) != -1) {
    m_nError = ERR_ALREADY_ENCRYPTED;
    return {};
  }
  if (!IsRestorable(padded)) {
    m_nError = ERR_UNREPRESENTABLE;
    return {};
  }
  if (padded.size() < kPaddedLength) {
    padded.insert(0, kPaddedLength - padded.size(), u' ');
  }
  const uint32_t crc = NameCrc(padded);
  if (SetClass(ClassifyName(padded)) != 0) {
    m_nError = ERR_BAD_RANGE_CLASS;
    return {};
  }
  const uint32_t n = static_cast<uint32_t>(m_nNameAlphabet);
  const uint32_t v = crc % (n * n);
  const uint32_t s0 = v / n;
  const uint32_t s1 = v % n;

  std::u16string result = PickMarker(crc);
  result.push_back(NameCharAt(static_cast<uint16_t>(s0)));
  result.push_back(NameCharAt(static_cast<uint16_t>(s1)));
  for (std::size_t i = 0; i < padded.size(); ++i) {
    uint16_t x = NameIndexOf(padded[i]);
    const uint32_t position = static_cast<uint32_t>(i);
    x = AddMod(x, m_nameStream[(position + v) & 511u]);
    x = AddMod(x, m_szPassword[i % m_nPasswordLen]);
    result.push_back(NameCharAt(x));
  }
  result.push_back(CodeCharAt(m_wClass));

  if (result.size() > static_cast<std::size_t>(kMaxPathUnits) ||
      Wtf8Length(result) > kMaxNameBytes) {
    m_nError = ERR_NAME_TOO_LONG;
    return {};
  }
  return result;
}

int32_t Crypter::CipherNameError() {
  const std::u16string& name = m_strCipherName;
  if (FindMarker() == -1) return ERR_NOT_ENCRYPTED;
  // A marked name whose bytes were not UTF-8 was never made by the cipher.
  if (name.size() < 2 || HasEscapedBytes(name)) return ERR_BAD_NAME;
  if (SetClass(GetNameClass()) != 0) return ERR_BAD_CLASS_CHAR;
  if (IsUnsupportedClass() > 0) return ERR_UNSUPPORTED_CLASS;
  if (m_nPasswordLen <= 0) return ERR_BAD_RANGE_CLASS;  // no key schedule yet
  return ERR_NONE;
}

std::u16string Crypter::DecryptName() {
  m_nError = CipherNameError();
  if (m_nError != ERR_NONE) return {};
  const std::u16string& name = m_strCipherName;
  const std::u16string_view rest = std::u16string_view(name).substr(1, name.size() - 2);
  const char16_t seed0 = rest.size() > 0 ? rest[0] : u'\0';
  const char16_t seed1 = rest.size() > 1 ? rest[1] : u'\0';
  const std::u16string_view body = rest.substr(std::min<std::size_t>(2, rest.size()));

  const uint32_t n = static_cast<uint32_t>(m_nNameAlphabet);
  const uint32_t v = n * NameIndexOf(seed0) + NameIndexOf(seed1);
  std::u16string padded;
  padded.reserve(body.size());
  for (std::size_t i = 0; i < body.size(); ++i) {
    uint16_t x = NameIndexOf(body[i]);
    const uint32_t position = static_cast<uint32_t>(i);
    x = AddMod(x, -static_cast<int32_t>(m_nameStream[(position + v) & 511u]));
    x = AddMod(x, -static_cast<int32_t>(m_szPassword[i % m_nPasswordLen]));
    padded.push_back(NameCharAt(x));
  }

  std::size_t first = 0;
  while (first < padded.size() && IsNameWhiteSpace(padded[first])) ++first;
  std::u16string result = padded.substr(first);
  if (result.empty()) {
    m_nError = ERR_BAD_NAME;
    return {};
  }
  // The seed characters carry the CRC of the plain name: a wrong password,
  // or a plain name that only looks enciphered, gives a name that fails this
  // test, and renaming to it would lose the real name for good.
  if (NameCrc(padded) % (n * n) != v) {
    m_nError = ERR_WRONG_PASSWORD;
    return {};
  }
  if (Wtf8Length(result) > kMaxNameBytes || result == u"." || result == u"..") {
    m_nError = ERR_BAD_NAME;
    return {};
  }
  return result;
}

}  // namespace velmora
