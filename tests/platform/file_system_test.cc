#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/wtf8.h"

namespace velmora {
namespace {

// Each test gets a fresh directory. Set-up and checks go through plain POSIX
// calls on byte paths, so they do not depend on the code under test.
class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") +
                        "/velmora-fs-XXXXXX";
    ASSERT_NE(::mkdtemp(templ.data()), nullptr) << templ;
    root_ = templ;
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(root_), ignored);
  }

  std::string Raw(const std::string& name) const { return root_ + "/" + name; }
  std::u16string Path(const std::string& name) const {
    return Utf16FromWtf8(Raw(name));
  }

  static void WriteFile(const std::string& path, const std::string& data) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                    0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, data.data(), data.size()),
              static_cast<ssize_t>(data.size()));
    ::close(fd);
  }

  static std::string ReadFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "<missing>";
    std::string data;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) data.append(buffer, n);
    ::close(fd);
    return data;
  }

  static void MakeDir(const std::string& path) {
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
  }

  static bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
  }

  static mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode;
  }

  std::string root_;
};

struct Entry {
  std::u16string path;
  bool dots = false;
  bool directory = false;
  bool regular = false;
  bool symlink = false;
  int64_t length = -1;
};

// Every entry the finder reports for |pattern|, keyed by name.
std::map<std::u16string, Entry> List(const std::u16string& pattern) {
  std::map<std::u16string, Entry> entries;
  DirectoryFinder finder;
  EXPECT_TRUE(finder.FindFile(pattern));
  while (finder.FindNextFile()) {
    Entry e;
    e.path = finder.GetFilePath();
    e.dots = finder.IsDots();
    e.directory = finder.IsDirectory();
    e.regular = finder.IsRegularFile();
    e.symlink = finder.IsSymbolicLink();
    e.length = finder.GetLength64();
    EXPECT_TRUE(entries.emplace(finder.GetFileName(), e).second)
        << "reported twice";
  }
  return entries;
}

std::map<std::u16string, Entry> ListWithoutDots(const std::u16string& pattern) {
  auto entries = List(pattern);
  std::erase_if(entries, [](const auto& item) { return item.second.dots; });
  return entries;
}

using DirectoryFinderTest = FileSystemTest;

TEST_F(DirectoryFinderTest, ListsEntriesWithTheirKinds) {
  WriteFile(Raw("a.txt"), "hello");
  WriteFile(Raw("empty"), "");
  MakeDir(Raw("sub"));
  WriteFile(Raw("sub/inner"), "not listed");

  const auto entries = List(Path("") + u"*");
  ASSERT_EQ(entries.size(), 5u);

  const Entry& dot = entries.at(u".");
  const Entry& dotdot = entries.at(u"..");
  EXPECT_TRUE(dot.dots && dot.directory);
  EXPECT_TRUE(dotdot.dots && dotdot.directory);

  const Entry& file = entries.at(u"a.txt");
  EXPECT_TRUE(file.regular);
  EXPECT_FALSE(file.directory || file.symlink || file.dots);
  EXPECT_EQ(file.length, 5);
  EXPECT_EQ(file.path, Path("a.txt"));

  EXPECT_TRUE(entries.at(u"empty").regular);
  EXPECT_EQ(entries.at(u"empty").length, 0);

  const Entry& sub = entries.at(u"sub");
  EXPECT_TRUE(sub.directory);
  EXPECT_FALSE(sub.regular || sub.symlink || sub.dots);
  EXPECT_EQ(sub.path, Path("sub"));
  EXPECT_EQ(ListWithoutDots(sub.path + u"/*").count(u"inner"), 1u);
}

TEST_F(DirectoryFinderTest, PatternFormsAllNameTheSameDirectory) {
  MakeDir(Raw("dir"));
  WriteFile(Raw("dir/x"), "");
  const std::u16string dir = Path("dir");
  for (const std::u16string& pattern :
       {dir + u"/*", dir + u"//*", dir, dir + u"/", dir + u"//"}) {
    const auto entries = ListWithoutDots(pattern);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.at(u"x").path, dir + u"/x");
  }
}

