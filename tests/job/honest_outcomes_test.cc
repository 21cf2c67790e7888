// Entries a run must leave alone and report instead of counting them done:
// unreadable folders, files with a name outside the tree, other file
// systems, and entries changed or swapped for links while it runs.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "state/recovery.h"
#include "tests/job/job_test_util.h"
#include "tests/support/entry_watch.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"

namespace velmora::testing {
namespace {

class HonestOutcomeTest : public JobTest {
 protected:
  void TearDown() override {
    fault_injection::Reset();
    JobTest::TearDown();
  }
  RunOutcome Outcome() { return h_.dialog().last_run_outcome_; }
  int BoxesStartingWith(Text text) {
    int count = 0;
    for (const auto& box : w().boxes) count += box.text.starts_with(Lead(text));
    return count;
  }
  // The name of a top-level file about to be renamed, or "".
  std::string RenamedAtTop(const WatchedEntry& entry) {
    const std::size_t slash = entry.path.rfind('/');
    if (entry.opened_as_folder || entry.path.substr(0, slash) != h_.root()) return "";
    return entry.path.substr(slash + 1);
  }
  std::string Mode(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return std::to_string(st.st_mode & 07777);
  }
};

TEST_F(HonestOutcomeTest, AFolderThatCannotBeReadIsLeftAsItIsAndNeverDone) {
  Make({"a.txt", "shut/", "shut/b.txt", "peek/", "peek/c.txt"});
  HandOver(h_.root());
  HandOver(h_.state_home().path());
  ASSERT_EQ(::chmod(Path("shut").c_str(), 0), 0);
  ASSERT_EQ(::chmod(Path("peek").c_str(), 0600), 0);  // listed, not searched
  RunUnprivileged([&] {
    w().answers = {{Lead(text::kFolderUnreadable), IDIGNORE}};
    h_.Encrypt(kPassword);
    EXPECT_EQ(BoxesStartingWith(text::kFolderUnreadable), 2) << Dump(w());
    EXPECT_TRUE(w().boxes[0].text.find(u"\r\n理由\r\n") != std::u16string::npos);
    EXPECT_EQ(Names(h_.root()), (std::vector<std::string>{"peek", "shut", Enc(u"a.txt")}));
    EXPECT_EQ(Outcome(), RunOutcome::kSomeDone);
    EXPECT_EQ(w().boxes.back().text, Format(text::kSomeDone, {3, 1}));
  });
  ::chmod(Path("shut").c_str(), 0755);
  ::chmod(Path("peek").c_str(), 0755);
  EXPECT_EQ(ReadFile(Path("shut/b.txt")), "shut/b.txt");
  EXPECT_EQ(ReadFile(Path("peek/c.txt")), "peek/c.txt");

  // Decrypting: the folder keeps its enciphered name.
  w().answers = SkipEachProblem();
  h_.Encrypt(kPassword);
  const std::string shut = Path(Enc(u"shut"));
  ASSERT_EQ(::chmod(shut.c_str(), 0), 0);
  RunUnprivileged([&] {
    w().boxes.clear();
    w().answers = {{Lead(text::kFolderUnreadable), IDIGNORE}};
    h_.Decrypt(kPassword);
    EXPECT_EQ(BoxesStartingWith(text::kFolderUnreadable), 1) << Dump(w());
    EXPECT_EQ(Names(h_.root()), (std::vector<std::string>{"a.txt", "peek", Enc(u"shut")}));
    EXPECT_EQ(Outcome(), RunOutcome::kSomeDone);
  });
  ::chmod(shut.c_str(), 0755);
}

TEST_F(HonestOutcomeTest, AFileWithANameOutsideIsLeftAloneAndLinksInsideRoundTrip) {
  TempDir outside;
  Make({"in.txt", "pair1.txt"});
  ASSERT_EQ(::link(Path("in.txt").c_str(), (outside.path() + "/out.txt").c_str()), 0);
  ASSERT_EQ(::link(Path("pair1.txt").c_str(), Path("pair2.txt").c_str()), 0);
  const TreeSnapshot outside_before = Snapshot(outside.path());
  const TreeSnapshot before = Snapshot(h_.root());

  w().answers = {{Lead(text::kLinkedOutside), IDIGNORE}};
  h_.Encrypt(kPassword);
  EXPECT_EQ(BoxesStartingWith(text::kLinkedOutside), 1) << Dump(w());
  EXPECT_EQ(Snapshot(outside.path()), outside_before);
  EXPECT_EQ(ReadFile(Path("in.txt")), "in.txt");
  EXPECT_EQ(Outcome(), RunOutcome::kSomeDone);

  w().answers = SkipEachProblem();
  w().answers.emplace_back(Lead(text::kLinkedOutside), IDIGNORE);
  h_.Decrypt(kPassword);
  EXPECT_EQ(Snapshot(h_.root()), before);
  EXPECT_EQ(Snapshot(outside.path()), outside_before);
}

TEST_F(HonestOutcomeTest, AnotherFileSystemIsNeitherEnteredNorRenamed) {
  TempDir outside;
  WriteFile(outside.path() + "/x.txt", "x");
  Make({"a.txt", "mnt/", "f.txt"});
  if (::mount(outside.path().c_str(), Path("mnt").c_str(), nullptr, MS_BIND, nullptr) != 0) {
    GTEST_SKIP() << "bind mounts are not allowed here";
  }
  const bool file_mounted = ::mount((outside.path() + "/x.txt").c_str(), Path("f.txt").c_str(),
                                    nullptr, MS_BIND, nullptr) == 0;
  const TreeSnapshot outside_before = Snapshot(outside.path());
  w().answers = {{Lead(text::kOtherFileSystem), IDIGNORE}};
  h_.Encrypt(kPassword);
  EXPECT_EQ(BoxesStartingWith(text::kOtherFileSystem), file_mounted ? 2 : 1) << Dump(w());
  EXPECT_EQ(ReadFile(Path("mnt/x.txt")), "x");
  EXPECT_EQ(Outcome(), RunOutcome::kSomeDone);
  if (file_mounted) ::umount2(Path("f.txt").c_str(), MNT_DETACH);
  ::umount2(Path("mnt").c_str(), MNT_DETACH);
  EXPECT_EQ(Snapshot(outside.path()), outside_before);
  EXPECT_TRUE(std::filesystem::is_directory(Path("mnt")));
}

// The state folder fills up part-way: what was done stays done and is said
// to be, the rest is untouched.
TEST_F(HonestOutcomeTest, AJournalThatFailsPartWayStopsTheRunThereAndSaysSo) {
  for (int i = 0; i < 1000; ++i) WriteFile(Path("f" + std::to_string(i) + ".txt"), "contents");
  fault_injection::FailNthJournalWrite(4);
  h_.Encrypt(kPassword);
  EXPECT_EQ(BoxesStartingWith(text::kStateFolderFailedDuringRun), 1) << Dump(w());
  EXPECT_EQ(BoxesStartingWith(text::kStateFolderFailed), 0) << Dump(w());
  EXPECT_EQ(Outcome(), RunOutcome::kSomeDone);
  const int done = h_.dialog().job_.done;
  int plain = 0;
  for (const std::string& name : Names(h_.root())) {
    if (!name.starts_with("f")) continue;
    ++plain;
    EXPECT_EQ(ReadFile(Path(name)), "contents") << name;
  }
  EXPECT_EQ(plain, 1000 - done);
  EXPECT_GT(plain, 0);
}

TEST_F(HonestOutcomeTest, AWritableFileOfAnotherOwnerIsTransformedWithAWarningForItsTimes) {
  if (::geteuid() != 0) GTEST_SKIP() << "making a file of another owner needs root";
  Make({"theirs.txt"});
  const TreeSnapshot before = Snapshot(h_.root());
  HandOver(h_.root());
  HandOver(h_.state_home().path());
  ASSERT_EQ(::chown(Path("theirs.txt").c_str(), 0, 0), 0);
  ASSERT_EQ(::chmod(Path("theirs.txt").c_str(), 0666), 0);
  RunUnprivileged([&] {
    h_.Encrypt(kPassword);
    EXPECT_EQ(w().boxes.front().text,
              text::kStatusNotRestored + Detail(h_.root(), Enc(u"theirs.txt")));
    EXPECT_EQ(Outcome(), RunOutcome::kAllDone);
    EXPECT_NE(ReadFile(Path(Enc(u"theirs.txt"))), "theirs.txt");
    h_.Decrypt(kPassword);
    EXPECT_EQ(ReadFile(Path("theirs.txt")), "theirs.txt");
    EXPECT_EQ(Outcome(), RunOutcome::kAllDone);
  });
  EXPECT_EQ(Mode(Path("theirs.txt")), "438");  // 0666, never changed
}

TEST_F(HonestOutcomeTest, AFileChangedBeforeItsTurnKeepsItsContentsAndCanBeRetried) {
  Make({"grow.txt", "same.txt"});
  std::set<std::string> changed;
  const EntryWatch watch([&](const WatchedEntry& entry) {
    for (const char* name : {"grow.txt", "same.txt"}) {
      if (RenamedAtTop(entry) != name || !changed.insert(name).second) continue;
      std::FILE* file = std::fopen(Path(name).c_str(), name[0] == 'g' ? "a" : "r+");
      std::fputs(name[0] == 'g' ? " and more" : "SAME.TXT", file);
      std::fclose(file);
    }
  });
  w().answers = {{Lead(text::kChangedDuringRun), IDRETRY}};
  h_.Encrypt(kPassword);
  EXPECT_EQ(
      DetailsOf(w(), Lead(text::kChangedDuringRun)),
      (std::vector<std::u16string>{Detail(h_.root(), "grow.txt"), Detail(h_.root(), "same.txt")}));
  EXPECT_EQ(Outcome(), RunOutcome::kAllDone);
  h_.Decrypt(kPassword);
  EXPECT_EQ(ReadFile(Path("grow.txt")), "grow.txt and more");
  EXPECT_EQ(ReadFile(Path("same.txt")), "SAME.TXT");
}

// Small files are transformed beside the walk: changes are told in walk
// order, and after an Abort the files handed over are done or as they were.
TEST_F(HonestOutcomeTest, ChangesFoundBesideTheWalkAreToldInOrderAndSurviveAnAbort) {
  for (const int answer : {IDIGNORE, IDABORT}) {
    Empty();
    std::vector<std::string> names;
    for (int i = 0; i < 150; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "f%03d.txt", i);
      names.push_back(name);
      WriteFile(Path(name), name);
    }
    std::vector<std::string> walked;
    std::vector<std::u16string> changed;
    std::optional<EntryWatch> watch(std::in_place, [&](const WatchedEntry& entry) {
      const std::string name = RenamedAtTop(entry);
      if (name.empty() || std::find(walked.begin(), walked.end(), name) != walked.end()) return;
      walked.push_back(name);
      if (walked.size() != 10 && walked.size() != 12 && walked.size() != 100) return;
      std::FILE* file = std::fopen(Path(name).c_str(), "a");
      std::fputs(" and more", file);
      std::fclose(file);
      changed.push_back(Detail(h_.root(), name));
    });
    w().answers = {{Lead(text::kChangedDuringRun), answer}};
    h_.Encrypt(kPassword);
    watch.reset();
    if (answer == IDIGNORE) {
      EXPECT_EQ(DetailsOf(w(), Lead(text::kChangedDuringRun)), changed);
    } else {
      EXPECT_EQ(DetailsOf(w(), Lead(text::kChangedDuringRun)),
                std::vector<std::u16string>{changed.front()});
    }
    EXPECT_EQ(Outcome(), RunOutcome::kSomeDone);
    w().answers = {{Lead(text::kMixedPlain), IDYES},
                   {Lead(text::kNotEncrypted), IDIGNORE},
                   {Lead(text::kDontShowAgain), IDYES}};
    h_.Decrypt(kPassword);
    for (const std::string& name : names) {
      const bool appended = std::count(changed.begin(), changed.end(), Detail(h_.root(), name));
      EXPECT_EQ(ReadFile(Path(name)), appended ? name + " and more" : name) << name;
    }
  }
}

// A rename that fails beside the walk: after a No nothing after it changed.
TEST_F(HonestOutcomeTest, ARenameThatFailsBesideTheWalkChangesNothingAfterIt) {
  for (int i = 0; i < 40; ++i) WriteFile(Path("f" + std::to_string(100 + i)), "contents");
  std::vector<std::string> walked;
  const EntryWatch watch([&](const WatchedEntry& entry) {
    const std::string name = RenamedAtTop(entry);
    if (name.empty() || std::find(walked.begin(), walked.end(), name) != walked.end()) return;
    walked.push_back(name);
    if (walked.size() == 20) WriteFile(Path(Enc(U16(name))), "taken");
  });
  w().answers = {{Lead(text::kTargetExists), IDNO}};
  h_.Encrypt(kPassword);
  EXPECT_EQ(BoxesStartingWith(text::kTargetExists), 1) << Dump(w());
  EXPECT_EQ(Outcome(), RunOutcome::kSomeDone);
  for (std::size_t i = 0; i < walked.size(); ++i) {
    const std::string& name = walked[i];
    if (i < 19) {
      EXPECT_FALSE(std::filesystem::exists(Path(name))) << name;
    } else {
      EXPECT_EQ(ReadFile(Path(name)), "contents") << name;
    }
  }
  EXPECT_EQ(ReadFile(Path(Enc(U16(walked.at(19))))), "taken");
}

// An Abort while the next folder's entries are recorded ahead leaves that
// folder as it was and nothing for a repair.
TEST_F(HonestOutcomeTest, AnAbortEndsWhatWasRecordedForTheNextFolder) {
  Make({"one/", "two/"});
  for (int i = 0; i < 10; ++i) {
    WriteFile(Path("one/f" + std::to_string(i)), "one");
    WriteFile(Path("two/f" + std::to_string(i)), "two");
  }
  const std::map<std::string, TreeSnapshot> before = {{"one", Snapshot(Path("one"))},
                                                      {"two", Snapshot(Path("two"))}};
  std::string first;  // the folder walked first
  std::optional<EntryWatch> watch(std::in_place, [&](const WatchedEntry& entry) {
    for (const char* folder : {"one", "two"}) {
      if (!first.empty() || entry.opened_as_folder ||
          entry.path.rfind(Path(folder) + "/", 0) != 0) {
        continue;
      }
      first = folder;
      WriteFile(Path(folder) + "/" + Enc(U16(entry.path.substr(entry.path.rfind('/') + 1))),
                "taken");
    }
  });
  w().answers = {{Lead(text::kTargetExists), IDNO}};
  h_.Encrypt(kPassword);
  watch.reset();
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(BoxesStartingWith(text::kTargetExists), 1) << Dump(w());
  EXPECT_EQ(Outcome(), RunOutcome::kSomeDone);
  const std::string next = first == "one" ? "two" : "one";
  EXPECT_EQ(Snapshot(Path(next)), before.at(next));
  EXPECT_FALSE(state::PendingRepair::Load(std::filesystem::canonical(h_.root()).string()).needed());
}

TEST_F(HonestOutcomeTest, EntriesSwappedForLinksNeverLeadOutsideTheTree) {
  TempDir outside;
  WriteFile(outside.path() + "/secret.txt", "secret");
  ASSERT_EQ(::chmod((outside.path() + "/secret.txt").c_str(), 0644), 0);
  MakeDirectory(outside.path() + "/folder");
  WriteFile(outside.path() + "/folder/inner.txt", "inner");
  Make({"dir/", "dir/x.txt", "ro.txt"});
  ASSERT_EQ(::chmod(Path("ro.txt").c_str(), 0400), 0);
  const TreeSnapshot outside_before = Snapshot(outside.path());

  TempDir parked;  // the folder as it is opened, the file before its rename
  const EntryWatch watch([&](const WatchedEntry& entry) {
    for (const char* name : {"dir", "ro.txt"}) {
      if (entry.path != Path(name) || entry.opened_as_folder != (name[0] == 'd')) continue;
      std::rename(Path(name).c_str(), (parked.path() + "/" + name).c_str());
      const std::string to =
          outside.path() + (name == std::string("dir") ? "/folder" : "/secret.txt");
      ASSERT_EQ(::symlink(to.c_str(), Path(name).c_str()), 0);
    }
  });
  w().answers = {{Lead(text::kFolderUnreadable), IDIGNORE},
                 {Lead(text::kChangedDuringRun), IDIGNORE}};
  h_.Encrypt(kPassword);
  EXPECT_EQ(BoxesStartingWith(text::kFolderUnreadable), 1) << Dump(w());
  EXPECT_EQ(BoxesStartingWith(text::kChangedDuringRun), 1) << Dump(w());
  EXPECT_EQ(Snapshot(outside.path()), outside_before);
  EXPECT_EQ(Mode(outside.path() + "/secret.txt"), "420");  // 0644
  EXPECT_EQ(Outcome(), RunOutcome::kSomeDone);
}

// The next folder is entered while the one before it is worked through;
// swapped for a link in between, it is not walked, either way.
TEST_F(HonestOutcomeTest, AFolderSwappedAfterItWasEnteredAheadIsNotWalked) {
  for (const bool decrypting : {false, true}) {
    SCOPED_TRACE(decrypting ? "decrypt" : "encrypt");
    Empty();
    TempDir outside;
    WriteFile(outside.path() + "/inner.txt", "inner");
    Make({"one/", "one/a.txt", "one/b.txt", "two/", "two/c.txt", "two/d.txt"});
    if (decrypting) h_.Encrypt(kPassword);
    const auto at = [&](const char* folder) {
      return decrypting ? Path(Enc(U16(folder))) : Path(folder);
    };
    const TreeSnapshot outside_before = Snapshot(outside.path());
    const std::map<std::string, TreeSnapshot> before = {{"one", Snapshot(at("one"))},
                                                        {"two", Snapshot(at("two"))}};
    TempDir parked;
    std::string swapped;
    std::optional<EntryWatch> watch(std::in_place, [&](const WatchedEntry& entry) {
      if (!swapped.empty() || entry.opened_as_folder) return;
      for (const std::string folder : {"one", "two"}) {
        if (entry.path.rfind(Path(folder) + "/", 0) == 0) {
          swapped = folder == "one" ? "two" : "one";
        }
      }
      if (swapped.empty()) return;
      ASSERT_EQ(std::rename(Path(swapped).c_str(), (parked.path() + "/" + swapped).c_str()), 0);
      ASSERT_EQ(::symlink(outside.path().c_str(), Path(swapped).c_str()), 0);
    });
    w().answers = {{Lead(text::kFolderUnreadable), IDIGNORE}};
    if (decrypting) {
      h_.Decrypt(kPassword);
    } else {
      h_.Encrypt(kPassword);
    }
    watch.reset();
    ASSERT_FALSE(swapped.empty());
    EXPECT_EQ(BoxesStartingWith(text::kFolderUnreadable), 1) << Dump(w());
    EXPECT_EQ(Snapshot(parked.path() + "/" + swapped), before.at(swapped));
    EXPECT_EQ(Snapshot(outside.path()), outside_before);
    EXPECT_EQ(Outcome(), RunOutcome::kSomeDone);
  }
}

}  // namespace
}  // namespace velmora::testing
