#include "platform/folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <span>
#include <utility>
#include <vector>

#include "platform/directory_reader.h"
#include "platform/fault_injection.h"
#include "platform/wtf8.h"

namespace velmora {
namespace {

// The kernel's form of an entry's name: one component, never a path.
bool NameBytes(const std::u16string& name, std::string* bytes) {
  if (name.empty() || name.find(u'\0') != std::u16string::npos ||
      name.find(u'/') != std::u16string::npos) {
    errno = EINVAL;
    return false;
  }
  *bytes = Wtf8FromUtf16(name);
  return true;
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// The status of an entry whose own status cannot be read: only the kind
// readdir() reported. Like lstat, d_type never describes a link's target.
FileStatus StatusFromListing(unsigned char type) {
  mode_t mode = 0;
  switch (type) {
    case DT_DIR:
      mode = S_IFDIR;
      break;
    case DT_REG:
      mode = S_IFREG;
      break;
    case DT_LNK:
      mode = S_IFLNK;
      break;
    case DT_FIFO:
      mode = S_IFIFO;
      break;
    case DT_SOCK:
      mode = S_IFSOCK;
      break;
    case DT_CHR:
      mode = S_IFCHR;
      break;
    case DT_BLK:
      mode = S_IFBLK;
      break;
    default:
      break;
  }
  FileStatus status{};
  status.mode = mode;
  status.is_directory = S_ISDIR(mode);
  status.is_regular = S_ISREG(mode);
  status.is_symlink = S_ISLNK(mode);
  return status;
}

// An entry as a listing gave it, with its status once read.
struct Listed {
  std::string name;
  unsigned char type = DT_UNKNOWN;
  FileStatus status{};
  bool gone = false;  // removed since it was listed
};

// Entries read a chunk at a time when two threads read their statuses:
// enough to share, few enough to keep in memory whatever the folder.
constexpr std::size_t kChunk = 512;
// Below this a chunk's statuses are not worth waking another thread.
constexpr std::size_t kSplitFrom = 32;

// Reads the status of each of |entries| of the folder |folder_fd|; where it
// cannot be read, only the listing's kind.
void ReadStatuses(int folder_fd, std::span<Listed> entries) {
  for (Listed& entry : entries) {
    if (StatusAt(folder_fd, entry.name.c_str(), &entry.status)) continue;
    entry.gone = errno == ENOENT;
    entry.status = StatusFromListing(entry.type);
  }
}

}  // namespace

Folder::~Folder() {
  if (fd_ >= 0) ::close(fd_);
}

Folder::Folder(Folder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), real_path_(std::move(other.real_path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    real_path_ = std::move(other.real_path_);
  }
  return *this;
}

Folder Folder::Open(const std::u16string& path) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos) {
    errno = EINVAL;
    return Folder();
  }
  return Folder(::open(Wtf8FromUtf16(path).c_str(), kFolderFlags));
}

Folder Folder::OpenChild(const std::u16string& name) const {
  std::string bytes;
  if (fd_ < 0) {
    errno = EBADF;
    return Folder();
  }
  if (!NameBytes(name, &bytes)) return Folder();
  fault_injection::BeforeOpenFolder(fd_, bytes.c_str());
  return Folder(::openat(fd_, bytes.c_str(), kFolderFlags | O_NOFOLLOW));
}

