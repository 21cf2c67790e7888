// One directory's entries, read in full before any of them is processed.
//
// Reading the listing first keeps one directory handle open at a time, so a
// tree of any depth walks within the process's handle limit, and renames
// made below an entry cannot disturb the enumeration of its parent.
#ifndef VELMORA_JOB_DIRECTORY_LISTING_H_
#define VELMORA_JOB_DIRECTORY_LISTING_H_

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct DirectoryEntry {
  std::u16string name;
  std::u16string path;  // directory + '/' + name
  bool is_directory = false;  // a real directory, never a link to one
  bool is_regular = false;
  int64_t size = 0;
};

// Reads the entries of the directory named by |pattern| (a directory path
// followed by "/*"), in enumeration order, without "." and "..". False when
// the directory cannot be read; |entries| is then empty.
bool ListDirectory(const std::u16string& pattern,
                   std::vector<DirectoryEntry>* entries);

// The directory part of a full path, with its trailing '/', as the
// too-large messages show it.
std::u16string DirectoryWithSeparator(const std::u16string& path,
                                      const std::u16string& name);

}  // namespace velmora

#endif  // VELMORA_JOB_DIRECTORY_LISTING_H_
