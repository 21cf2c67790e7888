// Failures on one entry, made on demand through the file layer's fault
// seams or by the tree itself: what the user is told, what a retry does,
// and what is left on disk. A file must end up either unchanged under its
// old name, or named for what its bytes are, and never transformed twice.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "job/messages.h"
#include "platform/fault_injection.h"
#include "tests/job/job_test_util.h"
#include "tests/support/dialog_harness.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

constexpr char16_t kPassword[] = u"entry failures";

class EntryFailureTest : public ::testing::Test {
 protected:
  void SetUp() override { fault_injection::Reset(); }
  void TearDown() override { fault_injection::Reset(); }

  // Decrypts the tree and expects |name| back with |contents|.
  void ExpectDecryptsTo(const std::string& name, const std::string& contents) {
    h_.window().SetResponder(nullptr);
    h_.Decrypt(kPassword);
    EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone)
        << h_.window().Dump();
    EXPECT_EQ(ReadFile(h_.root() + "/" + name), contents);
  }

  std::string Path(const std::string& name) const { return h_.root() + "/" + name; }

  DialogHarness h_;
};

TEST_F(EntryFailureTest, StatusChangeFailureGivesTheOldNameBackAndRetryWorks) {
  const std::string contents = RandomContents(5000, 7);
  WriteFile(Path("a.txt"), contents);
  const std::string target = EncipheredName(kPassword, u"a.txt");
  bool old_name_back = false;
  h_.window().SetResponder([&](const std::u16string& text, unsigned) {
    if (!StartsWith(text, FirstLine(text::kAttributeFailed))) return IDOK;
    old_name_back = ReadFile(Path("a.txt")) == contents && !Exists(Path(target));
    return IDRETRY;
  });
  fault_injection::FailNthSetStatus(1);
  h_.Encrypt(kPassword);

  const auto boxes = BoxesStartingWith(h_.window(), FirstLine(text::kAttributeFailed));
  ASSERT_EQ(boxes.size(), 1u) << h_.window().Dump();
  EXPECT_EQ(boxes[0].text, text::kAttributeFailed + Detail(h_.root(), "a.txt"));
  EXPECT_EQ(boxes[0].flags, MB_ABORTRETRYIGNORE | MB_ICONERROR);
  EXPECT_TRUE(old_name_back);
  EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone);
  EXPECT_EQ(Names(h_.root()), std::vector<std::string>{target});
  EXPECT_NE(ReadFile(Path(target)), contents);
  ExpectDecryptsTo("a.txt", contents);
}

TEST_F(EntryFailureTest, OpenFailureGivesTheOldNameBackUnchangedAndRetryWorks) {
  const std::string contents = RandomContents(3000, 8);
  WriteFile(Path("b.bin"), contents);
  const std::string target = EncipheredName(kPassword, u"b.bin");
  bool unchanged_under_old_name = false;
  h_.window().SetResponder([&](const std::u16string& text, unsigned) {
    if (!StartsWith(text, FirstLine(text::kOpenFailed))) return IDOK;
    unchanged_under_old_name =
        ReadFile(Path("b.bin")) == contents && !Exists(Path(target));
    return IDRETRY;
  });
  fault_injection::FailNthOpen(1);
  h_.Encrypt(kPassword);

  const auto boxes = BoxesStartingWith(h_.window(), FirstLine(text::kOpenFailed));
  ASSERT_EQ(boxes.size(), 1u) << h_.window().Dump();
  EXPECT_EQ(boxes[0].text, text::kOpenFailed + Detail(h_.root(), "b.bin"));
  EXPECT_EQ(boxes[0].flags, MB_ABORTRETRYIGNORE | MB_ICONERROR);
  EXPECT_TRUE(unchanged_under_old_name);
  EXPECT_EQ(Names(h_.root()), std::vector<std::string>{target});
  ExpectDecryptsTo("b.bin", contents);
}

