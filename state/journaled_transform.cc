#include "state/journaled_transform.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>

#include "platform/in_place_file.h"
#include "state/helper_thread.h"
#include "state/page_digest.h"

namespace velmora::state {
namespace {

// Files from this size on are transformed on two threads.
constexpr int64_t kSplitFrom = 1048576;

uint32_t Opposite(uint32_t operation) {
  return operation == OP_ENCRYPT ? OP_DECRYPT : OP_ENCRYPT;
}

// True when |digests| for pages from |first_page| on are already durable.
bool AlreadyRecorded(const std::vector<uint64_t>& durable, int64_t first_page,
                     const std::vector<uint64_t>& digests) {
  const auto first = static_cast<std::size_t>(first_page);
  if (durable.size() < first + digests.size()) return false;
  return std::equal(digests.begin(), digests.end(), durable.begin() + first);
}

// Two buffers: while the journal flushes one group's digests on its own
// thread, the next group is read and transformed; a group is written only
// once its digests are durable.
class Transform {
 public:
  Transform(Crypter& crypter, Journal& journal, const EntryRecord& record,
            InPlaceFile& file, int64_t end)
      : crypter_(crypter),
        journal_(journal),
        record_(record),
        file_(file),
        end_(end),
        group_bytes_(std::min(end, kGroupBytes)) {
    for (Group& group : groups_) {
      group.bytes.reset(new uint8_t[static_cast<std::size_t>(group_bytes_)]);
    }
    // A second core reads and transforms half of each group of a large
    // file; starting a thread is not worth it for a small one.
    if (end >= kSplitFrom && std::thread::hardware_concurrency() > 1) {
      helper_ = std::make_unique<HelperThread>();
    }
  }

  TransformOutcome Run(const std::vector<uint64_t>& durable,
                       const std::vector<uint8_t>& read_ahead) {
    std::vector<uint64_t> digests;
    Group* waiting = nullptr;  // transformed, to be written once durable
    int next = 0;
    for (int64_t offset = 0; offset < end_; offset += group_bytes_) {
      Group& group = groups_[next];
      next = 1 - next;
      group.offset = offset;
      group.count = std::min(group_bytes_, end_ - offset);
      digests.clear();
      if (offset == 0 && static_cast<int64_t>(read_ahead.size()) == group.count) {
        std::copy(read_ahead.begin(), read_ahead.end(), group.bytes.get());
        TransformRange(group, 0, group.count, false, &digests);
      } else if (!ReadAndTransform(group, &digests)) {
        // Nothing of the waiting group is written yet.
        return Fail(waiting != nullptr ? waiting->offset : offset, nullptr, 0,
                    TransformOutcome::kReversed);
      }
      const int64_t first_page = offset / kPageBytes;
      group.ticket = 0;
      if (!AlreadyRecorded(durable, first_page, digests)) {
        journal_.Pages(record_.id, static_cast<uint64_t>(first_page),
                       digests.data(), digests.size());
        group.ticket = journal_.CommitAsync();
      }
      if (waiting != nullptr) {
        const TransformOutcome written = Write(*waiting);
        if (written != TransformOutcome::kDone) return written;
      }
      waiting = &group;
    }
    return waiting != nullptr ? Write(*waiting) : TransformOutcome::kDone;
  }

 private:
  struct Group {
    std::unique_ptr<uint8_t[]> bytes;
    int64_t offset = 0;
    int64_t count = 0;
    uint64_t ticket = 0;
  };

  void Apply(uint32_t operation, uint8_t* bytes, int64_t count, int64_t offset) {
    ApplyCipher(crypter_, operation, bytes, count, offset, record_.cipher_size);
  }

  // Bytes [from, to) of |group| (page-aligned |from|): read them unless
  // they are there, transform them, append their pages' digests (of the
  // enciphered form). False when the read fails.
  bool TransformRange(Group& group, int64_t from, int64_t to, bool read,
                 std::vector<uint64_t>* digests) {
    uint8_t* bytes = group.bytes.get() + from;
    const int64_t count = to - from;
    const int64_t offset = group.offset + from;
    if (read && file_.ReadAt(bytes, count, offset) != count) return false;
    const bool encrypt = record_.operation == OP_ENCRYPT;
    if (!encrypt) AppendPageDigests(bytes, count, digests);
    Apply(record_.operation, bytes, count, offset);
    if (encrypt) AppendPageDigests(bytes, count, digests);
    return true;
  }

