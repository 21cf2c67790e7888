// The repair of interrupted runs, from journals written through the real
// Journal API into a state folder of the test's own.

#include "state/recovery.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/wtf8.h"
#include "state/journal.h"
#include "state/journaled_transform.h"
#include "state/state_folder.h"
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

class RecoveryTest : public ::testing::Test {
 protected:
  // A kill loses nothing the kernel holds; these tests stage kills.
  RecoveryTest() {
    ::setenv("VELMORA_SYNC", "0", 1);
    crypter_.SetPassword(u"a password");
  }
  ~RecoveryTest() override { ::unsetenv("VELMORA_SYNC"); }

  // The record of |plain| in |folder| about to be encrypted, with the
  // enciphered name this password gives it there.
  EntryRecord Encrypting(const std::string& folder, const std::string& plain,
                         EntryKind kind) {
    EntryRecord r;
    r.operation = Direction::kEncrypt;
    r.kind = kind;
    const NameConversion names = crypter_.ConvertName(Utf16FromWtf8(plain), Direction::kEncrypt);
    r.target = Wtf8FromUtf16(names.target);
    r.range_bytes = names.range_bytes();
    r.folder = folder;
    r.source = plain;
    return r;
  }

  // Records, in a journal of its own, a run that renamed folders and
  // finished: the journal is marked done.
  void FinishedRunRenaming(const std::vector<EntryRecord>& folders) {
    auto journal = Journal::Start(tree_);
    ASSERT_TRUE(journal);
    for (const EntryRecord& folder : folders) journal->End(journal->Begin(folder));
    ASSERT_TRUE(journal->Commit());
  }

  // Leaves |name| in the tree as a run killed in the middle of encrypting
  // it would: recorded with its pages, renamed, its first page written.
  // Returns the name it has now.
  std::string InterruptedEncryption(const std::string& name, const std::string& contents) {
    WriteFile(tree_ + "/" + name, contents);
    FileStatus status;
    EXPECT_TRUE(GetFileStatus(Utf16FromWtf8(tree_ + "/" + name), &status));
    EntryRecord r = Encrypting(tree_, name, EntryKind::kRegular);
    r.size = status.size;
    r.cipher_size = static_cast<int32_t>(status.size);
    r.mode = status.mode;
    r.access_time = status.access_time;
    r.modify_time = status.modify_time;
    r.device = status.device;
    r.inode = status.inode;
    std::string bytes = contents;
    auto* data = reinterpret_cast<uint8_t*>(bytes.data());
    const auto count = static_cast<int64_t>(bytes.size());
    std::vector<uint64_t> digests;
    std::string ahead = contents;  // transformed for its digests only
    TransformAhead(crypter_, r, reinterpret_cast<uint8_t*>(ahead.data()), count, &digests);
    auto journal = Journal::Start(tree_);
    EXPECT_TRUE(journal);
    const uint64_t id = journal->Begin(r);
    journal->Pages(id, 0, digests.data(), digests.size());
    EXPECT_TRUE(journal->Commit());
    ApplyCipher(crypter_, Direction::kEncrypt, data, kPageBytes, 0, r.cipher_size);
    WriteFile(tree_ + "/" + name, bytes);
    std::filesystem::rename(tree_ + "/" + name, tree_ + "/" + r.target);
    return r.target;
  }

  std::vector<std::string> Journals() const {
    std::vector<std::string> paths;
    for (const auto& item :
         std::filesystem::directory_iterator(state_.folder() + "/journal")) {
      paths.push_back(item.path().string());
    }
    return paths;
  }

  ScopedStateHome state_;
  TempDir dir_;
  const std::string tree_ = RealPath(dir_.path());
  Crypter crypter_;
  const std::atomic<bool> no_stop_{false};
};

EntryRecord FolderRename(const std::string& parent, const std::string& from,
                         const std::string& to) {
  EntryRecord r;
  r.kind = EntryKind::kDirectory;
  r.folder = parent;
  r.source = from;
  r.target = to;
  return r;
}

// Temporary decryptions and the encryptions after them record the same
// folder renames run after run, both ways and in chains. An entry left
// unfinished in a folder that is gone since must not make the repair try
// every way through them.
TEST_F(RecoveryTest, ManyRunsRecordingTheSameFolderRenamesAreRepairedAtOnce) {
  const std::string& t = tree_;
  const std::vector<EntryRecord> renames = {
      FolderRename(t, "a", "b"),           FolderRename(t, "b", "c"),
      FolderRename(t, "c", "b"),           FolderRename(t + "/a", "d", "e"),
      FolderRename(t + "/b", "e", "f"),    FolderRename(t + "/c", "f", "e"),
      FolderRename(t + "/a/d", "g", "h"),  FolderRename(t + "/b/e", "h", "i"),
      FolderRename(t + "/c/f", "i", "g"),  FolderRename(t + "/a/d/g", "j", "k"),
  };
  for (int run = 0; run < 40; ++run) FinishedRunRenaming(renames);
  {
    auto journal = Journal::Start(tree_);
    ASSERT_TRUE(journal);
    EntryRecord file = Encrypting(t + "/a/d/g/j", "note.txt", EntryKind::kRegular);
    file.size = 10;
    journal->Begin(file);
    ASSERT_TRUE(journal->Commit());
  }
  WriteFile(t + "/unrelated", "kept");

  PendingRepair repair = PendingRepair::Load(tree_);
  ASSERT_TRUE(repair.needed());
  const RepairReport report = repair.Run(crypter_, no_stop_);
  EXPECT_EQ(report.status, RepairReport::Status::kClean);
  EXPECT_TRUE(report.repaired.empty());
  EXPECT_TRUE(report.failed.empty());
  EXPECT_EQ(ReadFile(t + "/unrelated"), "kept");
}

// A signal that comes before the repair is through stops it between
// entries: what was not reached is as the interrupted run left it, and the
// journal stays, unmarked, for the next run.
TEST_F(RecoveryTest, AStopRequestLeavesTheRepairToTheNextRun) {
  const std::string contents = RandomContents(3 * kPageBytes + 100, 5);
  const std::string enciphered_name = InterruptedEncryption("note.txt", contents);
  const std::string left = ReadFile(tree_ + "/" + enciphered_name);
  const std::vector<std::string> journals = Journals();
  ASSERT_EQ(journals.size(), 1u);
  const std::string journal = ReadFile(journals.front());

  const std::atomic<bool> stop{true};
  PendingRepair stopped = PendingRepair::Load(tree_);
  ASSERT_TRUE(stopped.needed());
  const RepairReport report = stopped.Run(crypter_, stop);
  EXPECT_EQ(report.status, RepairReport::Status::kStopped);
  EXPECT_TRUE(report.repaired.empty());
  EXPECT_EQ(velmora::testing::Names(tree_), std::vector<std::string>{enciphered_name});
  EXPECT_EQ(ReadFile(tree_ + "/" + enciphered_name), left);
  EXPECT_EQ(Journals(), journals);
  EXPECT_EQ(ReadFile(journals.front()), journal);

  PendingRepair next = PendingRepair::Load(tree_);
  ASSERT_TRUE(next.needed());
  const RepairReport repaired = next.Run(crypter_, no_stop_);
  EXPECT_EQ(repaired.status, RepairReport::Status::kClean);
  EXPECT_EQ(repaired.repaired, std::vector<std::string>{tree_ + "/note.txt"});
  EXPECT_EQ(velmora::testing::Names(tree_), std::vector<std::string>{"note.txt"});
  EXPECT_EQ(ReadFile(tree_ + "/note.txt"), contents);
}

}  // namespace
}  // namespace velmora::state