TEST_F(EntryFailureTest, ContentFailureKeepsTheNewNameAndOffersNoRetry) {
  // More than one chunk, so a failure can come after part of the file was
  // written.
  const int64_t size = 3 * 1048576 + 100;
  const std::string contents = RandomContents(size, 9);
  // The first chunk enciphered once, as it must be on disk when the second
  // chunk fails.
  std::string first_chunk_once = contents;
  {
    Crypter crypter;
    crypter.SetPassword(kPassword);
    crypter.m_nOperation = OP_ENCRYPT;
    crypter.TransformBuffer(reinterpret_cast<uint8_t*>(first_chunk_once.data()),
                            1048576, 0, static_cast<int32_t>(size));
  }
  struct Case {
    const char* name;
    void (*arm)();
    const std::string& expected;
  };
  const Case cases[] = {
      {"first write", [] { fault_injection::FailNthWrite(1); }, contents},
      {"second write", [] { fault_injection::FailNthWrite(2); }, first_chunk_once},
      {"second read", [] { fault_injection::FailNthRead(2); }, first_chunk_once},
  };
  const std::string target = EncipheredName(kPassword, u"big.dat");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::unlink(Path(target).c_str());
    WriteFile(Path("big.dat"), contents);
    h_.window().boxes.clear();
    h_.window().SetResponder(
        Script().On(FirstLine(text::kContentFailed), IDIGNORE).Responder());
    c.arm();
    h_.Encrypt(kPassword);
    fault_injection::Reset();

    const auto boxes = BoxesStartingWith(h_.window(), FirstLine(text::kContentFailed));
    ASSERT_EQ(boxes.size(), 1u) << h_.window().Dump();
    EXPECT_EQ(boxes[0].text, text::kContentFailed + Detail(h_.root(), target));
    EXPECT_EQ(boxes[0].flags, MB_ABORTIGNORE | MB_ICONERROR);
    EXPECT_EQ(h_.window().boxes.back().text, u"1 ファイル中 0 ファイル処理しました。");
    EXPECT_EQ(Names(h_.root()), std::vector<std::string>{target});
    EXPECT_TRUE(ReadFile(Path(target)) == c.expected)
        << "the file was not left exactly as far as the transform got";
  }
}

TEST_F(EntryFailureTest, StatusNotRestoredIsReportedAndTheFileIsStillDone) {
  const std::string contents = RandomContents(20000, 10);
  WriteFile(Path("c.txt"), contents);
  const std::string target = EncipheredName(kPassword, u"c.txt");
  fault_injection::FailNthSetStatus(2);
  h_.Encrypt(kPassword);
  fault_injection::Reset();

  const auto boxes = BoxesStartingWith(h_.window(), FirstLine(text::kStatusNotRestored));
  ASSERT_EQ(boxes.size(), 1u) << h_.window().Dump();
  EXPECT_EQ(boxes[0].text, text::kStatusNotRestored + Detail(h_.root(), target));
  EXPECT_EQ(boxes[0].flags & MB_TYPEMASK, MB_OK);
  EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone);
  EXPECT_EQ(h_.window().boxes.back().text, u"全て正常に処理しました。\r\n1 / 1ファイル");
  EXPECT_EQ(h_.window().unexpected_boxes, 0);
  ExpectDecryptsTo("c.txt", contents);
}

TEST_F(EntryFailureTest, ReadOnlyFileKeepsItsModeAndNanosecondTimes) {
  const std::string contents = RandomContents(9000, 11);
  WriteFile(Path("ro.txt"), contents);
  ASSERT_EQ(::chmod(Path("ro.txt").c_str(), 0444), 0);
  const struct timespec times[2] = {{1234567890, 123456789}, {1600000000, 987654321}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Path("ro.txt").c_str(), times, 0), 0);

  auto expect_status = [&](const std::string& path) {
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(st.st_atim.tv_sec, times[0].tv_sec);
    EXPECT_EQ(st.st_atim.tv_nsec, times[0].tv_nsec);
    EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, times[1].tv_nsec);
  };
  h_.Encrypt(kPassword);
  // Status first: reading the file here would move its access time.
  const std::string target = EncipheredName(kPassword, u"ro.txt");
  expect_status(Path(target));
  EXPECT_NE(ReadFile(Path(target)), contents);
  ASSERT_EQ(::utimensat(AT_FDCWD, Path(target).c_str(), times, 0), 0);
  h_.Decrypt(kPassword);
  expect_status(Path("ro.txt"));
  EXPECT_EQ(ReadFile(Path("ro.txt")), contents);
  EXPECT_EQ(h_.window().unexpected_boxes, 0) << h_.window().Dump();
}

