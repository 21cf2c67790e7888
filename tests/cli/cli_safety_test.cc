// What velmora-cli guarantees when runs are killed, stopped or started
// twice: the real binary, a state folder of the test's own.

#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/crypter.h"
#include "job/messages.h"
#include "platform/u16_format.h"
#include "tests/cli/cli_child.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

using namespace std::chrono_literals;

constexpr char kMarker[] = "\xc2\xbf";  // how every enciphered name begins

// The names directly in |directory| that are enciphered.
std::vector<std::string> Enciphered(const std::string& directory) {
  std::vector<std::string> names = Names(directory);
  std::erase_if(names, [](const std::string& name) { return !name.starts_with(kMarker); });
  return names;
}

// The entries in which two snapshots differ, for failure messages.
std::string Difference(const TreeSnapshot& now, const TreeSnapshot& expected) {
  std::string lines;
  for (const auto& [path, entry] : now) {
    const auto it = expected.find(path);
    if (it == expected.end()) {
      lines += "\n  unexpected " + path;
    } else if (!(it->second == entry)) {
      lines += "\n  changed " + path + (it->second.contents == entry.contents ? " (status)" : " (bytes)");
    }
  }
  for (const auto& [path, entry] : expected) {
    if (now.count(path) == 0) lines += "\n  missing " + path;
  }
  return lines;
}

class CliSafetyTest : public ::testing::Test {
 protected:
  CliSafetyTest() : root_(base_.path() + "/tree") { MakeDirectory(root_); }

  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

  Cli Run(std::vector<std::string> args, const std::string& input = kPasswordLine) {
    return RunCli(args, input);
  }
  // Four hundred files: a run long enough to be caught in its walk.
  void MakeManyFiles() {
    for (int i = 0; i < 400; ++i) WriteFile(Path("f" + std::to_string(i)), RandomContents(20000, i));
  }
  // Decrypts whatever state the tree is in, as a person would after a
  // mishap: skip what is plain already.
  Cli DecryptAll() {
    return Run({"decrypt", root_, "--password-stdin", "--yes", "--on-problem=skip"});
  }

  ScopedStateHome state_home_;
  TempDir base_;
  const std::string root_;
};

// The real binary killed outright at points of a run that can be told
// from outside: as soon as the first, the second and the third clip has its
// new name (its contents under way). Dying at each single step is covered
// in-process by the crash test; this one kills the real process.
TEST_F(CliSafetyTest, KilledPartWayOneDecryptGivesTheTreeBack) {
  // A kill loses nothing the kernel holds.
  ::setenv("VELMORA_SYNC", "0", 1);
  MakeDirectory(Path("media"));
  for (int i = 0; i < 3; ++i) {
    WriteFile(Path("media/clip" + std::to_string(i) + ".bin"),
              RandomContents(8 * 1048576 + 999 * i, 10 + i));
  }
  for (int i = 0; i < 40; ++i) {
    WriteFile(Path("note" + std::to_string(i) + ".txt"), RandomContents(3000 + i, 20 + i));
  }
  const TreeSnapshot original = Snapshot(root_);
  // A whole round first: the account then knows the password.
  ASSERT_EQ(Run({"encrypt", root_, "--password-stdin"}).status, 0);
  ASSERT_EQ(DecryptAll().status, 0);
  ASSERT_EQ(Snapshot(root_), original);
  // The only folder of the tree, whatever its name is now.
  const auto media = [&] {
    for (const std::string& name : Names(root_)) {
      if (std::filesystem::is_directory(Path(name))) return Path(name);
    }
    return std::string();
  };
  for (const bool decrypting : {false, true}) {
    for (std::size_t clips = 1; clips <= 3; ++clips) {
      if (decrypting) {
        ASSERT_EQ(Run({"encrypt", root_, "--password-stdin"}).status, 0);
      }
      Child child({decrypting ? "decrypt" : "encrypt", root_, "--password-stdin"});
      child.Write(kPasswordLine);
      child.CloseInput();
      const auto renamed = [&] {
        const std::size_t enciphered = Enciphered(media()).size();
        return decrypting ? 3 - enciphered : enciphered;
      };
      const auto running = [&] {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(child.pid()), &info,
                        WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0;
      };
      while (renamed() < clips && running()) std::this_thread::yield();
      child.Signal(SIGKILL);
      child.Finish();
      const Cli repaired = DecryptAll();
      const TreeSnapshot now = Snapshot(root_);
      EXPECT_TRUE(now == original) << (decrypting ? "decrypt" : "encrypt") << " killed at clip "
                                   << clips << "\n" << repaired.err << Difference(now, original);
    }
  }
  ::unsetenv("VELMORA_SYNC");
}

