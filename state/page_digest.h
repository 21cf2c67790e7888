// Digests of file pages, for telling after a crash which state each page of
// a file is in. 64 bits of XXH3 per 4 KiB page: fast enough to cost little
// next to the cipher, and far too wide for two states to collide by chance.
#ifndef VELMORA_STATE_PAGE_DIGEST_H_
#define VELMORA_STATE_PAGE_DIGEST_H_

#include <cstdint>
#include <vector>

#include "state/journal_format.h"

namespace velmora::state {

// The digest of |count| bytes (a page, or the last part of one).
uint64_t PageDigest(const uint8_t* bytes, int64_t count);

// Appends the digests of |count| bytes, cut into pages from |bytes| on;
// |bytes| must start a page.
void AppendPageDigests(const uint8_t* bytes, int64_t count,
                       std::vector<uint64_t>* digests);

// Pages of |bytes| bytes: the last one may be partial.
inline int64_t PageCount(int64_t bytes) {
  return (bytes + kPageBytes - 1) / kPageBytes;
}

}  // namespace velmora::state

#endif  // VELMORA_STATE_PAGE_DIGEST_H_