TEST_F(DirectoryFinderTest, CurrentEntryOnlyBetweenFindAndEnd) {
  WriteFile(Raw("only"), "");
  DirectoryFinder finder;
  EXPECT_FALSE(finder.FindNextFile());

  ASSERT_TRUE(finder.FindFile(Path("") + u"*"));
  EXPECT_TRUE(finder.GetFileName().empty());
  EXPECT_TRUE(finder.GetFilePath().empty());
  int count = 0;
  while (finder.FindNextFile()) {
    EXPECT_FALSE(finder.GetFileName().empty());
    ++count;
  }
  EXPECT_EQ(count, 3);
  EXPECT_FALSE(finder.FindNextFile());
  EXPECT_TRUE(finder.GetFileName().empty());
  EXPECT_FALSE(finder.IsDirectory());
  EXPECT_FALSE(finder.IsDots());

  // Reopened, then closed in the middle.
  ASSERT_TRUE(finder.FindFile(Path("") + u"*"));
  ASSERT_TRUE(finder.FindNextFile());
  finder.Close();
  EXPECT_FALSE(finder.FindNextFile());
  EXPECT_TRUE(finder.GetFileName().empty());

  // A finder can be moved, mid-enumeration.
  ASSERT_TRUE(finder.FindFile(Path("") + u"*"));
  DirectoryFinder moved(std::move(finder));
  count = 0;
  while (moved.FindNextFile()) ++count;
  EXPECT_EQ(count, 3);
}

TEST_F(DirectoryFinderTest, RefusesWhatIsNotADirectory) {
  WriteFile(Raw("file"), "");
  ASSERT_EQ(::mkfifo(Raw("pipe").c_str(), 0644), 0);
  DirectoryFinder finder;
  EXPECT_FALSE(finder.FindFile(Path("missing") + u"/*"));
  EXPECT_FALSE(finder.FindFile(Path("file") + u"/*"));
  EXPECT_FALSE(finder.FindFile(Path("pipe")));  // must not block either
  EXPECT_FALSE(finder.FindFile(u""));
  EXPECT_FALSE(finder.FindNextFile());
}

TEST_F(DirectoryFinderTest, SymbolicLinksAreListedButNotFollowed) {
  MakeDir(Raw("outside"));
  WriteFile(Raw("outside/secret"), "x");
  MakeDir(Raw("tree"));
  ASSERT_EQ(::symlink(Raw("outside").c_str(), Raw("tree/to_dir").c_str()), 0);
  ASSERT_EQ(::symlink(Raw("outside/secret").c_str(),
                      Raw("tree/to_file").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", Raw("tree/dangling").c_str()), 0);

  const auto entries = ListWithoutDots(Path("tree") + u"/*");
  ASSERT_EQ(entries.size(), 3u);
  for (const auto& [name, e] : entries) {
    SCOPED_TRACE(Wtf8FromUtf16(name));
    EXPECT_TRUE(e.symlink);
    EXPECT_FALSE(e.directory);
    EXPECT_FALSE(e.regular);
  }
}

TEST_F(DirectoryFinderTest, FifoIsListedWithoutBlocking) {
  ASSERT_EQ(::mkfifo(Raw("pipe").c_str(), 0644), 0);
  const auto entries = ListWithoutDots(Path("") + u"*");
  ASSERT_EQ(entries.size(), 1u);
  const Entry& pipe = entries.at(u"pipe");
  EXPECT_FALSE(pipe.regular || pipe.directory || pipe.symlink);
}

TEST_F(DirectoryFinderTest, LineBreaksInNamesStayOneEntry) {
  WriteFile(Raw("a\rb"), "");
  WriteFile(Raw("c\nd"), "");
  WriteFile(Raw("\r\n"), "");
  const auto entries = ListWithoutDots(Path("") + u"*");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries.count(u"a\rb"), 1u);
  EXPECT_EQ(entries.count(u"c\nd"), 1u);
  EXPECT_EQ(entries.count(u"\r\n"), 1u);
}

TEST_F(DirectoryFinderTest, NamesThatAreNotUtf8AreLossless) {
  const std::string names[] = {
      "\x83\x65\x83\x58\x83\x67.txt",  // Shift_JIS
      "\xED\xA0\x80x",                 // lone high surrogate
      "\xED\xA0\xBD\xED\xB8\x80",      // high and low written separately
  };
  for (const std::string& raw : names) WriteFile(Raw(raw), raw);

  const auto entries = ListWithoutDots(Path("") + u"*");
  ASSERT_EQ(entries.size(), 3u);
  for (const std::string& raw : names) {
    SCOPED_TRACE(raw);
    const std::u16string name = Utf16FromWtf8(raw);
    ASSERT_EQ(entries.count(name), 1u);
    const std::u16string path = entries.at(name).path;
    EXPECT_EQ(Wtf8FromUtf16(path), Raw(raw));

    ASSERT_EQ(RenameEntry(path, Path("plain")), 0);
    EXPECT_FALSE(Exists(Raw(raw)));
    EXPECT_EQ(ReadFile(Raw("plain")), raw);
    ASSERT_EQ(RenameEntry(Path("plain"), path), 0);
    EXPECT_EQ(ReadFile(Raw(raw)), raw);
  }
  EXPECT_TRUE(HasEscapedBytes(Utf16FromWtf8(names[0])));
}

TEST_F(DirectoryFinderTest, SparseFileReportsLogicalSize) {
  constexpr int64_t k4GiB = int64_t{1} << 32;
  int fd = ::open(Raw("sparse").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, k4GiB), 0);
  ::close(fd);

  EXPECT_EQ(ListWithoutDots(Path("") + u"*").at(u"sparse").length, k4GiB);
  FileStatus status;
  ASSERT_TRUE(GetFileStatus(Path("sparse"), &status));
  EXPECT_EQ(status.size, k4GiB);
}

