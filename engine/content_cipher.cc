// The content cipher of Crypter.
//
// Byte i of a chunk (i counting from 0 in every chunk) at file position p
// gets, for a file of |size| bytes,
//   sum over blocks j of KeyByte(dataKey[j] + i + size)
//   + (p mod 1023) + (low byte of password unit i mod L)      (mod 256)
// added (encrypt) or subtracted (decrypt). The first term depends only on
// (i + size) mod 1024, the last only on i mod L, so both come from tables
// built with the password; the loop below is plain additions over runs in
// which none of the three indices wraps.

#include <algorithm>

#include "engine/crypter.h"

namespace velmora {

void Crypter::TransformBuffer(Direction direction, uint8_t* buffer, int32_t count, int32_t offset,
                              int32_t size) const {
  const CipherKeys& keys = *keys_;
  if (count <= 0 || keys.empty()) return;
  const bool encrypt = direction == Direction::kEncrypt;
  const uint32_t length = static_cast<uint32_t>(keys.password().size());
  int64_t i = 0;
  while (i < count) {
    const int64_t at = static_cast<int64_t>(offset) + i;
    const uint32_t in_chunk = static_cast<uint32_t>(at % kChunkBytes);
    const uint32_t stream_at = (in_chunk + static_cast<uint32_t>(size)) & 1023u;
    const uint32_t position = static_cast<uint32_t>(at % 1023);
    const uint32_t password_at = in_chunk % length;
    // Up to the next wrap of the position term or the next chunk; the
    // tables are long enough that the other two indices never wrap within
    // such a run.
    const int64_t run = std::min<int64_t>({count - i, 1023 - position, kChunkBytes - in_chunk});
    uint8_t* out = buffer + i;
    const uint8_t* stream = keys.key_stream() + stream_at;
    const uint8_t* password = keys.password_bytes() + password_at;
    const uint8_t base = static_cast<uint8_t>(position);
    if (encrypt) {
      for (int64_t k = 0; k < run; ++k) {
        out[k] =
            static_cast<uint8_t>(out[k] + stream[k] + password[k] + static_cast<uint8_t>(base + k));
      }
    } else {
      for (int64_t k = 0; k < run; ++k) {
        out[k] =
            static_cast<uint8_t>(out[k] - stream[k] - password[k] - static_cast<uint8_t>(base + k));
      }
    }
    i += run;
  }
}

}  // namespace velmora
