// The scan before every run: what it counts, which files it refuses, and
// how a newer scan started inside its message pump takes over. Large files
// are sparse, so they cost nothing to make.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "job/messages.h"
#include "tests/job/job_test_util.h"
#include "tests/support/dialog_harness.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

constexpr char16_t kPassword[] = u"scan";
constexpr int64_t k4GiB = 4294967296;
constexpr int64_t kOverWholeRange = 2146435073;  // one byte past 2047 MiB

class ScanTest : public ::testing::Test {
 protected:
  // Scans the harness's directory afresh, as a path change would.
  void Rescan() {
    h_.window().boxes.clear();
    h_.window().sub_status_history.clear();
    h_.TypePath(U16(h_.root()));
  }

  bool SearchCompleted() {
    for (const std::u16string& text : h_.window().sub_status_history) {
      if (text == text::kSearchComplete) return true;
    }
    return false;
  }

  void ExpectRefused(const std::u16string& message, const std::string& directory,
                     const std::string& name) {
    ASSERT_EQ(h_.window().boxes.size(), 1u) << h_.window().Dump();
    EXPECT_EQ(h_.window().boxes[0].text,
              message + Format(text::kPathBlock, {U16(directory + "/"), U16(name)}));
    EXPECT_EQ(h_.window().boxes[0].flags, MB_OK | MB_ICONERROR);
    EXPECT_EQ(h_.dialog().m_lastScanOutcome, ScanOutcome::kRefused);
    EXPECT_FALSE(h_.window().IsControlEnabled(IDC_EXECUTE));
    EXPECT_FALSE(SearchCompleted());
  }

  void ExpectCompleted(int32_t found) {
    EXPECT_TRUE(h_.window().boxes.empty()) << h_.window().Dump();
    EXPECT_EQ(h_.dialog().m_lastScanOutcome, ScanOutcome::kCompleted);
    EXPECT_TRUE(h_.window().IsControlEnabled(IDC_EXECUTE));
    EXPECT_EQ(h_.job().m_nScanTotal, found);
  }

  std::string Path(const std::string& name) const { return h_.root() + "/" + name; }

  DialogHarness h_;
};

TEST_F(ScanTest, EmptyTargetCompletesWithNothingFound) {
  Rescan();
  EXPECT_EQ(h_.Status(IDC_STATUS_SUB), u"検索完了");
  EXPECT_EQ(h_.Status(IDC_STATUS_MAIN), u"0\u3000ファイル見つかりました。");
  ExpectCompleted(0);
  EXPECT_EQ(h_.job().m_nScanEncrypted, 0);
  EXPECT_EQ(h_.job().m_nScanPlain, 0);
}

TEST_F(ScanTest, CountsEveryEntryAtEveryDepthByKind) {
  WriteFile(Path("f"), "f");
  MakeDirectory(Path("S"));
  WriteFile(Path("S/g"), "g");
  Rescan();
  EXPECT_EQ(h_.Status(IDC_STATUS_MAIN), u"3\u3000ファイル見つかりました。");
  ExpectCompleted(3);
  EXPECT_EQ(h_.job().m_nScanPlain, 3);

  WriteFile(Path("S/" + EncipheredName(kPassword, u"h")), "h");
  Rescan();
  ExpectCompleted(4);
  EXPECT_EQ(h_.job().m_nScanEncrypted, 1);
  EXPECT_EQ(h_.job().m_nScanPlain, 3);
}

TEST_F(ScanTest, FileOf4GiBIsRefusedWhateverItsName) {
  const std::string names[] = {"huge.bin", "huge.zip",
                               EncipheredName(kPassword, u"huge.bin")};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    MakeSparseFile(Path(name), k4GiB);
    Rescan();
    ExpectRefused(text::kFileTooLarge, h_.root(), name);
    ::unlink(Path(name).c_str());
  }
  // One byte less is not too large for an enciphered name.
  const std::string enciphered = EncipheredName(kPassword, u"huge.bin");
  MakeSparseFile(Path(enciphered), k4GiB - 1);
  Rescan();
  ExpectCompleted(1);
}

TEST_F(ScanTest, WholeFileLimitAppliesToPlainNamesWithoutARegisteredExtension) {
  MakeSparseFile(Path("movie.bin"), kOverWholeRange);
  Rescan();
  ExpectRefused(Format(text::kFileOverWholeLimit, {2047}), h_.root(), "movie.bin");
  EXPECT_TRUE(Contains(h_.window().boxes[0].text, u"2047"));
  ::unlink(Path("movie.bin").c_str());

  // At the limit itself, and past it with a registered extension in either
  // case, or with an enciphered name, the scan completes.
  MakeSparseFile(Path("at-limit.bin"), kOverWholeRange - 1);
  MakeSparseFile(Path("movie.ZIP"), kOverWholeRange);
  MakeSparseFile(Path("movie.zip"), kOverWholeRange);
  MakeSparseFile(Path(EncipheredName(kPassword, u"movie.bin")), 3 * 1073741824LL);
  Rescan();
  ExpectCompleted(4);
}

