#include "engine/crypter.h"

#include <string.h>

#include <algorithm>

#include "engine/alphabet.h"

namespace velmora {
namespace {

constexpr char16_t kDefaultExtensions[][kExtensionSlotUnits] = {
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
  markers_[0][0] = kMarker;
  int slot = 0;
  for (const char16_t* extension : kDefaultExtensions) {
    SetExtension(slot++, extension);
  }
}

void Crypter::BuildAlphabets() {
  name_alphabet_ = NameAlphabetSize();
  code_alphabet_ = CodeAlphabetSize();
}

uint16_t Crypter::AddMod(uint16_t index, int32_t key) const {
  const int32_t n = name_alphabet_;
  return static_cast<uint16_t>((index + key + 256 * n) % n);
}

KeyError Crypter::SetPassword(std::u16string_view password) {
  KeysResult made = CipherKeys::Make(password);
  if (made.ok()) keys_ = std::move(made.keys);
  return made.error;
}

std::u16string Crypter::GetExtension(int slot) const {
  if (slot < 0 || slot >= kExtensionSlots) return {};
  return std::u16string(SlotText(extensions_[slot]));
}

bool Crypter::SetExtension(int slot, std::u16string_view text) {
  if (slot < 0 || slot >= kExtensionSlots ||
      text.size() >= static_cast<std::size_t>(kExtensionSlotUnits)) {
    return false;
  }
  std::fill(std::begin(extensions_[slot]), std::end(extensions_[slot]), u'\0');
  std::copy(text.begin(), text.end(), extensions_[slot]);
  return true;
}

std::optional<int> Crypter::FindExtension(std::u16string_view name) const {
  const std::size_t dot = name.rfind(u'.');
  const bool has_extension = dot != std::u16string_view::npos;
  const std::u16string_view extension =
      has_extension ? name.substr(dot + 1) : std::u16string_view();
  for (int slot = 0; slot < kExtensionSlots; ++slot) {
    const std::u16string_view entry = SlotText(extensions_[slot]);
    if (entry.empty()) break;
    if (entry.find(u'*') != std::u16string_view::npos) return slot;
    if (has_extension && extension.size() == entry.size() &&
        std::equal(entry.begin(), entry.end(), extension.begin(),
                   [](char16_t a, char16_t b) { return AsciiUpper(a) == AsciiUpper(b); })) {
      return slot;
    }
  }
  return std::nullopt;
}

RangeClass Crypter::ClassifyName(std::u16string_view name) const {
  if (!FindExtension(name)) return RangeClass::kWhole;
  return listed_extensions_ == ListedExtensions::kHeadOnly ? RangeClass::kHead : RangeClass::kWhole;
}

bool Crypter::IsEncryptedName(std::u16string_view name) const {
  return !name.empty() && CodeIndexOf(name.back()) <= 2 && HasMarker(name);
}

bool Crypter::HasMarker(std::u16string_view name) const {
  for (const auto& slot : markers_) {
    const std::u16string_view marker = SlotText(slot);
    if (marker.empty()) break;
    if (name.substr(0, marker.size()) == marker) return true;
  }
  return false;
}

std::u16string Crypter::PickMarker(uint32_t crc) const {
  uint32_t count = 0;
  while (count < 2 && markers_[count][0] != 0) ++count;
  return std::u16string(SlotText(markers_[crc % count]));
}

}  // namespace velmora
