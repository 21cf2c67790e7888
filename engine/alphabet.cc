#include "engine/alphabet.h"

#include <array>

namespace velmora {
namespace {

// Not permitted in a name: controls, " * / : < > ? \ | and U+FFFF.
constexpr bool IsForbidden(uint32_t u) {
  return u < 0x20 || u == 0x22 || u == 0x2A || u == 0x2F || u == 0x3A || u == 0x3C || u == 0x3E ||
         u == 0x3F || u == 0x5C || u == 0x7C || u == 0xFFFF;
}

struct Tables {
  std::array<uint16_t, 65536> name_forward{};
  std::array<uint16_t, 65536> name_backward{};
  std::array<uint16_t, 65536> code_forward{};
  std::array<uint16_t, 65536> code_backward{};
  int32_t name_size = 0;
  int32_t code_size = 0;

  Tables() {
    for (uint32_t u = 0; u <= 0xFFFF; ++u) {
      if (IsForbidden(u)) continue;
      name_forward[u] = static_cast<uint16_t>(name_size);
      name_backward[name_size++] = static_cast<uint16_t>(u);
      if (u == 0x20 || u == 0x2E) continue;
      code_forward[u] = static_cast<uint16_t>(code_size);
      code_backward[code_size++] = static_cast<uint16_t>(u);
    }
  }
};

// Built once, on first use, so no lookup can see an unbuilt table.
const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

}  // namespace

bool IsPermittedUnit(char16_t unit) { return !IsForbidden(unit); }
int32_t NameAlphabetSize() { return GetTables().name_size; }
int32_t CodeAlphabetSize() { return GetTables().code_size; }
uint16_t NameIndexOf(char16_t unit) { return GetTables().name_forward[unit]; }
char16_t NameCharAt(uint16_t index) {
  return static_cast<char16_t>(GetTables().name_backward[index]);
}
uint16_t CodeIndexOf(char16_t unit) { return GetTables().code_forward[unit]; }
char16_t CodeCharAt(uint16_t index) {
  return static_cast<char16_t>(GetTables().code_backward[index]);
}

}  // namespace velmora
