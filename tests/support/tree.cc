#include "tests/support/tree.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace velmora::testing {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

std::string ReadFile(const std::string& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

void MakeDirectory(const std::string& path) { ::mkdir(path.c_str(), 0755); }

void MakeSparseFile(const std::string& path, int64_t size) {
  WriteFile(path, "");
  std::error_code ignored;  // a short file fails the test's own checks
  fs::resize_file(path, static_cast<std::uintmax_t>(size), ignored);
}

std::string RandomContents(std::size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

TreeSnapshot Snapshot(const std::string& root) {
  TreeSnapshot snapshot;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string path = it->path().string();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) continue;
    const uint32_t mode = st.st_mode & 07777;
    const int64_t mtime_ns = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    EntrySnapshot& entry = snapshot[path.substr(root.size() + 1)];
    if (S_ISDIR(st.st_mode)) entry = {'d', "", mode, 0};
    if (S_ISLNK(st.st_mode)) entry = {'l', fs::read_symlink(path, ec).string(), 0, mtime_ns};
    if (S_ISFIFO(st.st_mode)) entry = {'p', "", mode, mtime_ns};
    if (S_ISREG(st.st_mode)) entry = {'f', ReadFile(path), mode, mtime_ns};
  }
  return snapshot;
}

std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names = ListingOrder(directory);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ListingOrder(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  return names;
}

}  // namespace velmora::testing
