// Finding where a recorded folder lies now through the folder renames the
// journals record, with work bounded by what was recorded once.

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
  void Make(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) velmora::testing::MakeDirectory(root_ + "/" + folder);
  }

  velmora::testing::TempDir dir_;
  const std::string root_ = dir_.path();
  int probes_ = 0;
};

TEST_F(FolderRenamesTest, FindsWhereARecordedFolderLiesNow) {
  const std::string r = root_;
  const struct {
    const char* what;
    std::vector<std::string> on_disk;
    std::vector<Rename> renames;
    std::string recorded, now;
  } cases[] = {
      {"there as recorded", {"a", "b"}, {{r, "a", "b"}}, "/a", "/a"},
      {"renamed at its level", {"p", "p/new"}, {{r + "/p", "old", "new"}}, "/p/old", "/p/new"},
      {"renamed back at its level", {"p", "p/new"}, {{r + "/p", "new", "old"}}, "/p/old", "/p/new"},
      {"parent renamed", {"B", "B/sub"}, {{r, "A", "B"}}, "/A/sub", "/B/sub"},
      // An encryption records the child under the parent's old name, a
      // decryption under its new one.
      {"both, encrypted", {"B", "B/S"}, {{r + "/A", "s", "S"}, {r, "A", "B"}}, "/A/s", "/B/S"},
      {"both, decrypted", {"B", "B/S"}, {{r, "B", "A"}, {r + "/A", "S", "s"}}, "/A/s", "/B/S"},
      {"both, decrypted, new parent",
       {"B", "B/S"},
       {{r, "B", "A"}, {r + "/A", "S", "s"}},
       "/B/s",
       "/B/S"},
      {"chain", {"c", "c/x"}, {{r, "a", "b"}, {r, "b", "c"}}, "/a/x", "/c/x"},
      {"chain backwards", {"a", "a/x"}, {{r, "a", "b"}, {r, "b", "c"}}, "/c/x", "/a/x"},
      {"under no name", {"a"}, {{r, "a", "b"}}, "/b/gone/deeper", "/b/gone/deeper"},
      {"same name elsewhere", {"a", "q", "q/b"}, {{r, "a", "b"}}, "/q/a", "/q/a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(root_);
    std::filesystem::create_directory(root_);
    Make(c.on_disk);
    probes_ = 0;
    EXPECT_EQ(Renames(c.renames).Resolve(root_ + c.recorded), root_ + c.now);
    if (c.recorded == c.now && c.on_disk.size() == 2) {
      EXPECT_EQ(probes_, 1);  // no search
    }
  }
}

// Many runs on one tree (temporary decryptions and the encryptions after
// them) record the same renames again and again, both ways and in chains.
std::vector<Rename> ManyRuns(const std::string& root, int copies) {
  const std::vector<Rename> once = {
      {root, "a", "b"},
      {root, "b", "c"},
      {root, "c", "b"},
      {root + "/a", "d", "e"},
      {root + "/b", "e", "f"},
      {root + "/c", "f", "e"},
      {root + "/a/d", "g", "h"},
      {root + "/b/e", "h", "i"},
      {root + "/c/f", "i", "g"},
      {root + "/a/d/g", "j", "k"},
      {root + "/c/f/i", "k", "j"},
  };
  std::vector<Rename> renames;
  for (int i = 0; i < copies; ++i) renames.insert(renames.end(), once.begin(), once.end());
  return renames;
}

TEST_F(FolderRenamesTest, RenamesRecordedByManyRunsCostWhatTheyCostOnce) {
  const std::string recorded = root_ + "/a/d/g/j/leaf";
  // The path's depth, and every name the renames know probed at most once.
  const int bound = 1 + 5 + static_cast<int>(std::count(root_.begin(), root_.end(), '/')) + 11;
  const FolderRenames renames = Renames(ManyRuns(root_, 40));
  EXPECT_EQ(renames.Resolve(recorded), recorded);  // nothing of it is left
  EXPECT_LE(probes_, bound);
  Make({"c", "c/f", "c/f/i", "c/f/i/k", "c/f/i/k/leaf"});
  for (const int copies : {40, 400}) {
    const FolderRenames more = Renames(ManyRuns(root_, copies));
    probes_ = 0;
    EXPECT_EQ(more.Resolve(recorded), root_ + "/c/f/i/k/leaf");
    EXPECT_LE(probes_, bound) << copies;
  }
}

}  // namespace
}  // namespace velmora::state
