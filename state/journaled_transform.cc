#include "state/journaled_transform.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/helper_thread.h"
#include "platform/in_place_file.h"
#include "platform/large_buffer.h"
#include "state/page_digest.h"

namespace velmora::state {
namespace {

// Bytes read and transformed in one step inside a group, so that the cipher
// and the digests find them still in the core's own cache.
constexpr int64_t kStepBytes = int64_t{256} * 1024;
static_assert(kStepBytes % kPageBytes == 0 && kGroupBytes % kStepBytes == 0);

// True when |digests| for pages from |first_page| on are already durable.
bool AlreadyRecorded(const std::vector<uint64_t>& durable, int64_t first_page,
                     const std::vector<uint64_t>& digests) {
  const auto first = static_cast<std::size_t>(first_page);
  if (durable.size() < first + digests.size()) return false;
  return std::equal(digests.begin(), digests.end(), durable.begin() + first);
}

// Transforms |count| bytes at file |offset| in |record|'s direction and
// appends the digests of their pages' enciphered form: before the cipher
// when deciphering, after it when enciphering.
void TransformAndDigest(const Crypter& crypter, const EntryRecord& record, uint8_t* bytes,
                        int64_t count, int64_t offset, std::vector<uint64_t>* digests) {
  const bool encrypt = record.operation == Direction::kEncrypt;
  if (!encrypt) AppendPageDigests(bytes, count, digests);
  ApplyCipher(crypter, record.operation, bytes, count, offset, record.cipher_size);
  if (encrypt) AppendPageDigests(bytes, count, digests);
}

int ThreadsFor(int64_t groups) {
  if (groups <= 1) return 1;
  const int64_t cores = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<int>(std::min({groups, cores, static_cast<int64_t>(kMaxTransformThreads)}));
}

int SlotsPerThread(int threads) {
  return static_cast<int>(
      std::clamp<int64_t>(kBytesInFlight / (threads * kGroupBytes), 2, kMaxSlotsPerThread));
}

// The range cut into groups; thread t takes groups t, t + threads, ... A
// byte's key depends only on its position, so the groups are independent.
// Each thread has slots_ buffers: it writes a group once the journal has
// flushed its digests, and waits for that flush only when it needs the
// buffer again, so a slow flush rarely holds it up. The first
// failure stops every thread after the step it is on; the caller then puts
// back whatever was written, in any group.
class Transform {
 public:
  Transform(const Crypter& crypter, Journal& journal, const EntryRecord& record, InPlaceFile& file,
            int64_t end, std::atomic<int64_t>* bytes_done, const TransformProgress& progress)
      : crypter_(crypter),
        progress_(progress),
        journal_(journal),
        record_(record),
        file_(file),
        end_(end),
        group_bytes_(std::min(end, kGroupBytes)),
        groups_((end + group_bytes_ - 1) / group_bytes_),
        threads_(ThreadsFor(groups_)),
        slots_(SlotsPerThread(threads_)),
        workers_(static_cast<std::size_t>(threads_)),
        written_(static_cast<std::size_t>(groups_), 0),
        bytes_done_(bytes_done) {}

  TransformOutcome Run(const std::vector<uint64_t>& durable,
                       const std::vector<uint8_t>& read_ahead) {
    AllocateSlots();
    {
      std::vector<std::unique_ptr<HelperThread>> helpers;
      for (int t = 1; t < threads_; ++t) {
        helpers.push_back(std::make_unique<HelperThread>());
        helpers.back()->Start([this, t, &durable, &read_ahead] { Work(t, durable, read_ahead); });
      }
      Work(0, durable, read_ahead);
      for (auto& helper : helpers) helper->Wait();
    }
    if (failure_ != TransformOutcome::kDone) return PutBack();
    if (shown_ != end_) Show(end_);
    return TransformOutcome::kDone;
  }

 private:
  struct Slot {
    uint8_t* bytes = nullptr;
    int64_t group = 0;
    int64_t offset = 0;
    int64_t count = 0;
    uint64_t ticket = 0;
  };
  struct Worker {
    Slot slots[kMaxSlotsPerThread];
  };
  // A group whose write failed part-way: its first |attempted| bytes may
  // be in either state; |slot| holds their old state.
  struct Torn {
    const Slot* slot;
    int64_t attempted;
  };

  void Apply(Direction direction, uint8_t* bytes, int64_t count, int64_t offset) {
    ApplyCipher(crypter_, direction, bytes, count, offset, record_.cipher_size);
  }

  bool Stopped() const { return stopped_.load(std::memory_order_relaxed); }

  void Stop(TransformOutcome outcome) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure_ == TransformOutcome::kDone) failure_ = outcome;
    stopped_ = true;
  }

