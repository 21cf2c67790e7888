#include "engine/crypter.h"

#include <string.h>

#include <algorithm>

#include "engine/alphabet.h"

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

KeyError Crypter::SetPassword(std::u16string_view password) {
  KeysResult made = CipherKeys::Make(password);
  if (made.ok()) keys_ = std::move(made.keys);
  return made.error;
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
