// The journal's records and how they are laid out in the file.
//
// A journal file is a sequence of frames:
//   u32 payload length | u32 check of (type, payload) | u8 type | payload
// (the check is the low 32 bits of XXH3-64)
// all little-endian. A reader stops at the first frame that is cut short
// or fails its check: that is where a crash ended the writing.
#ifndef VELMORA_STATE_JOURNAL_FORMAT_H_
#define VELMORA_STATE_JOURNAL_FORMAT_H_

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/direction.h"

namespace velmora::state {

// Bytes covered by one page digest.
constexpr int64_t kPageBytes = 4096;

enum class EntryKind : uint8_t { kRegular = 0, kDirectory = 1, kOther = 2 };

// What a run is about to do to one entry, and how the entry was before.
struct EntryRecord {
  uint64_t id = 0;
  Direction operation = Direction::kEncrypt;
  EntryKind kind = EntryKind::kOther;
  int32_t range_bytes = 0;  // bytes of the class range
  int32_t cipher_size = 0;  // the size the key stream uses
  int64_t size = 0;
  uint32_t mode = 0;
  timespec access_time{};
  timespec modify_time{};
  uint64_t device = 0;
  uint64_t inode = 0;
  std::string folder;  // bytes, as the kernel takes them
  std::string source;  // the name the entry has before
  std::string target;  // the name it gets
};

// Digests of pages [first_page, first_page + digests.size()) of an entry,
// each of the page's enciphered form.
struct PageRecord {
  uint64_t id = 0;
  uint64_t first_page = 0;
  std::vector<uint64_t> digests;
};

enum class FrameType : uint8_t {
  kHeader = 'H',
  kBegin = 'B',
  kPages = 'P',
  kEnd = 'E',
};

struct JournalHeader {
  std::string boot_id;
  std::string tree;
};

// Appends one encoded frame to |out|.
void EncodeHeader(const JournalHeader& header, std::string* out);
void EncodeBegin(const EntryRecord& record, std::string* out);
// The same with |id| for record.id.
void EncodeBegin(const EntryRecord& record, uint64_t id, std::string* out);
void EncodePages(uint64_t id, uint64_t first_page, const uint64_t* digests, std::size_t count,
                 std::string* out);
void EncodeEnd(uint64_t id, std::string* out);

// Everything a journal file holds, up to its first damaged frame.
struct JournalContents {
  bool has_header = false;
  JournalHeader header;
  std::vector<EntryRecord> entries;  // in the order written
  std::vector<PageRecord> pages;
  std::vector<uint64_t> ended;
  // Bytes up to the first frame that is torn or fails its check: what
  // follows is ignored, so anything appended later must start here.
  std::size_t valid_bytes = 0;
};
JournalContents DecodeJournal(const std::string& bytes);

// The kernel's id of this boot: a journal written in another boot may
// have lost every write that was not flushed.
std::string CurrentBootId();

}  // namespace velmora::state

#endif  // VELMORA_STATE_JOURNAL_FORMAT_H_
