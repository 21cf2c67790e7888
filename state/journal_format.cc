#include "state/journal_format.h"

#include <xxhash.h>
#if defined(__x86_64__)
// The same hash, by the fastest vector unit the processor has.
#include <xxh_x86dispatch.h>
#endif

#include <cstring>

#include "state/state_folder.h"

namespace velmora::state {
namespace {

// Appends little-endian fields to a frame being written.
class Writer {
 public:
  explicit Writer(std::string* out) : out_(out) {}
  void U8(uint8_t v) { out_->push_back(static_cast<char>(v)); }
  void U32(uint32_t v) { Little(v, 4); }
  void U64(uint64_t v) { Little(v, 8); }
  void Bytes(const std::string& s) {
    U32(static_cast<uint32_t>(s.size()));
    out_->append(s);
  }
  void Time(const timespec& t) {
    U64(static_cast<uint64_t>(t.tv_sec));
    U32(static_cast<uint32_t>(t.tv_nsec));
  }

 private:
  void Little(uint64_t v, int bytes) {
    char b[8];
    for (int i = 0; i < bytes; ++i) b[i] = static_cast<char>(v >> (8 * i));
    out_->append(b, static_cast<std::size_t>(bytes));
  }
  std::string* out_;
};

class Reader {
 public:
  Reader(const char* data, std::size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  bool done() const { return at_ == size_; }
  uint8_t U8() {
    if (at_ + 1 > size_) return Fail();
    return static_cast<uint8_t>(data_[at_++]);
  }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(U8()) << (8 * i);
    return v;
  }
  uint64_t U64() {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(U8()) << (8 * i);
    return v;
  }
  std::string Bytes() {
    const uint32_t length = U32();
    if (!ok_ || length > size_ - at_) return Fail(), std::string();
    std::string s(data_ + at_, length);
    at_ += length;
    return s;
  }
  timespec Time() {
    timespec t{};
    t.tv_sec = static_cast<time_t>(U64());
    t.tv_nsec = static_cast<long>(U32());
    return t;
  }

 private:
  uint8_t Fail() {
    ok_ = false;
    at_ = size_;
    return 0;
  }
  const char* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

// The low 32 bits of XXH3-64: a torn or stale frame fails it, and it reads
// at memory speed, so looking through many journals costs little.
uint32_t Check(const char* bytes, std::size_t length) {
  return static_cast<uint32_t>(XXH3_64bits(bytes, length));
}

// Appends a frame of |type| whose payload |fill| writes, straight into
// |out|: its length and check are filled in once the payload is there.
template <typename Fill>
void Frame(FrameType type, std::string* out, const Fill& fill) {
  const std::size_t head = out->size();
  out->append(8, '\0');
  const std::size_t body = out->size();
  out->push_back(static_cast<char>(type));
  Writer payload(out);
  fill(payload);
  const uint32_t length = static_cast<uint32_t>(out->size() - body - 1);
  const uint32_t check = Check(out->data() + body, out->size() - body);
  for (int i = 0; i < 4; ++i) {
    (*out)[head + i] = static_cast<char>(length >> (8 * i));
    (*out)[head + 4 + i] = static_cast<char>(check >> (8 * i));
  }
}

}  // namespace

void EncodeHeader(const JournalHeader& header, std::string* out) {
  Frame(FrameType::kHeader, out, [&](Writer& w) {
    w.U32(1);  // format version
    w.Bytes(header.boot_id);
    w.Bytes(header.tree);
  });
}

void EncodeBegin(const EntryRecord& r, std::string* out) { EncodeBegin(r, r.id, out); }

void EncodeBegin(const EntryRecord& r, uint64_t id, std::string* out) {
  Frame(FrameType::kBegin, out, [&](Writer& w) {
    w.U64(id);
    w.U8(static_cast<uint8_t>(r.operation));
    w.U8(static_cast<uint8_t>(r.kind));
    w.U32(static_cast<uint32_t>(r.range_bytes));
    w.U32(static_cast<uint32_t>(r.cipher_size));
    w.U64(static_cast<uint64_t>(r.size));
    w.U32(r.mode);
    w.Time(r.access_time);
    w.Time(r.modify_time);
    w.U64(r.device);
    w.U64(r.inode);
    w.Bytes(r.folder);
    w.Bytes(r.source);
    w.Bytes(r.target);
  });
}

void EncodePages(uint64_t id, uint64_t first_page, const uint64_t* digests, std::size_t count,
                 std::string* out) {
  Frame(FrameType::kPages, out, [&](Writer& w) {
    w.U64(id);
    w.U64(first_page);
    w.U32(static_cast<uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) w.U64(digests[i]);
  });
}

void EncodeEnd(uint64_t id, std::string* out) {
  Frame(FrameType::kEnd, out, [&](Writer& w) { w.U64(id); });
}

namespace {

EntryRecord DecodeBegin(Reader& r) {
  EntryRecord e;
  e.id = r.U64();
  e.operation = static_cast<Direction>(r.U8());
  e.kind = static_cast<EntryKind>(r.U8());
  e.range_bytes = static_cast<int32_t>(r.U32());
  e.cipher_size = static_cast<int32_t>(r.U32());
  e.size = static_cast<int64_t>(r.U64());
  e.mode = r.U32();
  e.access_time = r.Time();
  e.modify_time = r.Time();
  e.device = r.U64();
  e.inode = r.U64();
  e.folder = r.Bytes();
  e.source = r.Bytes();
  e.target = r.Bytes();
  return e;
}

// Adds one whole, checked frame's record to |contents|; false for a header
// of a format this build cannot read, which ends the journal.
bool DecodeFrame(FrameType type, Reader& r, uint32_t length, JournalContents* contents) {
  switch (type) {
    case FrameType::kHeader:
      if (r.U32() != 1) return false;
      contents->header.boot_id = r.Bytes();
      contents->header.tree = r.Bytes();
      contents->has_header = r.ok();
      break;
    case FrameType::kBegin: {
      EntryRecord e = DecodeBegin(r);
      if (r.ok()) contents->entries.push_back(std::move(e));
      break;
    }
    case FrameType::kPages: {
      PageRecord p;
      p.id = r.U64();
      p.first_page = r.U64();
      const uint32_t count = r.U32();
      if (!r.ok() || count > length / 8) break;
      p.digests.resize(count);
      for (uint32_t i = 0; i < count; ++i) p.digests[i] = r.U64();
      if (r.ok()) contents->pages.push_back(std::move(p));
      break;
    }
    case FrameType::kEnd: {
      const uint64_t id = r.U64();
      if (r.ok()) contents->ended.push_back(id);
      break;
    }
  }
  return true;
}

}  // namespace

JournalContents DecodeJournal(const std::string& bytes) {
  JournalContents contents;
  std::size_t at = 0;
  while (bytes.size() - at >= 9) {
    Reader head(bytes.data() + at, 8);
    const uint32_t length = head.U32();
    const uint32_t check = head.U32();
    if (length > bytes.size() - at - 9) break;
    const char* body = bytes.data() + at + 8;
    if (Check(body, length + 1) != check) break;
    Reader r(body + 1, length);
    if (!DecodeFrame(static_cast<FrameType>(body[0]), r, length, &contents)) break;
    at += 9 + length;
    contents.valid_bytes = at;
  }
  return contents;
}

std::string CurrentBootId() {
  std::string id;
  if (!ReadWholeFile("/proc/sys/kernel/random/boot_id", &id)) return "unknown";
  while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
  return id;
}

}  // namespace velmora::state
