// The repair of interrupted runs, from journals written through the real
// Journal API into a state folder of the test's own.

#include "state/recovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wtf8.h"
#include "state/journal.h"
#include "state/state_folder.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::state {
namespace {

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
    r.operation = OP_ENCRYPT;
    r.kind = kind;
    crypter_.SetDirectory(Utf16FromWtf8(folder));
    r.target = Wtf8FromUtf16(crypter_.ConvertName(Utf16FromWtf8(plain), OP_ENCRYPT));
    r.range_bytes = crypter_.GetRangeBytes();
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

  ScopedStateHome state_;
  TempDir dir_;
  const std::string tree_ = RealPath(dir_.path());
  Crypter crypter_;
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
  const RepairReport report = repair.Run(crypter_);
  EXPECT_EQ(report.status, RepairReport::Status::kClean);
  EXPECT_TRUE(report.repaired.empty());
  EXPECT_TRUE(report.failed.empty());
  EXPECT_EQ(ReadFile(t + "/unrelated"), "kept");
}

}  // namespace
}  // namespace velmora::state
