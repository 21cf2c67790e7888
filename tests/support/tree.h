// Building and photographing small directory trees in tests. Paths and
// names are bytes.
#ifndef VELMORA_TESTS_SUPPORT_TREE_H_
#define VELMORA_TESTS_SUPPORT_TREE_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velmora::testing {

// Creates |path| with |contents|; parent directories must exist.
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
void MakeDirectory(const std::string& path);
// Creates a file of |size| bytes without writing them.
void MakeSparseFile(const std::string& path, int64_t size);
// Pseudo-random bytes, the same for the same seed.
std::string RandomContents(std::size_t size, uint32_t seed);

// Everything a run may change about one entry.
struct EntrySnapshot {
  char kind = '?';       // 'f' file, 'd' directory, 'l' link, 'p' FIFO
  std::string contents;  // file contents, or the link's target
  uint32_t mode = 0;
  int64_t mtime_ns = 0;  // 0 for a directory: renames inside change it
  bool operator==(const EntrySnapshot&) const = default;
};

// Relative path -> snapshot, for every entry below |root|; links are not
// followed.
using TreeSnapshot = std::map<std::string, EntrySnapshot>;
TreeSnapshot Snapshot(const std::string& root);

// Names of the entries directly in |directory|, sorted.
std::vector<std::string> Names(const std::string& directory);
// The same names in the order the file system lists them, which is the
// order a walk meets them.
std::vector<std::string> ListingOrder(const std::string& directory);

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_SUPPORT_TREE_H_
