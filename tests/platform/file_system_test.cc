// The file layer on a real directory: what a folder's listing reports, what
// status keeps, and that renames never replace what is there.

#include "platform/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/folder.h"
#include "platform/helper_thread.h"
#include "platform/name_probe.h"
#include "platform/wtf8.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora {
namespace {

using testing::MakeDirectory;
using testing::MakeSparseFile;
using testing::ReadFile;
using testing::WriteFile;

class FileSystemTest : public ::testing::Test {
 protected:
  std::string Raw(const std::string& name) const { return dir_.path() + "/" + name; }
  std::u16string Path(const std::string& name) const { return Utf16FromWtf8(Raw(name)); }

  // Kind letter and size of every entry of the folder at |path|, keyed by
  // its name's bytes.
  std::map<std::string, std::pair<char, int64_t>> List(const std::u16string& path) {
    std::map<std::string, std::pair<char, int64_t>> entries;
    const Folder folder = Folder::Open(path);
    EXPECT_TRUE(folder.IsOpen());
    folder.ListStatuses([&](std::u16string_view name, const FileStatus& status) {
      const char kind = status.is_directory ? 'd'
                        : status.is_symlink ? 'l'
                        : status.is_regular ? 'f'
                                            : 'o';
      EXPECT_TRUE(
          entries.emplace(Wtf8FromUtf16(std::u16string(name)), std::make_pair(kind, status.size))
              .second);
      return true;
    });
    return entries;
  }

