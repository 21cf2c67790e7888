// Whole runs over real trees: what Linux trees bring that the walks must
// survive (depth, FIFOs, links out of the target, names no cipher can carry),
// and a tree enciphered by an earlier build that must still decrypt exactly.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/job/job_test_util.h"
#include "tests/support/reference_transform.h"
#include "tests/support/temp_dir.h"

namespace velmora::testing {
namespace {

using LinuxSafetyTest = JobTest;

TEST_F(LinuxSafetyTest, TreeThreeHundredLevelsDeepRoundTrips) {
  // Enciphered, the deepest path is far longer than PATH_MAX.
  std::string path = h_.root();
  for (int level = 0; level < 300; ++level) MakeDirectory(path += "/d");
  WriteFile(path + "/bottom.txt", "at the bottom");
  const TreeSnapshot before = Snapshot(h_.root());
  h_.Encrypt(kPassword);
  EXPECT_EQ(w().boxes.back().text, u"全て正常に処理しました。\r\n301 / 301ファイル");
  EXPECT_EQ(Names(h_.root()), std::vector<std::string>{Enc(u"d")});
  h_.Decrypt(kPassword);
  EXPECT_EQ(w().boxes.back().text, u"全て正常に処理しました。\r\n301 / 301ファイル");
  EXPECT_EQ(Snapshot(h_.root()), before);
}

TEST_F(LinuxSafetyTest, FifosAndLinksOnlyChangeTheirNamesAndFilesKeepTheirStatus) {
  TempDir outside;
  WriteFile(outside.path() + "/note.txt", "outside");
  Make({"S/"});
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(Path("S/pipe.zip").c_str(), 0640), 0);  // never opened
  ASSERT_EQ(::symlink(outside.path().c_str(), Path("S/to-dir").c_str()), 0);
  WriteFile(Path("S/ro.txt"), RandomContents(9000, 11));
  const struct timespec times[2] = {{1234567890, 123456789}, {1600000000, 987654321}};
  ASSERT_EQ(::chmod(Path("S/ro.txt").c_str(), 0444), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, Path("S/ro.txt").c_str(), times, 0), 0);
  const TreeSnapshot outside_before = Snapshot(outside.path());
  const TreeSnapshot before = Snapshot(h_.root());
  ASSERT_EQ(::utimensat(AT_FDCWD, Path("S/ro.txt").c_str(), times, 0), 0);  // read just now
  const auto statuses = [](TreeSnapshot tree) {  // all but the file contents
    for (auto& [path, entry] : tree) entry.contents = entry.kind == 'f' ? "" : entry.contents;
    return tree;
  };
  TreeSnapshot renamed;
  for (const auto& [path, entry] : before) {
    const std::size_t slash = path.find('/');
    renamed[slash == std::string::npos
                ? Enc(U16(path))
                : Enc(U16(path.substr(0, slash))) + "/" + Enc(U16(path.substr(slash + 1)))] = entry;
  }
  h_.Encrypt(kPassword);
  struct stat st {};  // before anything reads the file
  ASSERT_EQ(::stat(Path(Enc(u"S") + "/" + Enc(u"ro.txt")).c_str(), &st), 0);
  EXPECT_EQ(st.st_atim.tv_nsec, times[0].tv_nsec);
  EXPECT_EQ(statuses(Snapshot(h_.root())), statuses(renamed)) << Dump(w());
  EXPECT_EQ(Snapshot(outside.path()), outside_before);
  h_.Decrypt(kPassword);
  EXPECT_EQ(Snapshot(h_.root()), before) << Dump(w());
  EXPECT_EQ(Snapshot(outside.path()), outside_before);
}

