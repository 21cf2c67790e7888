// The scan before every run: what it counts, which files it refuses, and
// how a newer scan started inside its message pump takes over. Large files
// are sparse, so they cost nothing to make.

#include <filesystem>
#include <tuple>

#include "tests/job/job_test_util.h"

namespace velmora::testing {
namespace {

constexpr int64_t k4GiB = 4294967296;
constexpr int64_t kOverWholeRange = 2146435073;  // one byte past 2047 MiB

class ScanTest : public JobTest {
 protected:
  // Scans the directory afresh, as a path change would.
  void Rescan() {
    w().boxes.clear();
    h_.TypePath(U16(h_.root()));
  }
};

TEST_F(ScanTest, RefusesFilesPastEitherSizeLimit) {
  const std::u16string too_large = text::kFileTooLarge;
  const std::u16string over_whole = Format(text::kFileOverWholeLimit, {2047});
  const struct {
    std::string path;
    int64_t size;
    std::u16string refusal;  // empty: the scan completes
    int32_t extension_rule = 1;
  } cases[] = {
      {"huge.bin", k4GiB, too_large},
      {"huge.zip", k4GiB, too_large},
      {Enc(u"huge.bin"), k4GiB, too_large},
      {"S/T/huge", k4GiB, too_large},
      {Enc(u"huge.bin"), k4GiB - 1, u""},
      {"movie.bin", kOverWholeRange, over_whole},
      {"at-limit.bin", kOverWholeRange - 1, u""},
      {"movie.ZIP", kOverWholeRange, u""},
      {"movie.zip", kOverWholeRange, over_whole, 0},  // enciphered whole
      {Enc(u"movie.bin"), 3 * 1073741824LL, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " " + std::to_string(c.size));
    Empty();
    Make({"a"});
    std::filesystem::create_directories(std::filesystem::path(Path(c.path)).parent_path());
    MakeSparseFile(Path(c.path), c.size);
    h_.dialog().ext_rule_ = c.extension_rule;
    Rescan();
    const bool refused = !c.refusal.empty();
    const std::size_t slash = c.path.rfind('/') + 1;  // 0 at the top
    const std::u16string where = Format(text::kPathBlock, {U16(Path(c.path.substr(0, slash))),
                                                           U16(c.path.substr(slash))});
    EXPECT_EQ(w().boxes, (refused ? Boxes{{c.refusal + where, MB_OK | MB_ICONERROR, IDOK}} : Boxes{}));
    EXPECT_EQ(w().IsControlEnabled(IDC_EXECUTE), !refused);
  }
}

TEST_F(ScanTest, CountsEveryEntryOfTheNewerScanStartedInsideThePump) {
  // The older tree is deep enough that the newer scan starts while the
  // older one is two levels down.
  Make({"a", "S/", "S/T/", "S/T/x", "N/", "N/1", "N/D/", "N/D/2", "N/" + Enc(u"3")});
  bool switched = false;
  w().on_pump = [&] {
    if (switched || !h_.Status(IDC_STATUS_MAIN).ends_with(u"/S/T/*")) return;
    switched = true;
    w().SetControlText(IDC_PATH, U16(Path("N")));
    h_.dialog().CheckTargetPath();
  };
  Rescan();
  ASSERT_TRUE(switched);
  EXPECT_EQ(h_.job().scan_dir, U16(Path("N")));
  EXPECT_EQ(std::tuple(h_.job().scan_total, h_.job().scan_plain, h_.job().scan_encrypted),
            std::tuple(4, 3, 1));  // every entry at every depth, by kind
  EXPECT_EQ(h_.Status(IDC_STATUS_MAIN), u"4\u3000ファイル見つかりました。");
}

TEST_F(ScanTest, EncryptionStopsAtA4GiBFileTheScanDidNotSee) {
  Make({"top.txt", "S/"});
  h_.Choose(IDC_RADIO_ENCRYPT);
  MakeSparseFile(Path("S/huge"), k4GiB);
  h_.Execute(kPassword);
  EXPECT_EQ(w().boxes.front(),
            (ScriptedWindow::Box{text::kFileTooLarge + Format(text::kPathBlock, {U16(Path("S/")), u"huge"}),
                                 MB_OK | MB_ICONERROR, IDOK}));
  EXPECT_EQ(Names(h_.root()), (std::vector<std::string>{"S", "top.txt"}));  // it stopped there
}

}  // namespace
}  // namespace velmora::testing
