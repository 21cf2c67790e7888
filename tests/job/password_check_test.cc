// The password a tree was encrypted with, checked before a decryption
// changes anything. A name of n units checks the first n password units in
// full but only the odd bits of the rest, so "Summer2025!" deciphers the
// short names of a tree encrypted with "Summer2024!" and would garble its
// contents. The verifier recorded by the encryption catches that; a name as
// long as the password needs none; without either the person decides.

#include <filesystem>

#include "state/password_verifier.h"
#include "tests/job/job_test_util.h"

namespace velmora::testing {
namespace {

constexpr char16_t kRight[] = u"Summer2024!";
constexpr char16_t kMistyped[] = u"Summer2025!";

class PasswordCheckTest : public JobTest {
 protected:
  std::string VerifierFolder() const { return h_.state_home().folder() + "/passwords"; }
  std::size_t Verifiers() const {
    std::error_code error;
    std::size_t count = 0;
    for (auto it = std::filesystem::directory_iterator(VerifierFolder(), error);
         !error && it != std::filesystem::directory_iterator(); ++it) {
      ++count;
    }
    return count;
  }
  // As if the tree had been encrypted on another account.
  void ForgetVerifiers() { std::filesystem::remove_all(VerifierFolder()); }
  // As if the records had been written before they named their trees.
  void ForgetBindings() {
    for (const auto& file : std::filesystem::directory_iterator(VerifierFolder())) {
      const std::string text = ReadFile(file.path());
      std::filesystem::remove(file.path());
      WriteFile(file.path(), text.substr(0, text.find('\n') + 1));
    }
  }
  // Runs |radio| on the folder |tree| of the directory with |password|.
  void Run(const std::string& tree, int radio, const char16_t* password) {
    h_.TypePath(U16(Path(tree)));
    h_.Choose(radio);
    h_.Execute(password);
  }

  // Decrypts (or opens) with |password|: the run must end at the one box
  // |box| with |outcome|, the tree as it was.
  void ExpectRefused(int radio, const char16_t* password, const ScriptedWindow::Box& box,
                     RunOutcome outcome) {
    const TreeSnapshot before = Snapshot(h_.root());
    w().boxes.clear();
    h_.Choose(radio);
    h_.Execute(password);
    EXPECT_EQ(w().boxes, Boxes{box});
    EXPECT_EQ(h_.dialog().last_run_outcome_, outcome);
    EXPECT_EQ(Snapshot(h_.root()), before);
  }
  // The same on the folder |tree| of the directory.
  void ExpectRefusedOn(const std::string& tree, const char16_t* password,
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
};

TEST_F(PasswordCheckTest, MistypedPasswordIsRefusedByTheVerifierBeforeAnythingChanges) {
  Make({"a.txt", "notes/", "notes/b.txt"});
  h_.Encrypt(kRight);
  ASSERT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone);
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

  const ScriptedWindow::Box differs{std::u16string(text::kPasswordDiffers), MB_OK | MB_ICONERROR,
                                    IDOK};
  ExpectRefused(IDC_RADIO_DECRYPT, kMistyped, differs, RunOutcome::kWrongPassword);
  ExpectRefused(IDC_RADIO_TEMPORARY, kMistyped, differs, RunOutcome::kWrongPassword);

