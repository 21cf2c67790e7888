// Decoding journal files: every frame comes back as written, and a file cut
// short, damaged or followed by garbage reads up to its last intact frame.

#include "state/journal_format.h"

#include <gtest/gtest.h>
#include <xxhash.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/support/tree.h"

namespace velmora::state {
namespace {

using velmora::testing::RandomContents;

// Offsets of the frame header's fields.
constexpr std::size_t kCheckAt = 4;
constexpr std::size_t kTypeAt = 8;

EntryRecord SomeEntry(uint64_t id) {
  EntryRecord r;
  r.id = id;
  r.operation = Direction::kDecrypt;
  r.kind = EntryKind::kRegular;
  r.range_bytes = 8192;
  r.cipher_size = -5;  // a size past 2 GiB, as the key stream sees it
  r.size = 0x123456789aLL;
  r.mode = 0100644;
  r.access_time = {1700000000, 999999999};
  r.modify_time = {-1, 1};
  r.device = 0xfedcba9876543210ULL;
  r.inode = 77 + id;
  r.folder = "/tmp/a tree/\xff\xfe not utf-8";
  r.source = "line\nbreak";
  r.target = std::string("\xc2\xbf\0zero", 7);
  return r;
}

auto Fields(const EntryRecord& r) {
  return std::tuple(r.id, r.operation, r.kind, r.range_bytes, r.cipher_size, r.size, r.mode,
                    r.access_time.tv_sec, r.access_time.tv_nsec, r.modify_time.tv_sec,
                    r.modify_time.tv_nsec, r.device, r.inode, r.folder, r.source, r.target);
}

// A journal of every frame type, with the offset where each frame ends.
struct Sample {
  std::string bytes;
  std::vector<std::size_t> frame_ends;
  JournalHeader header{"0f1e2d3c-boot", "/srv/tree \xe3\x81\x82"};
  EntryRecord first = SomeEntry(1);
  EntryRecord second = SomeEntry(2);
  std::vector<uint64_t> digests = {0, 1, 0xffffffffffffffffULL, 0x0123456789abcdefULL};

