// The journalled transform of a file large enough to be shared by several
// threads: the bytes, the journal's page digests and the byte counter, on
// success and when a read or a write fails in any thread's group.

#include "state/journaled_transform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "platform/fault_injection.h"
#include "platform/wtf8.h"
#include "state/page_digest.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::state {
namespace {

using velmora::testing::RandomContents;
using velmora::testing::ReadFile;
using velmora::testing::ScopedStateHome;
using velmora::testing::TempDir;
using velmora::testing::WriteFile;

// Several groups and a partial page at the end.
constexpr int64_t kSize = 9 * kGroupBytes + kGroupBytes / 2 + 100;

class JournaledTransformTest : public ::testing::Test {
 protected:
  JournaledTransformTest() : contents_(RandomContents(kSize, 7)) {
    ::setenv("VELMORA_SYNC", "0", 1);
    crypter_.SetPassword(u"a password");
    path_ = dir_.path() + "/big.bin";
    WriteFile(path_, contents_);
  }
  ~JournaledTransformTest() override {
    fault_injection::Reset();
    ::unsetenv("VELMORA_SYNC");
  }

  EntryRecord Record() const {
    EntryRecord record;
    record.operation = Direction::kEncrypt;
    record.kind = EntryKind::kRegular;
    record.range_bytes = kWholeRangeBytes;
    record.cipher_size = static_cast<int32_t>(kSize);
    record.size = kSize;
    return record;
  }

  std::string Enciphered() const {
    std::string bytes = contents_;
    ApplyCipher(crypter_, Direction::kEncrypt, reinterpret_cast<uint8_t*>(bytes.data()),
                kSize, 0, static_cast<int32_t>(kSize));
    return bytes;
  }

  TransformOutcome Run(Journal& journal, EntryRecord& record,
                       std::atomic<int64_t>* done) {
    record.id = journal.Begin(record);
    EXPECT_TRUE(journal.Commit());
    return TransformJournaled(crypter_, journal, record, Utf16FromWtf8(path_),
                              PreparedContents{}, done);
  }

  ScopedStateHome state_;
  TempDir dir_;
  Crypter crypter_;
  std::string contents_;
  std::string path_;
};

TEST_F(JournaledTransformTest, EveryPageIsRecordedAndCountedAndTransformed) {
  std::string journal_path;
  std::atomic<int64_t> done{0};
  {
    auto journal = Journal::Start(dir_.path());
    ASSERT_TRUE(journal);
    journal_path = journal->path();
    EntryRecord record = Record();
    EXPECT_EQ(Run(*journal, record, &done), TransformOutcome::kDone);
    journal->End(record.id);
  }
  const std::string enciphered = Enciphered();
  EXPECT_TRUE(ReadFile(path_) == enciphered);
  EXPECT_EQ(done.load(), kSize);

  // The journal holds the digest of every page's enciphered form.
  std::ifstream in(journal_path.substr(0, journal_path.size() - 4) + kDoneSuffix,
                   std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const JournalContents journal = DecodeJournal(bytes.str());
  std::vector<uint64_t> recorded(static_cast<std::size_t>(PageCount(kSize)), 0);
  for (const PageRecord& pages : journal.pages) {
    for (std::size_t i = 0; i < pages.digests.size(); ++i) {
      recorded.at(pages.first_page + i) = pages.digests[i];
    }
  }
  const auto* data = reinterpret_cast<const uint8_t*>(enciphered.data());
  for (int64_t page = 0; page < PageCount(kSize); ++page) {
    const int64_t offset = page * kPageBytes;
    ASSERT_EQ(recorded[static_cast<std::size_t>(page)],
              PageDigest(data + offset, std::min(kPageBytes, kSize - offset)))
        << "page " << page;
  }
}

TEST_F(JournaledTransformTest, AFailureInAnyGroupPutsEveryByteBack) {
  // Reads come in 256 KiB steps and writes in 1 MiB pieces; the failures
  // land in the first group, inside later ones and near the end.
  const struct {
    void (*arm)(int);
    int n;
  } cases[] = {{fault_injection::FailNthRead, 1},  {fault_injection::FailNthRead, 9},
               {fault_injection::FailNthRead, 35}, {fault_injection::FailNthWrite, 1},
               {fault_injection::FailNthWrite, 2}, {fault_injection::FailNthWrite, 4},
               {fault_injection::FailNthWrite, 9}};
  for (const auto& c : cases) {
    std::atomic<int64_t> done{0};
    auto journal = Journal::Start(dir_.path());
    ASSERT_TRUE(journal);
    EntryRecord record = Record();
    c.arm(c.n);
    const TransformOutcome outcome = Run(*journal, record, &done);
    fault_injection::Reset();
    EXPECT_TRUE(outcome == TransformOutcome::kReversed ||
                outcome == TransformOutcome::kUntouched)
        << static_cast<int>(outcome) << " at " << c.n;
    EXPECT_TRUE(ReadFile(path_) == contents_) << c.n;  // no 9 MiB diff
    EXPECT_EQ(done.load(), 0) << c.n;
    journal->End(record.id);
  }
}

TEST_F(JournaledTransformTest, AWriteThatCannotBePutBackLeavesItForRepair) {
  auto journal = Journal::Start(dir_.path());
  ASSERT_TRUE(journal);
  EntryRecord record = Record();
  fault_injection::FailWritesFrom(3);
  EXPECT_EQ(Run(*journal, record, nullptr), TransformOutcome::kLeftForRepair);
  fault_injection::Reset();
  EXPECT_TRUE(ReadFile(path_) != contents_);
}

}  // namespace
}  // namespace velmora::state