TEST_F(DirectoryFinderTest, EntriesRemovedMeanwhileAreSkipped) {
  const auto name_of = [](int i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%02d", i);
    return std::string(name);
  };
  for (int i = 0; i < 20; ++i) WriteFile(Raw(name_of(i)), "");
  DirectoryFinder finder;
  ASSERT_TRUE(finder.FindFile(Path("") + u"*"));
  // The first step reads a batch of names; removing them afterwards leaves
  // names the finder has already read but can no longer find.
  ASSERT_TRUE(finder.FindNextFile());
  const std::string first = Wtf8FromUtf16(finder.GetFileName());
  for (int i = 0; i < 20; ++i) {
    const std::string name = name_of(i);
    if (name != first) {
      ASSERT_EQ(::unlink(Raw(name).c_str()), 0);
    }
  }
  while (finder.FindNextFile()) {
    EXPECT_TRUE(finder.IsDots() || Wtf8FromUtf16(finder.GetFileName()) == first)
        << Wtf8FromUtf16(finder.GetFileName());
  }
}

using FileStatusTest = FileSystemTest;

TEST_F(FileStatusTest, RoundTripKeepsModeAndNanosecondTimes) {
  WriteFile(Raw("file"), "abc");
  MakeDir(Raw("dir"));
  for (const char* name : {"file", "dir"}) {
    SCOPED_TRACE(name);
    const std::u16string path = Path(name);
    FileStatus wanted;
    ASSERT_TRUE(GetFileStatus(path, &wanted));
    wanted.mode = (wanted.mode & ~07777u) | 0751;
    wanted.access_time = {1000000000, 123456789};
    wanted.modify_time = {1234567890, 987654321};
    ASSERT_TRUE(SetFileStatus(path, wanted));

    // Changing the entry disturbs its status; restoring brings it back.
    ASSERT_EQ(::chmod(Raw(name).c_str(), 0700), 0);
    if (std::string(name) == "dir") {
      WriteFile(Raw("dir/new"), "");
    } else {
      WriteFile(Raw("file"), "changed");
    }
    ASSERT_TRUE(SetFileStatus(path, wanted));

    FileStatus got;
    ASSERT_TRUE(GetFileStatus(path, &got));
    EXPECT_EQ(got.mode, wanted.mode);
    EXPECT_EQ(ModeOf(Raw(name)) & 07777, 0751u);
    EXPECT_EQ(got.access_time.tv_sec, 1000000000);
    EXPECT_EQ(got.access_time.tv_nsec, 123456789);
    EXPECT_EQ(got.modify_time.tv_sec, 1234567890);
    EXPECT_EQ(got.modify_time.tv_nsec, 987654321);
  }
}

TEST_F(FileStatusTest, ReportsKindAndSizeOfTheEntryItself) {
  WriteFile(Raw("file"), "12345678");
  MakeDir(Raw("dir"));
  ASSERT_EQ(::symlink(Raw("dir").c_str(), Raw("link").c_str()), 0);

  FileStatus file, dir, link;
  ASSERT_TRUE(GetFileStatus(Path("file"), &file));
  ASSERT_TRUE(GetFileStatus(Path("dir"), &dir));
  ASSERT_TRUE(GetFileStatus(Path("link"), &link));
  EXPECT_TRUE(file.is_regular && !file.is_directory && !file.is_symlink);
  EXPECT_EQ(file.size, 8);
  EXPECT_TRUE(S_ISREG(file.mode));
  EXPECT_TRUE(dir.is_directory && !dir.is_regular && !dir.is_symlink);
  EXPECT_TRUE(link.is_symlink && !link.is_directory && !link.is_regular);
  EXPECT_TRUE(S_ISLNK(link.mode));
}