TEST_F(ScanTest, TooLargeFileInASubdirectoryStopsTheWholeScan) {
  WriteFile(Path("a"), "a");
  MakeDirectory(Path("S"));
  MakeDirectory(Path("S/T"));
  MakeSparseFile(Path("S/T/huge"), k4GiB);
  WriteFile(Path("z"), "z");
  Rescan();
  ExpectRefused(text::kFileTooLarge, Path("S/T"), "huge");
  EXPECT_EQ(h_.job().m_nScanTotal, 0);
}

TEST_F(ScanTest, ANewerScanStartedInsideThePumpIsTheOneThatStays) {
  // The older tree is deep enough that the newer scan starts while the
  // older one is two levels down.
  WriteFile(Path("a"), "a");
  MakeDirectory(Path("S"));
  MakeDirectory(Path("S/T"));
  WriteFile(Path("S/T/x"), "x");
  WriteFile(Path("S/T/y"), "y");
  TempDir newer;
  for (const char* name : {"1", "2", "3", "4", "5"}) {
    WriteFile(newer.path() + "/" + name, name);
  }
  WriteFile(newer.path() + "/" + EncipheredName(kPassword, u"6"), "6");

  bool switched = false;
  ScriptedWindow& window = h_.window();
  window.on_pump = [&] {
    if (switched || !EndsWith(window.GetControlText(IDC_STATUS_MAIN), u"/T/*")) return;
    switched = true;
    window.SetControlText(IDC_PATH, U16(newer.path()));
    h_.dialog().CheckTargetPath();
  };
  Rescan();
  window.on_pump = nullptr;

  ASSERT_TRUE(switched);
  EXPECT_EQ(h_.job().m_strScanDir, U16(newer.path()));
  EXPECT_EQ(h_.job().m_nScanTotal, 6);
  EXPECT_EQ(h_.job().m_nScanPlain, 5);
  EXPECT_EQ(h_.job().m_nScanEncrypted, 1);
  EXPECT_EQ(h_.Status(IDC_STATUS_MAIN), u"6\u3000ファイル見つかりました。");
  EXPECT_EQ(h_.Status(IDC_STATUS_SUB), text::kSearchComplete);
  EXPECT_EQ(window.sub_status_history.back(), text::kSearchComplete);
  EXPECT_TRUE(window.IsControlEnabled(IDC_EXECUTE));
  EXPECT_EQ(h_.dialog().m_lastScanOutcome, ScanOutcome::kCompleted);
}

TEST_F(ScanTest, EncryptionStopsAtA4GiBFileTheScanDidNotSee) {
  WriteFile(Path("top.txt"), "top");
  MakeDirectory(Path("S"));
  for (const char* name : {"d1", "d2", "d3"}) {
    MakeDirectory(Path("S/") + name);
    WriteFile(Path("S/") + name + "/inside", name);
  }
  h_.Choose(IDC_RADIO_ENCRYPT);
  ASSERT_TRUE(h_.window().IsControlEnabled(IDC_EXECUTE));
  // Named so that at least one subdirectory is listed before it.
  std::string huge;
  for (int attempt = 0; attempt < 50; ++attempt) {
    huge = "huge" + std::to_string(attempt);
    MakeSparseFile(Path("S/") + huge, k4GiB);
    if (ListingOrder(Path("S")).front() != huge) break;
    ::unlink((Path("S/") + huge).c_str());
  }
  h_.window().boxes.clear();
  h_.Execute(kPassword);

  ASSERT_GE(h_.window().boxes.size(), 2u) << h_.window().Dump();
  EXPECT_EQ(h_.window().boxes[0].text,
            text::kFileTooLarge +
                Format(text::kPathBlock, {U16(Path("S/")), U16(huge)}));
  EXPECT_EQ(h_.window().boxes[0].flags, MB_OK | MB_ICONERROR);
  EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kSomeDone);

  // The subdirectories listed before the file were finished inside; none
  // of S's own entries, and nothing at the top, was renamed.
  const std::string inside = EncipheredName(kPassword, u"inside");
  bool before_huge = true;
  int finished = 0;
  for (const std::string& name : ListingOrder(Path("S"))) {
    SCOPED_TRACE(name);
    if (name == huge) {
      before_huge = false;
      continue;
    }
    EXPECT_EQ(Names(Path("S/") + name),
              std::vector<std::string>{before_huge ? inside : "inside"});
    if (before_huge) ++finished;
  }
  EXPECT_GE(finished, 1);
  EXPECT_EQ(Names(h_.root()), (std::vector<std::string>{"S", "top.txt"}));
  EXPECT_EQ(ReadFile(Path("top.txt")), "top");
}

}  // namespace
}  // namespace velmora::testing