  Sample() {
    second.kind = EntryKind::kDirectory;
    second.operation = Direction::kEncrypt;
    second.source.clear();
    EncodeHeader(header, &bytes), Mark();
    EncodeBegin(first, &bytes), Mark();
    EncodePages(first.id, 3, digests.data(), digests.size(), &bytes), Mark();
    EncodePages(first.id, 9, nullptr, 0, &bytes), Mark();
    EncodeBegin(second, &bytes), Mark();
    EncodeEnd(second.id, &bytes), Mark();
    EncodeEnd(first.id, &bytes), Mark();
  }
  void Mark() { frame_ends.push_back(bytes.size()); }
  std::size_t FrameStart(std::size_t frame) const { return frame == 0 ? 0 : frame_ends[frame - 1]; }
};

// What the first |frames| frames of the sample decode to, and nothing more.
void ExpectFirstFrames(const Sample& sample, const JournalContents& contents, std::size_t frames) {
  EXPECT_EQ(contents.valid_bytes, sample.FrameStart(frames));
  EXPECT_EQ(contents.has_header, frames >= 1);
  EXPECT_EQ(contents.entries.size(), (frames >= 2) + (frames >= 5));
  EXPECT_EQ(contents.pages.size(), (frames >= 3) + (frames >= 4));
  EXPECT_EQ(contents.ended.size(), (frames >= 6) + (frames >= 7));
}

// Journals outlive the program that wrote them: a repair after an update
// reads the old bytes, so the encoding stays as it is, byte for byte.
TEST(JournalFormatTest, TheEncodingKeepsItsBytes) {
  const Sample sample;
  EXPECT_EQ(sample.bytes.size(), 425u);
  EXPECT_EQ(XXH3_64bits(sample.bytes.data(), sample.bytes.size()), 11399621738387424078u);
}

TEST(JournalFormatTest, EveryFrameTypeComesBackAsWritten) {
  const Sample sample;
  const JournalContents contents = DecodeJournal(sample.bytes);
  EXPECT_EQ(contents.valid_bytes, sample.bytes.size());
  ASSERT_TRUE(contents.has_header);
  EXPECT_EQ(contents.header.boot_id, sample.header.boot_id);
  EXPECT_EQ(contents.header.tree, sample.header.tree);
  ASSERT_EQ(contents.entries.size(), 2u);
  EXPECT_TRUE(Fields(contents.entries[0]) == Fields(sample.first));
  EXPECT_TRUE(Fields(contents.entries[1]) == Fields(sample.second));
  ASSERT_EQ(contents.pages.size(), 2u);
  EXPECT_EQ(contents.pages[0].id, sample.first.id);
  EXPECT_EQ(contents.pages[0].first_page, 3u);
  EXPECT_EQ(contents.pages[0].digests, sample.digests);
  EXPECT_EQ(contents.pages[1].first_page, 9u);
  EXPECT_TRUE(contents.pages[1].digests.empty());
  EXPECT_EQ(contents.ended, (std::vector<uint64_t>{2, 1}));
}

TEST(JournalFormatTest, AJournalCutShortReadsUpToItsLastWholeFrame) {
  const Sample sample;
  std::size_t whole = 0;
  for (std::size_t cut = 0; cut <= sample.bytes.size(); ++cut) {
    if (whole < sample.frame_ends.size() && sample.frame_ends[whole] == cut) ++whole;
    SCOPED_TRACE("cut at " + std::to_string(cut));
    ExpectFirstFrames(sample, DecodeJournal(sample.bytes.substr(0, cut)), whole);
  }
  EXPECT_EQ(whole, sample.frame_ends.size());
}

// Only the check tells these from a good frame: the length is intact and
// most changed bytes still parse.
TEST(JournalFormatTest, AFrameFailingItsCheckEndsTheJournal) {
  const Sample sample;
  for (std::size_t frame = 0; frame < sample.frame_ends.size(); ++frame) {
    const std::size_t start = sample.FrameStart(frame);
    for (std::size_t at = start + kCheckAt; at < sample.frame_ends[frame]; ++at) {
      for (const uint8_t flip : {0x01, 0x80, 0xff}) {
        std::string bytes = sample.bytes;
        bytes[at] = static_cast<char>(bytes[at] ^ flip);
        SCOPED_TRACE("frame " + std::to_string(frame) + ", byte " + std::to_string(at - start) +
                     " ^ " + std::to_string(flip));
        ExpectFirstFrames(sample, DecodeJournal(bytes), frame);
      }
    }
  }
}

TEST(JournalFormatTest, AFrameWithAnotherKnownTypeFailsItsCheck) {
  const Sample sample;
  for (std::size_t frame = 0; frame < sample.frame_ends.size(); ++frame) {
    const std::size_t at = sample.FrameStart(frame) + kTypeAt;
    for (const char type : {'H', 'B', 'P', 'E'}) {
      if (type == sample.bytes[at]) continue;
      std::string bytes = sample.bytes;
      bytes[at] = type;
      SCOPED_TRACE("frame " + std::to_string(frame) + " as " + type);
      ExpectFirstFrames(sample, DecodeJournal(bytes), frame);
    }
  }
}

TEST(JournalFormatTest, GarbageAfterTheLastFrameIsIgnored) {
  const Sample sample;
  std::string huge_length(9, '\0');
  huge_length[3] = '\x7f';
  std::string short_frame;
  EncodeEnd(9, &short_frame);
  short_frame.pop_back();
  const std::string tails[] = {
      std::string(1, 'E'),
      std::string(9, '\0'),
      std::string(64, '\0'),
      std::string(100, '\xff'),
      huge_length,
      short_frame,
      RandomContents(7, 1),
      RandomContents(4096, 2),
      RandomContents(100000, 3),
  };
  for (const std::string& tail : tails) {
    SCOPED_TRACE(std::to_string(tail.size()) + " bytes of garbage");
    ExpectFirstFrames(sample, DecodeJournal(sample.bytes + tail), sample.frame_ends.size());
  }
  // A whole frame behind the garbage is not read either: it is lost behind
  // the tear, which is why the repair appends at valid_bytes.
  std::string end;
  EncodeEnd(3, &end);
  ExpectFirstFrames(sample, DecodeJournal(sample.bytes + short_frame + end),
                    sample.frame_ends.size());
}

}  // namespace
}  // namespace velmora::state
