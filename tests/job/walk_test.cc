// The walks' order, seen in the problem prompts (each names the entry as it
// is on disk at its turn), and the prompts: No stops, Yes skips, and the
// follow-up decides whether that problem is asked about again this run.

#include <filesystem>

#include "state/recovery.h"
#include "tests/job/job_test_util.h"

namespace velmora::testing {
namespace {

using WalkOrderTest = JobTest;
using ProblemPromptTest = JobTest;

TEST_F(WalkOrderTest, EncryptionReachesADirectorysEntriesBeforeIt) {
  Make({"f", "S/", "S/g"});
  h_.Encrypt(kPassword);
  Make({"p"});
  std::vector<std::u16string> expected = {Detail(Path(Enc(u"S")), Enc(u"g"))};
  for (const std::string& name : ListingOrder(h_.root())) {
    if (name != "p") expected.push_back(Detail(h_.root(), name));
  }
  w().answers = SkipEachProblem();
  h_.Encrypt(kPassword);
  EXPECT_EQ(DetailsOf(w(), Lead(text::kAlreadyEncrypted)), expected) << Dump(w());
}

TEST_F(WalkOrderTest, DecryptionRenamesADirectoryThenWalksItUnderItsNewName) {
  Make({"S/", "S/x"});
  h_.Encrypt(kPassword);
  Make({Enc(u"S") + "/plain", "T/", "T/" + Enc(u"t")});
  w().answers = SkipEachProblem();
  h_.Decrypt(kPassword);
  EXPECT_EQ(DetailsOf(w(), Lead(text::kNotEncrypted)),
            (std::vector<std::u16string>{Detail(h_.root(), "T"), Detail(Path("S"), "plain")}))
      << Dump(w());
  EXPECT_EQ(ReadFile(Path("S/x")), "S/x");
  EXPECT_EQ(Names(Path("T")), std::vector<std::string>{"t"});
}

// Intentions recorded ahead, folder by folder, all end with their run.
TEST_F(WalkOrderTest, TreesOfManyShapesLeaveNoIntentionOpen) {
  Make({"a/", "a/sub/", "b/", "c/", "c/d/", "c/d/x", "e/"});
  for (int i = 0; i < 300; ++i) WriteFile(Path("a/f" + std::to_string(i)), "a");
  for (int i = 0; i < 5; ++i) WriteFile(Path("c/f" + std::to_string(i)), "c");
  for (int i = 0; i < 130; ++i) WriteFile(Path("e/f" + std::to_string(i)), "e");
  const TreeSnapshot before = Snapshot(h_.root());
  const std::string tree = std::filesystem::canonical(h_.root()).string();
  h_.Encrypt(kPassword);
  EXPECT_FALSE(state::PendingRepair::Load(tree).needed());
  EXPECT_EQ(Names(Path(Enc(u"a"))).size(), 301u);
  h_.Decrypt(kPassword);
  EXPECT_FALSE(state::PendingRepair::Load(tree).needed());
  EXPECT_EQ(Snapshot(h_.root()), before);
}

TEST_F(ProblemPromptTest, YesThenYesSilencesThatProblemForTheRunAndNoDoesNot) {
  for (const auto& [follow_up, prompts] : {std::pair{IDYES, 1u}, std::pair{IDNO, 3u}}) {
    SCOPED_TRACE(follow_up == IDYES ? "Yes" : "No");
    Empty();
    Make({"e1", "e2"});
    h_.Encrypt(kPassword);
    Make({"p1", "p2", "p3"});
    w().boxes.clear();
    w().answers = SkipEachProblem(follow_up);
    h_.Decrypt(kPassword);
    EXPECT_EQ(DetailsOf(w(), Lead(text::kNotEncrypted)).size(), prompts);
    EXPECT_EQ(w().boxes.size(), 2 + 2 * prompts);  // each with a follow-up; a warning, a summary
    EXPECT_EQ(w().boxes.back().text, u"5 ファイル中 2 ファイル処理しました。");
    EXPECT_EQ(Names(h_.root()), (std::vector<std::string>{"e1", "e2", "p1", "p2", "p3"}));
  }
}

TEST_F(ProblemPromptTest, NoStopsTheRunAtThatEntryWithoutAFollowUp) {
  Make({"S/", "S/g"});
  h_.Encrypt(kPassword);
  Make({"plain"});
  w().boxes.clear();
  w().answers = {{Lead(text::kMixedPlain), IDYES}, {Lead(text::kNotEncrypted), IDNO}};
  h_.Decrypt(kPassword);
  EXPECT_EQ(w().boxes.size(), 3u) << Dump(w());  // the warning, the prompt, the summary
  const std::string s = Names(h_.root())[0] == "S" ? "S" : Enc(u"S");
  EXPECT_EQ(Names(Path(s)), std::vector<std::string>{Enc(u"g")});
}

TEST_F(ProblemPromptTest, CodesThreeAndSevenAreSilencedApartDespiteOneText) {
  Make({"S/"});
  h_.Encrypt(kPassword);
  // Two names with a class character out of range (3), a bare marker (7).
  Make(
      {"\xc2\xbf"
       "abcX",
       "\xc2\xbf"
       "abcY",
       Enc(u"S") + "/\xc2\xbf"});
  w().answers = SkipEachProblem(IDYES);
  h_.Decrypt(kPassword);
  const auto prompts = DetailsOf(w(), Lead(text::kInvalidName));
  ASSERT_EQ(prompts.size(), 2u) << Dump(w());
  EXPECT_EQ(prompts[1], Detail(Path("S"), "\xc2\xbf"));
}

TEST_F(ProblemPromptTest, EveryRunAsksAgainAndAWrongPasswordChangesNothing) {
  Make({"a", "S/"});
  WriteFile(Path("S/b"), RandomContents(5000, 1));
  h_.Encrypt(kPassword);
  const TreeSnapshot encrypted = Snapshot(h_.root());
  w().answers = SkipEachProblem(IDYES);
  for (std::size_t run = 1; run <= 2; ++run) {
    h_.Decrypt(u"not the password");
    EXPECT_EQ(DetailsOf(w(), Lead(text::kWrongPassword)).size(), run) << Dump(w());
    EXPECT_EQ(w().boxes.back().text, u"3 ファイル中 0 ファイル処理しました。");
  }
  EXPECT_EQ(Snapshot(h_.root()), encrypted);
}

}  // namespace
}  // namespace velmora::testing
