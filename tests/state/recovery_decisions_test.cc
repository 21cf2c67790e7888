// What the repair decides for an entry in each state a run can leave it in,
// from journals written through the real Journal API and files staged in a
// real tree as the transform writes them.

#include <gtest/gtest.h>

#include <array>
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
using velmora::testing::ReadFile;
using velmora::testing::WriteFile;

constexpr char kPlainName[] = "note.txt";
constexpr int64_t kSize = 5 * kPageBytes + 123;  // a partial page at the end

class RecoveryDecisionsTest : public ::testing::Test {
 protected:
  // A kill loses nothing the kernel holds; these tests stage kills.
  RecoveryDecisionsTest() : contents_(velmora::testing::RandomContents(kSize, 11)) {
    ::setenv("VELMORA_SYNC", "0", 1);
    crypter_.SetPassword(u"a password");
  }
  ~RecoveryDecisionsTest() override { ::unsetenv("VELMORA_SYNC"); }

  // Writes the plain file and records it with the digests of all its pages,
  // as an encryption does before it touches the file. Returns its id.
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
    TransformAhead(crypter_, record_, reinterpret_cast<uint8_t*>(bytes.data()), kSize, &digests);
    record_.id = journal.Begin(record_);
    journal.Pages(record_.id, 0, digests.data(), digests.size());
    EXPECT_TRUE(journal.Commit());
    return record_.id;
  }
  // Begins kPlainName in a journal of its own, then renames it if |renamed|.
  void BeginAlone(bool renamed) {
    {
      auto journal = Journal::Start(tree_);
      ASSERT_TRUE(journal);
      Begin(*journal, kPlainName);
    }
    if (renamed) Rename(kPlainName, record_.target);
  }

  std::string EncipheredUpTo(int64_t pages) const {
    std::string bytes = contents_;
    ApplyCipher(crypter_, Direction::kEncrypt, reinterpret_cast<uint8_t*>(bytes.data()),
                std::min(kSize, pages * kPageBytes), 0, static_cast<int32_t>(kSize));
    return bytes;
  }
  // Writes |bytes| over the renamed file in place, keeping the inode.
  void WriteInPlace(const std::string& bytes) {
    InPlaceFile file(Utf16FromWtf8(tree_ + "/" + record_.target));
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
  // The report, the one name left and its bytes; nothing is left to repair.
  void ExpectRepair(const RepairReport& report, bool repaired, const std::string& name,
                    const std::string& bytes) {
    EXPECT_EQ(report.status, RepairReport::Status::kClean);
    EXPECT_TRUE(report.failed.empty());
    EXPECT_EQ(report.repaired, repaired ? std::vector<std::string>{tree_ + "/" + kPlainName}
                                        : std::vector<std::string>{});
    EXPECT_EQ(Names(tree_), std::vector<std::string>{name});
    EXPECT_TRUE(ReadFile(tree_ + "/" + name) == bytes);
    EXPECT_FALSE(PendingRepair::Load(tree_).needed());
  }
  void ExpectRecordedStatus() {
    FileStatus status;
    ASSERT_TRUE(GetFileStatus(Utf16FromWtf8(tree_ + "/" + kPlainName), &status));
    EXPECT_EQ(status.mode, record_.mode);
    EXPECT_EQ(status.modify_time.tv_sec, record_.modify_time.tv_sec);
    EXPECT_EQ(status.modify_time.tv_nsec, record_.modify_time.tv_nsec);
  }

  velmora::testing::ScopedStateHome state_;
  velmora::testing::TempDir dir_;
  const std::string tree_ = RealPath(dir_.path());
  Crypter crypter_;
  const std::string contents_;
  EntryRecord record_;
  const std::atomic<bool> no_stop_{false};
};

TEST_F(RecoveryDecisionsTest, AnEntryBegunButNotTouchedIsLeftAsItIs) {
  BeginAlone(false);
  ExpectRepair(Repair(), false, kPlainName, contents_);
}

TEST_F(RecoveryDecisionsTest, AnEntryRenamedBeforeAnyPageWasWrittenGetsItsNameBack) {
  BeginAlone(true);
  ExpectRepair(Repair(), true, kPlainName, contents_);
}

