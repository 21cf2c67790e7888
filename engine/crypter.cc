#include "engine/crypter.h"

#include <string.h>

#include <algorithm>

#include "engine/alphabet.h"
#include "engine/crc32.h"

namespace velmora {
namespace {

constexpr const char16_t* kDefaultExtensions[] = {
    u"LZH", u"ZIP", u"RAR", u"CAB", u"TGZ", u"JPG", u"AVI", u"MPG", u"MPEG", u"WMV",
};

char16_t AsciiUpper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

std::u16string_view SlotText(const char16_t (&slot)[kExtensionSlotUnits]) {
  std::size_t n = 0;
  while (n < kExtensionSlotUnits && slot[n] != 0) ++n;
  return std::u16string_view(slot, n);
}

}  // namespace

int32_t RangeBytes(RangeClass range_class) {
  switch (range_class) {
    case RangeClass::kNameOnly:
      return 0;
    case RangeClass::kHead:
      return kHeadRangeBytes;
    case RangeClass::kWhole:
      return kWholeRangeBytes;
  }
  return 0;
}

Crypter::Crypter() {
  BuildAlphabets();
  m_markers[0][0] = kMarker;
  int slot = 0;
  for (const char16_t* extension : kDefaultExtensions) {
    SetExtension(slot++, extension);
  }
}

void Crypter::BuildAlphabets() {
  m_nNameAlphabet = NameAlphabetSize();
  m_nCodeAlphabet = CodeAlphabetSize();
}

uint16_t Crypter::AddMod(uint16_t index, int32_t key) const {
  const int32_t n = m_nNameAlphabet;
  return static_cast<uint16_t>((index + key + 256 * n) % n);
}

int32_t Crypter::SetPassword(std::u16string_view password) {
  if (password.empty() || password.size() > kMaxPasswordUnits) return -1;
  std::fill(std::begin(m_szPassword), std::end(m_szPassword), u'\0');
  std::copy(password.begin(), password.end(), m_szPassword);
  m_nPasswordLen = static_cast<int32_t>(password.size());
  m_nBlocks = (m_nPasswordLen + 3) / 4;
  for (int32_t k = 0; k < m_nBlocks; ++k) {
    uint8_t name_bytes[8];
    uint8_t data_bytes[8];
    for (int u = 0; u < 4; ++u) {
      const char16_t unit = m_szPassword[4 * k + u];
      const uint16_t name_part = unit & 0xAAAA;
      const uint16_t data_part = unit & 0x5555;
      const std::size_t at = 2 * static_cast<std::size_t>(u);
      name_bytes[at] = static_cast<uint8_t>(name_part);
      name_bytes[at + 1] = static_cast<uint8_t>(name_part >> 8);
      data_bytes[at] = static_cast<uint8_t>(data_part);
      data_bytes[at + 1] = static_cast<uint8_t>(data_part >> 8);
    }
    m_nameKeys[k] = CrcUpdate(name_bytes, 8, 0xFFFFFFFFu);
    m_dataKeys[k] = CrcUpdate(data_bytes, 8, 0xFFFFFFFFu);
  }
  m_nameKeys[m_nBlocks] = 0;
  m_dataKeys[m_nBlocks] = 0;

  for (uint32_t t = 0; t < 1024; ++t) {
    uint8_t sum = 0;
    for (int32_t j = 0; j < m_nBlocks; ++j) sum += KeyByte(m_dataKeys[j] + t);
    m_keyStream[t] = sum;
    m_keyStream[t + 1024] = sum;
  }
  // Adding the terms one by one modulo n, as a name's units are
  // defined, is the same as adding their sum modulo n.
  for (uint32_t t = 0; t < 512; ++t) {
    uint32_t sum = 0;
    for (int32_t j = 0; j < m_nBlocks; ++j) sum += KeyWord(m_nameKeys[j] + t);
    m_nameStream[t] = static_cast<uint16_t>(sum % static_cast<uint32_t>(m_nNameAlphabet));
  }
  for (int32_t c = 0; c < m_nPasswordLen + 1024; ++c) {
    m_passwordBytes[c] = static_cast<uint8_t>(m_szPassword[c % m_nPasswordLen] & 0xFF);
  }
  return 0;
}

void Crypter::WipeKeys() {
  explicit_bzero(m_szPassword, sizeof m_szPassword);
  explicit_bzero(m_nameKeys, sizeof m_nameKeys);
  explicit_bzero(m_dataKeys, sizeof m_dataKeys);
  explicit_bzero(m_keyStream, sizeof m_keyStream);
  explicit_bzero(m_passwordBytes, sizeof m_passwordBytes);
  explicit_bzero(m_nameStream, sizeof m_nameStream);
  m_nPasswordLen = 0;
  m_nBlocks = 0;
}

void Crypter::CopyKeysFrom(const Crypter& other) {
  std::copy(std::begin(other.m_szPassword), std::end(other.m_szPassword), m_szPassword);
  m_nPasswordLen = other.m_nPasswordLen;
  m_nBlocks = other.m_nBlocks;
  std::copy(std::begin(other.m_nameKeys), std::end(other.m_nameKeys), m_nameKeys);
  std::copy(std::begin(other.m_dataKeys), std::end(other.m_dataKeys), m_dataKeys);
  std::copy(std::begin(other.m_keyStream), std::end(other.m_keyStream), m_keyStream);
  std::copy(std::begin(other.m_passwordBytes), std::end(other.m_passwordBytes), m_passwordBytes);
  std::copy(std::begin(other.m_nameStream), std::end(other.m_nameStream), m_nameStream);
  m_nNameAlphabet = other.m_nNameAlphabet;
  m_nCodeAlphabet = other.m_nCodeAlphabet;
  m_nExtMode = other.m_nExtMode;
  std::copy(&other.m_markers[0][0], &other.m_markers[0][0] + sizeof m_markers / sizeof(char16_t),
            &m_markers[0][0]);
  std::copy(&other.m_extensions[0][0],
            &other.m_extensions[0][0] + sizeof m_extensions / sizeof(char16_t),
            &m_extensions[0][0]);
}

std::u16string Crypter::GetExtension(int slot) const {
  if (slot < 0 || slot >= kExtensionSlots) return {};
  return std::u16string(SlotText(m_extensions[slot]));
}

bool Crypter::SetExtension(int slot, std::u16string_view text) {
  if (slot < 0 || slot >= kExtensionSlots ||
      text.size() >= static_cast<std::size_t>(kExtensionSlotUnits)) {
    return false;
  }
  std::fill(std::begin(m_extensions[slot]), std::end(m_extensions[slot]), u'\0');
  std::copy(text.begin(), text.end(), m_extensions[slot]);
  return true;
}

int Crypter::FindExtension(std::u16string_view name) const {
  const std::size_t dot = name.rfind(u'.');
  const bool has_extension = dot != std::u16string_view::npos;
  const std::u16string_view extension =
      has_extension ? name.substr(dot + 1) : std::u16string_view();
  for (int slot = 0; slot < kExtensionSlots; ++slot) {
    const std::u16string_view entry = SlotText(m_extensions[slot]);
    if (entry.empty()) break;
    if (entry.find(u'*') != std::u16string_view::npos) return slot;
    if (has_extension && extension.size() == entry.size() &&
        std::equal(entry.begin(), entry.end(), extension.begin(),
                   [](char16_t a, char16_t b) { return AsciiUpper(a) == AsciiUpper(b); })) {
      return slot;
    }
  }
  return -1;
}

RangeClass Crypter::ClassifyName(std::u16string_view name) const {
  if (FindExtension(name) == -1) return RangeClass::kWhole;
  return m_nExtMode == 1 ? RangeClass::kHead : RangeClass::kWhole;
}

int Crypter::IsEncryptedName(std::u16string_view name) const {
  if (name.empty() || CodeIndexOf(name.back()) > 2) return -1;
  for (int slot = 0; slot < 2; ++slot) {
    const std::u16string_view marker = SlotText(m_markers[slot]);
    if (marker.empty()) break;
    if (name.substr(0, marker.size()) == marker) return slot;
  }
  return -1;
}

int Crypter::FindMarker(std::u16string_view name) const {
  for (int slot = 0; slot < 2; ++slot) {
    const std::u16string_view marker = SlotText(m_markers[slot]);
    if (marker.empty()) break;
    if (name.substr(0, marker.size()) == marker) return slot;
  }
  return -1;
}

std::u16string Crypter::PickMarker(uint32_t crc) const {
  uint32_t count = 0;
  while (count < 2 && m_markers[count][0] != 0) ++count;
  return std::u16string(SlotText(m_markers[crc % count]));
}

Crypter& TheCrypter() {
  static Crypter crypter;
  return crypter;
}

}  // namespace velmora
