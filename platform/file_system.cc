#include "platform/file_system.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
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

// The file type readdir() reported, for an entry whose status cannot be
// read. Like lstat, d_type never describes a link's target.
mode_t ModeFromDirentType(unsigned char type) {
  switch (type) {
    case DT_DIR: return S_IFDIR;
    case DT_REG: return S_IFREG;
    case DT_LNK: return S_IFLNK;
    case DT_FIFO: return S_IFIFO;
    case DT_SOCK: return S_IFSOCK;
    case DT_CHR: return S_IFCHR;
    case DT_BLK: return S_IFBLK;
    default: return 0;
  }
}

}  // namespace

struct DirectoryFinder::Rep {
  ~Rep() { CloseDir(); }

  void CloseDir() {
    if (dir != nullptr) ::closedir(dir);
    dir = nullptr;
    has_entry = false;
  }

  DIR* dir = nullptr;
  std::u16string directory;  // as given, without "/*" and trailing '/'
  bool has_entry = false;
  bool dots = false;
  std::u16string name;
  FileStatus status;
};

DirectoryFinder::DirectoryFinder() : rep_(std::make_unique<Rep>()) {}
DirectoryFinder::~DirectoryFinder() = default;
DirectoryFinder::DirectoryFinder(DirectoryFinder&&) noexcept = default;
DirectoryFinder& DirectoryFinder::operator=(DirectoryFinder&&) noexcept =
    default;

bool DirectoryFinder::FindFile(const std::u16string& pattern) {
  if (!rep_) rep_ = std::make_unique<Rep>();
  rep_->CloseDir();
  std::u16string_view directory = pattern;
  if (directory.size() >= 2 && directory.ends_with(u"/*")) {
    directory.remove_suffix(1);
  }
  const bool absolute = directory.starts_with(u'/');
  while (directory.ends_with(u'/')) directory.remove_suffix(1);
  // The root: "/*" (or "/") leaves nothing, so entries become "/name".
  std::u16string_view to_open =
      directory.empty() && absolute ? std::u16string_view(u"/") : directory;

  std::string bytes;
  if (to_open.empty() || !ToBytes(to_open, &bytes)) return false;
  // O_DIRECTORY: a FIFO given by mistake is refused instead of blocking.
  int fd = ::open(bytes.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return false;
  }
  rep_->dir = dir;
  rep_->directory.assign(directory);
  return true;
}

bool DirectoryFinder::FindNextFile() {
  if (!rep_ || rep_->dir == nullptr) return false;
  Rep& r = *rep_;
  r.has_entry = false;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(r.dir);
    if (entry == nullptr) return false;  // the end, or a read error

    const std::string_view name(entry->d_name);
    // Relative to the open directory: constant cost, whatever the depth.
    if (!StatusAt(::dirfd(r.dir), entry->d_name, &r.status)) {
      if (errno == ENOENT) continue;  // removed since readdir() listed it
      // Listed but not readable (no search permission, say): still report
      // it, so the directory does not look emptier than it is.
      const mode_t mode = ModeFromDirentType(entry->d_type);
      r.status = FileStatus{};
      r.status.mode = mode;
      r.status.is_directory = S_ISDIR(mode);
      r.status.is_regular = S_ISREG(mode);
      r.status.is_symlink = S_ISLNK(mode);
    }
    r.dots = name == "." || name == "..";
    r.name = Utf16FromWtf8(name);
    r.has_entry = true;
    return true;
  }
}

bool DirectoryFinder::IsDots() const {
  return rep_ && rep_->has_entry && rep_->dots;
}

bool DirectoryFinder::IsDirectory() const {
  return rep_ && rep_->has_entry && rep_->status.is_directory;
}

bool DirectoryFinder::IsRegularFile() const {
  return rep_ && rep_->has_entry && rep_->status.is_regular;
}

bool DirectoryFinder::IsSymbolicLink() const {
  return rep_ && rep_->has_entry && rep_->status.is_symlink;
}

std::u16string DirectoryFinder::GetFileName() const {
  if (!rep_ || !rep_->has_entry) return {};
  return rep_->name;
}

std::u16string DirectoryFinder::GetFilePath() const {
  if (!rep_ || !rep_->has_entry) return {};
  std::u16string path;
  path.reserve(rep_->directory.size() + 1 + rep_->name.size());
  path.append(rep_->directory).append(1, u'/').append(rep_->name);
  return path;
}

int64_t DirectoryFinder::GetLength64() const {
  if (!rep_ || !rep_->has_entry) return 0;
  return rep_->status.size;
}

FileStatus DirectoryFinder::Status() const {
  if (!rep_ || !rep_->has_entry) return {};
  return rep_->status;
}

void DirectoryFinder::Close() {
  if (rep_) rep_->CloseDir();
}

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
    int rc = ::fchmodat(AT_FDCWD, bytes.c_str(), permissions,
                        AT_SYMLINK_NOFOLLOW);
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

int RenameEntry(const std::u16string& from, const std::u16string& to) {
  std::string from_bytes;
  std::string to_bytes;
  if (!ToBytes(from, &from_bytes) || !ToBytes(to, &to_bytes)) return -1;
  return RenameAtNoReplace(AT_FDCWD, from_bytes.c_str(), to_bytes.c_str());
}

int RenameAtNoReplace(int folder_fd, const char* from, const char* to) {
  // rename() would silently replace whatever is at |to|; RENAME_NOREPLACE
  // makes the kernel refuse atomically.
  fault_injection::CrashPoint();
  fault_injection::BeforeRename(folder_fd, from, to);
  if (::renameat2(folder_fd, from, folder_fd, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  // Old kernel, or a file system without the flag. Check, then rename: an
  // entry created at |to| between the two would be replaced. Nothing else
  // should be writing inside the tree being processed, so the window is
  // accepted.
  struct stat st {};
  if (::fstatat(folder_fd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return -1;
  }
  if (errno != ENOENT) return -1;
  return ::renameat(folder_fd, from, folder_fd, to) == 0 ? 0 : -1;
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

}  // namespace velmora
