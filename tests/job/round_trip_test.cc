// Whole runs over real trees: what encryption changes, decryption restores,
// byte for byte, and what neither may touch.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "job/messages.h"
#include "platform/wtf8.h"
#include "tests/support/dialog_harness.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

constexpr char16_t kPassword[] = u"correct horse \u3042";

class RoundTripTest : public ::testing::Test {
 protected:
  void Build() {
    const std::string& r = h_.root();
    WriteFile(r + "/a.txt", "hello");
    WriteFile(r + "/empty", "");
    WriteFile(r + "/photo.JPG", RandomContents(20000, 1));
    WriteFile(r + "/big.bin", RandomContents(3 * 1048576 + 5, 2));
    MakeDirectory(r + "/sub");
    WriteFile(r + "/sub/\xe5\xa0\xb1\xe5\x91\x8a.txt", RandomContents(5000, 3));
    MakeDirectory(r + "/sub/deeper");
    WriteFile(r + "/sub/deeper/last", "deepest");
    MakeDirectory(r + "/empty dir");
    WriteFile(r + "/readonly", "do not write");
    ::chmod((r + "/readonly").c_str(), 0444);
    struct timespec times[2] = {{1000, 123456789}, {2000, 987654321}};
    ::utimensat(AT_FDCWD, (r + "/readonly").c_str(), times, 0);
    ::mkfifo((r + "/fifo").c_str(), 0600);
    // A link to a directory outside the target, and a link to a file inside.
    WriteFile(outside_.path() + "/keep.txt", "outside");
    ::symlink(outside_.path().c_str(), (r + "/outside-link").c_str());
    ::symlink("a.txt", (r + "/inner-link").c_str());
  }

  TempDir outside_;
  DialogHarness h_;
};

TEST_F(RoundTripTest, EncryptThenDecryptRestoresEverything) {
  Build();
  const TreeSnapshot before = Snapshot(h_.root());
  const TreeSnapshot outside_before = Snapshot(outside_.path());

  h_.Encrypt(kPassword);
  EXPECT_EQ(h_.window().unexpected_boxes, 0);
  EXPECT_EQ(h_.job().m_nFound, 13);
  EXPECT_EQ(h_.job().m_nDone, 13);
  EXPECT_EQ(h_.Status(IDC_STATUS_SUB), text::kProcessingComplete);
  EXPECT_FALSE(h_.window().IsControlEnabled(IDC_EXECUTE));
  // Every name is enciphered.
  const TreeSnapshot encrypted = Snapshot(h_.root());
  ASSERT_EQ(encrypted.size(), before.size());
  for (const auto& [path, entry] : encrypted) {
    EXPECT_EQ(before.count(path), 0u) << path;
    const std::u16string name = Utf16FromWtf8(path.substr(path.rfind('/') + 1));
    EXPECT_NE(h_.crypter().IsEncryptedName(name), -1) << path;
  }
  EXPECT_EQ(Snapshot(outside_.path()), outside_before);

  h_.Decrypt(kPassword);
  EXPECT_EQ(h_.window().unexpected_boxes, 0) << h_.window().Dump();
  EXPECT_EQ(h_.job().m_nDone, 13);
  EXPECT_EQ(Snapshot(h_.root()), before);
  EXPECT_EQ(Snapshot(outside_.path()), outside_before);
}

TEST_F(RoundTripTest, WrongPasswordLeavesEveryNameAndByte) {
  Build();
  h_.Encrypt(kPassword);
  const TreeSnapshot encrypted = Snapshot(h_.root());

  // Skip every refusal: nothing may be renamed or transformed.
  h_.window().SetResponder([](const std::u16string&, unsigned flags) {
    return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDIGNORE;
  });
  h_.Decrypt(u"wrong password");
  EXPECT_EQ(h_.job().m_nDone, 0);
  EXPECT_EQ(Snapshot(h_.root()), encrypted);
  EXPECT_GE(h_.window().CountBoxes(u"次のファイルは、パスワードが一致しない"), 1);
}

}  // namespace
}  // namespace velmora::testing

namespace velmora::testing {
namespace {

TEST(NameSafetyTest, UnrepresentableNamesAreReportedAndLeftAlone) {
  DialogHarness h;
  const std::string& r = h.root();
  WriteFile(r + "/cr\rname", "carriage return");      // one entry, not two
  MakeDirectory(r + "/\x83\x65\x83\x58\x83\x67");  // Shift_JIS bytes
  WriteFile(r + "/\x83\x65\x83\x58\x83\x67/inside.txt", "below");
  WriteFile(r + "/what?.txt", "question mark");
  WriteFile(r + "/ leading space", "space");
  WriteFile(r + "/fine.txt", "fine");
  const TreeSnapshot before = Snapshot(r);

  h.window().SetResponder([](const std::u16string&, unsigned) { return IDYES; });
  h.Encrypt(u"pw");
  EXPECT_EQ(h.job().m_nFound, 6);
  EXPECT_EQ(h.job().m_nDone, 2);  // fine.txt, and inside.txt below the refused directory
  // The first refusal asks, and the user asks not to be asked again.
  EXPECT_EQ(h.window().CountBoxes(u"次のファイルは、ファイル名に使用できない文字"), 1);
  EXPECT_EQ(ReadFile(r + "/cr\rname"), "carriage return");
  EXPECT_EQ(ReadFile(r + "/what?.txt"), "question mark");
  EXPECT_EQ(ReadFile(r + "/ leading space"), "space");
  EXPECT_EQ(Names(r + "/\x83\x65\x83\x58\x83\x67").size(), 1u);
  EXPECT_NE(Names(r + "/\x83\x65\x83\x58\x83\x67")[0], "inside.txt");

  // Decrypting gives back exactly the tree as it was: the refused names
  // were never touched, and decryption skips them as plain names.
  h.Decrypt(u"pw");
  EXPECT_EQ(h.job().m_nDone, 2);
  EXPECT_EQ(Snapshot(r), before);
}

}  // namespace
}  // namespace velmora::testing
