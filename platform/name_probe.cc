#include "platform/name_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/descriptor.h"
#include "platform/directory_reader.h"
#include "platform/wtf8.h"

namespace velmora {
namespace {

// The names in the folder open as |fd|, as the kernel gives their bytes.
// False with errno set when it cannot be read.
bool ListBytes(int fd, std::vector<std::string>* names) {
  names->clear();
  return ReadDirectory(fd, [&](int, std::string_view name, unsigned char) {
    names->emplace_back(name);
    return true;
  });
}

// Removes the empty regular files of the folder open as |fd|; false when
// anything else is there or a removal fails.
bool EmptyProbeFolder(int fd) {
  std::vector<std::string> names;
  if (!ListBytes(fd, &names)) return false;
  bool emptied = true;
  for (const std::string& name : names) {
    struct stat st {};
    const bool probe_file = ::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                            S_ISREG(st.st_mode) && st.st_size == 0;
    if (!probe_file || ::unlinkat(fd, name.c_str(), 0) != 0) emptied = false;
  }
  return emptied;
}

// Whether the folder open as |fd| holds exactly |name|; kList or the
// listing's failure otherwise.
ProbeResult ListsExactly(int fd, const std::string& name) {
  std::vector<std::string> names;
  if (!ListBytes(fd, &names)) return {ProbeStep::kList, errno};
  if (names.size() != 1 || names.front() != name) return {ProbeStep::kList, 0};
  return {};
}

// The probe's steps inside the probe folder open as |fd|.
ProbeResult ProbeInside(int fd, const std::string& first, const std::string& second) {
  const int file =
      ::openat(fd, first.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (file < 0) return {ProbeStep::kCreate, errno};
  ::close(file);
  if (const ProbeResult listed = ListsExactly(fd, first); listed.step != ProbeStep::kPassed) {
    return listed;
  }
  if (const FsResult renamed = RenameAtNoReplaceUnobserved(fd, first.c_str(), second.c_str());
      !renamed.ok()) {
    return {ProbeStep::kRename, renamed.error()};
  }
  if (const ProbeResult listed = ListsExactly(fd, second); listed.step != ProbeStep::kPassed) {
    return listed;
  }
  if (::unlinkat(fd, second.c_str(), 0) != 0) return {ProbeStep::kRemove, errno};
  return {};
}

}  // namespace

void RemoveLeftoverProbe(const Folder& folder) {
  const std::string name = Wtf8FromUtf16(kProbeFolderName);
  const OwnedFd probe(
      ::openat(folder.Descriptor(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (probe.get() < 0 || !EmptyProbeFolder(probe.get())) return;
  ::unlinkat(folder.Descriptor(), name.c_str(), AT_REMOVEDIR);
}

ProbeResult ProbeNames(const Folder& folder, const std::u16string& first,
                       const std::u16string& second) {
  const int parent = folder.Descriptor();
  struct stat before {};
  if (::fstat(parent, &before) != 0) return {ProbeStep::kNoFolder, errno};
  const std::string name = Wtf8FromUtf16(kProbeFolderName);
  if (::mkdirat(parent, name.c_str(), 0700) != 0) return {ProbeStep::kNoFolder, errno};
  ProbeResult result;
  {
    const OwnedFd probe(
        ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    result = probe.get() < 0
                 ? ProbeResult{ProbeStep::kNoFolder, errno}
                 : ProbeInside(probe.get(), Wtf8FromUtf16(first), Wtf8FromUtf16(second));
    // Whatever a failed step left, under whatever name it came back as.
    if (probe.get() >= 0 && result.step != ProbeStep::kPassed) EmptyProbeFolder(probe.get());
  }
  if (::unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0 && result.step == ProbeStep::kPassed) {
    result = {ProbeStep::kRemove, errno};
  }
  // The target looks untouched: only its change time tells.
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ::futimens(parent, times);
  return result;
}

}  // namespace velmora