// --- Renames ---------------------------------------------------------------

class RenameFailureTest : public EntryFailureTest {};

TEST_F(RenameFailureTest, ExistingTargetFileIsReplacedOnlyAfterYes) {
  // The collision is inside S, whose entries are handled before anything
  // at the top: after a No, nothing else may change.
  const std::u16string r3 = u"既に暗号化後のファイルが存在しています。";
  const std::string target = EncipheredName(kPassword, u"a.txt");
  for (const int answer : {IDYES, IDNO}) {
    SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
    for (const std::string& name : Names(h_.root())) {
      std::filesystem::remove_all(Path(name));
    }
    MakeDirectory(Path("S"));
    WriteFile(Path("S/a.txt"), "plain a");
    WriteFile(Path("S/") + target, "someone else's");
    WriteFile(Path("z.txt"), "z");
    h_.window().boxes.clear();
    h_.window().SetResponder(Script()
                                 .On(Format(text::kMixedEncrypted, {1}), IDYES)
                                 .On(FirstLine(text::kAlreadyEncrypted), IDYES)
                                 .On(text::kDontShowAgain, IDNO)
                                 .On(r3, answer)
                                 .Responder());
    h_.Encrypt(kPassword);
    const auto boxes = BoxesStartingWith(h_.window(), r3);
    ASSERT_EQ(boxes.size(), 1u) << h_.window().Dump();
    EXPECT_EQ(boxes[0].flags & MB_TYPEMASK, MB_YESNO);
    EXPECT_TRUE(Contains(boxes[0].text, U16(Path("S"))));
    EXPECT_TRUE(Contains(boxes[0].text, U16(target)));
    if (answer == IDYES) {
      EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kSomeDone);  // the other file
      EXPECT_EQ(Names(Path(EncipheredName(kPassword, u"S"))),
                std::vector<std::string>{target});
      ExpectDecryptsTo("S/a.txt", "plain a");
    } else {
      EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kSomeDone);
      EXPECT_EQ(ReadFile(Path("S/a.txt")), "plain a");
      EXPECT_EQ(ReadFile(Path("S/") + target), "someone else's");
      EXPECT_EQ(ReadFile(Path("z.txt")), "z");
    }
  }
}

TEST_F(RenameFailureTest, ExistingDecipheredNameIsReportedForDecryption) {
  WriteFile(Path("a.txt"), "original");
  h_.Encrypt(kPassword);
  WriteFile(Path("a.txt"), "a newer plain a.txt");
  h_.window().SetResponder(Script()
                               .On(Format(text::kMixedPlain, {1}), IDYES)
                               .On(FirstLine(text::kNotEncrypted), IDYES)
                               .On(text::kDontShowAgain, IDNO)
                               .On(u"既に暗号解除後のファイルが存在しています。", IDNO)
                               .Responder());
  h_.Decrypt(kPassword);
  EXPECT_EQ(h_.window().CountBoxes(u"既に暗号解除後のファイルが存在しています。"), 1)
      << h_.window().Dump();
  EXPECT_EQ(ReadFile(Path("a.txt")), "a newer plain a.txt");
}

TEST_F(RenameFailureTest, ExistingNonEmptyDirectoryCannotBeRemoved) {
  const std::string target = EncipheredName(kPassword, u"a.txt");
  WriteFile(Path("a.txt"), "plain a");
  MakeDirectory(Path(target));
  WriteFile(Path(target) + "/inside", "inside");
  const std::u16string r4 = u"ディレクトリの削除ができませんでした。";
  h_.window().SetResponder(Script()
                               .On(Format(text::kMixedEncrypted, {1}), IDYES)
                               .On(FirstLine(text::kAlreadyEncrypted), IDYES)
                               .On(text::kDontShowAgain, IDNO)
                               .On(u"既に暗号化後のディレクトリが存在しています。", IDYES)
                               .On(r4, IDIGNORE)
                               .Responder());
  h_.Encrypt(kPassword);
  const auto boxes = BoxesStartingWith(h_.window(), r4);
  ASSERT_EQ(boxes.size(), 1u) << h_.window().Dump();
  const std::u16string detail = boxes[0].text.substr(boxes[0].text.find(u"\r\n\r\n") + 4);
  EXPECT_TRUE(StartsWith(detail, u"ディレクトリパス")) << Bytes(detail);
  EXPECT_TRUE(Contains(detail, U16(target)));
  EXPECT_EQ(boxes[0].flags & MB_TYPEMASK, MB_ABORTRETRYIGNORE);
  EXPECT_EQ(ReadFile(Path("a.txt")), "plain a");
  EXPECT_TRUE(Exists(Path(target) + "/" + EncipheredName(kPassword, u"inside")));
}

