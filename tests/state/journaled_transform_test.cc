// The journaled transform of a file shared by several threads: the bytes,
// the journal's page digests and the byte counter, on success and when a
// read or a write fails in any thread's group.

#include "state/journaled_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/wtf8.h"
#include "state/page_digest.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::state {
namespace {

using velmora::testing::ReadFile;

constexpr int64_t kSize = 9 * kGroupBytes + kGroupBytes / 2 + 100;  // a partial page last

class JournaledTransformTest : public ::testing::Test {
 protected:
  JournaledTransformTest() : contents_(velmora::testing::RandomContents(kSize, 7)) {
    ::setenv("VELMORA_SYNC", "0", 1);
    crypter_.SetPassword(u"a password");
    velmora::testing::WriteFile(path_, contents_);
  }
  ~JournaledTransformTest() override {
    fault_injection::Reset();
    ::unsetenv("VELMORA_SYNC");
  }

  TransformOutcome Run(Journal& journal, EntryRecord& record, std::atomic<int64_t>* done) {
    record.operation = Direction::kEncrypt;
    record.kind = EntryKind::kRegular;
    record.range_bytes = kWholeRangeBytes;
    record.cipher_size = static_cast<int32_t>(kSize);
    record.size = kSize;
    record.id = journal.Begin(record);
    EXPECT_TRUE(journal.Commit());
    return TransformJournaled(crypter_, journal, record, Utf16FromWtf8(path_), PreparedContents{},
                              done);
  }

  velmora::testing::ScopedStateHome state_;
  velmora::testing::TempDir dir_;
  Crypter crypter_;
  const std::string contents_;
  const std::string path_ = dir_.path() + "/big.bin";
};

TEST_F(JournaledTransformTest, EveryPageIsRecordedAndCountedAndTransformed) {
  std::string journal_path;
  std::atomic<int64_t> done{0};
  {
    auto journal = Journal::Start(dir_.path());
    ASSERT_TRUE(journal);
    journal_path = journal->path();
    EntryRecord record;
    EXPECT_EQ(Run(*journal, record, &done), TransformOutcome::kDone);
    journal->End(record.id);
  }
  std::string enciphered = contents_;
  ApplyCipher(crypter_, Direction::kEncrypt, reinterpret_cast<uint8_t*>(enciphered.data()), kSize,
              0, static_cast<int32_t>(kSize));
  EXPECT_TRUE(ReadFile(path_) == enciphered);
  EXPECT_EQ(done.load(), kSize);
  // The journal holds the digest of every page's enciphered form.
  const JournalContents journal =
      DecodeJournal(ReadFile(journal_path.substr(0, journal_path.size() - 4) + kDoneSuffix));
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

TEST_F(JournaledTransformTest, AFailureInAnyGroupPutsEveryByteBackOrLeavesItForRepair) {
  // Reads come in 256 KiB steps and writes in 1 MiB pieces: failures in the
  // first group, inside later ones and near the end.
  const struct {
    void (*arm)(int);
    int n;
    TransformOutcome outcome;  // kReversed also stands for kUntouched
  } cases[] = {{fault_injection::FailNthRead, 1, TransformOutcome::kReversed},
               {fault_injection::FailNthRead, 9, TransformOutcome::kReversed},
               {fault_injection::FailNthRead, 35, TransformOutcome::kReversed},
               {fault_injection::FailNthWrite, 1, TransformOutcome::kReversed},
               {fault_injection::FailNthWrite, 2, TransformOutcome::kReversed},
               {fault_injection::FailNthWrite, 4, TransformOutcome::kReversed},
               {fault_injection::FailNthWrite, 9, TransformOutcome::kReversed},
               {fault_injection::FailWritesFrom, 3, TransformOutcome::kLeftForRepair}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    std::atomic<int64_t> done{0};
    auto journal = Journal::Start(dir_.path());
    ASSERT_TRUE(journal);
    EntryRecord record;
    c.arm(c.n);
    const TransformOutcome outcome = Run(*journal, record, &done);
    fault_injection::Reset();
    if (c.outcome == TransformOutcome::kLeftForRepair) {
      EXPECT_EQ(outcome, c.outcome);
      EXPECT_TRUE(ReadFile(path_) != contents_);
      continue;
    }
    EXPECT_TRUE(outcome == TransformOutcome::kReversed || outcome == TransformOutcome::kUntouched)
        << static_cast<int>(outcome);
    EXPECT_TRUE(ReadFile(path_) == contents_);  // no 9 MiB diff
    EXPECT_EQ(done.load(), 0);
    journal->End(record.id);
  }
}

}  // namespace
}  // namespace velmora::state
