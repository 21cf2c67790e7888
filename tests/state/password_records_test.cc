// Password records: their file form, which trees a binding names, and the
// decisions CheckPassword makes from real records of two near passwords
// that share a lookup digest.

#include "state/password_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "state/password_verifier.h"
#include "state/state_folder.h"
#include "tests/support/state_home.h"

namespace velmora::state {
namespace {

using velmora::testing::ScopedStateHome;

void ExpectSameTrees(const std::vector<TreeBinding>& a, const std::vector<TreeBinding>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].real_path, b[i].real_path) << i;
    EXPECT_EQ(a[i].name_digests, b[i].name_digests) << i;
  }
}

PasswordRecord SampleRecord() {
  PasswordRecord record;
  record.verifier = "$argon2id$v=19$m=65536,t=2,p=1$c2FsdA$aGFzaA";
  record.trees = {
      {"/home/u/a tree\nwith a line break", {"0011223344556677", "8899aabbccddeeff"}},
      {"/media/\xff\xfe not utf-8", {}},
      {"/srv/plain", {"0123456789abcdef"}},
  };
  return record;
}

TEST(PasswordRecordsTest, ARecordComesBackAsWritten) {
  const PasswordRecord written = SampleRecord();
  PasswordRecord read;
  ASSERT_TRUE(DecodeRecord(EncodeRecord(written), &read));
  EXPECT_EQ(read.verifier, written.verifier);
  ExpectSameTrees(read.trees, written.trees);
}

TEST(PasswordRecordsTest, ARecordFromBeforeTreesWereListedNamesNone) {
  PasswordRecord read;
  read.trees = SampleRecord().trees;
  for (const std::string& bytes : {SampleRecord().verifier + "\n", SampleRecord().verifier}) {
    ASSERT_TRUE(DecodeRecord(bytes, &read)) << bytes;
    EXPECT_EQ(read.verifier, SampleRecord().verifier);
    EXPECT_TRUE(read.trees.empty());
  }
  EXPECT_FALSE(DecodeRecord("", &read));
  EXPECT_FALSE(DecodeRecord("\ntree 2f61 0011223344556677\n", &read));
}

TEST(PasswordRecordsTest, LinesCutShortOrUnknownAreSkipped) {
  const PasswordRecord written = SampleRecord();
  const std::string bytes = EncodeRecord(written);
  // Cut inside the last line, and right before its line end.
  const std::size_t last_line = bytes.rfind('\n', bytes.size() - 2) + 1;
  for (std::size_t cut = last_line; cut < bytes.size(); ++cut) {
    PasswordRecord read;
    ASSERT_TRUE(DecodeRecord(bytes.substr(0, cut), &read)) << cut;
    ExpectSameTrees(read.trees, {written.trees[0], written.trees[1]});
  }
  PasswordRecord read;
  ASSERT_TRUE(DecodeRecord(written.verifier + "\n"
                           "a line of a later version\n"
                           "tree 612f62 0011223344556677\n"  // not a real path
                           "tree 2f7a zz\n",
                           &read));
  ExpectSameTrees(read.trees, {{"/z", {"zz"}}});
}

TEST(PasswordRecordsTest, ABindingNamesItsTreeAndTheFoldersAboveAndBelow) {
  const TreeBinding binding{"/home/u/tree", {}};
  EXPECT_TRUE(BindsPath(binding, "/home/u/tree"));
  EXPECT_TRUE(BindsPath(binding, "/home/u"));
  EXPECT_TRUE(BindsPath(binding, "/"));
  EXPECT_TRUE(BindsPath(binding, "/home/u/tree/inner/deep"));
  EXPECT_FALSE(BindsPath(binding, "/home/u/other"));
  EXPECT_FALSE(BindsPath(binding, "/home/u/tree-2"));
  EXPECT_FALSE(BindsPath(binding, "/home/u/tre"));
  EXPECT_FALSE(BindsPath(binding, "/srv/tree"));
}

TEST(PasswordRecordsTest, ABindingNamesATreeItSharesAnEncipheredNameWith) {
  const TreeBinding binding{"/old/place", {"11", "55", "99"}};
  EXPECT_TRUE(BindsNames(binding, {"00", "55", "77"}));
  EXPECT_TRUE(BindsNames(binding, {"99"}));
  EXPECT_FALSE(BindsNames(binding, {"00", "22", "66", "aa"}));
  EXPECT_FALSE(BindsNames(binding, {}));
  EXPECT_FALSE(BindsNames(TreeBinding{"/old/place", {}}, {"11"}));
}

