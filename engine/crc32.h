// The CRC-32 register update and the key stream drawn from its table.
//
// The table is the standard one of the reflected CRC-32 (polynomial
// 0xEDB88320). Laid out as 1024 little-endian bytes it is also the key
// stream: the name cipher reads it as 512 16-bit words, the content cipher as
// 1024 bytes. Both ciphers' formats depend on it.
#ifndef VELMORA_ENGINE_CRC32_H_
#define VELMORA_ENGINE_CRC32_H_

#include <cstdint>

namespace velmora {

// Entry |n| of the CRC-32 table.
uint32_t CrcTableEntry(int n);

// Runs the register over |length| bytes from |initial|; a length of 0 or less
// returns |initial|. The result is not complemented.
uint32_t CrcUpdate(const void* bytes, int32_t length, uint32_t initial);

// Word (x & 0x1FF) of the table's 16-bit view.
uint16_t KeyWord(uint32_t x);

// Byte (x & 0x3FF) of the table's 8-bit view.
uint8_t KeyByte(uint32_t x);

}  // namespace velmora

#endif  // VELMORA_ENGINE_CRC32_H_
