// Finding where a recorded folder lies now through the folder renames the
// journals record: at its own level, above it, along chains, and with the
// same renames recorded by many runs, always with work bounded by what
// was recorded once.

#include "state/folder_renames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::state {
namespace {

using velmora::testing::MakeDirectory;
using velmora::testing::TempDir;
using Rename = FolderRenames::Rename;

class FolderRenamesTest : public ::testing::Test {
 protected:
  // The real folder probe, counted.
  FolderRenames Renames(std::vector<Rename> renames) {
    return FolderRenames(std::move(renames), [this](const std::string& path) {
      ++probes_;
      return FolderRenames::OnDisk()(path);
    });
  }

  void Make(const std::string& relative) { MakeDirectory(root_ + "/" + relative); }

  TempDir dir_;
  const std::string root_ = dir_.path();
  int probes_ = 0;
};

TEST_F(FolderRenamesTest, AFolderThatIsThereIsTakenAsRecorded) {
  Make("a");
  Make("b");
  const FolderRenames renames = Renames({{root_, "a", "b"}});
  EXPECT_EQ(renames.Resolve(root_ + "/a"), root_ + "/a");
  EXPECT_EQ(probes_, 1);
}

TEST_F(FolderRenamesTest, FindsAFolderRenamedAtItsOwnLevelEitherWay) {
  Make("p");
  Make("p/new");
  const FolderRenames renames = Renames({{root_ + "/p", "old", "new"}});
  EXPECT_EQ(renames.Resolve(root_ + "/p/old"), root_ + "/p/new");

  const FolderRenames back = Renames({{root_ + "/p", "new", "old"}});
  EXPECT_EQ(back.Resolve(root_ + "/p/old"), root_ + "/p/new");
}

TEST_F(FolderRenamesTest, FindsAFolderWhoseParentWasRenamed) {
  Make("B");
  Make("B/sub");
  const FolderRenames renames = Renames({{root_, "A", "B"}});
  EXPECT_EQ(renames.Resolve(root_ + "/A/sub"), root_ + "/B/sub");
}

TEST_F(FolderRenamesTest, FindsAFolderRenamedAtBothLevelsUnderEitherParentName) {
  // An encryption records the child's rename under the parent's old name;
  // a decryption under the parent's new one.
  Make("B");
  Make("B/S");
  const FolderRenames encrypted = Renames({{root_ + "/A", "s", "S"}, {root_, "A", "B"}});
  EXPECT_EQ(encrypted.Resolve(root_ + "/A/s"), root_ + "/B/S");
  const FolderRenames decrypted = Renames({{root_, "B", "A"}, {root_ + "/A", "S", "s"}});
  EXPECT_EQ(decrypted.Resolve(root_ + "/A/s"), root_ + "/B/S");
  EXPECT_EQ(decrypted.Resolve(root_ + "/B/s"), root_ + "/B/S");
}

TEST_F(FolderRenamesTest, FollowsAChainEitherWay) {
  Make("c");
  Make("c/x");
  const FolderRenames renames = Renames({{root_, "a", "b"}, {root_, "b", "c"}});
  EXPECT_EQ(renames.Resolve(root_ + "/a/x"), root_ + "/c/x");

  std::filesystem::rename(root_ + "/c", root_ + "/a");
  EXPECT_EQ(renames.Resolve(root_ + "/c/x"), root_ + "/a/x");
}

TEST_F(FolderRenamesTest, AFolderFoundUnderNoNameComesBackAsRecorded) {
  Make("a");
  const FolderRenames renames = Renames({{root_, "a", "b"}});
  EXPECT_EQ(renames.Resolve(root_ + "/b/gone/deeper"), root_ + "/b/gone/deeper");
  // The same name in another folder is another folder.
  Make("q");
  Make("q/b");
  EXPECT_EQ(renames.Resolve(root_ + "/q/a"), root_ + "/q/a");
}

// Many runs on one tree (temporary decryptions and the encryptions after
// them) record the same renames again and again, both ways and in chains.
std::vector<Rename> ManyRuns(const std::string& root, int copies) {
  const std::vector<Rename> once = {
      {root, "a", "b"},           {root, "b", "c"},           {root, "c", "b"},
      {root + "/a", "d", "e"},    {root + "/b", "e", "f"},    {root + "/c", "f", "e"},
      {root + "/a/d", "g", "h"},  {root + "/b/e", "h", "i"},  {root + "/c/f", "i", "g"},
      {root + "/a/d/g", "j", "k"}, {root + "/c/f/i", "k", "j"},
  };
  std::vector<Rename> renames;
  for (int i = 0; i < copies; ++i) renames.insert(renames.end(), once.begin(), once.end());
  return renames;
}

TEST_F(FolderRenamesTest, RenamesRecordedByManyRunsCostWhatTheyCostOnce) {
  constexpr int kCopies = 40;
  const std::string recorded = root_ + "/a/d/g/j/leaf";
  const int depth = 5 + static_cast<int>(
                            std::count(root_.begin(), root_.end(), '/'));
  // Every name the renames know, each probed at most once.
  const int names = 3 + 3 + 3 + 2;
  const int bound = 1 + depth + names;

  // Nothing of it is left.
  const FolderRenames renames = Renames(ManyRuns(root_, kCopies));
  EXPECT_EQ(renames.Resolve(recorded), recorded);
  EXPECT_LE(probes_, bound);

  // Renamed at every level, through chains of both directions.
  Make("c");
  Make("c/f");
  Make("c/f/i");
  Make("c/f/i/k");
  Make("c/f/i/k/leaf");
  probes_ = 0;
  EXPECT_EQ(renames.Resolve(recorded), root_ + "/c/f/i/k/leaf");
  EXPECT_LE(probes_, bound);

  // Recording them ten times as often costs no more probes.
  const FolderRenames more = Renames(ManyRuns(root_, 10 * kCopies));
  probes_ = 0;
  EXPECT_EQ(more.Resolve(recorded), root_ + "/c/f/i/k/leaf");
  EXPECT_LE(probes_, bound);
}

}  // namespace
}  // namespace velmora::state
