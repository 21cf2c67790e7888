// Failures on one entry, made on demand through the file layer's fault
// seams or by the tree itself: what the user is told, what a retry does,
// and what is left on disk. A file must end up either unchanged under its
// old name, or named for what its bytes are, and never transformed twice.

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
#include "tests/support/unprivileged.h"
#include "tests/job/job_test_util.h"

namespace velmora::testing {
namespace {

constexpr unsigned kRetryable = MB_ABORTRETRYIGNORE | MB_ICONERROR;

class EntryFailureTest : public JobTest {
 protected:
  void TearDown() override {
    fault_injection::Reset();
    JobTest::TearDown();
  }
  // Encrypts the tree; just before the walk handles its first entry, |act|
  // does what another program might.
  void EncryptWhile(std::function<void()> act) {
    h_.Choose(IDC_RADIO_ENCRYPT);
    w().on_status = [act, done = false](const std::u16string&) mutable {
      if (!std::exchange(done, true)) act();
    };
    h_.Execute(kPassword);
    w().on_status = nullptr;
  }
};

// A file of more than one group of chunks, so that content failures come
// before any write, inside a group and after a whole group was written.
// A failed open says so; a read or write that failed on the way names
// itself and the system's reason.
TEST_F(EntryFailureTest, AFailureOnTheWayGivesTheOldNameAndBytesBackAndRetryWorks) {
  const std::string contents = RandomContents(9 * 1048576 + 100, 9);
  const std::u16string io_error = Format(text::kReason, {U16(std::strerror(EIO))});
  const struct {
    void (*arm)();
    Text message;
    bool read_only = false;  // only such a file has its mode changed for the
                             // transform; root opens anything
    bool reason = false;
  } cases[] = {{[] { fault_injection::FailNthSetStatus(1); }, text::kAttributeFailed, true},
               {[] { fault_injection::FailNthOpen(1); }, text::kOpenFailed, true},
               {[] { fault_injection::FailNthRead(1); }, text::kReadFailed, false, true},  // at offset 0
               {[] { fault_injection::FailNthWrite(1); }, text::kWriteFailed, false, true},
               {[] { fault_injection::FailNthWrite(2); }, text::kWriteFailed, false, true},  // mid-group
               {[] { fault_injection::FailNthRead(2); }, text::kReadFailed, false, true}};  // after a group
  for (const auto& c : cases) {
    Empty();
    WriteFile(Path("big.dat"), contents);
    ASSERT_EQ(::chmod(Path("big.dat").c_str(), c.read_only ? 0444 : 0644), 0);
    HandOver(h_.root());
    HandOver(h_.state_home().path());
    const TreeSnapshot before = Snapshot(h_.root());
    RunUnprivileged([&] {
      TreeSnapshot at_the_box;  // the first one's
      w().on_box = [&](const std::u16string&) {
        if (at_the_box.empty()) at_the_box = Snapshot(h_.root());
      };
      w().answers = {{Lead(c.message), IDRETRY}};
      c.arm();
      h_.Encrypt(kPassword);
      fault_injection::Reset();
      EXPECT_EQ(w().boxes.front(),
                (ScriptedWindow::Box{c.message + Detail(h_.root(), "big.dat") +
                                         (c.reason ? io_error : u""),
                                     kRetryable, IDRETRY}));
      EXPECT_EQ(at_the_box, before);  // old name, old bytes: the retry is safe
      EXPECT_EQ(w().boxes.back().text, u"全て正常に処理しました。\r\n1 / 1ファイル");
      EXPECT_EQ(Names(h_.root()), std::vector<std::string>{Enc(u"big.dat")});
      h_.Decrypt(kPassword);
      EXPECT_EQ(Snapshot(h_.root()), before);
      EXPECT_EQ(w().unexpected_boxes, 0) << Dump(w());
    });
  }
}

// The file lies in a folder that the same run renames afterwards: the
// repair must follow the folder to its new name. A wrong password repairs
// nothing, and a page in neither state is never guessed at: both reported,
// nothing changed, until the page is as one of its states again.
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
  EXPECT_EQ(w().boxes.front(), (ScriptedWindow::Box{text::kContentLeftForRepair +
                                                        Detail(Path("S"), target),
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
  for (const bool torn : {false, true}) {
    if (torn) {
      // Groups are written by several threads: tear the first page that
      // was written, wherever it is, its first sector back and the rest not.
      const auto first = static_cast<std::size_t>(
          std::mismatch(garbled.begin(), garbled.end(), contents.begin()).first - garbled.begin());
      const std::size_t page = first / 4096 * 4096;
      std::string half = garbled;
      half.replace(page, 512, contents.substr(page, 512));
      rewrite(half);
    }
    const TreeSnapshot damaged = Snapshot(h_.root());
    w().boxes.clear();
    w().answers = SkipEachProblem();
    h_.Decrypt(torn ? kPassword : u"another password");
    const std::u16string& shown = w().boxes.front().text;
    EXPECT_EQ(shown, torn ? Format(text::kRepairFailed, {U16(garbled_file)})
                          : std::u16string(text::kRepairWrongPassword))
        << Dump(w());
    EXPECT_EQ(Snapshot(h_.root()), damaged);
    EXPECT_EQ(h_.dialog().last_run_outcome_, torn ? RunOutcome::kStateFailed : RunOutcome::kRepairRefused);
  }
  rewrite(garbled);
  w().boxes.clear();
  h_.Decrypt(kPassword);
  EXPECT_EQ(w().boxes.front().text,
            Format(text::kRepaired, {U16(Path(Enc(u"S") + "/big.dat"))}));
  EXPECT_EQ(Snapshot(h_.root()), before) << Dump(w());
}

// A run killed in the middle of a journal write leaves a torn frame at its
// end. The repair's End frames must still be read back: behind the tear they
// would be lost, and every later run would roll the entry back again,
// against a file changed since.
TEST_F(EntryFailureTest, ARepairEndsItsEntriesEvenBehindATornFrame) {
  WriteFile(Path("big.dat"), RandomContents(3 * 1048576 + 7, 5));
  const TreeSnapshot before = Snapshot(h_.root());
  w().answers = {{Lead(text::kContentLeftForRepair), IDIGNORE}};
  fault_injection::FailWritesFrom(2);
  h_.Encrypt(kPassword);
  fault_injection::Reset();
  std::string journal;
  for (const auto& file : std::filesystem::directory_iterator(h_.state_home().folder() + "/journal")) {
    if (file.path().extension() == ".log") journal = file.path();
  }
  ASSERT_FALSE(journal.empty());
  WriteFile(journal, ReadFile(journal) + std::string("\x40\0\0\0torn", 8));

  w().boxes.clear();
  w().answers = SkipEachProblem();
  h_.Decrypt(kPassword);
  EXPECT_EQ(w().boxes.front().text, Format(text::kRepaired, {U16(Path("big.dat"))})) << Dump(w());
  EXPECT_EQ(Snapshot(h_.root()), before);
  // Put back as plain, the file is what this decryption asks for: done,
  // not "not encrypted".
  EXPECT_TRUE(DetailsOf(w(), Lead(text::kNotEncrypted)).empty()) << Dump(w());
  EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
  const state::JournalContents read = state::DecodeJournal(ReadFile(journal));
  ASSERT_FALSE(read.entries.empty());
  for (const state::EntryRecord& entry : read.entries) {
    EXPECT_NE(std::find(read.ended.begin(), read.ended.end(), entry.id), read.ended.end())
        << entry.source;
  }
}

// A signal that comes before the repair of an interrupted run is through
// ends the run there and says so; the next run finishes the repair.
TEST_F(EntryFailureTest, AStopRequestEndsTheRepairAndTheNextRunFinishesIt) {
  WriteFile(Path("big.dat"), RandomContents(3 * 1048576 + 7, 5));
  const TreeSnapshot before = Snapshot(h_.root());
  w().answers = {{Lead(text::kContentLeftForRepair), IDIGNORE}};
  fault_injection::FailWritesFrom(2);
  h_.Encrypt(kPassword);
  fault_injection::Reset();
  const TreeSnapshot left = Snapshot(h_.root());

  w().boxes.clear();
  w().answers = SkipEachProblem();
  h_.dialog().stop_requested_ = true;
  h_.Decrypt(kPassword);
  h_.dialog().stop_requested_ = false;
  EXPECT_EQ(w().boxes, (Boxes{{std::u16string(text::kRepairStopped),
                        MB_OK | MB_ICONWARNING, IDOK}}))
      << Dump(w());
  EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kStopped);
  EXPECT_EQ(Snapshot(h_.root()), left);

  w().boxes.clear();
  h_.Decrypt(kPassword);
  EXPECT_EQ(w().boxes.front().text, Format(text::kRepaired, {U16(Path("big.dat"))})) << Dump(w());
  EXPECT_EQ(Snapshot(h_.root()), before);
  // Put back as plain, the file is what this decryption asks for: done,
  // not "not encrypted".
  EXPECT_TRUE(DetailsOf(w(), Lead(text::kNotEncrypted)).empty()) << Dump(w());
  EXPECT_EQ(h_.dialog().last_run_outcome_, RunOutcome::kAllDone) << Dump(w());
}

TEST_F(EntryFailureTest, StatusNotRestoredIsReportedAndTheFileIsStillDone) {
  Make({"c.txt"});
  fault_injection::FailNthSetStatus(1);  // the owner may write: no change before
  h_.Encrypt(kPassword);
  EXPECT_EQ(w().boxes.front().text, text::kStatusNotRestored + Detail(h_.root(), Enc(u"c.txt")));
  EXPECT_EQ(w().boxes.back().text, u"全て正常に処理しました。\r\n1 / 1ファイル");
}

// --- Renames ---------------------------------------------------------------

TEST_F(EntryFailureTest, EntryRemovedBeforeItsTurnNamesItsDirectoryAndOldName) {
  Make({"x.txt"});
  w().answers = {{Lead(text::kSourceGone), IDIGNORE}};
  EncryptWhile([&] { ::unlink(Path("x.txt").c_str()); });
  EXPECT_EQ(w().boxes.front(), (ScriptedWindow::Box{text::kSourceGone + Detail(h_.root(), "x.txt"),
                                                     kRetryable, IDIGNORE}));
}

// Makes |directory| refuse renames inside it, or take them again: by its
// mode for an ordinary user, by the immutable flag for root, whom modes do
// not stop.
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

TEST_F(EntryFailureTest, ExistingTargetFileIsReplacedOnlyAfterYes) {
  // The collision is inside S, whose entries come before anything at the
  // top: after a No, nothing else may change. Its Yes deletes, so No is
  // the default button.
  const std::string target = Enc(u"a.txt");
  for (const int answer : {IDYES, IDNO}) {
    Empty();
    Make({"S/", "S/a.txt", "z.txt"});
    w().answers = {{Lead(text::kTargetExists), answer}};
    TreeSnapshot before;
    EncryptWhile([&] {
      WriteFile(Path("S/" + target), "someone else's");
      before = Snapshot(h_.root());
    });
    EXPECT_EQ(w().boxes.front(),
              (ScriptedWindow::Box{
                  Format(text::kTargetExists, {text::kWordEncryption, text::kKindFile}) +
                      Format(text::kTargetExistsDetail, {text::kKindFile, U16(Path("S")), U16(target)}),
                  MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, answer}));
    if (answer == IDNO) {
      EXPECT_EQ(Snapshot(h_.root()), before);
    } else {  // the other file is gone, and a.txt comes back
      h_.Decrypt(kPassword);
      EXPECT_EQ(Names(Path("S")), std::vector<std::string>{"a.txt"});
      EXPECT_EQ(ReadFile(Path("S/a.txt")), "S/a.txt");
    }
  }
}

TEST_F(EntryFailureTest, ExistingNonEmptyDirectoryCannotBeRemoved) {
  const std::string target = Enc(u"a.txt");
  Make({"a.txt"});
  const std::u16string r4 = Lead(Format(text::kRemoveFailed, {text::kKindDirectory}));
  w().answers = {{Lead(text::kTargetExists), IDYES}, {r4, IDIGNORE}};
  EncryptWhile([&] { Make({target + "/", target + "/inside"}); });
  EXPECT_EQ(w().boxes.at(1),  // after the question whether to replace it
            (ScriptedWindow::Box{Format(text::kRemoveFailed, {text::kKindDirectory}) +
                                     Format(text::kRemoveFailedDetail,
                                            {text::kKindDirectory, U16(h_.root()), U16(target)}),
                                 kRetryable, IDIGNORE}));
  EXPECT_EQ(Names(h_.root()), (std::vector<std::string>{"a.txt", target}));
  EXPECT_EQ(Names(Path(target)), std::vector<std::string>{"inside"});
}

}  // namespace
}  // namespace velmora::testing
