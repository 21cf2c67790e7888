// The state folder: what a run keeps outside the tree it works on.
//
// $XDG_STATE_HOME/velmora (when XDG_STATE_HOME is an absolute path), else
// $HOME/.local/state/velmora. It holds the journal of each tree, the run
// locks and the records of trees left decrypted, and is created with mode
// 0700 (its missing parents too), so other users can read none of it.
//
// Paths here are byte strings (what the kernel takes); trees are named by
// their real path, so every spelling of a folder finds the same records.
#ifndef VELMORA_STATE_STATE_FOLDER_H_
#define VELMORA_STATE_STATE_FOLDER_H_

#include <string>

namespace velmora::state {

// The state folder's path, whether it exists or not; empty when neither
// variable gives one.
std::string StateFolderPath();

// Creates the state folder and its sub folder |sub| when missing and
// returns the sub folder's path; empty (errno set) when that fails.
std::string EnsureStateSubfolder(const char* sub);

// The real path of |path| (links and ".." resolved); empty when it cannot
// be resolved.
std::string RealPath(const std::string& path);

// Where the folder at the real path |target| lies against the state folder.
// A run may touch neither the state folder's own files (its journal, locks,
// records) nor anything that holds them: nothing under the state folder is
// ever part of a tree.
enum class StateFolderPlace {
  kApart,   // neither holds the other
  kHolds,   // the state folder itself, or a folder above it
  kInside,  // a folder below the state folder
};
StateFolderPlace PlaceOfStateFolder(const std::string& target);

// A short, stable file name for a tree: hex digits of a hash of its real
// path.
std::string TreeKey(const std::string& real_path);

// False when VELMORA_SYNC=0 is set: nothing is then flushed to the disk
// (journal, records, repairs). A run stays safe against a crash or a kill,
// not against a power cut.
bool SyncEnabled();

// Writes |bytes| to a new file |path| (mode 0600) and makes it durable:
// the file and its folder entry. False when any step fails.
bool WriteFileDurably(const std::string& path, const std::string& bytes);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

// Reads at most |limit| bytes from the start of a file.
bool ReadFileHead(const std::string& path, std::size_t limit, std::string* bytes);

// Makes a folder's entries (creations, removals) durable.
void SyncFolder(const std::string& path);

}  // namespace velmora::state

#endif  // VELMORA_STATE_STATE_FOLDER_H_
