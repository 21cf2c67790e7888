// Paths of entries as the walk shows them: a folder's path, a slash, the
// entry's name.
#ifndef VELMORA_JOB_ENTRY_PATH_H_
#define VELMORA_JOB_ENTRY_PATH_H_

#include <string>
#include <string_view>

namespace velmora {

inline std::u16string JoinPath(const std::u16string& directory, std::u16string_view name) {
  std::u16string path;
  path.reserve(directory.size() + 1 + name.size());
  return path.append(directory).append(1, u'/').append(name);
}

// The folder part of |path|; empty when it has none.
inline std::u16string ParentOf(const std::u16string& path) {
  const std::size_t slash = path.rfind(u'/');
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

// The last name of |path|; all of it when it has no folder part.
inline std::u16string NameOf(const std::u16string& path) {
  const std::size_t slash = path.rfind(u'/');
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

}  // namespace velmora

#endif  // VELMORA_JOB_ENTRY_PATH_H_