  w().boxes.clear();
  h_.Decrypt(kRight);
  EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  EXPECT_EQ(ReadFile(Path("notes/b.txt")), "notes/b.txt");
}

TEST_F(PasswordCheckTest, ANameAsLongAsThePasswordChecksItWithoutVerifierOrQuestion) {
  Make({"a.txt", "eleven unit"});
  h_.Encrypt(kRight);
  EXPECT_EQ(Verifiers(), 0u);  // the long name will check it: no slow hash
  // A verifier under the same name keys that refuses the right password:
  // consulted, it would stop the run.
  Crypter other;
  other.SetPassword(kMistyped);
  state::PendingVerifier planted;
  planted.Prepare(other);
  ASSERT_TRUE(planted.Write(state::TreeIdentity{}, false));
  const TreeSnapshot encrypted = Snapshot(h_.root());
  w().boxes.clear();
  h_.Decrypt(kRight);
  EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  EXPECT_EQ(w().boxes.size(), 1u) << Dump(w());  // the summary

  // The long name refuses the mistyped password, the short one takes it:
  // with no verifier, the person is asked.
  h_.Encrypt(kRight);
  ForgetVerifiers();
  w().answers = {{Lead(text::kPasswordUnchecked), IDNO}};
  ExpectRefused(IDC_RADIO_DECRYPT, kMistyped,
                {std::u16string(text::kPasswordUnchecked), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO},
                RunOutcome::kPasswordUnchecked);
}

TEST_F(PasswordCheckTest, WithoutVerifierShortNamesAskWhetherToTrustThePassword) {
  Make({"a.txt", "S/", "S/b.txt"});
  h_.Encrypt(kRight);
  ForgetVerifiers();
  w().answers = {{Lead(text::kPasswordUnchecked), IDNO}};
  const ScriptedWindow::Box asked{std::u16string(text::kPasswordUnchecked),
                                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO};
  ExpectRefused(IDC_RADIO_DECRYPT, kRight, asked, RunOutcome::kPasswordUnchecked);
  ExpectRefused(IDC_RADIO_TEMPORARY, kRight, asked, RunOutcome::kPasswordUnchecked);

  // A password every name refuses is no question: the walk refuses it.
  w().boxes.clear();
  w().answers = SkipEachProblem();
  h_.Decrypt(u"Winter1999?");
  EXPECT_TRUE(DetailsOf(w(), Lead(text::kPasswordUnchecked)).empty()) << Dump(w());
  EXPECT_FALSE(DetailsOf(w(), Lead(text::kWrongPassword)).empty()) << Dump(w());

  w().boxes.clear();
  w().answers = {{Lead(text::kPasswordUnchecked), IDYES}};
  h_.Decrypt(kRight);
  EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  EXPECT_EQ(ReadFile(Path("S/b.txt")), "S/b.txt");
  EXPECT_EQ(Verifiers(), 0u);  // only an encryption records one
}

// Two trees of one account, encrypted with near passwords that share the
// records' lookup digest: each record names the tree it encrypted, and the
// other tree's password is refused before anything changes, also after a
// tree was moved (known by its names) or encrypted again with the other.
TEST_F(PasswordCheckTest, AnotherTreesNearPasswordIsRefusedByTheRecordOfThisTree) {
  Make({"A/", "A/a.txt", "A/n/", "A/n/b.txt", "B/", "B/c.txt", "B/d.txt"});
  Run("A", IDC_RADIO_ENCRYPT, kRight);
  Run("B", IDC_RADIO_ENCRYPT, kMistyped);
  ASSERT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  EXPECT_EQ(Verifiers(), 2u);
  const ScriptedWindow::Box differs{std::u16string(text::kPasswordDiffers), MB_OK | MB_ICONERROR,
                                    IDOK};
  ExpectRefusedOn("B", kRight, differs, RunOutcome::kWrongPassword);
  ExpectRefusedOn("A", kMistyped, differs, RunOutcome::kWrongPassword);

  std::filesystem::rename(Path("B"), Path("moved"));
  ExpectRefusedOn("moved", kRight, differs, RunOutcome::kWrongPassword);
  Run("moved", IDC_RADIO_DECRYPT, kMistyped);
  EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  EXPECT_EQ(ReadFile(Path("moved/c.txt")), "B/c.txt");

  // A's password changes: its old record no longer speaks for it.
  Run("A", IDC_RADIO_DECRYPT, kRight);
  ASSERT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  Run("A", IDC_RADIO_ENCRYPT, kMistyped);
  ExpectRefusedOn("A", kRight, differs, RunOutcome::kWrongPassword);
  Run("A", IDC_RADIO_DECRYPT, kMistyped);
  EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  EXPECT_EQ(ReadFile(Path("A/n/b.txt")), "A/n/b.txt");
}

// Records that name no tree (older ones) cannot tell two near passwords
// apart: the person decides, and No is the answer that changes nothing.
TEST_F(PasswordCheckTest, WithoutARecordOfThisTreeANearPasswordIsNotTrustedUnasked) {
  Make({"A/", "A/a.txt", "B/", "B/c.txt"});
  Run("A", IDC_RADIO_ENCRYPT, kRight);
  Run("B", IDC_RADIO_ENCRYPT, kMistyped);
  ForgetBindings();
  w().answers = {{Lead(text::kPasswordUnproven), IDNO}};
  const ScriptedWindow::Box asked{std::u16string(text::kPasswordUnproven),
                                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO};
  ExpectRefusedOn("B", kRight, asked, RunOutcome::kPasswordUnchecked);

  // A password no record takes is still refused outright.
  const ScriptedWindow::Box differs{std::u16string(text::kPasswordDiffers), MB_OK | MB_ICONERROR,
                                    IDOK};
  ExpectRefusedOn("B", u"Summer2020!", differs, RunOutcome::kWrongPassword);

  w().answers = {{Lead(text::kPasswordUnproven), IDYES}};
  Run("B", IDC_RADIO_DECRYPT, kMistyped);
  EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  EXPECT_EQ(ReadFile(Path("B/c.txt")), "B/c.txt");
}

}  // namespace
}  // namespace velmora::testing
