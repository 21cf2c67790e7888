// The file system by path, as the scan and the repair use it: enumerating a
// directory, reading and restoring an entry's status, renaming without
// overwriting. The walk itself works through folder descriptors (folder.h).
//
// Every path is UTF-16 with '/' as separator and is handed to the kernel as
// Wtf8FromUtf16(path), so a name read from disk (escaped bytes and lone
// surrogates included) names the same entry when it is passed back. A path
// that holds U+0000 names nothing: every call on it fails.
//
// Symbolic links are never followed, except by DirectoryFinder::FindFile on
// the directory it is told to open.
//
// Functions returning int give 0 on success and -1 on failure with errno
// telling why.
#ifndef VELMORA_PLATFORM_FILE_SYSTEM_H_
#define VELMORA_PLATFORM_FILE_SYSTEM_H_

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

struct stat;

namespace velmora {

struct FileStatus;

// Walks the entries of one directory, one at a time:
//
//   DirectoryFinder finder;
//   if (finder.FindFile(dir + u"/*")) {
//     while (finder.FindNextFile()) {
//       if (finder.IsDots()) continue;
//       ... finder.GetFilePath() ...
//     }
//   }
//
// Each entry's status is read when the finder moves onto it, without
// following symbolic links, so IsDirectory() is false for a link to a
// directory and a FIFO or device is reported, never opened. Entries that
// vanish before their status could be read are skipped. The order is the
// file system's. The directory is closed by Close(), by the next FindFile()
// and by the destructor.
class DirectoryFinder {
 public:
  DirectoryFinder();
  ~DirectoryFinder();
  DirectoryFinder(DirectoryFinder&&) noexcept;
  DirectoryFinder& operator=(DirectoryFinder&&) noexcept;
  DirectoryFinder(const DirectoryFinder&) = delete;
  DirectoryFinder& operator=(const DirectoryFinder&) = delete;

  // Opens the directory named by |pattern|: a directory path followed by
  // "/*" ("dir//*" works too), or the directory path alone. Returns true
  // when the directory could be opened. There is no current entry until the
  // first FindNextFile().
  bool FindFile(const std::u16string& pattern);

  // Moves to the next entry. Returns false when there is none left (or the
  // directory could not be read further); the finder then has no current
  // entry. True always means that there is a current entry, the last one
  // included.
  bool FindNextFile();

  // About the current entry; false, empty or 0 when there is none.
  bool IsDots() const;         // "." or ".."
  bool IsDirectory() const;    // a real directory, never a link to one
  bool IsRegularFile() const;
  bool IsSymbolicLink() const;
  std::u16string GetFileName() const;
  // The directory as given to FindFile(), without "/*" and trailing '/',
  // then '/' and the name.
  std::u16string GetFilePath() const;
  // Logical size in bytes (a sparse file reports its full length).
  int64_t GetLength64() const;
  // The whole status as read (mode, size, device, inode, links); only the
  // file type is known when the status could not be read.
  FileStatus Status() const;

  void Close();

 private:
  struct Rep;
  std::unique_ptr<Rep> rep_;
};

// What GetFileStatus() reads from an entry and SetFileStatus() puts back.
// |mode| holds the file type and permission bits as in struct stat.
struct FileStatus {
  uint32_t mode = 0;
  timespec access_time{};
  timespec modify_time{};
  int64_t size = 0;
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t links = 1;  // hard links to a file
  uint64_t mount_id = 0;  // the mount it is reached through; 0: unknown
  bool is_directory = false;
  bool is_regular = false;
  bool is_symlink = false;
};

// |st| as a FileStatus (without a mount id).
void FileStatusFromStat(const struct stat& st, FileStatus* status);

// The status of |name| relative to the folder open as |folder_fd| (or to
// the working folder with AT_FDCWD; an empty |name| means that folder
// itself), never following a link, with the mount it lies on. False with errno set when it cannot be read.
bool StatusAt(int folder_fd, const char* name, FileStatus* status);

// True when both lie on the same mount: the same file system, and not
// across a bind mount of part of it.
bool SameMount(const FileStatus& a, const FileStatus& b);

// Reads the status of the entry at |path| itself (a link is not followed).
// Returns false and leaves |*status| untouched when it cannot be read.
bool GetFileStatus(const std::u16string& path, FileStatus* status);

// Restores the permission bits (mode & 07777) and both times, to the
// nanosecond, on the entry at |path|. A symbolic link keeps its permissions
// and only gets its own times; its target is not touched. Returns false when
// any part fails.
bool SetFileStatus(const std::u16string& path, const FileStatus& status);

// |status| with owner read and write permission added, for clearing the
// read-only state before changing an entry.
FileStatus WithOwnerReadWrite(FileStatus status);

// Renames |from| to |to|. Fails, leaving both alone, when anything already
// exists at |to|, even an entry of another kind; callers rely on that to
// detect name collisions.
int RenameEntry(const std::u16string& from, const std::u16string& to);

// The same for the entries |from| and |to| of the folder open as |folder_fd|
// (AT_FDCWD: paths from the working folder), in the kernel's form.
int RenameAtNoReplace(int folder_fd, const char* from, const char* to);

// The working directory, or an empty string when it cannot be read.
std::u16string GetCurrentDirectoryPath();

}  // namespace velmora

#endif  // VELMORA_PLATFORM_FILE_SYSTEM_H_