// The signal comes while the run is surely in its walk: it waits on the
// terminal for the person to answer about a name too long to encipher. The
// run goes no further than that entry, ends with 128 + the signal and
// counts what it did; the rest is left for later.
TEST_F(CliSafetyTest, ASignalStopsTheRunAfterTheCurrentEntry) {
  MakeManyFiles();
  const std::string long_name(100, 'x');
  WriteFile(Path(long_name), "too long once enciphered");
  const TreeSnapshot original = Snapshot(root_);
  const std::string password = base_.path() + "/password";
  WriteFile(password, kPasswordLine);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    Child child({"encrypt", "--password-file", password, root_}, {{"TERM", "dumb"}}, 80);
    ASSERT_TRUE(child.ReadUntil(Shown(text::kNameTooLong).c_str()));
    child.Signal(signal);
    const Cli stopped = child.Finish();
    EXPECT_EQ(stopped.status, 128 + signal) << stopped.out;
    // The summary counts what was done; the rest is left for later.
    EXPECT_TRUE(Has(stopped.out, "401 ファイル中 ")) << stopped.out;
    const Cli back = DecryptAll();
    EXPECT_EQ(Snapshot(root_), original) << back.err;
  }
}

TEST_F(CliSafetyTest, ASignalDuringOpenDecryptsNoFurtherAndEncryptsAgain) {
  MakeManyFiles();
  ASSERT_EQ(Run({"encrypt", root_, "--password-stdin"}).status, 0);
  Child open({"open", root_, "--password-stdin"});
  open.Write(kPasswordLine);
  // Once the first entry is plain again, the decryption is under way.
  while (Enciphered(root_).size() == 400) std::this_thread::sleep_for(1ms);
  open.Signal(SIGINT);
  const Cli stopped = open.Finish();
  EXPECT_NE(stopped.status, -1) << stopped.err;  // it ended by itself
  EXPECT_EQ(Enciphered(root_).size(), 400u) << stopped.err;
  // The exit pass counts what the stop left enciphered as done.
  EXPECT_TRUE(Has(stopped.out, Shown(Format(text::kAllDone, {400, 400})))) << stopped.out;
  EXPECT_FALSE(Has(Run({"--version"}, "").err,
                   Shown(Format(text::kLeftDecrypted, {Utf16FromWtf8(root_)}))));
}

// The exit pass meets an entry whose enciphered name is taken meanwhile:
// it passes over that entry and encrypts the rest.
TEST_F(CliSafetyTest, ATakenNameInTheExitPassSkipsOnlyThatEntry) {
  for (int i = 0; i < 4; ++i) WriteFile(Path("f" + std::to_string(i)), "f");
  ASSERT_EQ(Run({"encrypt", root_, "--password-stdin"}).status, 0);
  Child open({"open", root_, "--password-stdin"});
  open.Write(kPasswordLine);
  ASSERT_TRUE(open.ReadUntil(Shown(text::kWaiting).c_str()));
  // The first entry the exit pass will meet; the others come after it.
  const std::string first = ListingOrder(root_).front();
  Crypter crypter;
  crypter.SetPassword(u"correct horse \u3042");
  crypter.set_listed_extensions(ListedExtensions::kHeadOnly);
  const std::string taken =
      Wtf8FromUtf16(crypter.ConvertName(Utf16FromWtf8(first), Direction::kEncrypt).target);
  WriteFile(Path(taken), "someone else's");
  open.Write("\n");
  const Cli ended = open.Finish();
  EXPECT_EQ(ended.status, 1) << ended.err;
  std::vector<std::string> plain;
  for (const std::string& name : Names(root_)) {
    if (!name.starts_with(kMarker)) plain.push_back(name);
  }
  EXPECT_EQ(plain, std::vector<std::string>{first}) << ended.err;
  EXPECT_EQ(ReadFile(Path(taken)), "someone else's");
}

