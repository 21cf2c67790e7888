// Which mount, and so which driver, holds a folder, as /proc/self/mountinfo
// tells it. statfs gives one magic number for every FUSE driver; the
// mountinfo line names the file system type and its source, which is what
// a person recognises ("fuse.sshfs", "fuseblk, /dev/sdb1").
#ifndef VELMORA_PLATFORM_MOUNT_INFO_H_
#define VELMORA_PLATFORM_MOUNT_INFO_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

struct MountEntry {
  uint64_t id = 0;
  std::string mount_point;  // unescaped
  std::string type;         // "xfs", "fuse.sshfs", "fuseblk"...
  std::string source;       // "/dev/sdb1", "user@host:", ...
};

// One line of mountinfo, or none when it is not one.
std::optional<MountEntry> ParseMountInfoLine(std::string_view line);

// The mount of |mountinfo| (its whole text) with the id |mount_id| (statx's
// mount id); with none, or 0, the one whose mount point is the longest
// prefix of |real_path|, the last listed winning a tie (it is on top).
std::optional<MountEntry> FindMount(std::string_view mountinfo, uint64_t mount_id,
                                    std::string_view real_path);

// The driver as a message names it: the type, and the source where it
// tells more than the type ("xfs, /dev/loop0"; "fuse.fusefat").
std::string DriverName(const MountEntry& mount);

// DriverName() of the mount holding |real_path|, read from this process's
// mountinfo; "?" when it cannot be told.
std::string DriverOf(uint64_t mount_id, const std::string& real_path);

}  // namespace velmora

#endif  // VELMORA_PLATFORM_MOUNT_INFO_H_
