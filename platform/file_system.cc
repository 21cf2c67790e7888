#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/wtf8.h"

namespace velmora {
namespace {

// The kernel's form of |path|. A U+0000 would cut the C string short and
// name some other entry, so such a path is refused.
bool ToBytes(std::u16string_view path, std::string* bytes) {
  if (path.find(u'\0') != std::u16string_view::npos) {
    errno = EINVAL;
    return false;
  }
  *bytes = Wtf8FromUtf16(path);
  return true;
}

}  // namespace

bool GetFileStatus(const std::u16string& path, FileStatus* status) {
  std::string bytes;
  return ToBytes(path, &bytes) && StatusAt(AT_FDCWD, bytes.c_str(), status);
}

bool StatusAt(int folder_fd, const char* name, FileStatus* status) {
  struct statx sx {};
  // An empty name means the folder itself.
  const int empty = name[0] == '\0' ? AT_EMPTY_PATH : 0;
  if (::statx(folder_fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | empty,
              STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0) {
    return false;
  }
  struct stat st {};
  st.st_mode = sx.stx_mode;
  st.st_size = static_cast<off_t>(sx.stx_size);
  st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  st.st_ino = static_cast<ino_t>(sx.stx_ino);
  st.st_nlink = sx.stx_nlink;
  st.st_atim = {static_cast<time_t>(sx.stx_atime.tv_sec), sx.stx_atime.tv_nsec};
  st.st_mtim = {static_cast<time_t>(sx.stx_mtime.tv_sec), sx.stx_mtime.tv_nsec};
  FileStatusFromStat(st, status);
  status->mount_id = (sx.stx_mask & STATX_MNT_ID) != 0 ? sx.stx_mnt_id : 0;
  return true;
}

bool SameMount(const FileStatus& a, const FileStatus& b) {
  if (a.device != b.device) return false;
  return a.mount_id == 0 || b.mount_id == 0 || a.mount_id == b.mount_id;
}

void FileStatusFromStat(const struct stat& st, FileStatus* status) {
  status->mode = static_cast<uint32_t>(st.st_mode);
  status->access_time = st.st_atim;
  status->modify_time = st.st_mtim;
  status->size = static_cast<int64_t>(st.st_size);
  status->device = static_cast<uint64_t>(st.st_dev);
  status->inode = static_cast<uint64_t>(st.st_ino);
  status->links = static_cast<uint64_t>(st.st_nlink);
  status->mount_id = 0;
  status->is_directory = S_ISDIR(st.st_mode);
  status->is_regular = S_ISREG(st.st_mode);
  status->is_symlink = S_ISLNK(st.st_mode);
}

bool SetFileStatus(const std::u16string& path, const FileStatus& status) {
  if (fault_injection::ShouldFailSetStatus()) return false;
  std::string bytes;
  struct stat st {};
  if (!ToBytes(path, &bytes) || ::lstat(bytes.c_str(), &st) != 0) {
    return false;
  }
  // Permissions of a link mean nothing, and chmod() would reach its target.
  if (!S_ISLNK(st.st_mode) && !status.is_symlink) {
    const mode_t permissions = static_cast<mode_t>(status.mode & 07777);
    fault_injection::CrashPoint();
    int rc = ::fchmodat(AT_FDCWD, bytes.c_str(), permissions, AT_SYMLINK_NOFOLLOW);
    // glibc needs /proc to honour the flag; without it, fall back on the
    // lstat() above having seen no link.
    if (rc != 0 && (errno == EOPNOTSUPP || errno == ENOTSUP)) {
      rc = ::chmod(bytes.c_str(), permissions);
    }
    if (rc != 0) return false;
  }
  // Times last, so that nothing done here afterwards can disturb them.
  const timespec times[2] = {status.access_time, status.modify_time};
  fault_injection::CrashPoint();
  return ::utimensat(AT_FDCWD, bytes.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

FileStatus WithOwnerReadWrite(FileStatus status) {
  status.mode |= S_IRUSR | S_IWUSR;
  return status;
}

FsResult RenameEntry(const std::u16string& from, const std::u16string& to) {
  std::string from_bytes;
  std::string to_bytes;
  if (!ToBytes(from, &from_bytes) || !ToBytes(to, &to_bytes)) return FsResult::FromErrno();
  return RenameAtNoReplace(AT_FDCWD, from_bytes.c_str(), to_bytes.c_str());
}

FsResult RenameAtNoReplace(int folder_fd, const char* from, const char* to) {
  // rename() would silently replace whatever is at |to|; RENAME_NOREPLACE
  // makes the kernel refuse atomically.
  fault_injection::CrashPoint();
  fault_injection::BeforeRename(folder_fd, from, to);
  return RenameAtNoReplaceUnobserved(folder_fd, from, to);
}

FsResult RenameAtNoReplaceUnobserved(int folder_fd, const char* from, const char* to) {
  if (!fault_injection::NoReplaceUnsupported() &&
      ::renameat2(folder_fd, from, folder_fd, to, RENAME_NOREPLACE) == 0) {
    return FsResult::Done();
  }
  if (!fault_injection::NoReplaceUnsupported() && errno != EINVAL && errno != ENOSYS) {
    return FsResult::FromErrno();
  }
  // Old kernel, or a file system without the flag (sshfs, FAT through
  // FUSE). Check, then rename: an entry created at |to| between the two
  // would be replaced. Nothing else should be writing inside the tree being
  // processed, so the window is accepted.
  struct stat st {};
  if (::fstatat(folder_fd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return FsResult::Failed(EEXIST);
  if (errno != ENOENT) return FsResult::FromErrno();
  if (::renameat(folder_fd, from, folder_fd, to) != 0) return FsResult::FromErrno();
  return FsResult::Done();
}

std::u16string GetCurrentDirectoryPath() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
      return Utf16FromWtf8(buffer.data());
    }
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool IsSameOrBelow(std::string_view inner, std::string_view outer) {
  if (outer.empty() || !inner.starts_with(outer)) return false;
  return inner.size() == outer.size() || outer == "/" || inner[outer.size()] == '/';
}

}  // namespace velmora