TEST_F(LinuxSafetyTest, NamesNoCipherCanCarryAreRefusedAndLeftAlone) {
  const std::string sjis = "\x83\x65\x83\x58\x83\x67";               // Shift_JIS bytes
  Make({"cr\rname", sjis + "/", sjis + "/inside.txt", "fine.txt"});  // CR: one entry, not two
  const TreeSnapshot before = Snapshot(h_.root());
  std::vector<std::u16string> refused;
  for (const std::string& name : ListingOrder(h_.root())) {
    if (name != "fine.txt") refused.push_back(Detail(h_.root(), name));
  }
  w().answers = SkipEachProblem();
  h_.Encrypt(kPassword);
  EXPECT_EQ(DetailsOf(w(), Lead(text::kUnrepresentableName)), refused) << Dump(w());
  EXPECT_EQ(Names(Path(sjis)), std::vector<std::string>{Enc(u"inside.txt")});
  EXPECT_EQ(w().boxes.back().text, u"4 ファイル中 2 ファイル処理しました。");
  h_.Decrypt(kPassword);
  EXPECT_EQ(Snapshot(h_.root()), before);
}

// A size past 2 GiB has no 32-bit form: the key stream takes the largest
// range as the file's size, the same on both sides of the cipher.
TEST_F(LinuxSafetyTest, FilesOfTwoGigabytesUseTheLargestRangeAsSize) {
  MakeSparseFile(Path("big.zip"), (int64_t{1} << 31) + 10);  // the head class
  h_.Encrypt(kPassword);
  Crypter crypter;
  crypter.SetPassword(kPassword);
  std::string head(8192, '\0');
  ReferenceTransformBuffer(crypter, Direction::kEncrypt, reinterpret_cast<uint8_t*>(head.data()),
                           8192, 0, kWholeRangeBytes);
  std::string on_disk(8192, '\0');
  std::ifstream(Path(Enc(u"big.zip")), std::ios::binary).read(on_disk.data(), 8192);
  EXPECT_EQ(on_disk, head);
  h_.Decrypt(kPassword);
  std::ifstream(Path("big.zip"), std::ios::binary).read(on_disk.data(), 8192);
  EXPECT_EQ(on_disk, std::string(8192, '\0'));
}

// tests/data/frozen_tree/manifest.txt (its header describes the format)
// decrypts to its plain tree, which encrypts back to the same bytes.
TEST(FrozenTreeTest, DecryptsToThePlainTreeAndEncryptsBackExactly) {
  const auto from_hex = [](const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2) {
      bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
  };
  std::u16string password;
  std::map<std::string, std::string> enciphered, plain;  // path -> kind and contents
  std::ifstream in(std::string(VELMORA_TEST_DATA_DIR) + "/frozen_tree/manifest.txt");
  for (std::string line; std::getline(in, line);) {
    std::string tag, path, contents;
    std::istringstream(line) >> tag >> path >> contents;
    if (tag == "password") {
      const std::string units = from_hex(path);  // UTF-16LE, as this machine holds it
      password.resize(units.size() / 2);
      std::memcpy(password.data(), units.data(), password.size() * 2);
    } else if (tag.size() == 1 && std::string("dfDF").find(tag) != std::string::npos) {
      (std::islower(tag[0]) ? enciphered : plain)[from_hex(path)] =
          static_cast<char>(std::tolower(tag[0])) + from_hex(contents);
    }
  }
  ASSERT_GE(enciphered.size(), 10u);
  const auto tree = [](const std::string& root) {
    std::map<std::string, std::string> entries;
    for (const auto& [path, entry] : Snapshot(root)) entries[path] = entry.kind + entry.contents;
    return entries;
  };
  DialogHarness h;
  for (const auto& [path, entry] : enciphered) {
    if (entry[0] == 'd') MakeDirectory(h.root() + "/" + path);
    if (entry[0] == 'f') WriteFile(h.root() + "/" + path, entry.substr(1));
  }
  ASSERT_EQ(tree(h.root()), enciphered);
  // Made elsewhere, with short names: no verifier here, so the person is asked.
  h.window().answers = {{Lead(text::kPasswordUnchecked), IDYES}};
  h.Decrypt(password);
  EXPECT_TRUE(tree(h.root()) == plain) << "no longer decrypts to its plain tree";
  h.Encrypt(password);
  EXPECT_TRUE(tree(h.root()) == enciphered) << "no longer encrypts back to itself";
  EXPECT_EQ(h.window().unexpected_boxes, 0) << Dump(h.window());
}

}  // namespace
}  // namespace velmora::testing