// Records of "Summer2024!" and "Summer2025!", which differ only in an even
// bit of their tenth unit: same name keys, same lookup digest.
class CheckPasswordTest : public ::testing::Test {
 protected:
  // Hashing takes a fifth of a second: each verifier is made once, by the
  // encryption's own path, and placed in each case's records as needed.
  static void SetUpTestSuite() {
    const ScopedStateHome state;
    verifiers_ = new std::vector<std::string>;
    Crypter first;
    first.SetPassword(kPassword2024);
    digest_ = new std::string(LookupDigest(first));
    for (const char16_t* password : {kPassword2024, kPassword2025}) {
      Crypter crypter;
      crypter.SetPassword(password);
      PendingVerifier pending;
      pending.Prepare(crypter);
      ASSERT_TRUE(pending.Write(TreeIdentity{}, false));
      for (const PasswordRecord& record : LoadRecords(state.folder() + "/passwords", *digest_)) {
        ASSERT_TRUE(record.trees.empty());
        if (std::find(verifiers_->begin(), verifiers_->end(), record.verifier) ==
            verifiers_->end()) {
          verifiers_->push_back(record.verifier);  // the one just written
        }
      }
    }
    ASSERT_EQ(verifiers_->size(), 2u);
  }
  static void TearDownTestSuite() {
    delete verifiers_;
    delete digest_;
  }

  // Writes a record of |verifier| bound to |trees| into the state folder.
  static void Place(const std::string& verifier, std::vector<TreeBinding> trees) {
    static int tag = 0;
    PasswordRecord record;
    record.file = PasswordRecordsFolder() + "/" + *digest_ + "-" + std::to_string(1000 + ++tag);
    record.verifier = verifier;
    record.trees = std::move(trees);
    ASSERT_TRUE(StoreRecord(record));
  }
  static const std::string& Of2024() { return (*verifiers_)[0]; }
  static const std::string& Of2025() { return (*verifiers_)[1]; }

  PasswordMatch Check(const char16_t* password, const TreeIdentity& tree) {
    Crypter crypter;
    crypter.SetPassword(password);
    return CheckPassword(crypter, tree);
  }

  static constexpr char16_t kPassword2024[] = u"Summer2024!";
  static constexpr char16_t kPassword2025[] = u"Summer2025!";
  static std::vector<std::string>* verifiers_;
  static std::string* digest_;

  const TreeIdentity tree_{"/srv/trees/tree", {"0000000000000001", "00000000000000aa"}};
  const TreeIdentity other_{"/srv/trees/other", {"00000000000000bb"}};
};

std::vector<std::string>* CheckPasswordTest::verifiers_ = nullptr;
std::string* CheckPasswordTest::digest_ = nullptr;

TEST_F(CheckPasswordTest, NearPasswordsShareTheLookupDigest) {
  Crypter crypter;
  crypter.SetPassword(kPassword2025);
  EXPECT_EQ(LookupDigest(crypter), *digest_);
  EXPECT_NE(Of2024(), Of2025());
}

TEST_F(CheckPasswordTest, TheRecordsBoundToTheTreeDecide) {
  const TreeBinding tree{tree_.real_path, {}};
  const TreeBinding other{other_.real_path, other_.name_digests};
  {
    SCOPED_TRACE("bound by path, the other password's record elsewhere");
    const ScopedStateHome state;
    Place(Of2024(), {tree});
    Place(Of2025(), {other});
    EXPECT_EQ(Check(kPassword2024, tree_), PasswordMatch::kMatches);
    const TreeIdentity inner{tree_.real_path + "/inner", {}};
    EXPECT_EQ(Check(kPassword2024, inner), PasswordMatch::kMatches);
    // Another record takes it, but not the one of this tree.
    EXPECT_EQ(Check(kPassword2025, tree_), PasswordMatch::kDiffers);
    EXPECT_EQ(Check(kPassword2025, other_), PasswordMatch::kMatches);
  }
  {
    SCOPED_TRACE("moved since: bound by a name in its top folder");
    const ScopedStateHome state;
    Place(Of2024(), {{"/mnt/old place", {tree_.name_digests[1]}}});
    Place(Of2025(), {other});
    EXPECT_EQ(Check(kPassword2024, tree_), PasswordMatch::kMatches);
    EXPECT_EQ(Check(kPassword2025, tree_), PasswordMatch::kDiffers);
  }
}

TEST_F(CheckPasswordTest, WithoutABoundRecordOnlyALoneUnboundOneProves) {
  {
    SCOPED_TRACE("a lone record that names no tree");
    const ScopedStateHome state;
    Place(Of2024(), {});
    EXPECT_EQ(Check(kPassword2024, tree_), PasswordMatch::kMatches);
    EXPECT_EQ(Check(kPassword2025, tree_), PasswordMatch::kDiffers);
  }
  {
    SCOPED_TRACE("a lone record that names another tree");
    const ScopedStateHome state;
    Place(Of2024(), {{other_.real_path, other_.name_digests}});
    EXPECT_EQ(Check(kPassword2024, tree_), PasswordMatch::kUnproven);
  }
  {
    SCOPED_TRACE("several records, none bound");
    const ScopedStateHome state;
    Place(Of2024(), {});
    Place(Of2025(), {});
    EXPECT_EQ(Check(kPassword2024, tree_), PasswordMatch::kUnproven);
    EXPECT_EQ(Check(kPassword2025, tree_), PasswordMatch::kUnproven);
  }
  {
    SCOPED_TRACE("no record under the digest");
    const ScopedStateHome state;
    EXPECT_EQ(Check(kPassword2024, tree_), PasswordMatch::kNoRecord);
    Place(Of2024(), {});
    EXPECT_EQ(Check(u"Winter1999?", tree_), PasswordMatch::kNoRecord);
  }
}

}  // namespace
}  // namespace velmora::state