TEST_F(RecoveryDecisionsTest, AnEntryRenamedWithSomePagesWrittenIsPutBackWhole) {
  std::string all_but_first = EncipheredUpTo(PageCount(kSize));
  std::copy(contents_.begin(), contents_.begin() + kPageBytes, all_but_first.begin());
  // The first page, all but the partial last one, and (threads finish their
  // groups in any order) all but the first.
  for (const std::string& written :
       {EncipheredUpTo(1), EncipheredUpTo(PageCount(kSize) - 1), all_but_first}) {
    BeginAlone(true);
    WriteInPlace(written);
    ExpectRepair(Repair(), true, kPlainName, contents_);
    ExpectRecordedStatus();
  }
}

TEST_F(RecoveryDecisionsTest, AnEntryWrittenAndRenamedButNotEndedIsKeptAsDone) {
  BeginAlone(true);
  WriteInPlace(EncipheredUpTo(PageCount(kSize)));
  ExpectRepair(Repair(), false, record_.target, EncipheredUpTo(PageCount(kSize)));
}

// In the boot that wrote it, an ended entry is consistent in the page
// cache; the repair does not read it, whatever its file looks like now.
TEST_F(RecoveryDecisionsTest, AnEndedEntryIsNotLookedAtInTheSameBoot) {
  {
    auto journal = Journal::Start(tree_);
    ASSERT_TRUE(journal);
    journal->End(Begin(*journal, kPlainName));
    Begin(*journal, "other.txt");
  }
  const std::string ended_target =
      Wtf8FromUtf16(crypter_.ConvertName(Utf16FromWtf8(kPlainName), Direction::kEncrypt).target);
  Rename(kPlainName, ended_target);  // looked at, it would be put back
  const RepairReport report = Repair();
  EXPECT_EQ(report.status, RepairReport::Status::kClean);
  EXPECT_TRUE(report.repaired.empty());
  EXPECT_EQ(Names(tree_), (std::vector<std::string>{"other.txt", ended_target}));
  EXPECT_TRUE(ReadFile(tree_ + "/" + ended_target) == contents_);
  EXPECT_FALSE(PendingRepair::Load(tree_).needed());
}

// Temporary decryptions and the encryptions after them record the same
// folder renames run after run: an entry left in a folder gone since must
// not make the repair try every way through them.
TEST_F(RecoveryDecisionsTest, ManyRunsRecordingTheSameFolderRenamesAreRepairedAtOnce) {
  const std::string& t = tree_;
  const std::vector<std::array<std::string, 3>> renames = {
      {t, "a", "b"},           {t, "b", "c"},          {t, "c", "b"},
      {t + "/a", "d", "e"},    {t + "/b", "e", "f"},   {t + "/c", "f", "e"},
      {t + "/a/d", "g", "h"},  {t + "/b/e", "h", "i"}, {t + "/c/f", "i", "g"},
      {t + "/a/d/g", "j", "k"}};
  for (int run = 0; run < 40; ++run) {
    auto journal = Journal::Start(tree_);
    ASSERT_TRUE(journal);
    for (const auto& [parent, from, to] : renames) {
      EntryRecord folder;
      folder.kind = EntryKind::kDirectory;
      folder.folder = parent;
      folder.source = from;
      folder.target = to;
      journal->End(journal->Begin(folder));
    }
    ASSERT_TRUE(journal->Commit());
  }
  {
    auto journal = Journal::Start(tree_);
    ASSERT_TRUE(journal);
    EntryRecord file;
    file.operation = Direction::kEncrypt;
    file.kind = EntryKind::kRegular;
    file.folder = t + "/a/d/g/j";
    file.source = kPlainName;
    const NameConversion names = crypter_.ConvertName(u"note.txt", Direction::kEncrypt);
    file.target = Wtf8FromUtf16(names.target);
    file.range_bytes = names.range_bytes();
    file.size = 10;
    journal->Begin(file);
    ASSERT_TRUE(journal->Commit());
  }
  WriteFile(t + "/unrelated", "kept");
  const RepairReport report = Repair();
  EXPECT_EQ(report.status, RepairReport::Status::kClean);
  EXPECT_TRUE(report.repaired.empty());
  EXPECT_TRUE(report.failed.empty());
  EXPECT_EQ(ReadFile(t + "/unrelated"), "kept");
}

}  // namespace
}  // namespace velmora::state
