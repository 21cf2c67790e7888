// What the repair decides for an entry in each state a run can leave it
// in, from journals written through the real Journal API and files staged
// in a real tree, the way the transform writes them.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/in_place_file.h"
#include "platform/wtf8.h"
#include "state/journal.h"
#include "state/journaled_transform.h"
#include "state/page_digest.h"
#include "state/recovery.h"
#include "state/state_folder.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::state {
namespace {

using velmora::testing::Names;
using velmora::testing::RandomContents;
using velmora::testing::ReadFile;
using velmora::testing::ScopedStateHome;
using velmora::testing::TempDir;
using velmora::testing::WriteFile;

constexpr char kPlainName[] = "note.txt";
// Several pages and a partial one at the end.
constexpr int64_t kSize = 5 * kPageBytes + 123;

class RecoveryDecisionsTest : public ::testing::Test {
 protected:
  // A kill loses nothing the kernel holds; these tests stage kills.
  RecoveryDecisionsTest() : contents_(RandomContents(kSize, 11)) {
    ::setenv("VELMORA_SYNC", "0", 1);
    crypter_.SetPassword(u"a password");
  }
  ~RecoveryDecisionsTest() override { ::unsetenv("VELMORA_SYNC"); }

  // Writes the plain file and its journal record, with the digests of all
  // its pages, as an encryption does before it touches the file; the
  // journal stays open. Returns the entry's id.
  uint64_t Begin(Journal& journal, const std::string& name) {
    WriteFile(tree_ + "/" + name, contents_);
    FileStatus status;
    EXPECT_TRUE(GetFileStatus(Utf16FromWtf8(tree_ + "/" + name), &status));
    record_ = EntryRecord{};
    record_.operation = Direction::kEncrypt;
    record_.kind = EntryKind::kRegular;
    const NameConversion names = crypter_.ConvertName(Utf16FromWtf8(name), Direction::kEncrypt);
    record_.target = Wtf8FromUtf16(names.target);
    record_.range_bytes = names.range_bytes();
    record_.folder = tree_;
    record_.source = name;
    record_.size = status.size;
    record_.cipher_size = static_cast<int32_t>(status.size);
    record_.mode = status.mode;
    record_.access_time = status.access_time;
    record_.modify_time = status.modify_time;
    record_.device = status.device;
    record_.inode = status.inode;
    std::string bytes = contents_;
    std::vector<uint64_t> digests;
    TransformAhead(crypter_, record_, reinterpret_cast<uint8_t*>(bytes.data()), kSize,
                   &digests);
    record_.id = journal.Begin(record_);
    journal.Pages(record_.id, 0, digests.data(), digests.size());
    EXPECT_TRUE(journal.Commit());
    return record_.id;
  }

  // The contents with their first |pages| pages enciphered.
  std::string EncipheredUpTo(int64_t pages) const {
    std::string bytes = contents_;
    const int64_t count = std::min(kSize, pages * kPageBytes);
    ApplyCipher(crypter_, Direction::kEncrypt, reinterpret_cast<uint8_t*>(bytes.data()), count, 0,
                static_cast<int32_t>(kSize));
    return bytes;
  }

  // Writes the first |pages| pages of the file in place, as the transform
  // does, keeping the inode.
  void WritePages(const std::string& name, int64_t pages) {
    const std::string path = tree_ + "/" + name;
    const std::string bytes = EncipheredUpTo(pages);
    InPlaceFile file(Utf16FromWtf8(path));
    ASSERT_TRUE(file.IsOpen());
    ASSERT_TRUE(file.WriteAt(bytes.data(), kSize, 0));
  }

  void Rename(const std::string& from, const std::string& to) {
    std::filesystem::rename(tree_ + "/" + from, tree_ + "/" + to);
  }

  RepairReport Repair() {
    PendingRepair repair = PendingRepair::Load(tree_);
    EXPECT_TRUE(repair.needed());
    return repair.Run(crypter_, no_stop_);
  }

  // |name| has the mode and times the journal recorded.
  void ExpectRecordedStatus(const std::string& name) {
    FileStatus status;
    ASSERT_TRUE(GetFileStatus(Utf16FromWtf8(tree_ + "/" + name), &status));
    EXPECT_EQ(status.mode, record_.mode);
    EXPECT_EQ(status.modify_time.tv_sec, record_.modify_time.tv_sec);
    EXPECT_EQ(status.modify_time.tv_nsec, record_.modify_time.tv_nsec);
  }

  // The repair left no entry for a later run of this boot to look at.
  void ExpectNothingLeft() {
    EXPECT_FALSE(PendingRepair::Load(tree_).needed());
  }