  void Work(int t, const std::vector<uint64_t>& durable, const std::vector<uint8_t>& read_ahead) {
    Worker& worker = workers_[static_cast<std::size_t>(t)];
    std::vector<uint64_t> digests;
    // This thread's groups are t, t + threads_, ...; the j-th of them goes
    // to slot j % slots_. Groups are written in that order, each
    // as soon as its digests are durable (while its bytes are likely still
    // in the core's cache), and at the latest when its slot is needed
    // again: then it waits for the flush.
    int64_t next_write = 0;
    int64_t j = 0;
    for (; t + j * threads_ < groups_ && !Stopped(); ++j) {
      while (next_write < j &&
             (j - next_write == slots_ || Flushed(worker.slots[next_write % slots_]))) {
        if (!Write(t, worker.slots[next_write++ % slots_])) return;
      }
      Slot& slot = worker.slots[j % slots_];
      slot.group = t + j * threads_;
      slot.offset = slot.group * group_bytes_;
      slot.count = std::min(group_bytes_, end_ - slot.offset);
      digests.clear();
      if (!Prepare(slot, durable, read_ahead, &digests)) {
        Stop(TransformOutcome::kReversed);
        return;
      }
      const int64_t first_page = slot.offset / kPageBytes;
      slot.ticket = 0;
      if (!AlreadyRecorded(durable, first_page, digests)) {
        journal_.Pages(record_.id, static_cast<uint64_t>(first_page), digests.data(),
                       digests.size());
        slot.ticket = journal_.CommitAsync();
      }
    }
    while (next_write < j && !Stopped()) {
      if (!Write(t, worker.slots[next_write++ % slots_])) return;
    }
  }

  // Every slot's buffer, in one piece: a large file's in huge pages, so
  // that filling them the first time costs few page faults.
  void AllocateSlots() {
    const int64_t per_thread = std::min<int64_t>(slots_, (groups_ + threads_ - 1) / threads_);
    const auto bytes = static_cast<std::size_t>(threads_ * per_thread * group_bytes_);
    uint8_t* memory = nullptr;
    if (bytes >= static_cast<std::size_t>(kGroupBytes)) {
      memory = large_memory_.emplace(bytes).data();
    } else {
      small_memory_.reset(new uint8_t[bytes]);
      memory = small_memory_.get();
    }
    for (int t = 0; t < threads_; ++t) {
      for (int64_t s = 0; s < per_thread; ++s) {
        workers_[static_cast<std::size_t>(t)].slots[s].bytes =
            memory + (t * per_thread + s) * group_bytes_;
      }
    }
  }

  bool Flushed(const Slot& slot) const { return slot.ticket == 0 || journal_.Flushed(slot.ticket); }

  // Reads |slot|'s group and transforms it, or takes it transformed from
  // what was read ahead; appends its pages' digests (of the enciphered
  // form). False when a read fails.
  bool Prepare(Slot& slot, const std::vector<uint64_t>& durable,
               const std::vector<uint8_t>& read_ahead, std::vector<uint64_t>* digests) {
    if (slot.offset == 0 && static_cast<int64_t>(read_ahead.size()) == slot.count) {
      std::copy(read_ahead.begin(), read_ahead.end(), slot.bytes);
      // Recorded when the bytes were transformed ahead.
      const auto pages = static_cast<std::size_t>(PageCount(slot.count));
      assert(durable.size() >= pages);
      if (durable.size() < pages) return false;  // nothing is written then
      digests->assign(durable.begin(), durable.begin() + static_cast<std::ptrdiff_t>(pages));
      return true;
    }
    for (int64_t from = 0; from < slot.count; from += kStepBytes) {
      uint8_t* bytes = slot.bytes + from;
      const int64_t count = std::min(kStepBytes, slot.count - from);
      const int64_t offset = slot.offset + from;
      if (file_.ReadAt(bytes, count, offset) != count) return false;
      TransformAndDigest(crypter_, record_, bytes, count, offset, digests);
    }
    return true;
  }

  // Writes a prepared group once its digests are durable. False when it
  // failed (and every thread is told to stop).
  bool Write(int t, Slot& slot) {
    if (slot.ticket != 0 && !journal_.WaitDurable(slot.ticket)) {
      Stop(TransformOutcome::kJournalFailed);
      return false;
    }
    int64_t& written = written_[static_cast<std::size_t>(slot.group)];
    for (int64_t at = 0; at < slot.count; at += kChunkBytes) {
      const int64_t piece = std::min<int64_t>(kChunkBytes, slot.count - at);
      if (!file_.WriteAt(slot.bytes + at, piece, slot.offset + at)) {
        // The group's bytes back in their old state, for the put back.
        Apply(Opposite(record_.operation), slot.bytes, at + piece, slot.offset);
        {
          std::lock_guard<std::mutex> lock(mutex_);
          torn_.push_back({&slot, at + piece});
        }
        Stop(TransformOutcome::kReversed);
        return false;
      }
      written = at + piece;
      const int64_t done = done_.fetch_add(piece) + piece;
      if (bytes_done_ != nullptr) bytes_done_->fetch_add(piece);
      // Progress is told on the caller's thread only.
      if (t == 0) {
        Show(done);
      }
    }
    return true;
  }

