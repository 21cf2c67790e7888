#include "platform/directory_reader.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>

#include "platform/descriptor.h"

namespace velmora {

bool ReadDirectory(
    int folder_fd,
    const std::function<bool(int listing_fd, std::string_view name, unsigned char type)>& each) {
  OwnedFd fd(::openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return false;
  DIR* dir = ::fdopendir(fd.get());
  if (dir == nullptr) return false;
  const int listing_fd = fd.release();  // the stream closes it
  bool read = true;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      read = errno == 0;
      break;
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    if (!each(listing_fd, name, entry->d_type)) break;
  }
  // What a failed read or the caller's last call left in errno survives.
  const int error = errno;
  ::closedir(dir);
  errno = error;
  return read;
}

bool ReadDirectoryAt(
    const std::string& path,
    const std::function<bool(int listing_fd, std::string_view name, unsigned char type)>& each) {
  const OwnedFd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return folder.get() >= 0 && ReadDirectory(folder.get(), each);
}

std::vector<std::string> FolderNames(const std::string& path,
                                     const std::function<bool(std::string_view name)>& keep) {
  std::vector<std::string> names;
  ReadDirectoryAt(path, [&](int, std::string_view name, unsigned char) {
    if (keep(name)) names.emplace_back(name);
    return true;
  });
  return names;
}

}  // namespace velmora
