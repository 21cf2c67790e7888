// The order in which the two walks reach entries. Encryption must rename
// everything inside a directory before the directory itself; decryption
// must rename a directory before it descends, and find it again under its
// new name. The order shows in the problem prompts, which name each entry
// as it is on disk when its turn comes.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "job/messages.h"
#include "tests/job/job_test_util.h"
#include "tests/support/dialog_harness.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

constexpr char16_t kPassword[] = u"walk order";

using Place = std::pair<std::string, std::string>;  // directory, name

// The entries the prompts starting with |reason| named, in order.
std::vector<Place> Prompted(const ScriptedWindow& window,
                            const std::vector<Place>& candidates,
                            std::u16string_view reason) {
  std::vector<Place> order;
  for (const ScriptedWindow::Box& box : BoxesStartingWith(window, reason)) {
    for (const Place& place : candidates) {
      if (Contains(box.text, Detail(place.first, place.second))) {
        order.push_back(place);
      }
    }
  }
  return order;
}

TEST(WalkOrderTest, EncryptionHandlesADirectorysEntriesBeforeIt) {
  DialogHarness h;
  const std::string& r = h.root();
  WriteFile(r + "/f", "f");
  MakeDirectory(r + "/S");
  WriteFile(r + "/S/g", "g");
  h.Encrypt(kPassword);
  ASSERT_EQ(h.dialog().m_lastRunOutcome, RunOutcome::kAllDone);

  // Every entry is enciphered now; one plain file lets the run start, and
  // each enciphered entry raises its own prompt when its turn comes.
  const std::string f = EncipheredName(kPassword, u"f");
  const std::string s = EncipheredName(kPassword, u"S");
  const std::string g = EncipheredName(kPassword, u"g");
  WriteFile(r + "/p", "p");
  h.window().SetResponder(Script()
                              .On(Format(text::kMixedEncrypted, {3}), IDYES)
                              .On(FirstLine(text::kAlreadyEncrypted), IDYES)
                              .On(text::kDontShowAgain, IDNO)
                              .Responder());
  std::vector<Place> expected = {{r + "/" + s, g}};
  for (const std::string& name : ListingOrder(r)) {
    if (name != "p") expected.emplace_back(r, name);
  }
  h.Encrypt(kPassword);

  const std::vector<Place> candidates = {{r + "/" + s, g}, {r, f}, {r, s}};
  EXPECT_EQ(Prompted(h.window(), candidates, FirstLine(text::kAlreadyEncrypted)),
            expected)
      << h.window().Dump();
  for (const auto& box : BoxesStartingWith(h.window(), FirstLine(text::kAlreadyEncrypted))) {
    EXPECT_EQ(box.flags, MB_YESNO | MB_ICONWARNING);
  }
  EXPECT_EQ(h.job().m_nDone, 1);  // p
}

TEST(WalkOrderTest, DecryptionHandlesADirectoryBeforeItsEntries) {
  DialogHarness h;
  const std::string& r = h.root();
  WriteFile(r + "/f", "f");
  MakeDirectory(r + "/S");
  WriteFile(r + "/S/g", "g");
  // An enciphered entry for the scan to find, gone before the run.
  const std::string decoy = r + "/" + EncipheredName(kPassword, u"decoy");
  WriteFile(decoy, "decoy");
  h.Choose(IDC_RADIO_DECRYPT);
  ::unlink(decoy.c_str());

  std::vector<Place> expected;
  for (const std::string& name : ListingOrder(r)) expected.emplace_back(r, name);
  expected.emplace_back(r + "/S", "g");
  h.window().SetResponder(Script()
                              .On(Format(text::kMixedPlain, {3}), IDYES)
                              .On(FirstLine(text::kNotEncrypted), IDYES)
                              .On(text::kDontShowAgain, IDNO)
                              .Responder());
  h.Execute(kPassword);

  const std::vector<Place> candidates = {{r, "f"}, {r, "S"}, {r + "/S", "g"}};
  EXPECT_EQ(Prompted(h.window(), candidates, FirstLine(text::kNotEncrypted)),
            expected)
      << h.window().Dump();
  for (const auto& box : BoxesStartingWith(h.window(), FirstLine(text::kNotEncrypted))) {
    EXPECT_EQ(box.flags, MB_YESNO | MB_ICONWARNING);
  }
  EXPECT_EQ(h.window().boxes.back().text, u"3 ファイル中 0 ファイル処理しました。");
}

TEST(WalkOrderTest, DecryptionDescendsUnderTheDecipheredName) {
  DialogHarness h;
  const std::string& r = h.root();
  MakeDirectory(r + "/S");
  WriteFile(r + "/S/x", "x");
  h.Encrypt(kPassword);
  const std::string s = EncipheredName(kPassword, u"S");
  ASSERT_EQ(Names(r), std::vector<std::string>{s});
  WriteFile(r + "/" + s + "/plain", "plain");  // prompts from inside S

  h.window().SetResponder(Script()
                              .On(Format(text::kMixedPlain, {1}), IDYES)
                              .On(FirstLine(text::kNotEncrypted), IDYES)
                              .On(text::kDontShowAgain, IDNO)
                              .Responder());
  h.Decrypt(kPassword);
  EXPECT_EQ(Prompted(h.window(), {{r + "/S", "plain"}}, FirstLine(text::kNotEncrypted)),
            (std::vector<Place>{{r + "/S", "plain"}}))
      << h.window().Dump();
  EXPECT_EQ(Names(r + "/S"), (std::vector<std::string>{"plain", "x"}));
  EXPECT_EQ(ReadFile(r + "/S/x"), "x");
}

TEST(WalkOrderTest, AnUnconvertibleDirectoryKeepsItsNameAndIsStillWalked) {
  // Encryption: a leading space cannot come back from the cipher.
  {
    DialogHarness h;
    const std::string& r = h.root();
    MakeDirectory(r + "/ S");
    WriteFile(r + "/ S/g", "inside");
    h.window().SetResponder(Script()
                                .On(FirstLine(text::kUnrepresentableName), IDYES)
                                .On(text::kDontShowAgain, IDNO)
                                .Responder());
    h.Encrypt(kPassword);
    EXPECT_EQ(Names(r), std::vector<std::string>{" S"});
    EXPECT_EQ(Names(r + "/ S"),
              std::vector<std::string>{EncipheredName(kPassword, u"g")});
    EXPECT_EQ(h.window().boxes.back().text, u"2 ファイル中 1 ファイル処理しました。");
  }
  // Decryption: a plain directory name among enciphered entries.
  {
    DialogHarness h;
    const std::string& r = h.root();
    MakeDirectory(r + "/S");
    WriteFile(r + "/S/g", "inside");
    h.Encrypt(kPassword);
    const std::string s = EncipheredName(kPassword, u"S");
    ASSERT_EQ(::rename((r + "/" + s).c_str(), (r + "/S").c_str()), 0);

    h.window().SetResponder(Script()
                                .On(Format(text::kMixedPlain, {1}), IDYES)
                                .On(FirstLine(text::kNotEncrypted), IDYES)
                                .On(text::kDontShowAgain, IDNO)
                                .Responder());
    h.Decrypt(kPassword);
    EXPECT_EQ(Names(r), std::vector<std::string>{"S"});
    EXPECT_EQ(Names(r + "/S"), std::vector<std::string>{"g"});
    EXPECT_EQ(ReadFile(r + "/S/g"), "inside");
  }
}

}  // namespace
}  // namespace velmora::testing
