#include "state/page_digest.h"

#include <xxhash.h>

#include <algorithm>
#include <cstring>

namespace velmora::state {
namespace {

// A disk writes a sector (512 bytes) whole; a page torn between its old and
// new state is torn at a sector boundary. The first bytes of every sector
// are enough to see such a tear, and to tell a page's states apart: the
// cipher moves every byte by its key byte, and 16 key bytes of 0 in a row
// are a 2^-128 chance.
constexpr int64_t kSectorBytes = 512;
constexpr int64_t kSampleBytes = 16;

}  // namespace

uint64_t PageDigest(const uint8_t* bytes, int64_t count) {
  uint8_t sample[kPageBytes / kSectorBytes * kSampleBytes];
  std::size_t used = 0;
  for (int64_t at = 0; at < count; at += kSectorBytes) {
    const auto take = static_cast<std::size_t>(std::min(kSampleBytes, count - at));
    std::memcpy(sample + used, bytes + at, take);
    used += take;
  }
  return XXH3_64bits(sample, used);
}

void AppendPageDigests(const uint8_t* bytes, int64_t count, std::vector<uint64_t>* digests) {
  for (int64_t at = 0; at < count; at += kPageBytes) {
    digests->push_back(PageDigest(bytes + at, std::min(kPageBytes, count - at)));
  }
}

}  // namespace velmora::state
