#include "engine/alphabet.h"

#include <array>

namespace velmora {
namespace {

// Not permitted in a name: controls, " * / : < > ? \ | and U+FFFF.
constexpr bool IsForbidden(uint32_t u) {
  return u < 0x20 || u == 0x22 || u == 0x2A || u == 0x2F || u == 0x3A || u == 0x3C || u == 0x3E ||
         u == 0x3F || u == 0x5C || u == 0x7C || u == 0xFFFF;
}

// Every unit the code alphabet leaves out of the name alphabet.
constexpr bool IsNameOnly(uint32_t u) { return u == 0x20 || u == 0x2E; }

// Above U+007F the alphabets leave out U+FFFF alone, so an index there is
// the unit less a fixed offset; only the units below need tables. Built by
// the compiler: read-only data, no start-up work.
constexpr uint32_t kLowUnits = 0x80;

struct LowTables {
  std::array<uint16_t, kLowUnits> name_forward{};
  std::array<uint16_t, kLowUnits> name_backward{};
  std::array<uint16_t, kLowUnits> code_forward{};
  std::array<uint16_t, kLowUnits> code_backward{};
  uint32_t name_count = 0;  // permitted units below kLowUnits
  uint32_t code_count = 0;

  constexpr LowTables() {
    for (uint32_t u = 0; u < kLowUnits; ++u) {
      if (IsForbidden(u)) continue;
      name_forward[u] = static_cast<uint16_t>(name_count);
      name_backward[name_count++] = static_cast<uint16_t>(u);
      if (IsNameOnly(u)) continue;
      code_forward[u] = static_cast<uint16_t>(code_count);
      code_backward[code_count++] = static_cast<uint16_t>(u);
    }
  }
};

constexpr LowTables kLow;
constexpr uint32_t kNameSize = 0xFFFF - (kLowUnits - kLow.name_count);
constexpr uint32_t kCodeSize = 0xFFFF - (kLowUnits - kLow.code_count);
static_assert(kNameSize == 65494 && kCodeSize == 65492);

uint16_t IndexOf(char16_t unit, const std::array<uint16_t, kLowUnits>& low, uint32_t low_count) {
  if (unit < kLowUnits) return low[unit];
  if (unit == 0xFFFF) return 0;
  return static_cast<uint16_t>(unit - (kLowUnits - low_count));
}

char16_t UnitAt(uint16_t index, const std::array<uint16_t, kLowUnits>& low, uint32_t low_count,
                uint32_t size) {
  if (index < low_count) return static_cast<char16_t>(low[index]);
  if (index >= size) return 0;
  return static_cast<char16_t>(index + (kLowUnits - low_count));
}

}  // namespace

bool IsPermittedUnit(char16_t unit) { return !IsForbidden(unit); }
int32_t NameAlphabetSize() { return static_cast<int32_t>(kNameSize); }
int32_t CodeAlphabetSize() { return static_cast<int32_t>(kCodeSize); }

uint16_t NameIndexOf(char16_t unit) {
  if (IsForbidden(unit)) return 0;
  return IndexOf(unit, kLow.name_forward, kLow.name_count);
}
char16_t NameCharAt(uint16_t index) {
  return UnitAt(index, kLow.name_backward, kLow.name_count, kNameSize);
}
uint16_t CodeIndexOf(char16_t unit) {
  if (IsForbidden(unit) || IsNameOnly(unit)) return 0;
  return IndexOf(unit, kLow.code_forward, kLow.code_count);
}
char16_t CodeCharAt(uint16_t index) {
  return UnitAt(index, kLow.code_backward, kLow.code_count, kCodeSize);
}

}  // namespace velmora