  testing::TempDir dir_;
  testing::TempDir outside_;
};

TEST_F(FileSystemTest, ListingReportsEachEntryOnceWithoutFollowingLinks) {
  WriteFile(Raw("file"), "12345");
  MakeDirectory(Raw("sub"));
  ASSERT_EQ(::symlink(outside_.path().c_str(), Raw("link").c_str()), 0);
  ::mkfifo(Raw("fifo").c_str(), 0600);  // listing must not open it
  WriteFile(Raw("cr\rname"), "");
  WriteFile(Raw("lf\nname"), "");
  WriteFile(Raw("\x83\x65\x83\x58\x83\x67"), "sjis");  // not UTF-8
  MakeSparseFile(Raw("huge"), int64_t{1} << 32);

  const auto entries = List(Utf16FromWtf8(dir_.path()));
  const std::map<std::string, std::pair<char, int64_t>> expected = {
      {"file", {'f', 5}},
      {"sub", {'d', entries.at("sub").second}},
      {"link", {'l', entries.at("link").second}},
      {"fifo", {'o', 0}},
      {"cr\rname", {'f', 0}},
      {"lf\nname", {'f', 0}},
      {"\x83\x65\x83\x58\x83\x67", {'f', 4}},
      {"huge", {'f', int64_t{1} << 32}},
  };
  EXPECT_EQ(entries, expected);
  // A path typed with a trailing '/' names the same folder.
  EXPECT_EQ(List(Utf16FromWtf8(dir_.path() + "/")), entries);

  EXPECT_FALSE(Folder::Open(Path("file")).IsOpen());
  EXPECT_FALSE(Folder::Open(Path("missing")).IsOpen());
}

TEST_F(FileSystemTest, ListingStopsWhenAskedTo) {
  WriteFile(Raw("a"), "");
  WriteFile(Raw("b"), "");
  int handed = 0;
  const Folder folder = Folder::Open(Utf16FromWtf8(dir_.path()));
  folder.ListStatuses([&](std::u16string_view, const FileStatus&) {
    ++handed;
    return false;
  });
  EXPECT_EQ(handed, 1);
}

// Read a chunk at a time on two threads, a large folder is still handed
// over whole, once per entry, in listing order, and stops where asked.
TEST_F(FileSystemTest, ListingWithAHelperHandsOverWhatAListingWithoutDoes) {
  for (int i = 0; i < 1100; ++i) WriteFile(Raw("f" + std::to_string(i)), std::string(i % 7, 'x'));
  MakeDirectory(Raw("sub"));
  const Folder folder = Folder::Open(Utf16FromWtf8(dir_.path()));
  using Seen = std::vector<std::pair<std::u16string, int64_t>>;
  const auto list = [&](HelperThread* helper, std::size_t stop_after) {
    Seen seen;
    folder.ListStatuses(
        [&](std::u16string_view name, const FileStatus& status) {
          seen.emplace_back(name, status.is_directory ? -1 : status.size);
          return seen.size() < stop_after;
        },
        helper);
    return seen;
  };
  HelperThread helper;
  const Seen alone = list(nullptr, SIZE_MAX);
  ASSERT_EQ(alone.size(), 1101u);
  EXPECT_EQ(list(&helper, SIZE_MAX), alone);
  for (const std::size_t stop : {std::size_t{1}, std::size_t{512}, std::size_t{513}}) {
    EXPECT_EQ(list(&helper, stop), Seen(alone.begin(), alone.begin() + stop)) << stop;
  }
}

TEST_F(FileSystemTest, StatusKeepsModeAndNanosecondTimes) {
  WriteFile(Raw("f"), "x");
  FileStatus status{};
  ASSERT_TRUE(GetFileStatus(Path("f"), &status));
  EXPECT_TRUE(status.is_regular);
  status.mode = (status.mode & ~07777u) | 0444;
  status.access_time = {1000, 123456789};
  status.modify_time = {2000, 987654321};
  EXPECT_EQ(WithOwnerReadWrite(status).mode & 07777, 0644u);
  ASSERT_TRUE(SetFileStatus(Path("f"), status));

  struct stat st {};
  ASSERT_EQ(::lstat(Raw("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_EQ(st.st_mtim.tv_sec, 2000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
  EXPECT_EQ(st.st_atim.tv_nsec, 123456789);

  FileStatus untouched{};
  untouched.size = 42;
  EXPECT_FALSE(GetFileStatus(Path("missing"), &untouched));
  EXPECT_EQ(untouched.size, 42);
}

TEST_F(FileSystemTest, StatusOfALinkIsTheLinksOwn) {
  WriteFile(outside_.path() + "/target", "t");
  ::chmod((outside_.path() + "/target").c_str(), 0600);
  ASSERT_EQ(::symlink((outside_.path() + "/target").c_str(), Raw("link").c_str()), 0);
  FileStatus status{};
  ASSERT_TRUE(GetFileStatus(Path("link"), &status));
  EXPECT_TRUE(status.is_symlink);
  EXPECT_FALSE(status.is_regular);
  status.mode = 0777;
  ASSERT_TRUE(SetFileStatus(Path("link"), status));
  struct stat st {};
  ::stat((outside_.path() + "/target").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// Both ways: the kernel's no-replace rename, and the check-then-rename of
// file systems without it (sshfs, FAT through FUSE).
TEST_F(FileSystemTest, RenameNeverReplacesAnExistingEntry) {
  for (const bool fallback : {false, true}) {
    SCOPED_TRACE(fallback ? "check, then rename" : "RENAME_NOREPLACE");
    fault_injection::SimulateNoReplaceUnsupported(fallback);
    const std::string sub = fallback ? "/fallback" : "/kernel";
    MakeDirectory(Raw(sub));
    WriteFile(Raw(sub + "/a"), "a");
    WriteFile(Raw(sub + "/b"), "b");
    MakeDirectory(Raw(sub + "/empty"));
    EXPECT_EQ(RenameEntry(Path(sub + "/a"), Path(sub + "/b")).error(), EEXIST);
    EXPECT_EQ(RenameEntry(Path(sub + "/a"), Path(sub + "/empty")).error(), EEXIST);
    EXPECT_EQ(RenameEntry(Path(sub + "/gone"), Path(sub + "/c")).error(), ENOENT);
    EXPECT_EQ(ReadFile(Raw(sub + "/a")), "a");
    EXPECT_EQ(ReadFile(Raw(sub + "/b")), "b");

    EXPECT_TRUE(RenameEntry(Path(sub + "/a"), Path(sub + "/c")).ok());
    EXPECT_EQ(ReadFile(Raw(sub + "/c")), "a");
    // Names that are not UTF-8 are reached by the path the finder gave.
    const std::u16string foreign = Path(sub + "/\x83\x65\x83\x58");
    EXPECT_TRUE(RenameEntry(Path(sub + "/c"), foreign).ok());
    EXPECT_EQ(ReadFile(Raw(sub + "/\x83\x65\x83\x58")), "a");
  }
  fault_injection::SimulateNoReplaceUnsupported(false);
}

// The probe proves names come back on a local file system, with the
// kernel's no-replace rename and with its fallback, and leaves the folder
// as it found it; a probe folder a killed run left goes, one that holds
// anything else stays (and a probe then proves nothing).
TEST_F(FileSystemTest, ProbeLeavesTheFolderAsItWasAndClearsOnlyItsOwnLeftovers) {
  const std::u16string first = {0x00BF, u'A', 0xD800, u'a', 0x03A9, 0xDC00, u'$'};
  const std::u16string second = {0x00BF, u'B', 0xD801, u'b', 0x03C9, 0xDC01, u'#'};
  const std::string probe = Wtf8FromUtf16(kProbeFolderName);
  for (const bool fallback : {false, true}) {
    SCOPED_TRACE(fallback ? "check, then rename" : "RENAME_NOREPLACE");
    fault_injection::SimulateNoReplaceUnsupported(fallback);
    const std::string sub = fallback ? "fallback" : "kernel";
    MakeDirectory(Raw(sub));
    WriteFile(Raw(sub + "/keep"), "k");
    const timespec times[2] = {{1000, 5}, {2000, 7}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Raw(sub).c_str(), times, 0), 0);
    const ProbeResult result = ProbeNames(Folder::Open(Path(sub)), first, second);
    EXPECT_EQ(result.step, ProbeStep::kPassed) << result.error;
    EXPECT_EQ(testing::Names(Raw(sub)), (std::vector<std::string>{"keep"}));
    struct stat st {};
    ASSERT_EQ(::stat(Raw(sub).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 2000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 7);
  }
  fault_injection::SimulateNoReplaceUnsupported(false);

  MakeDirectory(Raw(probe));
  WriteFile(Raw(probe + "/" + Wtf8FromUtf16(first)), "");
  RemoveLeftoverProbe(Folder::Open(Utf16FromWtf8(dir_.path())));
  EXPECT_FALSE(std::filesystem::exists(Raw(probe)));
  MakeDirectory(Raw(probe));
  WriteFile(Raw(probe + "/mine"), "data");
  const Folder folder = Folder::Open(Utf16FromWtf8(dir_.path()));
  RemoveLeftoverProbe(folder);
  EXPECT_EQ(ReadFile(Raw(probe + "/mine")), "data");
  EXPECT_EQ(ProbeNames(folder, first, second).step, ProbeStep::kNoFolder);
  EXPECT_EQ(ReadFile(Raw(probe + "/mine")), "data");
}

}  // namespace
}  // namespace velmora
