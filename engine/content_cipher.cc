// The content cipher of Crypter.
//
// Byte i of a chunk (i counting from 0 in every chunk) at file position p
// gets, for a file of |size| bytes,
//   sum over blocks j of KeyByte(dataKey[j] + i + size)
//   + (p mod 1023) + (low byte of password unit i mod L)      (mod 256)
// added (encrypt) or subtracted (decrypt). The first term depends only on
// (i + size) mod 1024, the last only on i mod L, so both come from tables
// built with the password, and the middle one from a constant table; the
// loop below is plain byte additions of three tables over runs in which
// none of the three indices wraps, which vectorises at every width.
//
// The loop is compiled for the baseline and for AVX2, and written out with
// AVX-512's byte masks, so that a run's last bytes need no byte-by-byte
// tail (in 32-byte vectors: 64-byte ones streamed from memory at half the
// speed here). A call takes the widest the processor has unless it names
// one (tests, benchmarks).

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>

#include "engine/crypter.h"

namespace velmora {
namespace {

// The position term's low byte for p mod 1023 = 0 .. 1022: a run reads it
// from its first position on, like the key tables.
constexpr std::array<uint8_t, 1023> kPositionBytes = [] {
  std::array<uint8_t, 1023> bytes{};
  for (std::size_t j = 0; j < bytes.size(); ++j) bytes[j] = static_cast<uint8_t>(j);
  return bytes;
}();

// Adds (or takes off) the sum of three key tables from |run| bytes.
// Byte-wide and free of aliasing, so that the compiler makes whole vector
// adds of it at the width of the function it is inlined into.
template <bool kEncrypt>
struct PlainLoop {
  [[gnu::always_inline]] static inline void Add(uint8_t* __restrict out,
                                                const uint8_t* __restrict stream,
                                                const uint8_t* __restrict password,
                                                const uint8_t* __restrict position, int64_t run) {
    for (int64_t k = 0; k < run; ++k) {
      const auto key = static_cast<uint8_t>(stream[k] + password[k] + position[k]);
      out[k] = static_cast<uint8_t>(kEncrypt ? out[k] + key : out[k] - key);
    }
  }
};

#if defined(__x86_64__)
// The same in 32-byte vectors, the last one masked: masked-off bytes are
// neither read nor written.
template <bool kEncrypt>
struct Avx512Loop {
  [[gnu::target("avx512f,avx512bw,avx512vl")]] static __m256i Keyed(__m256i bytes, __m256i stream,
                                                                    __m256i password,
                                                                    __m256i position) {
    const __m256i key = _mm256_add_epi8(_mm256_add_epi8(stream, password), position);
    return kEncrypt ? _mm256_add_epi8(bytes, key) : _mm256_sub_epi8(bytes, key);
  }

  [[gnu::target("avx512f,avx512bw,avx512vl")]] static void Add(uint8_t* out, const uint8_t* stream,
                                                               const uint8_t* password,
                                                               const uint8_t* position,
                                                               int64_t run) {
    int64_t k = 0;
    for (; k + 32 <= run; k += 32) {
      _mm256_storeu_si256(
          reinterpret_cast<__m256i*>(out + k),
          Keyed(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + k)),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(stream + k)),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(password + k)),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(position + k))));
    }
    if (k == run) return;
    const __mmask32 mask = (__mmask32{1} << (run - k)) - 1;
    _mm256_mask_storeu_epi8(
        out + k, mask,
        Keyed(_mm256_maskz_loadu_epi8(mask, out + k), _mm256_maskz_loadu_epi8(mask, stream + k),
              _mm256_maskz_loadu_epi8(mask, password + k),
              _mm256_maskz_loadu_epi8(mask, position + k)));
  }
};
#endif

// The buffer cut into runs in which no table index wraps.
template <typename Loop>
[[gnu::always_inline]] inline void TransformRuns(const CipherKeys& keys, uint8_t* buffer,
                                                 int32_t count, int32_t offset, int32_t size) {
  const auto length = static_cast<uint32_t>(keys.password().size());
  int64_t i = 0;
  while (i < count) {
    const int64_t at = static_cast<int64_t>(offset) + i;
    const auto in_chunk = static_cast<uint32_t>(at % kChunkBytes);
    const uint32_t stream_at = (in_chunk + static_cast<uint32_t>(size)) & 1023u;
    const auto position = static_cast<uint32_t>(at % 1023);
    const uint32_t password_at = in_chunk % length;
    // Up to the next wrap of the position term or the next chunk; the
    // key tables are long enough that their indices never wrap within
    // such a run.
    const int64_t run = std::min<int64_t>({count - i, 1023 - position, kChunkBytes - in_chunk});
    Loop::Add(buffer + i, keys.key_stream() + stream_at, keys.password_bytes() + password_at,
              kPositionBytes.data() + position, run);
    i += run;
  }
}

template <bool kEncrypt>
void TransformBaseline(const CipherKeys& keys, uint8_t* buffer, int32_t count, int32_t offset,
                       int32_t size) {
  TransformRuns<PlainLoop<kEncrypt>>(keys, buffer, count, offset, size);
}

#if defined(__x86_64__)
template <bool kEncrypt>
[[gnu::target("avx2")]] void TransformAvx2(const CipherKeys& keys, uint8_t* buffer, int32_t count,
                                           int32_t offset, int32_t size) {
  TransformRuns<PlainLoop<kEncrypt>>(keys, buffer, count, offset, size);
}

template <bool kEncrypt>
[[gnu::target("avx512f,avx512bw,avx512vl")]] void TransformAvx512(const CipherKeys& keys,
                                                                  uint8_t* buffer, int32_t count,
                                                                  int32_t offset, int32_t size) {
  TransformRuns<Avx512Loop<kEncrypt>>(keys, buffer, count, offset, size);
}
#endif

CipherWidth Widest() {
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl")) {
    return CipherWidth::kAvx512;
  }
  if (__builtin_cpu_supports("avx2")) return CipherWidth::kAvx2;
#endif
  return CipherWidth::kBaseline;
}

template <bool kEncrypt>
void TransformAt(CipherWidth width, const CipherKeys& keys, uint8_t* buffer, int32_t count,
                 int32_t offset, int32_t size) {
  switch (width == CipherWidth::kWidest ? Widest() : width) {
#if defined(__x86_64__)
    case CipherWidth::kAvx512:
      TransformAvx512<kEncrypt>(keys, buffer, count, offset, size);
      return;
    case CipherWidth::kAvx2:
      TransformAvx2<kEncrypt>(keys, buffer, count, offset, size);
      return;
#endif
    default:
      TransformBaseline<kEncrypt>(keys, buffer, count, offset, size);
      return;
  }
}

}  // namespace

bool CipherWidthSupported(CipherWidth width) {
  return width == CipherWidth::kWidest || width == CipherWidth::kBaseline ||
         (width == CipherWidth::kAvx2 && Widest() != CipherWidth::kBaseline) ||
         (width == CipherWidth::kAvx512 && Widest() == CipherWidth::kAvx512);
}

void Crypter::TransformBuffer(Direction direction, uint8_t* buffer, int32_t count, int32_t offset,
                              int32_t size, CipherWidth width) const {
  const CipherKeys& keys = *keys_;
  if (count <= 0 || keys.empty()) return;
  if (direction == Direction::kEncrypt) {
    TransformAt<true>(width, keys, buffer, count, offset, size);
  } else {
    TransformAt<false>(width, keys, buffer, count, offset, size);
  }
}

}  // namespace velmora
