// The file system by path, as the repair uses it: reading and restoring an
// entry's status, renaming without overwriting. Folders are read through
// their descriptors (folder.h).
//
// Every path is UTF-16 with '/' as separator and is handed to the kernel as
// Wtf8FromUtf16(path), so a name read from disk (escaped bytes and lone
// surrogates included) names the same entry when it is passed back. A path
// that holds U+0000 names nothing: every call on it fails.
//
// Symbolic links are never followed.
//
// Functions returning int give 0 on success and -1 on failure with errno
// telling why.
#ifndef VELMORA_PLATFORM_FILE_SYSTEM_H_
#define VELMORA_PLATFORM_FILE_SYSTEM_H_

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

struct stat;

namespace velmora {

struct FileStatus;

// What GetFileStatus() reads from an entry and SetFileStatus() puts back.
// |mode| holds the file type and permission bits as in struct stat.
struct FileStatus {
  uint32_t mode = 0;
  timespec access_time{};
  timespec modify_time{};
  int64_t size = 0;
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t links = 1;     // hard links to a file
  uint64_t mount_id = 0;  // the mount it is reached through; 0: unknown
  bool is_directory = false;
  bool is_regular = false;
  bool is_symlink = false;
};

// |st| as a FileStatus (without a mount id).
void FileStatusFromStat(const struct stat& st, FileStatus* status);

// The status of |name| relative to the folder open as |folder_fd| (or to
// the working folder with AT_FDCWD; an empty |name| means that folder
// itself), never following a link, with the mount it lies on. False with errno set when it cannot
// be read.
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

// What a call that changes the file system reports: done, or the errno
// value it failed with, kept as a value so that no later call changes it.
class [[nodiscard]] FsResult {
 public:
  static FsResult Done() { return FsResult(0); }
  // |error| 0 (a failure that set no errno) reads as EIO.
  static FsResult Failed(int error) { return FsResult(error != 0 ? error : EIO); }
  static FsResult FromErrno() { return Failed(errno); }

  bool ok() const { return error_ == 0; }
  int error() const { return error_; }

 private:
  explicit FsResult(int error) : error_(error) {}
  int error_;
};

// Renames |from| to |to|. Fails, leaving both alone, when anything already
// exists at |to|, even an entry of another kind (EEXIST); callers rely on
// that to detect name collisions.
FsResult RenameEntry(const std::u16string& from, const std::u16string& to);

// The same for the entries |from| and |to| of the folder open as |folder_fd|
// (AT_FDCWD: paths from the working folder), in the kernel's form. Where the
// file system has no RENAME_NOREPLACE it checks, then renames.
FsResult RenameAtNoReplace(int folder_fd, const char* from, const char* to);

// The same rename, its fallback included, unseen by the tests' crash
// points and order observer: for entries that are not the user's (the
// file system probe), which no journal describes.
FsResult RenameAtNoReplaceUnobserved(int folder_fd, const char* from, const char* to);

// The working directory, or an empty string when it cannot be read.
std::u16string GetCurrentDirectoryPath();

// True when the path |inner| is |outer| or lies below it, whole components
// compared ("/srv/a" is below "/srv", "/srv2" is not; every absolute path
// is below "/"). False for an empty |outer|.
bool IsSameOrBelow(std::string_view inner, std::string_view outer);

}  // namespace velmora

#endif  // VELMORA_PLATFORM_FILE_SYSTEM_H_
