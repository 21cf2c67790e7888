// Where a folder a journal names lies now. Runs rename folders (an
// encryption after their entries, a decryption before), so a record names
// its folder by whichever names the folder and those above it had then;
// the journals record every folder rename as a parent path, a source name
// and a target name.
//
// Resolve() returns the recorded path itself when it is a folder.
// Otherwise it walks the path from the top, keeping each component that is
// a folder under what is resolved so far, and trying for one that is not
// the names the recorded renames make equivalent to it in that folder
// (either way and transitively: a to b and b to c make a, b and c one
// class), each once. When a component is found under none of its names,
// the path comes back as recorded, and the caller sees its entries gone.
//
// Duplicate renames count once. Resolve() probes at most 1 + depth + the
// number of distinct names in the classes along the path, however often
// the same renames were recorded or whichever way they went.
#ifndef VELMORA_STATE_FOLDER_RENAMES_H_
#define VELMORA_STATE_FOLDER_RENAMES_H_

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace velmora::state {

class FolderRenames {
 public:
  // True when |path| is a folder.
  using FolderProbe = std::function<bool(const std::string& path)>;

  // parent/from became parent/to; |parent| is an absolute path as the
  // record names it.
  struct Rename {
    std::string parent;
    std::string from;
    std::string to;
  };

  // The production probe: lstat, so a link to a folder is not one.
  static FolderProbe OnDisk();

  explicit FolderRenames(std::vector<Rename> renames, FolderProbe is_folder = OnDisk());

  // |folder| (an absolute path, as recorded) where it lies now.
  std::string Resolve(const std::string& folder) const;

 private:
  // Nodes are "<canonical parent>/<name>": the parent spelled with each
  // component's class representative, so that every spelling of one
  // folder gives the same key.
  std::string Find(const std::string& node);
  std::string Canonical(const std::string& path);
  void Join(const std::string& a, const std::string& b);

  FolderProbe is_folder_;
  std::unordered_map<std::string, std::string> root_;                // node -> its class
  std::vector<std::string> nodes_;                                   // in order first seen
  std::unordered_map<std::string, std::vector<std::string>> names_;  // class -> names
};

}  // namespace velmora::state

#endif  // VELMORA_STATE_FOLDER_RENAMES_H_