bool Folder::List(
    const std::function<void(std::u16string_view name, ListedKind kind)>& each) const {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  // Names without the right to look them up cannot be processed: a
  // folder that may be read but not searched counts as unreadable.
  if (!MayList()) return false;
  bool failed = false;
  const bool read =
      ReadDirectory(fd_, [&](int listing_fd, std::string_view name, unsigned char type) {
        if (type == DT_UNKNOWN) {
          // Some file systems leave the kind to a status call.
          struct stat st {};
          if (::fstatat(listing_fd, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            failed = errno != ENOENT;  // else removed since it was listed
            return !failed;
          }
          type = IFTODT(st.st_mode);
        }
        const ListedKind kind = type == DT_DIR   ? ListedKind::kDirectory
                                : type == DT_REG ? ListedKind::kRegularFile
                                                 : ListedKind::kOther;
        each(Utf16FromWtf8(name), kind);
        return true;
      });
  return read && !failed;
}

void Folder::ListStatuses(
    const std::function<bool(std::u16string_view name, const FileStatus& status)>& each,
    HelperThread* helper) const {
  if (fd_ < 0) return;
  if (helper == nullptr) {
    // The end and a read error end it alike.
    ReadDirectory(fd_, [&](int, std::string_view name, unsigned char type) {
      Listed entry{std::string(name), type};
      ReadStatuses(fd_, std::span(&entry, 1));
      return entry.gone || each(Utf16FromWtf8(entry.name), entry.status);
    });
    return;
  }
  std::vector<Listed> chunk;
  // Hands the chunk over in order; false once |each| is done.
  const auto hand_over = [&] {
    const std::size_t half = chunk.size() >= kSplitFrom ? chunk.size() / 2 : 0;
    const std::span<Listed> entries(chunk);
    if (half > 0) helper->Start([this, entries, half] { ReadStatuses(fd_, entries.first(half)); });
    ReadStatuses(fd_, entries.subspan(half));
    if (half > 0) helper->Wait();
    bool more = true;
    for (std::size_t i = 0; more && i < chunk.size(); ++i) {
      more = chunk[i].gone || each(Utf16FromWtf8(chunk[i].name), chunk[i].status);
    }
    chunk.clear();
    return more;
  };
  bool more = true;
  ReadDirectory(fd_, [&](int, std::string_view name, unsigned char type) {
    chunk.push_back({std::string(name), type});
    if (chunk.size() < kChunk) return true;
    more = hand_over();
    return more;
  });
  if (more) hand_over();
}

bool Folder::MayList() const { return fd_ >= 0 && ::faccessat(fd_, ".", X_OK, AT_EACCESS) == 0; }

bool Folder::Status(FileStatus* status) const {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  return StatusAt(fd_, "", status);
}

bool Folder::Status(const std::u16string& name, FileStatus* status) const {
  std::string bytes;
  return NameBytes(name, &bytes) && StatusAt(fd_, bytes.c_str(), status);
}

FsResult Folder::Rename(const std::u16string& from, const std::u16string& to) const {
  std::string from_bytes;
  std::string to_bytes;
  if (!NameBytes(from, &from_bytes) || !NameBytes(to, &to_bytes)) return FsResult::FromErrno();
  return RenameAtNoReplace(fd_, from_bytes.c_str(), to_bytes.c_str());
}

FsResult Folder::RemoveFile(const std::u16string& name) const {
  std::string bytes;
  if (!NameBytes(name, &bytes)) return FsResult::FromErrno();
  fault_injection::CrashPoint();
  if (::unlinkat(fd_, bytes.c_str(), 0) != 0) return FsResult::FromErrno();
  return FsResult::Done();
}

FsResult Folder::RemoveEmptyFolder(const std::u16string& name) const {
  std::string bytes;
  if (!NameBytes(name, &bytes)) return FsResult::FromErrno();
  fault_injection::CrashPoint();
  if (::unlinkat(fd_, bytes.c_str(), AT_REMOVEDIR) != 0) return FsResult::FromErrno();
  return FsResult::Done();
}

const std::string& Folder::RealPath() const {
  if (real_path_.empty() && fd_ >= 0) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd_);
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(link, buffer, sizeof buffer);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
      real_path_.assign(buffer, static_cast<std::size_t>(length));
    }
  }
  return real_path_;
}

FsResult ChangeMode(const Folder& folder, const std::u16string& name, const FileStatus& expected,
                    uint32_t mode) {
  std::string bytes;
  if (!NameBytes(name, &bytes)) return FsResult::FromErrno();
  // O_PATH opens even a file nobody may read, without following a link;
  // the change then goes to exactly the inode that was checked.
  const int fd = ::openat(folder.Descriptor(), bytes.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return FsResult::FromErrno();
  struct stat st {};
  FsResult result = FsResult::Done();
  if (::fstat(fd, &st) != 0) {
    result = FsResult::FromErrno();
  } else if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_dev) != expected.device ||
             static_cast<uint64_t>(st.st_ino) != expected.inode) {
    result = FsResult::Failed(ESTALE);
  } else if (fault_injection::ShouldFailSetStatus()) {
    result = FsResult::Failed(EPERM);
  } else {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    fault_injection::CrashPoint();
    if (::chmod(link, static_cast<mode_t>(mode & 07777)) != 0) result = FsResult::FromErrno();
  }
  ::close(fd);
  return result;
}

}  // namespace velmora
