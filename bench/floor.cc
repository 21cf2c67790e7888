// The floor velmora-cli is measured against: the least work a run could do,
// on one thread, with no journal, no checks and no progress line.
//
//   velmora_floor file PATH PASSWORD_UNITS
//     one pass of pread / cipher / pwrite over the whole file in 2 MiB
//     pieces, encrypting; a second call with --decrypt undoes it.
//   velmora_floor tree DIR [--checked]
//     renames every entry below DIR (appending '~', or dropping it when
//     there) and rewrites the bytes of every regular file in place. With
//     --checked it makes the kernel calls a careful run makes besides: a
//     first pass that reads every entry's status (sizes and links known
//     before anything changes), the file's status looked at again before
//     the write and by its new name after it, and both times put back.
//
// Run each twice for the figure of an encrypt + decrypt.
//
//   velmora_floor fsync DIR COUNT
//     appends 2 KiB to a new file in DIR and fdatasyncs it, COUNT times,
//     and prints the median and the slowest latency: what one flush of
//     the journal costs on that disk at least.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/crypter.h"

namespace {

constexpr int64_t kPiece = 2 * 1048576;

int TransformFile(const char* path, int password_units, bool decrypt) {
  velmora::Crypter crypter;
  std::u16string password;
  for (int i = 0; i < password_units; ++i) {
    password.push_back(static_cast<char16_t>(u'a' + i % 26));
  }
  crypter.SetPassword(password);
  const int fd = ::open(path, O_RDWR | O_CLOEXEC);
  if (fd < 0) return 1;
  struct stat st {};
  ::fstat(fd, &st);
  const int64_t size = st.st_size;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kPiece]);
  const velmora::Direction direction =
      decrypt ? velmora::Direction::kDecrypt : velmora::Direction::kEncrypt;
  for (int64_t offset = 0; offset < size; offset += kPiece) {
    const int64_t count = std::min(kPiece, size - offset);
    if (::pread(fd, buffer.get(), count, offset) != count) return 1;
    crypter.TransformBuffer(direction, buffer.get(), static_cast<int32_t>(count),
                            static_cast<int32_t>(offset), static_cast<int32_t>(size));
    if (::pwrite(fd, buffer.get(), count, offset) != count) return 1;
  }
  ::close(fd);
  return 0;
}

// Rewrites each byte of the file at |path| in place (adds one), and with
// |checked| looks again before and after (at |renamed|, its name by
// then) and puts its times back.
bool RewriteBytes(const std::string& path, const std::string& renamed, std::vector<uint8_t>& buffer,
                  bool checked) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  struct stat st {};
  ::fstat(fd, &st);
  buffer.resize(static_cast<std::size_t>(st.st_size));
  bool ok = ::pread(fd, buffer.data(), buffer.size(), 0) == static_cast<ssize_t>(buffer.size());
  for (uint8_t& b : buffer) b = static_cast<uint8_t>(b + 1);
  if (checked) {
    ok = ok && ::rename(path.c_str(), renamed.c_str()) == 0;
    struct stat now {};
    ok = ok && ::fstat(fd, &now) == 0 && now.st_size == st.st_size;
  }
  ok = ok && ::pwrite(fd, buffer.data(), buffer.size(), 0) == static_cast<ssize_t>(buffer.size());
  if (checked) {
    struct stat named {};
    ok = ok && ::fstatat(AT_FDCWD, renamed.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_ino == st.st_ino;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::futimens(fd, times) == 0;
  }
  ::close(fd);
  return ok;
}

std::string Toggled(const std::string& name) {
  if (!name.empty() && name.back() == '~') return name.substr(0, name.size() - 1);
  return name + "~";
}

// The status of every entry below |dir|, as a scan before the run reads it.
void StatusPass(const std::string& dir) {
  DIR* stream = ::opendir(dir.c_str());
  if (stream == nullptr) return;
  std::vector<std::string> folders;
  while (dirent* entry = ::readdir(stream)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    struct stat st {};
    if (::fstatat(::dirfd(stream), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(st.st_mode)) {
      folders.push_back(dir + "/" + entry->d_name);
    }
  }
  ::closedir(stream);
  for (const std::string& folder : folders) StatusPass(folder);
}

// Depth first: the contents of a folder, then the folder's own name.
bool Walk(const std::string& dir, std::vector<uint8_t>& buffer, bool checked) {
  DIR* stream = ::opendir(dir.c_str());
  if (stream == nullptr) return false;
  std::vector<std::pair<std::string, bool>> names;
  while (dirent* entry = ::readdir(stream)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.emplace_back(entry->d_name, entry->d_type == DT_DIR);
  }
  ::closedir(stream);
  bool ok = true;
  for (const auto& [name, is_dir] : names) {
    const std::string path = dir + "/" + name;
    const std::string renamed = dir + "/" + Toggled(name);
    if (is_dir) {
      ok = Walk(path, buffer, checked) && ok;
    } else {
      ok = RewriteBytes(path, renamed, buffer, checked) && ok;
      if (checked) continue;  // renamed already
    }
    ok = ::rename(path.c_str(), renamed.c_str()) == 0 && ok;
  }
  return ok;
}

double Seconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

int SyncLatency(const std::string& dir, int count) {
  const std::string path = dir + "/velmora-floor-fsync.bin";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0 || count <= 0) return 1;
  std::vector<char> frame(2048, 'j');
  std::vector<double> took;
  for (int i = 0; i < count; ++i) {
    const double start = Seconds();
    if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()) ||
        ::fdatasync(fd) != 0) {
      return 1;
    }
    took.push_back(Seconds() - start);
  }
  ::close(fd);
  ::unlink(path.c_str());
  std::sort(took.begin(), took.end());
  std::printf("fdatasync of a 2 KiB append, %d times: median %.2f ms, slowest %.2f ms\n", count,
              took[took.size() / 2] * 1e3, took.back() * 1e3);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "file") == 0) {
    const bool decrypt = argc >= 5 && std::strcmp(argv[4], "--decrypt") == 0;
    return TransformFile(argv[2], std::atoi(argv[3]), decrypt);
  }
  if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "tree") == 0) {
    const bool checked = argc == 4 && std::strcmp(argv[3], "--checked") == 0;
    if (checked) StatusPass(argv[2]);
    std::vector<uint8_t> buffer;
    return Walk(argv[2], buffer, checked) ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "fsync") == 0) {
    return SyncLatency(argv[2], std::atoi(argv[3]));
  }
  std::fprintf(stderr,
               "usage: velmora_floor file PATH PASSWORD_UNITS [--decrypt]\n"
               "       velmora_floor tree DIR [--checked]\n"
               "       velmora_floor fsync DIR COUNT\n");
  return 2;
}
