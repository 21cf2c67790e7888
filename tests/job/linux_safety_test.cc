// What Linux trees bring that the walks must survive: depth beyond any
// path limit once names are enciphered, FIFOs that would block a reader,
// and links that lead out of the target.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/job/job_test_util.h"
#include "tests/support/dialog_harness.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

constexpr char16_t kPassword[] = u"linux safety";

TEST(LinuxSafetyTest, TreeThreeHundredLevelsDeepRoundTrips) {
  // Enciphered, the deepest path is far longer than PATH_MAX.
  DialogHarness h;
  std::string path = h.root();
  for (int level = 0; level < 300; ++level) {
    path += "/d";
    MakeDirectory(path);
  }
  WriteFile(path + "/bottom.txt", "at the bottom");
  const TreeSnapshot before = Snapshot(h.root());
  ASSERT_EQ(before.size(), 301u);

  h.Encrypt(kPassword);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << h.window().Dump();
  EXPECT_EQ(h.job().m_nDone, 301);
  EXPECT_EQ(Names(h.root()), std::vector<std::string>{EncipheredName(kPassword, u"d")});

  h.Decrypt(kPassword);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << h.window().Dump();
  EXPECT_EQ(h.job().m_nDone, 301);
  EXPECT_EQ(Snapshot(h.root()), before);
}

TEST(LinuxSafetyTest, FifoKeepsItsTypeAndBlocksNeitherRun) {
  DialogHarness h;
  const std::string& r = h.root();
  ASSERT_EQ(::mkfifo((r + "/pipe").c_str(), 0600), 0);
  MakeDirectory(r + "/S");
  ASSERT_EQ(::mkfifo((r + "/S/pipe.zip").c_str(), 0644), 0);
  WriteFile(r + "/S/file", "file");
  const TreeSnapshot before = Snapshot(r);

  h.Encrypt(kPassword);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << h.window().Dump();
  struct stat st {};
  ASSERT_EQ(::lstat((r + "/" + EncipheredName(kPassword, u"pipe")).c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  h.Decrypt(kPassword);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << h.window().Dump();
  EXPECT_EQ(Snapshot(r), before);
}

TEST(LinuxSafetyTest, LinksOutOfTheTargetLeaveTheirTargetsAlone) {
  DialogHarness h;
  TempDir outside;
  const std::string& r = h.root();
  MakeDirectory(outside.path() + "/inner");
  WriteFile(outside.path() + "/inner/note.txt", RandomContents(3000, 4));
  WriteFile(outside.path() + "/single.txt", "a file outside");
  ASSERT_EQ(::symlink(outside.path().c_str(), (r + "/to-dir").c_str()), 0);
  ASSERT_EQ(::symlink((outside.path() + "/single.txt").c_str(), (r + "/to-file").c_str()), 0);
  WriteFile(r + "/own.txt", "own");
  const TreeSnapshot outside_before = Snapshot(outside.path());
  const TreeSnapshot before = Snapshot(r);

  h.Encrypt(kPassword);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << h.window().Dump();
  EXPECT_EQ(h.job().m_nFound, 3);  // nothing below the link was counted
  EXPECT_EQ(Snapshot(outside.path()), outside_before);
  // The links themselves only changed their names.
  char target[4096] = {};
  ASSERT_GT(::readlink((r + "/" + EncipheredName(kPassword, u"to-dir")).c_str(),
                       target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), outside.path());

  h.Decrypt(kPassword);
  EXPECT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << h.window().Dump();
  EXPECT_EQ(Snapshot(outside.path()), outside_before);
  EXPECT_EQ(Snapshot(r), before);
}

}  // namespace
}  // namespace velmora::testing
