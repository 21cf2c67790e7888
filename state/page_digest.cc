#include "state/page_digest.h"

#include <xxhash.h>

#include <algorithm>

namespace velmora::state {

uint64_t PageDigest(const uint8_t* bytes, int64_t count) {
  return XXH3_64bits(bytes, static_cast<std::size_t>(count));
}

void AppendPageDigests(const uint8_t* bytes, int64_t count,
                       std::vector<uint64_t>* digests) {
  for (int64_t at = 0; at < count; at += kPageBytes) {
    digests->push_back(PageDigest(bytes + at, std::min(kPageBytes, count - at)));
  }
}

}  // namespace velmora::state
