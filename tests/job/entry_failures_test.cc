// Failures on one entry, made through the file layer's fault seams or by the
// tree itself: what the user is told, what a retry does, what is left. A
// file ends up unchanged under its old name, or named for what its bytes are.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/fault_injection.h"
#include "state/journal_format.h"
#include "tests/job/job_test_util.h"
#include "tests/support/unprivileged.h"

namespace velmora::testing {
namespace {

constexpr unsigned kRetryable = MB_ABORTRETRYIGNORE | MB_ICONERROR;

class EntryFailureTest : public JobTest {
 protected:
  void TearDown() override {
    fault_injection::Reset();
    JobTest::TearDown();
  }
  // Encrypts; just before the walk handles its first entry, |act| runs.
  void EncryptWhile(std::function<void()> act) {
    h_.Choose(IDC_RADIO_ENCRYPT);
    w().on_status = [act, done = false](const std::u16string&) mutable {
      if (!std::exchange(done, true)) act();
    };
    h_.Execute(kPassword);
    w().on_status = nullptr;
  }
};

// Failures at each group position are tests/state/journaled_transform_test.cc;
// here each kind's message, and that the retry is safe.
TEST_F(EntryFailureTest, AFailureOnTheWayGivesTheOldNameAndBytesBackAndRetryWorks) {
  const std::string contents = RandomContents(9 * 1048576 + 100, 9);
  const std::u16string io_error = Format(text::kReason, {U16(std::strerror(EIO))});
  const struct {
    void (*arm)();
    Text message;
    bool read_only = false;  // only then is the mode changed; root opens anything
    bool reason = false;
  } cases[] = {{[] { fault_injection::FailNthSetStatus(1); }, text::kAttributeFailed, true},
               {[] { fault_injection::FailNthOpen(1); }, text::kOpenFailed, true},
               {[] { fault_injection::FailNthRead(1); }, text::kReadFailed, false, true},
               {[] { fault_injection::FailNthWrite(2); }, text::kWriteFailed, false, true}};
  for (const auto& c : cases) {
    Empty();
    WriteFile(Path("big.dat"), contents);
    ASSERT_EQ(::chmod(Path("big.dat").c_str(), c.read_only ? 0444 : 0644), 0);
    HandOver(h_.root());
    HandOver(h_.state_home().path());
    const TreeSnapshot before = Snapshot(h_.root());
    RunUnprivileged([&] {
      TreeSnapshot at_the_box;
      w().on_box = [&](const std::u16string&) {
        if (at_the_box.empty()) at_the_box = Snapshot(h_.root());
      };
      w().answers = {{Lead(c.message), IDRETRY}};
      c.arm();
      h_.Encrypt(kPassword);
      fault_injection::Reset();
      EXPECT_EQ(w().boxes.front(), (ScriptedWindow::Box{c.message + Detail(h_.root(), "big.dat") +
                                                            (c.reason ? io_error : u""),
                                                        kRetryable, IDRETRY}));
      EXPECT_EQ(at_the_box, before);
      EXPECT_EQ(w().boxes.back().text, u"全て正常に処理しました。\r\n1 / 1ファイル");
      h_.Decrypt(kPassword);
      EXPECT_EQ(Snapshot(h_.root()), before);
      EXPECT_EQ(w().unexpected_boxes, 0) << Dump(w());
    });
  }
}

// Content that cannot be put back is left for the next run's repair, which
// follows the folder the same run renamed. A wrong password repairs
// nothing, a page in neither state is never guessed at, a stop request ends
// the repair; a torn frame at the journal's end loses none of its End frames.
TEST_F(EntryFailureTest, ContentThatCannotBePutBackIsRepairedByTheNextRun) {
  const std::string contents = RandomContents(3 * 1048576 + 7, 10);
  Make({"S/"});
  WriteFile(Path("S/big.dat"), contents);
  const TreeSnapshot before = Snapshot(h_.root());
  const std::string target = Enc(u"big.dat");
  w().answers = {{Lead(text::kContentLeftForRepair), IDIGNORE}};
  fault_injection::FailWritesFrom(2);  // the disk goes bad after one chunk
  h_.Encrypt(kPassword);
  fault_injection::Reset();
  EXPECT_EQ(w().boxes.front(),
            (ScriptedWindow::Box{text::kContentLeftForRepair + Detail(Path("S"), target),
                                 MB_ABORTIGNORE | MB_ICONERROR, IDIGNORE}));
  const std::string garbled_file = Path(Enc(u"S") + "/" + target);
  const std::string garbled = ReadFile(garbled_file);
  ASSERT_NE(garbled, contents);
  const int64_t mtime_ns = Snapshot(h_.root()).at(Enc(u"S") + "/" + target).mtime_ns;
  const auto rewrite = [&](const std::string& bytes) {  // keeping its time
    WriteFile(garbled_file, bytes);
    const timespec times[2] = {{0, UTIME_OMIT}, {mtime_ns / 1000000000, mtime_ns % 1000000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, garbled_file.c_str(), times, 0), 0);
  };
  w().answers = SkipEachProblem();
  const auto decrypt = [&](const char16_t* password, std::u16string shown, RunOutcome outcome) {
    const TreeSnapshot damaged = Snapshot(h_.root());
    w().boxes.clear();
    h_.Decrypt(password);
    EXPECT_EQ(w().boxes.front().text, shown) << Dump(w());
    EXPECT_EQ(h_.dialog().last_run_outcome_, outcome);
    EXPECT_EQ(Snapshot(h_.root()), damaged);
  };
  decrypt(u"another password", std::u16string(text::kRepairWrongPassword),
          RunOutcome::kRepairRefused);
  // Groups are written by several threads: tear the first page written,
  // wherever it is, its first sector back and the rest not.
  const auto first = static_cast<std::size_t>(
      std::mismatch(garbled.begin(), garbled.end(), contents.begin()).first - garbled.begin());
  const std::size_t page = first / 4096 * 4096;
  rewrite(std::string(garbled).replace(page, 512, contents.substr(page, 512)));
  decrypt(kPassword, Format(text::kRepairFailed, {U16(garbled_file)}), RunOutcome::kStateFailed);
  rewrite(garbled);
  h_.dialog().stop_requested_ = true;
  decrypt(kPassword, std::u16string(text::kRepairStopped), RunOutcome::kStopped);
  h_.dialog().stop_requested_ = false;

  std::string journal;
  for (const auto& file :
       std::filesystem::directory_iterator(h_.state_home().folder() + "/journal")) {
    if (file.path().extension() == ".log") journal = file.path();
  }
  ASSERT_FALSE(journal.empty());
  WriteFile(journal, ReadFile(journal) + std::string("\x40\0\0\0torn", 8));
  w().boxes.clear();
  h_.Decrypt(kPassword);
  EXPECT_EQ(w().boxes.front().text, Format(text::kRepaired, {U16(Path(Enc(u"S") + "/big.dat"))}));
  EXPECT_EQ(Snapshot(h_.root()), before) << Dump(w());
  // Put back as plain, the file is what this decryption asks for.
  EXPECT_TRUE(DetailsOf(w(), Lead(text::kNotEncrypted)).empty()) << Dump(w());
  EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  const state::JournalContents read = state::DecodeJournal(ReadFile(journal));
  ASSERT_FALSE(read.entries.empty());
  for (const state::EntryRecord& entry : read.entries) {
    EXPECT_NE(std::find(read.ended.begin(), read.ended.end(), entry.id), read.ended.end())
        << entry.source;
  }
}

TEST_F(EntryFailureTest, StatusNotRestoredIsReportedAndTheFileIsStillDone) {
  Make({"c.txt"});
  fault_injection::FailNthSetStatus(1);  // the owner may write: no change before
  h_.Encrypt(kPassword);
  EXPECT_EQ(w().boxes.front().text, text::kStatusNotRestored + Detail(h_.root(), Enc(u"c.txt")));
  EXPECT_EQ(w().boxes.back().text, u"全て正常に処理しました。\r\n1 / 1ファイル");
}

TEST_F(EntryFailureTest, EntryRemovedBeforeItsTurnNamesItsDirectoryAndOldName) {
  Make({"x.txt"});
  w().answers = {{Lead(text::kSourceGone), IDIGNORE}};
  EncryptWhile([&] { ::unlink(Path("x.txt").c_str()); });
  EXPECT_EQ(w().boxes.front(), (ScriptedWindow::Box{text::kSourceGone + Detail(h_.root(), "x.txt"),
                                                    kRetryable, IDIGNORE}));
}

// Makes |directory| refuse renames inside it, or take them again: by its
// mode, or for root by the immutable flag.
bool Lock(const std::string& directory, bool on) {
  if (::geteuid() != 0) return ::chmod(directory.c_str(), on ? 0555 : 0755) == 0;
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
  int flags = 0;
  bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
}

TEST_F(EntryFailureTest, RenameRefusedWithoutACollisionCanBeRetried) {
  Make({"S/", "S/f"});
  if (!Lock(Path("S"), true)) GTEST_SKIP() << "root, and no immutable flag here";
  w().on_box = [&](const std::u16string&) { Lock(Path("S"), false); };
  w().answers = {{Lead(text::kRenameFailed), IDRETRY}};
  h_.Encrypt(kPassword);
  Lock(Path("S"), false);
  EXPECT_EQ(w().boxes.front(), (ScriptedWindow::Box{text::kRenameFailed + Detail(Path("S"), "f"),
                                                    kRetryable, IDRETRY}));
  EXPECT_EQ(Names(Path(Enc(u"S"))), std::vector<std::string>{Enc(u"f")});
}

// Its Yes deletes, so No is the default button; after a No nothing after the
// entry changes (tests/job/honest_outcomes_test.cc).
TEST_F(EntryFailureTest, ExistingTargetFileIsReplacedOnlyAfterYes) {
  const std::string target = Enc(u"a.txt");
  Make({"S/", "S/a.txt"});
  w().answers = {{Lead(text::kTargetExists), IDYES}};
  EncryptWhile([&] { WriteFile(Path("S/" + target), "someone else's"); });
  EXPECT_EQ(
      w().boxes.front(),
      (ScriptedWindow::Box{
          Format(text::kTargetExists, {text::kWordEncryption, text::kKindFile}) +
              Format(text::kTargetExistsDetail, {text::kKindFile, U16(Path("S")), U16(target)}),
          MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, IDYES}));
  h_.Decrypt(kPassword);
  EXPECT_EQ(Names(Path("S")), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(ReadFile(Path("S/a.txt")), "S/a.txt");
}

TEST_F(EntryFailureTest, ExistingNonEmptyDirectoryCannotBeRemoved) {
  const std::string target = Enc(u"a.txt");
  Make({"a.txt"});
  const std::u16string r4 = Lead(Format(text::kRemoveFailed, {text::kKindDirectory}));
  w().answers = {{Lead(text::kTargetExists), IDYES}, {r4, IDIGNORE}};
  EncryptWhile([&] { Make({target + "/", target + "/inside"}); });
  EXPECT_EQ(w().boxes.at(1),
            (ScriptedWindow::Box{Format(text::kRemoveFailed, {text::kKindDirectory}) +
                                     Format(text::kRemoveFailedDetail,
                                            {text::kKindDirectory, U16(h_.root()), U16(target)}),
                                 kRetryable, IDIGNORE}));
  EXPECT_EQ(Names(h_.root()), (std::vector<std::string>{"a.txt", target}));
  EXPECT_EQ(Names(Path(target)), std::vector<std::string>{"inside"});
}

}  // namespace
}  // namespace velmora::testing