TEST_F(RenameFailureTest, EntryRemovedBeforeItsTurnNamesDirectoryAndOldName) {
  // The top level is listed before S is walked; a prompt inside S is the
  // moment another program removes x.txt.
  WriteFile(Path("x.txt"), "x");
  MakeDirectory(Path("S"));
  WriteFile(Path("S") + "/" + EncipheredName(kPassword, u"g"), "g");
  const std::u16string r1 = FirstLine(text::kSourceGone);
  const ScriptedWindow::Responder script =
      Script()
          .On(Format(text::kMixedEncrypted, {1}), IDYES)
          .On(text::kDontShowAgain, IDNO)
          .On(r1, IDIGNORE)
          .Responder();
  h_.window().SetResponder([&](const std::u16string& text, unsigned flags) {
    if (StartsWith(text, FirstLine(text::kAlreadyEncrypted))) {
      ::unlink(Path("x.txt").c_str());
      return IDYES;
    }
    return script(text, flags);
  });
  h_.Encrypt(kPassword);
  const auto boxes = BoxesStartingWith(h_.window(), r1);
  ASSERT_EQ(boxes.size(), 1u) << h_.window().Dump();
  EXPECT_EQ(boxes[0].text, text::kSourceGone + Detail(h_.root(), "x.txt"));
  EXPECT_EQ(boxes[0].flags, MB_ABORTRETRYIGNORE | MB_ICONERROR);
  EXPECT_EQ(h_.window().boxes.back().text, u"3 ファイル中 1 ファイル処理しました。");
}

// Makes a directory refuse renames inside it: by its mode for an ordinary
// user, by the immutable flag for root, whom modes do not stop.
class LockedDirectory {
 public:
  explicit LockedDirectory(std::string path) : path_(std::move(path)) {
    if (::geteuid() != 0) {
      locked_ = ::chmod(path_.c_str(), 0555) == 0;
      return;
    }
    locked_ = SetImmutable(true);
  }
  ~LockedDirectory() { Unlock(); }

  bool locked() const { return locked_; }
  void Unlock() {
    if (!locked_) return;
    if (::geteuid() != 0) {
      ::chmod(path_.c_str(), 0755);
    } else {
      SetImmutable(false);
    }
    locked_ = false;
  }

 private:
  bool SetImmutable(bool on) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
  }

  std::string path_;
  bool locked_ = false;
};

TEST_F(RenameFailureTest, RenameRefusedWithoutACollisionCanBeRetried) {
  MakeDirectory(Path("S"));
  WriteFile(Path("S/f"), "f");
  LockedDirectory lock(Path("S"));
  if (!lock.locked()) {
    GTEST_SKIP() << "running as root on a file system without the immutable flag";
  }
  const std::u16string r2 = FirstLine(text::kRenameFailed);
  h_.window().SetResponder([&](const std::u16string& text, unsigned) {
    if (!StartsWith(text, r2)) return IDOK;
    lock.Unlock();
    return IDRETRY;
  });
  h_.Encrypt(kPassword);
  const auto boxes = BoxesStartingWith(h_.window(), r2);
  ASSERT_EQ(boxes.size(), 1u) << h_.window().Dump();
  EXPECT_EQ(boxes[0].text, text::kRenameFailed + Detail(h_.root() + "/S", "f"));
  EXPECT_EQ(boxes[0].flags, MB_ABORTRETRYIGNORE | MB_ICONERROR);
  EXPECT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone);
  EXPECT_EQ(Names(Path(EncipheredName(kPassword, u"S"))),
            std::vector<std::string>{EncipheredName(kPassword, u"f")});
}

}  // namespace
}  // namespace velmora::testing
