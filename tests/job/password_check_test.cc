// The password a tree was encrypted with, checked before a decryption
// changes anything. A name of n units checks the first n password units in
// full but only the odd bits of the rest, so "Summer2025!" deciphers the
// short names of a tree encrypted with "Summer2024!". The verifier recorded
// by the encryption catches that; a name as long as the password needs
// none; without either the person decides. Record decisions themselves are
// tests/state/password_records_test.cc.

#include <filesystem>

#include "state/password_verifier.h"
#include "tests/job/job_test_util.h"

namespace velmora::testing {
namespace {

constexpr char16_t kRight[] = u"Summer2024!";
constexpr char16_t kMistyped[] = u"Summer2025!";
const ScriptedWindow::Box kDiffers{std::u16string(text::kPasswordDiffers), MB_OK | MB_ICONERROR,
                                   IDOK};

ScriptedWindow::Box Asked(Text question) {
  return {std::u16string(question), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO};
}

class PasswordCheckTest : public JobTest {
 protected:
  std::string VerifierFolder() const { return h_.state_home().folder() + "/passwords"; }
  std::size_t Verifiers() const {
    std::error_code error;
    std::size_t count = 0;
    for (std::filesystem::directory_iterator it(VerifierFolder(), error), end; !error && it != end;
         it.increment(error)) {
      ++count;
    }
    return count;
  }
  // Runs |radio| with |password| on the folder |tree| of the directory
  // ("": the directory itself).
  void Run(const std::string& tree, int radio, const char16_t* password) {
    h_.TypePath(U16(tree.empty() ? h_.root() : Path(tree)));
    h_.Choose(radio);
    h_.Execute(password);
  }
  // Decrypting and opening |tree| with |password| both end at the one box
  // |box| with |outcome|, the tree as it was.
  void ExpectRefused(const std::string& tree, const char16_t* password,
                     const ScriptedWindow::Box& box, RunOutcome outcome) {
    const TreeSnapshot before = Snapshot(h_.root());
    for (const int radio : {IDC_RADIO_DECRYPT, IDC_RADIO_TEMPORARY}) {
      w().boxes.clear();
      Run(tree, radio, password);
      EXPECT_EQ(w().boxes, Boxes{box}) << tree;
      EXPECT_EQ(h_.dialog().last_run_outcome_, outcome);
      EXPECT_EQ(Snapshot(h_.root()), before);
    }
  }
  void ExpectDecrypted(const std::string& tree, const char16_t* password) {
    w().boxes.clear();
    Run(tree, IDC_RADIO_DECRYPT, password);
    EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  }
};

TEST_F(PasswordCheckTest, MistypedPasswordIsRefusedByTheVerifierBeforeAnythingChanges) {
  Make({"a.txt", "notes/", "notes/b.txt"});
  h_.Encrypt(kRight);
  EXPECT_EQ(Verifiers(), 1u);
  // A second encryption with the same password records nothing new.
  Make({"c.txt"});
  w().answers = SkipEachProblem();
  h_.Encrypt(kRight);
  ASSERT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kSomeDone) << Dump(w());
  EXPECT_EQ(Verifiers(), 1u);
  // What the walk would see: the mistyped password takes the names.
  Crypter engine;
  engine.SetPassword(kMistyped);
  ASSERT_TRUE(engine.ConvertName(U16(Names(h_.root()).front()), Direction::kDecrypt).ok());
  ExpectRefused("", kMistyped, kDiffers, RunOutcome::kWrongPassword);
  ExpectDecrypted("", kRight);
  EXPECT_EQ(ReadFile(Path("notes/b.txt")), "notes/b.txt");
}

TEST_F(PasswordCheckTest, ANameAsLongAsThePasswordChecksItWithoutVerifierOrQuestion) {
  Make({"a.txt", "eleven unit"});
  h_.Encrypt(kRight);
  EXPECT_EQ(Verifiers(), 0u);  // the long name will check it: no slow hash
  // A verifier that refuses the right password: consulted, it would stop.
  Crypter other;
  other.SetPassword(kMistyped);
  state::PendingVerifier planted;
  planted.Prepare(other);
  ASSERT_TRUE(planted.Write(state::TreeIdentity{}, false));
  ExpectDecrypted("", kRight);
  EXPECT_EQ(w().boxes.size(), 1u) << Dump(w());  // the summary
  // The long name refuses the mistyped password, the short one takes it.
  h_.Encrypt(kRight);
  std::filesystem::remove_all(VerifierFolder());
  w().answers = {{Lead(text::kPasswordUnchecked), IDNO}};
  ExpectRefused("", kMistyped, Asked(text::kPasswordUnchecked), RunOutcome::kPasswordUnchecked);
}

TEST_F(PasswordCheckTest, WithoutVerifierShortNamesAskWhetherToTrustThePassword) {
  Make({"a.txt", "S/", "S/b.txt"});
  h_.Encrypt(kRight);
  std::filesystem::remove_all(VerifierFolder());  // as if encrypted on another account
  w().answers = {{Lead(text::kPasswordUnchecked), IDNO}};
  ExpectRefused("", kRight, Asked(text::kPasswordUnchecked), RunOutcome::kPasswordUnchecked);
  // A password every name refuses is no question: the walk refuses it.
  w().boxes.clear();
  w().answers = SkipEachProblem();
  h_.Decrypt(u"Winter1999?");
  EXPECT_TRUE(DetailsOf(w(), Lead(text::kPasswordUnchecked)).empty()) << Dump(w());
  EXPECT_FALSE(DetailsOf(w(), Lead(text::kWrongPassword)).empty()) << Dump(w());
  w().answers = {{Lead(text::kPasswordUnchecked), IDYES}};
  ExpectDecrypted("", kRight);
  EXPECT_EQ(ReadFile(Path("S/b.txt")), "S/b.txt");
  EXPECT_EQ(Verifiers(), 0u);  // only an encryption records one
}

// Two trees encrypted with near passwords: each record names its tree (by
// path, or once moved by its names), also after a tree's password changed.
TEST_F(PasswordCheckTest, AnotherTreesNearPasswordIsRefusedByTheRecordOfThisTree) {
  Make({"A/", "A/a.txt", "A/n/", "A/n/b.txt", "B/", "B/c.txt", "B/d.txt"});
  Run("A", IDC_RADIO_ENCRYPT, kRight);
  Run("B", IDC_RADIO_ENCRYPT, kMistyped);
  EXPECT_EQ(Verifiers(), 2u);
  ExpectRefused("B", kRight, kDiffers, RunOutcome::kWrongPassword);
  ExpectRefused("A", kMistyped, kDiffers, RunOutcome::kWrongPassword);
  std::filesystem::rename(Path("B"), Path("moved"));
  ExpectRefused("moved", kRight, kDiffers, RunOutcome::kWrongPassword);
  ExpectDecrypted("moved", kMistyped);
  EXPECT_EQ(ReadFile(Path("moved/c.txt")), "B/c.txt");
  ExpectDecrypted("A", kRight);
  Run("A", IDC_RADIO_ENCRYPT, kMistyped);
  ExpectRefused("A", kRight, kDiffers, RunOutcome::kWrongPassword);
  ExpectDecrypted("A", kMistyped);
  EXPECT_EQ(ReadFile(Path("A/n/b.txt")), "A/n/b.txt");
}

// Records that name no tree (older ones) cannot tell near passwords apart:
// the person decides; a password no record takes is still refused.
TEST_F(PasswordCheckTest, WithoutARecordOfThisTreeANearPasswordIsNotTrustedUnasked) {
  Make({"A/", "A/a.txt", "B/", "B/c.txt"});
  Run("A", IDC_RADIO_ENCRYPT, kRight);
  Run("B", IDC_RADIO_ENCRYPT, kMistyped);
  for (const auto& file : std::filesystem::directory_iterator(VerifierFolder())) {
    const std::string text = ReadFile(file.path());
    std::filesystem::remove(file.path());
    WriteFile(file.path(), text.substr(0, text.find('\n') + 1));
  }
  w().answers = {{Lead(text::kPasswordUnproven), IDNO}};
  ExpectRefused("B", kRight, Asked(text::kPasswordUnproven), RunOutcome::kPasswordUnchecked);
  ExpectRefused("B", u"Summer2020!", kDiffers, RunOutcome::kWrongPassword);
  w().answers = {{Lead(text::kPasswordUnproven), IDYES}};
  ExpectDecrypted("B", kMistyped);
  EXPECT_EQ(ReadFile(Path("B/c.txt")), "B/c.txt");
}

}  // namespace
}  // namespace velmora::testing
