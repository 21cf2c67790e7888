// The one loop over a folder's entries, for Folder's listings and the name
// probe: by descriptor, on a listing of its own, so the descriptor's
// position stays where it is.
#ifndef VELMORA_PLATFORM_DIRECTORY_READER_H_
#define VELMORA_PLATFORM_DIRECTORY_READER_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Calls |each| with every entry's name as the kernel gives its bytes ("."
// and ".." left out) and its d_type (DT_UNKNOWN where the file system
// leaves the kind to a status call), with |listing_fd| the listing's own
// descriptor for such calls. |each| returns false to stop. False with
// errno set when the folder cannot be opened or read to its end.
bool ReadDirectory(
    int folder_fd,
    const std::function<bool(int listing_fd, std::string_view name, unsigned char type)>& each);

// The same for the folder at |path|.
bool ReadDirectoryAt(
    const std::string& path,
    const std::function<bool(int listing_fd, std::string_view name, unsigned char type)>& each);

// The names of the folder at |path| that |keep| accepts; none when it
// cannot be read.
std::vector<std::string> FolderNames(const std::string& path,
                                     const std::function<bool(std::string_view name)>& keep);

}  // namespace velmora

#endif  // VELMORA_PLATFORM_DIRECTORY_READER_H_