  // After a failure, with every thread stopped: puts back every byte
  // written.
  TransformOutcome PutBack() {
    const bool any_written = !torn_.empty() || std::any_of(written_.begin(), written_.end(),
                                                           [](int64_t n) { return n > 0; });
    if (!any_written) {
      return failure_ == TransformOutcome::kJournalFailed ? TransformOutcome::kJournalFailed
                                                          : TransformOutcome::kUntouched;
    }
    for (const Torn& torn : torn_) {
      if (!file_.WriteAt(torn.slot->bytes, torn.attempted, torn.slot->offset)) {
        return TransformOutcome::kLeftForRepair;
      }
      written_[static_cast<std::size_t>(torn.slot->group)] = 0;
    }
    std::unique_ptr<uint8_t[]> bytes;
    for (int64_t group = 0; group < groups_; ++group) {
      const int64_t count = written_[static_cast<std::size_t>(group)];
      if (count == 0) continue;
      if (!bytes) bytes.reset(new uint8_t[static_cast<std::size_t>(group_bytes_)]);
      const int64_t offset = group * group_bytes_;
      if (file_.ReadAt(bytes.get(), count, offset) != count) {
        return TransformOutcome::kLeftForRepair;
      }
      Apply(Opposite(record_.operation), bytes.get(), count, offset);
      if (!file_.WriteAt(bytes.get(), count, offset)) {
        return TransformOutcome::kLeftForRepair;
      }
    }
    if (bytes_done_ != nullptr) bytes_done_->fetch_sub(done_.load());
    Show(0);
    return failure_;
  }

  // On the caller's thread only.
  void Show(int64_t done) {
    if (progress_) progress_(done, record_.cipher_size);
    shown_ = done;
  }

  const Crypter& crypter_;
  const TransformProgress& progress_;
  Journal& journal_;
  const EntryRecord& record_;
  InPlaceFile& file_;
  const int64_t end_;
  const int64_t group_bytes_;
  const int64_t groups_;
  const int threads_;
  const int slots_;  // buffers per thread
  std::vector<Worker> workers_;
  std::optional<LargeBuffer> large_memory_;
  std::unique_ptr<uint8_t[]> small_memory_;
  // Bytes of each group written so far; each entry is written only by the
  // thread that owns the group, and read once the threads are done.
  std::vector<int64_t> written_;
  std::atomic<int64_t>* const bytes_done_;
  std::atomic<int64_t> done_{0};
  int64_t shown_ = 0;  // caller's thread only
  std::atomic<bool> stopped_{false};
  std::mutex mutex_;
  TransformOutcome failure_ = TransformOutcome::kDone;  // under mutex_
  std::vector<Torn> torn_;                              // under mutex_
};

}  // namespace

void ApplyCipher(const Crypter& crypter, Direction direction, uint8_t* bytes, int64_t count,
                 int64_t offset, int32_t cipher_size) {
  crypter.TransformBuffer(direction, bytes, static_cast<int32_t>(count),
                          static_cast<int32_t>(offset), cipher_size);
}

void TransformAhead(const Crypter& crypter, const EntryRecord& record, uint8_t* bytes,
                    int64_t count, std::vector<uint64_t>* digests) {
  TransformAndDigest(crypter, record, bytes, count, 0, digests);
}

TransformOutcome TransformJournaled(const Crypter& crypter, Journal& journal,
                                    const EntryRecord& record, const std::u16string& path,
                                    const PreparedContents& prepared,
                                    std::atomic<int64_t>* bytes_done,
                                    const TransformProgress& progress) {
  std::optional<InPlaceFile> opened;
  InPlaceFile* file = prepared.file;
  if (file != nullptr) {
    if (!InPlaceFile::Reused()) return TransformOutcome::kUntouched;
  } else {
    file = &opened.emplace(path);
  }
  if (!file->IsOpen()) return TransformOutcome::kUntouched;
  // Changed since it was recorded: the key would not be the recorded one.
  if (file->Size() != record.size) return TransformOutcome::kUntouched;
  if (progress) progress(0, record.cipher_size);
  const int64_t end = std::min<int64_t>(record.range_bytes, record.size);
  if (end <= 0) return TransformOutcome::kDone;
  Transform transform(crypter, journal, record, *file, end, bytes_done, progress);
  return transform.Run(prepared.durable_digests, prepared.bytes);
}

}  // namespace velmora::state