  // The whole group, split between this thread and the helper where there
  // is one: a byte's key depends only on its position, so the halves are
  // independent.
  bool ReadAndTransform(Group& group, std::vector<uint64_t>* digests) {
    const int64_t half = group.count / 2 / kPageBytes * kPageBytes;
    if (!helper_ || half == 0) return TransformRange(group, 0, group.count, true, digests);
    std::vector<uint64_t>& second = second_digests_;
    second.clear();
    bool second_read = false;
    helper_->Start([&] { second_read = TransformRange(group, half, group.count, true, &second); });
    const bool first_read = TransformRange(group, 0, half, true, digests);
    helper_->Wait();
    digests->insert(digests->end(), second.begin(), second.end());
    return first_read && second_read;
  }

  // Writes a transformed group once its digests are durable.
  TransformOutcome Write(Group& group) {
    if (group.ticket != 0 && !journal_.WaitDurable(group.ticket)) {
      return Fail(group.offset, nullptr, 0, TransformOutcome::kJournalFailed);
    }
    for (int64_t at = 0; at < group.count; at += kChunkBytes) {
      const int64_t piece = std::min<int64_t>(kChunkBytes, group.count - at);
      if (!file_.WriteAt(group.bytes.get() + at, piece, group.offset + at)) {
        // The group's bytes back in their old state, for the reversal.
        Apply(Opposite(record_.operation), group.bytes.get(), group.count,
              group.offset);
        return Fail(group.offset, group.bytes.get(), at + piece,
                    TransformOutcome::kReversed);
      }
      crypter_.ShowProgress(group.offset + at + piece, record_.cipher_size);
    }
    return TransformOutcome::kDone;
  }

  // Puts back every group before |group_offset| and the first |attempted|
  // bytes from there, whose old state |old_bytes| holds.
  TransformOutcome Fail(int64_t group_offset, const uint8_t* old_bytes,
                        int64_t attempted, TransformOutcome reversed) {
    if (group_offset == 0 && attempted == 0) {
      return reversed == TransformOutcome::kJournalFailed
                 ? TransformOutcome::kJournalFailed
                 : TransformOutcome::kUntouched;
    }
    if (attempted > 0 && !file_.WriteAt(old_bytes, attempted, group_offset)) {
      return TransformOutcome::kLeftForRepair;
    }
    uint8_t* bytes = groups_[0].bytes.get();
    if (bytes == old_bytes) bytes = groups_[1].bytes.get();
    for (int64_t offset = 0; offset < group_offset; offset += group_bytes_) {
      const int64_t count = std::min(group_bytes_, group_offset - offset);
      if (file_.ReadAt(bytes, count, offset) != count) {
        return TransformOutcome::kLeftForRepair;
      }
      Apply(Opposite(record_.operation), bytes, count, offset);
      if (!file_.WriteAt(bytes, count, offset)) {
        return TransformOutcome::kLeftForRepair;
      }
    }
    crypter_.ShowProgress(0, record_.cipher_size);
    return reversed;
  }

  Crypter& crypter_;
  Journal& journal_;
  const EntryRecord& record_;
  InPlaceFile& file_;
  const int64_t end_;
  const int64_t group_bytes_;
  Group groups_[2];
  std::unique_ptr<HelperThread> helper_;
  std::vector<uint64_t> second_digests_;
};

}  // namespace

void ApplyCipher(const Crypter& crypter, uint32_t operation, uint8_t* bytes,
                 int64_t count, int64_t offset, int32_t cipher_size) {
  crypter.TransformBufferAs(operation, bytes, static_cast<int32_t>(count),
                            static_cast<int32_t>(offset), cipher_size);
}

void EncipheredPageDigests(Crypter& crypter, const EntryRecord& record,
                           uint8_t* bytes, int64_t count, int64_t offset,
                           std::vector<uint64_t>* digests) {
  if (record.operation == OP_DECRYPT) {
    AppendPageDigests(bytes, count, digests);
    return;
  }
  ApplyCipher(crypter, OP_ENCRYPT, bytes, count, offset, record.cipher_size);
  AppendPageDigests(bytes, count, digests);
  ApplyCipher(crypter, OP_DECRYPT, bytes, count, offset, record.cipher_size);
}

TransformOutcome TransformJournaled(Crypter& crypter, Journal& journal,
                                    const EntryRecord& record,
                                    const std::u16string& path,
                                    const PreparedContents& prepared) {
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
  crypter.ShowProgress(0, record.cipher_size);
  const int64_t end = std::min<int64_t>(record.range_bytes, record.size);
  if (end <= 0) return TransformOutcome::kDone;
  Transform transform(crypter, journal, record, *file, end);
  return transform.Run(prepared.durable_digests, prepared.bytes);
}

}  // namespace velmora::state