// On a terminal, a signal ends the wait and nobody answers the exit pass's
// questions any more. A file added meanwhile, whose name is too long once
// enciphered, is passed over (its question answered Yes, skip) rather than
// stopping the pass: everything else is encrypted again.
TEST_F(CliSafetyTest, AfterASignalTheExitPassSkipsWhatItCannotEncrypt) {
  MakeDirectory(Path("sub"));
  for (int i = 0; i < 10; ++i) WriteFile(Path("sub/f" + std::to_string(i)), "f");
  for (int i = 0; i < 14; ++i) WriteFile(Path("g" + std::to_string(i)), "g");
  const std::string password = base_.path() + "/password";
  WriteFile(password, kPasswordLine);
  ASSERT_EQ(Run({"encrypt", "--password-file", password, root_}, "").status, 0);
  Child open({"open", "--password-file", password, root_}, {{"TERM", "dumb"}}, 80);
  ASSERT_TRUE(open.ReadUntil(Shown(text::kWaiting).c_str()));
  // In sub, whose entries the pass meets before those above it.
  const std::string long_name(100, 'x');
  Crypter crypter;
  crypter.SetPassword(u"correct horse \u3042");
  ASSERT_EQ(crypter.ConvertName(Utf16FromWtf8(long_name), Direction::kEncrypt).error,
            NameError::kNameTooLong);
  WriteFile(Path("sub/" + long_name), "added while open");
  open.Signal(SIGTERM);
  const Cli ended = open.Finish();
  EXPECT_EQ(ended.status, 1) << ended.out;
  EXPECT_TRUE(Has(ended.out, Shown(text::kNameTooLong))) << ended.out;
  EXPECT_TRUE(Has(ended.out, Shown(Format(text::kSomeDone, {26, 25})))) << ended.out;
  const std::vector<std::string> top = Names(root_);
  EXPECT_EQ(Enciphered(root_), top) << ended.out;
  ASSERT_EQ(top.size(), 15u);
  for (const std::string& name : top) {
    if (std::filesystem::is_directory(Path(name))) {
      std::vector<std::string> plain = Names(Path(name));
      std::erase_if(plain, [](const std::string& entry) { return entry.starts_with(kMarker); });
      EXPECT_EQ(plain, std::vector<std::string>{long_name}) << ended.out;
    }
  }
}

// While an open run waits, its tree is refused above, inside and itself,
// and nothing is left decrypted yet; once it is killed, every start names
// the tree until it is encrypted again.
TEST_F(CliSafetyTest, ATreeInUseIsRefusedAndOneLeftDecryptedIsNamedUntilEncrypted) {
  MakeDirectory(Path("sub"));
  WriteFile(Path("sub/a.txt"), "a");
  ASSERT_EQ(Run({"encrypt", root_, "--password-stdin"}).status, 0);
  Child open({"open", root_, "--password-stdin"});
  open.Write(kPasswordLine);
  ASSERT_TRUE(open.ReadUntil(Shown(text::kWaiting).c_str()));
  for (const std::string& other : {root_, root_ + "/sub", base_.path()}) {
    const Cli refused = Run({"encrypt", other, "--password-stdin"});
    EXPECT_EQ(refused.status, 6) << other;
    EXPECT_EQ(refused.err, "velmora-cli: " + other + ": " +
                               Joined(Format(text::kTreeInUse, {Utf16FromWtf8(root_)})) + "\n");
  }
  const std::string warning = Shown(Format(text::kLeftDecrypted, {Utf16FromWtf8(root_)}));
  EXPECT_FALSE(Has(Run({"--version"}, "").err, warning));
  open.Signal(SIGKILL);
  open.Finish();

  const Cli help = Run({"--help"}, "");
  EXPECT_TRUE(Has(help.err, warning)) << help.err;
  EXPECT_TRUE(Has(help.err, "velmora-cli encrypt " + root_)) << help.err;
  EXPECT_EQ(Run({"encrypt", root_, "--password-stdin"}).status, 0);
  EXPECT_EQ(Enciphered(root_).size(), 1u);
  EXPECT_FALSE(Has(Run({"--help"}, "").err, warning));
}

}  // namespace
}  // namespace velmora::testing