TEST_F(FileStatusTest, SymbolicLinkGetsItsOwnTimesAndTargetIsUntouched) {
  WriteFile(Raw("target"), "t");
  ASSERT_EQ(::chmod(Raw("target").c_str(), 0640), 0);
  ASSERT_EQ(::symlink(Raw("target").c_str(), Raw("link").c_str()), 0);
  FileStatus target_before;
  ASSERT_TRUE(GetFileStatus(Path("target"), &target_before));

  // Even a status taken from a regular file must not reach through the link.
  FileStatus status = target_before;
  status.mode = S_IFREG | 0;
  status.access_time = {1111111111, 1};
  status.modify_time = {1222222222, 2};
  ASSERT_TRUE(SetFileStatus(Path("link"), status));

  FileStatus link, target_after;
  ASSERT_TRUE(GetFileStatus(Path("link"), &link));
  ASSERT_TRUE(GetFileStatus(Path("target"), &target_after));
  EXPECT_EQ(link.modify_time.tv_sec, 1222222222);
  EXPECT_EQ(link.modify_time.tv_nsec, 2);
  EXPECT_EQ(target_after.mode, target_before.mode);
  EXPECT_EQ(target_after.modify_time.tv_sec, target_before.modify_time.tv_sec);
  EXPECT_EQ(target_after.modify_time.tv_nsec,
            target_before.modify_time.tv_nsec);
}

TEST_F(FileStatusTest, MissingEntryFailsAndLeavesStatusAlone) {
  FileStatus status;
  status.mode = 0123;
  status.size = 42;
  EXPECT_FALSE(GetFileStatus(Path("missing"), &status));
  EXPECT_EQ(status.mode, 0123u);
  EXPECT_EQ(status.size, 42);
  EXPECT_FALSE(SetFileStatus(Path("missing"), status));
  EXPECT_FALSE(PathExists(Path("missing")));

  ASSERT_EQ(::symlink("nowhere", Raw("dangling").c_str()), 0);
  EXPECT_TRUE(PathExists(Path("dangling")));
  EXPECT_TRUE(GetFileStatus(Path("dangling"), &status));
}

TEST_F(FileStatusTest, ReadOnlyMeansNoOwnerWrite) {
  WriteFile(Raw("file"), "");
  ASSERT_EQ(::chmod(Raw("file").c_str(), 0444), 0);
  FileStatus status;
  ASSERT_TRUE(GetFileStatus(Path("file"), &status));
  EXPECT_TRUE(IsReadOnly(status));

  const FileStatus writable = WithOwnerReadWrite(status);
  EXPECT_FALSE(IsReadOnly(writable));
  EXPECT_EQ(writable.mode, static_cast<uint32_t>(S_IFREG | 0644));
  ASSERT_TRUE(SetFileStatus(Path("file"), writable));
  EXPECT_EQ(ModeOf(Raw("file")) & 07777, 0644u);

  status.mode = S_IFREG | 0200;
  EXPECT_FALSE(IsReadOnly(status));
  EXPECT_EQ(WithOwnerReadWrite(status).mode,
            static_cast<uint32_t>(S_IFREG | 0600));
}

using RenameEntryTest = FileSystemTest;

TEST_F(RenameEntryTest, NeverReplacesAnExistingEntry) {
  WriteFile(Raw("a"), "A");
  WriteFile(Raw("b"), "B");
  MakeDir(Raw("empty_dir"));
  MakeDir(Raw("full_dir"));
  WriteFile(Raw("full_dir/inside"), "I");
  ASSERT_EQ(::symlink("nowhere", Raw("dangling").c_str()), 0);

  struct Case {
    const char* from;
    const char* to;
  };
  // rename() would replace each of these targets (an empty directory too).
  for (const Case& c : {Case{"a", "b"}, Case{"a", "dangling"},
                        Case{"full_dir", "empty_dir"}, Case{"a", "a"}}) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    errno = 0;
    EXPECT_EQ(RenameEntry(Path(c.from), Path(c.to)), -1);
    EXPECT_EQ(errno, EEXIST);
  }
  // A file onto a directory fails too, whatever the reason.
  EXPECT_EQ(RenameEntry(Path("a"), Path("empty_dir")), -1);

  EXPECT_EQ(ReadFile(Raw("a")), "A");
  EXPECT_EQ(ReadFile(Raw("b")), "B");
  EXPECT_EQ(ReadFile(Raw("full_dir/inside")), "I");
  EXPECT_TRUE(S_ISDIR(ModeOf(Raw("empty_dir"))));
  EXPECT_TRUE(S_ISLNK(ModeOf(Raw("dangling"))));
}

