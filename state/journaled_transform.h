// The content transform of one file, journalled: the digest of every page
// is durable in the journal before the page is written, so at every
// instant the journal and the file together tell which bytes are in which
// state. A failure part-way puts back what was already written.
#ifndef VELMORA_STATE_JOURNALED_TRANSFORM_H_
#define VELMORA_STATE_JOURNALED_TRANSFORM_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/crypter.h"
#include "platform/in_place_file.h"
#include "state/journal.h"

namespace velmora::state {

enum class TransformOutcome {
  kDone,           // the whole class range is transformed
  kUntouched,      // failed before any byte was written
  kReversed,       // failed part-way; every written byte was put back
  kLeftForRepair,  // failed part-way and could not be put back: the journal
                   // keeps the entry for the next run's repair
  kJournalFailed,  // the journal could not be written; nothing was changed
                   // after that point (put back as for kReversed)
};

// Bytes one thread reads, transforms and writes at a time (a group); a
// group's digests are durable before any byte of it is written. A large
// file's groups are shared by as many threads as there are cores, each with
// buffers of a group: a group is written as soon as its flush is done, and
// a thread waits for one only when all its buffers are waiting. Between
// them the threads hold kBytesInFlight (at least 2 and at most
// kMaxSlotsPerThread buffers each): at 2 GB/s, enough to go on working
// through flushes of 4 ms.
constexpr int64_t kGroupBytes = 1048576;
constexpr int64_t kBytesInFlight = int64_t{16} << 20;
constexpr int kMaxSlotsPerThread = 8;

// The most threads one file is transformed on.
constexpr int kMaxTransformThreads = 8;

// What was prepared for an entry ahead of its turn.
struct PreparedContents {
  std::vector<uint64_t> durable_digests;  // from page 0, already durable
  InPlaceFile* file = nullptr;            // opened ahead, or null
  // The whole range read ahead and already transformed by TransformAhead(),
  // or empty: then the transform reads and transforms the file itself.
  std::vector<uint8_t> bytes;
};

// Told, on the transform's calling thread, how far a file is: |done| of
// its |size| key bytes.
using TransformProgress = std::function<void(int64_t done, int32_t size)>;

// Transforms the file at |path| over the range |record| names, in the
// direction of |record.operation|.
// |record| is the entry's journal record (its id, size and cipher size).
// With |prepared|, the file opened ahead is used instead of opening |path|,
// and bytes read ahead instead of reading them again; the caller has made
// sure the file is still what was recorded.
// With |bytes_done|, the bytes written are added to it as they are written
// (and taken off again when they are put back), for a progress display on
// another thread. |progress|, when set, is told at the start, after each
// group and when bytes are put back.
TransformOutcome TransformJournaled(const Crypter& crypter, Journal& journal,
                                    const EntryRecord& record, const std::u16string& path,
                                    const PreparedContents& prepared,
                                    std::atomic<int64_t>* bytes_done = nullptr,
                                    const TransformProgress& progress = {});

// Transforms the |count| bytes read ahead from the start of the file whose
// record is |record| in place, in the record's direction, and appends the
// digests of their pages' enciphered form, which the journal must hold
// before they are written: the one cipher pass these bytes get. Used to
// record a small file ahead of its turn (PreparedContents::bytes).
void TransformAhead(const Crypter& crypter, const EntryRecord& record, uint8_t* bytes,
                    int64_t count, std::vector<uint64_t>* digests);

// Applies the cipher in |direction| to |count| bytes at file
// |offset| of a file of key size |cipher_size|.
void ApplyCipher(const Crypter& crypter, Direction direction, uint8_t* bytes, int64_t count,
                 int64_t offset, int32_t cipher_size);

}  // namespace velmora::state

#endif  // VELMORA_STATE_JOURNALED_TRANSFORM_H_