  ScopedStateHome state_;
  TempDir dir_;
  const std::string tree_ = RealPath(dir_.path());
  Crypter crypter_;
  const std::string contents_;
  EntryRecord record_;
  const std::atomic<bool> no_stop_{false};
};

TEST_F(RecoveryDecisionsTest, AnEntryBegunButNotTouchedIsLeftAsItIs) {
  {
    auto journal = Journal::Start(tree_);
    ASSERT_TRUE(journal);
    Begin(*journal, kPlainName);
  }
  const RepairReport report = Repair();
  EXPECT_EQ(report.status, RepairReport::Status::kClean);
  EXPECT_TRUE(report.repaired.empty());
  EXPECT_TRUE(report.failed.empty());
  EXPECT_EQ(Names(tree_), std::vector<std::string>{kPlainName});
  EXPECT_TRUE(ReadFile(tree_ + "/" + kPlainName) == contents_);
  ExpectNothingLeft();
}

TEST_F(RecoveryDecisionsTest, AnEntryRenamedBeforeAnyPageWasWrittenGetsItsNameBack) {
  {
    auto journal = Journal::Start(tree_);
    ASSERT_TRUE(journal);
    Begin(*journal, kPlainName);
  }
  Rename(kPlainName, record_.target);
  const RepairReport report = Repair();
  EXPECT_EQ(report.status, RepairReport::Status::kClean);
  EXPECT_EQ(report.repaired, std::vector<std::string>{tree_ + "/" + kPlainName});
  EXPECT_EQ(Names(tree_), std::vector<std::string>{kPlainName});
  EXPECT_TRUE(ReadFile(tree_ + "/" + kPlainName) == contents_);
  ExpectNothingLeft();
}

TEST_F(RecoveryDecisionsTest, AnEntryRenamedWithSomePagesWrittenIsPutBackWhole) {
  // The first page only, and every page but the partial last one.
  for (const int64_t pages : {int64_t{1}, PageCount(kSize) - 1}) {
    SCOPED_TRACE(std::to_string(pages) + " pages written");
    {
      auto journal = Journal::Start(tree_);
      ASSERT_TRUE(journal);
      Begin(*journal, kPlainName);
    }
    Rename(kPlainName, record_.target);
    WritePages(record_.target, pages);
    ASSERT_TRUE(ReadFile(tree_ + "/" + record_.target) == EncipheredUpTo(pages));
    const RepairReport report = Repair();
    EXPECT_EQ(report.status, RepairReport::Status::kClean);
    EXPECT_EQ(report.repaired, std::vector<std::string>{tree_ + "/" + kPlainName});
    EXPECT_EQ(Names(tree_), std::vector<std::string>{kPlainName});
    EXPECT_TRUE(ReadFile(tree_ + "/" + kPlainName) == contents_);
    ExpectRecordedStatus(kPlainName);
    ExpectNothingLeft();
  }
  {
    // Threads finish their groups in any order.
    SCOPED_TRACE("every page but the first written");
    {
      auto journal = Journal::Start(tree_);
      ASSERT_TRUE(journal);
      Begin(*journal, kPlainName);
    }
    Rename(kPlainName, record_.target);
    std::string bytes = EncipheredUpTo(PageCount(kSize));
    std::copy(contents_.begin(), contents_.begin() + kPageBytes, bytes.begin());
    InPlaceFile file(Utf16FromWtf8(tree_ + "/" + record_.target));
    ASSERT_TRUE(file.WriteAt(bytes.data(), kSize, 0));
    const RepairReport report = Repair();
    EXPECT_EQ(report.repaired, std::vector<std::string>{tree_ + "/" + kPlainName});
    EXPECT_TRUE(ReadFile(tree_ + "/" + kPlainName) == contents_);
    ExpectRecordedStatus(kPlainName);
    ExpectNothingLeft();
  }
}

TEST_F(RecoveryDecisionsTest, AnEntryWrittenAndRenamedButNotEndedIsKeptAsDone) {
  {
    auto journal = Journal::Start(tree_);
    ASSERT_TRUE(journal);
    Begin(*journal, kPlainName);
  }
  Rename(kPlainName, record_.target);
  WritePages(record_.target, PageCount(kSize));
  const RepairReport report = Repair();
  EXPECT_EQ(report.status, RepairReport::Status::kClean);
  EXPECT_TRUE(report.repaired.empty());
  EXPECT_TRUE(report.failed.empty());
  EXPECT_EQ(Names(tree_), std::vector<std::string>{record_.target});
  EXPECT_TRUE(ReadFile(tree_ + "/" + record_.target) == EncipheredUpTo(PageCount(kSize)));
  ExpectNothingLeft();
}

// In the boot that wrote it, an ended entry is consistent in the page
// cache; the repair does not read it, whatever its file looks like now.
TEST_F(RecoveryDecisionsTest, AnEndedEntryIsNotLookedAtInTheSameBoot) {
  constexpr char kOtherName[] = "other.txt";
  {
    auto journal = Journal::Start(tree_);
    ASSERT_TRUE(journal);
    journal->End(Begin(*journal, kPlainName));
    Begin(*journal, kOtherName);
  }
  // Looked at, this one would be put back: renamed, no page written.
  Crypter names;
  names.SetPassword(u"a password");
  const std::string ended_target =
      Wtf8FromUtf16(names.ConvertName(Utf16FromWtf8(kPlainName), Direction::kEncrypt).target);
  Rename(kPlainName, ended_target);

  const RepairReport report = Repair();
  EXPECT_EQ(report.status, RepairReport::Status::kClean);
  EXPECT_TRUE(report.repaired.empty());
  EXPECT_EQ(Names(tree_), (std::vector<std::string>{kOtherName, ended_target}));
  EXPECT_TRUE(ReadFile(tree_ + "/" + ended_target) == contents_);
  ExpectNothingLeft();
}

}  // namespace
}  // namespace velmora::state