TEST_F(RenameEntryTest, MovesFilesDirectoriesAndLinks) {
  WriteFile(Raw("a"), "A");
  MakeDir(Raw("dir"));
  WriteFile(Raw("dir/inside"), "I");
  ASSERT_EQ(::symlink(Raw("dir").c_str(), Raw("link").c_str()), 0);

  EXPECT_EQ(RenameEntry(Path("a"), Path("dir/a2")), 0);
  EXPECT_EQ(RenameEntry(Path("dir"), Path("dir2")), 0);
  EXPECT_EQ(RenameEntry(Path("link"), Path("link2")), 0);

  EXPECT_FALSE(Exists(Raw("a")));
  EXPECT_FALSE(Exists(Raw("dir")));
  EXPECT_EQ(ReadFile(Raw("dir2/a2")), "A");
  EXPECT_EQ(ReadFile(Raw("dir2/inside")), "I");
  EXPECT_TRUE(S_ISLNK(ModeOf(Raw("link2"))));

  EXPECT_EQ(RenameEntry(Path("missing"), Path("other")), -1);
  EXPECT_FALSE(Exists(Raw("other")));
}

TEST_F(RenameEntryTest, PathWithNulNamesNothing) {
  WriteFile(Raw("a"), "A");
  std::u16string cut = Path("a");
  cut.push_back(u'\0');
  cut += u"b";
  // Cut short at the NUL, these would act on "a".
  EXPECT_EQ(RenameEntry(cut, Path("c")), -1);
  EXPECT_EQ(RemoveFile(cut), -1);
  EXPECT_FALSE(PathExists(cut));
  EXPECT_EQ(ReadFile(Raw("a")), "A");
}

using RemoveTest = FileSystemTest;

TEST_F(RemoveTest, RemoveFileTakesTheLinkNotItsTarget) {
  WriteFile(Raw("file"), "");
  MakeDir(Raw("dir"));
  WriteFile(Raw("dir/keep"), "K");
  ASSERT_EQ(::symlink(Raw("dir").c_str(), Raw("to_dir").c_str()), 0);
  ASSERT_EQ(::symlink(Raw("dir/keep").c_str(), Raw("to_file").c_str()), 0);

  EXPECT_EQ(RemoveFile(Path("file")), 0);
  EXPECT_EQ(RemoveFile(Path("to_dir")), 0);
  EXPECT_EQ(RemoveFile(Path("to_file")), 0);
  EXPECT_FALSE(Exists(Raw("file")));
  EXPECT_FALSE(Exists(Raw("to_dir")));
  EXPECT_FALSE(Exists(Raw("to_file")));
  EXPECT_EQ(ReadFile(Raw("dir/keep")), "K");

  MakeDir(Raw("empty"));
  EXPECT_EQ(RemoveFile(Path("dir")), -1);
  EXPECT_EQ(RemoveFile(Path("empty")), -1);
  EXPECT_EQ(RemoveFile(Path("missing")), -1);
  EXPECT_TRUE(Exists(Raw("dir")));
  EXPECT_TRUE(Exists(Raw("empty")));
}

TEST_F(RemoveTest, RemoveEmptyDirectoryOnlyWhenEmpty) {
  MakeDir(Raw("full"));
  WriteFile(Raw("full/keep"), "K");
  MakeDir(Raw("empty"));
  WriteFile(Raw("file"), "");

  EXPECT_EQ(RemoveEmptyDirectory(Path("full")), -1);
  EXPECT_EQ(ReadFile(Raw("full/keep")), "K");
  EXPECT_EQ(RemoveEmptyDirectory(Path("file")), -1);
  EXPECT_TRUE(Exists(Raw("file")));
  EXPECT_EQ(RemoveEmptyDirectory(Path("empty")), 0);
  EXPECT_FALSE(Exists(Raw("empty")));
}

TEST_F(FileSystemTest, CurrentDirectoryKeepsForeignBytes) {
  const std::string raw = "\x83\x65\x83\x58\x83\x67";
  MakeDir(Raw(raw));
  char* resolved = ::realpath(Raw(raw).c_str(), nullptr);
  ASSERT_NE(resolved, nullptr);
  const std::string expected = resolved;
  std::free(resolved);

  const std::u16string before = GetCurrentDirectoryPath();
  ASSERT_FALSE(before.empty());
  ASSERT_EQ(::chdir(Raw(raw).c_str()), 0);
  const std::u16string inside = GetCurrentDirectoryPath();
  ASSERT_EQ(::chdir(Wtf8FromUtf16(before).c_str()), 0);

  EXPECT_EQ(Wtf8FromUtf16(inside), expected);
  EXPECT_TRUE(HasEscapedBytes(inside));
}

}  // namespace
}  // namespace velmora
