// The direction of a conversion, shared by the engine and the journal.
#ifndef VELMORA_ENGINE_DIRECTION_H_
#define VELMORA_ENGINE_DIRECTION_H_

#include <cstdint>

namespace velmora {

// The values are those journal records keep: never renumber them.
enum class Direction : uint32_t {
  kEncrypt = 0,
  kDecrypt = 1,
};

constexpr Direction Opposite(Direction direction) {
  return direction == Direction::kEncrypt ? Direction::kDecrypt : Direction::kEncrypt;
}

}  // namespace velmora

#endif  // VELMORA_ENGINE_DIRECTION_H_
