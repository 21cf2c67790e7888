#include "engine/crc32.h"

#include <array>

namespace velmora {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

uint32_t CrcTableEntry(int n) { return kTable[static_cast<uint8_t>(n)]; }

uint32_t CrcUpdate(const void* bytes, int32_t length, uint32_t initial) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  uint32_t h = initial;
  for (int32_t i = 0; i < length; ++i) h = (h >> 8) ^ kTable[(p[i] ^ h) & 0xFF];
  return h;
}

uint16_t KeyWord(uint32_t x) {
  uint32_t w = x & 0x1FF;
  uint32_t entry = kTable[w / 2];
  return static_cast<uint16_t>((w & 1) ? entry >> 16 : entry & 0xFFFF);
}

uint8_t KeyByte(uint32_t x) {
  uint32_t b = x & 0x3FF;
  return static_cast<uint8_t>(kTable[b / 4] >> (8 * (b % 4)));
}

}  // namespace velmora
