#include "tests/support/tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace velmora::testing {

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void MakeDirectory(const std::string& path) { ::mkdir(path.c_str(), 0755); }

void MakeSparseFile(const std::string& path, int64_t size) {
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  if (fd < 0) return;
  if (::ftruncate(fd, size) != 0) {
    // Leave the file short; the test's own checks will notice.
  }
  ::close(fd);
}

std::string RandomContents(std::size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

namespace {

void Walk(const std::string& root, const std::string& relative,
          TreeSnapshot* snapshot) {
  const std::string directory = relative.empty() ? root : root + "/" + relative;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    const std::string full = root + "/" + rel;
    struct stat st {};
    if (::lstat(full.c_str(), &st) != 0) continue;
    EntrySnapshot snap;
    snap.mode = st.st_mode & 07777;
    snap.mtime_ns = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    if (S_ISDIR(st.st_mode)) {
      snap.kind = 'd';
      snap.mtime_ns = 0;  // changes whenever an entry inside is renamed
      Walk(root, rel, snapshot);
    } else if (S_ISLNK(st.st_mode)) {
      snap.kind = 'l';
      char target[4096];
      const ssize_t n = ::readlink(full.c_str(), target, sizeof target);
      snap.contents.assign(target, n > 0 ? static_cast<std::size_t>(n) : 0);
      snap.mode = 0;
    } else if (S_ISFIFO(st.st_mode)) {
      snap.kind = 'p';
    } else if (S_ISREG(st.st_mode)) {
      snap.kind = 'f';
      snap.contents = ReadFile(full);
    }
    (*snapshot)[rel] = snap;
  }
  ::closedir(dir);
}

}  // namespace

TreeSnapshot Snapshot(const std::string& root) {
  TreeSnapshot snapshot;
  Walk(root, "", &snapshot);
  return snapshot;
}

std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names = ListingOrder(directory);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ListingOrder(const std::string& directory) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

}  // namespace velmora::testing
