// The content cipher: the fast transform against the definition.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/crypter.h"
#include "tests/support/reference_transform.h"
#include "tests/support/tree.h"

namespace velmora {
namespace {

using testing::ReferenceTransformBuffer;

std::string Random(std::size_t size, uint32_t seed) { return testing::RandomContents(size, seed); }

uint8_t* Bytes(std::string& s) { return reinterpret_cast<uint8_t*>(s.data()); }

TEST(TransformBufferTest, MatchesTheDefinitionForAnyPasswordOffsetAndSize) {
  std::mt19937 random(42);
  for (int length : {1, 2, 3, 5, 16, 255, 1019, 1020}) {
    std::u16string password;
    for (int i = 0; i < length; ++i) password.push_back(char16_t(1 + random() % 0xFFFE));
    Crypter crypter;
    crypter.SetPassword(password);
    for (int trial = 0; trial < 6; ++trial) {
      const int32_t count = static_cast<int32_t>(random() % 5000);
      const int32_t offset = trial == 0 ? 0 : int32_t(random() % 2047) * kChunkBytes;
      const int32_t size = trial == 1 ? kWholeRangeBytes : int32_t(random() % INT32_MAX);
      for (Direction direction : {Direction::kEncrypt, Direction::kDecrypt}) {
        std::string fast = Random(count, random());
        std::string slow = fast;
        crypter.TransformBuffer(direction, Bytes(fast), count, offset, size);
        ReferenceTransformBuffer(crypter, direction, Bytes(slow), count, offset, size);
        ASSERT_EQ(fast, slow) << "length " << length << " count " << count;
      }
    }
  }
}

// Each vector width the processor has, against the definition from a
// chunk's start and against the plain loop anywhere in a file, across
// chunk boundaries included.
TEST(TransformBufferTest, EveryWidthGivesTheSameBytes) {
  std::mt19937 random(7);
  for (CipherWidth width : {CipherWidth::kBaseline, CipherWidth::kAvx2, CipherWidth::kAvx512}) {
    if (!CipherWidthSupported(width)) continue;
    for (int length : {1, 3, 64, 1020}) {
      std::u16string password;
      for (int i = 0; i < length; ++i) password.push_back(char16_t(1 + random() % 0xFFFE));
      Crypter crypter;
      crypter.SetPassword(password);
      for (int trial = 0; trial < 8; ++trial) {
        const int32_t count = static_cast<int32_t>(random() % 9000);
        const int32_t size = int32_t(random() % INT32_MAX);
        const int32_t chunk = int32_t(random() % 2000) * kChunkBytes;
        const Direction direction = trial % 2 == 0 ? Direction::kEncrypt : Direction::kDecrypt;
        std::string fast = Random(count, random());
        std::string slow = fast;
        crypter.TransformBuffer(direction, Bytes(fast), count, chunk, size, width);
        ReferenceTransformBuffer(crypter, direction, Bytes(slow), count, chunk, size);
        ASSERT_EQ(fast, slow) << "width " << int(width) << " length " << length;
        // Anywhere, up to 4 KiB before a chunk's end.
        const int32_t offset = chunk + kChunkBytes - 1 - int32_t(random() % 4096);
        std::string plain = Random(count, random());
        fast = plain;
        crypter.TransformBuffer(direction, Bytes(fast), count, offset, size, width);
        crypter.TransformBuffer(direction, Bytes(plain), count, offset, size,
                                CipherWidth::kBaseline);
        ASSERT_EQ(fast, plain) << "width " << int(width) << " offset " << offset;
      }
    }
  }
}

}  // namespace
}  // namespace velmora
