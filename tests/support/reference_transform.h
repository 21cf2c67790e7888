// The content cipher written exactly as defined, one table lookup per block
// per byte. Slow on purpose: the oracle for the fast transform and the
// baseline of the benchmark.
#ifndef VELMORA_TESTS_SUPPORT_REFERENCE_TRANSFORM_H_
#define VELMORA_TESTS_SUPPORT_REFERENCE_TRANSFORM_H_

#include <cstdint>

#include "engine/crc32.h"
#include "engine/crypter.h"

namespace velmora::testing {

inline void ReferenceTransformBuffer(const Crypter& crypter, Direction direction,
                                     uint8_t* buffer, int32_t count, int32_t offset,
                                     int32_t size) {
  const int sign = direction == Direction::kEncrypt ? 1 : -1;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t d = 0;
    const CipherKeys& keys = crypter.keys();
    for (int32_t j = 0; j < keys.blocks(); ++j) {
      d += KeyByte(keys.data_key(j) + static_cast<uint32_t>(i) +
                   static_cast<uint32_t>(size));
    }
    d += static_cast<uint32_t>((static_cast<int64_t>(offset) + i) % 1023);
    d += keys.password()[i % keys.password().size()] & 0xFF;
    buffer[i] = static_cast<uint8_t>(buffer[i] + sign * static_cast<int>(d));
  }
}

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_REFERENCE_TRANSFORM_H_
