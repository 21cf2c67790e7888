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

  // Decrypts (or opens) with |password|: the run must end at the one box
  // |box| with |outcome|, the tree as it was.
  void ExpectRefused(int radio, const char16_t* password, const ScriptedWindow::Box& box,
                     RunOutcome outcome) {
    const TreeSnapshot before = Snapshot(h_.root());
    w().boxes.clear();
    h_.Choose(radio);
    h_.Execute(password);
    EXPECT_EQ(w().boxes, Boxes{box});
    EXPECT_EQ(h_.dialog().m_lastRunOutcome, outcome);
    EXPECT_EQ(Snapshot(h_.root()), before);
  }
};

TEST_F(PasswordCheckTest, MistypedPasswordIsRefusedByTheVerifierBeforeAnythingChanges) {
  Make({"a.txt", "notes/", "notes/b.txt"});
  h_.Encrypt(kRight);
  ASSERT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone);
  EXPECT_EQ(Verifiers(), 1u);
  // A second encryption with the same password records nothing new.
  Make({"c.txt"});
  w().answers = SkipEachProblem();
  h_.Encrypt(kRight);
  ASSERT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kSomeDone) << Dump(w());
  EXPECT_EQ(Verifiers(), 1u);

  // What the walk would see: the mistyped password takes the names.
  Crypter engine;
  engine.SetPassword(kMistyped);
  engine.ConvertName(U16(Names(h_.root()).front()), OP_DECRYPT);
  ASSERT_EQ(engine.m_nError, ERR_NONE);

  const ScriptedWindow::Box differs{std::u16string(text::kPasswordDiffers), MB_OK | MB_ICONERROR,
                                    IDOK};
  ExpectRefused(IDC_RADIO_DECRYPT, kMistyped, differs, RunOutcome::kWrongPassword);
  ExpectRefused(IDC_RADIO_TEMPORARY, kMistyped, differs, RunOutcome::kWrongPassword);

  w().boxes.clear();
  h_.Decrypt(kRight);
  EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << Dump(w());
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
  ASSERT_TRUE(planted.Write());
  const TreeSnapshot encrypted = Snapshot(h_.root());
  w().boxes.clear();
  h_.Decrypt(kRight);
  EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << Dump(w());
  EXPECT_EQ(w().boxes.size(), 1u) << Dump(w());  // the summary

  // The long name refuses the mistyped password, the short one takes it:
  // with no verifier, the person is asked.
  h_.Encrypt(kRight);
  ForgetVerifiers();
  w().answers = {{Lead(text::kPasswordUnchecked), IDNO}};
  ExpectRefused(IDC_RADIO_DECRYPT, kMistyped,
                {std::u16string(text::kPasswordUnchecked), MB_YESNO | MB_ICONQUESTION, IDNO},
                RunOutcome::kPasswordUnchecked);
}

TEST_F(PasswordCheckTest, WithoutVerifierShortNamesAskWhetherToTrustThePassword) {
  Make({"a.txt", "S/", "S/b.txt"});
  h_.Encrypt(kRight);
  ForgetVerifiers();
  w().answers = {{Lead(text::kPasswordUnchecked), IDNO}};
  const ScriptedWindow::Box asked{std::u16string(text::kPasswordUnchecked),
                                  MB_YESNO | MB_ICONQUESTION, IDNO};
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
  EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << Dump(w());
  EXPECT_EQ(ReadFile(Path("S/b.txt")), "S/b.txt");
  EXPECT_EQ(Verifiers(), 0u);  // only an encryption records one
}

}  // namespace
}  // namespace velmora::testing
