// Digests of file pages, for telling after a crash which state each page of
// a file is in, old or new, and for seeing a page torn between the two.
// 64 bits of XXH3 per 4 KiB page, over the first 16 bytes of each of its
// 512-byte sectors: a sixteenth of the bytes, so it costs next to nothing
// beside the cipher, yet no page can be in two states with one digest.
#ifndef VELMORA_STATE_PAGE_DIGEST_H_
#define VELMORA_STATE_PAGE_DIGEST_H_

#include <cstdint>
#include <vector>

#include "state/journal_format.h"

namespace velmora::state {

// The digest of |count| bytes (a page, or the last part of one; |count| at
// most kPageBytes).
uint64_t PageDigest(const uint8_t* bytes, int64_t count);

// Appends the digests of |count| bytes, cut into pages from |bytes| on;
// |bytes| must start a page.
void AppendPageDigests(const uint8_t* bytes, int64_t count, std::vector<uint64_t>* digests);

// Pages of |bytes| bytes: the last one may be partial.
inline int64_t PageCount(int64_t bytes) { return (bytes + kPageBytes - 1) / kPageBytes; }

}  // namespace velmora::state

#endif  // VELMORA_STATE_PAGE_DIGEST_H_
