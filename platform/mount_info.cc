#include "platform/mount_info.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/file_system.h"

namespace velmora {
namespace {

// mountinfo writes space, tab, newline and backslash as \ and three octal
// digits.
std::string Unescape(std::string_view field) {
  std::string plain;
  for (std::size_t at = 0; at < field.size(); ++at) {
    const auto octal = [&](std::size_t k) { return field[at + k] >= '0' && field[at + k] <= '7'; };
    if (field[at] == '\\' && at + 3 < field.size() && octal(1) && octal(2) && octal(3)) {
      plain.push_back(static_cast<char>(((field[at + 1] - '0') << 6) |
                                        ((field[at + 2] - '0') << 3) | (field[at + 3] - '0')));
      at += 3;
    } else {
      plain.push_back(field[at]);
    }
  }
  return plain;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t end = line.find(' ', at);
    const std::size_t stop = end == std::string_view::npos ? line.size() : end;
    if (stop > at) fields.push_back(line.substr(at, stop - at));
    at = stop + 1;
  }
  return fields;
}

}  // namespace

std::optional<MountEntry> ParseMountInfoLine(std::string_view line) {
  // id parent major:minor root mount-point options [optional...] - type
  // source super-options
  const std::vector<std::string_view> fields = Fields(line);
  std::size_t dash = 6;
  while (dash < fields.size() && fields[dash] != "-") ++dash;
  if (fields.size() < 6 || dash + 2 >= fields.size()) return std::nullopt;
  MountEntry mount;
  const std::string_view id = fields[0];
  if (std::from_chars(id.data(), id.data() + id.size(), mount.id).ec != std::errc()) {
    return std::nullopt;
  }
  mount.mount_point = Unescape(fields[4]);
  mount.type = Unescape(fields[dash + 1]);
  mount.source = Unescape(fields[dash + 2]);
  return mount;
}

std::optional<MountEntry> FindMount(std::string_view mountinfo, uint64_t mount_id,
                                    std::string_view real_path) {
  std::optional<MountEntry> by_path;
  std::size_t at = 0;
  while (at < mountinfo.size()) {
    std::size_t end = mountinfo.find('\n', at);
    if (end == std::string_view::npos) end = mountinfo.size();
    std::optional<MountEntry> mount = ParseMountInfoLine(mountinfo.substr(at, end - at));
    at = end + 1;
    if (!mount) continue;
    if (mount_id != 0 && mount->id == mount_id) return mount;
    if (IsSameOrBelow(real_path, mount->mount_point) &&
        (!by_path || mount->mount_point.size() >= by_path->mount_point.size())) {
      by_path = std::move(mount);
    }
  }
  return by_path;
}

std::string DriverName(const MountEntry& mount) {
  const std::string_view type = mount.type;
  const std::string_view subtype = type.starts_with("fuse.") ? type.substr(5) : std::string_view();
  if (mount.source.empty() || mount.source == "none" || mount.source == subtype ||
      mount.source == type) {
    return mount.type;
  }
  return mount.type + ", " + mount.source;
}

std::string DriverOf(uint64_t mount_id, const std::string& real_path) {
  std::ifstream file("/proc/self/mountinfo");
  std::ostringstream text;
  text << file.rdbuf();
  const std::optional<MountEntry> mount = FindMount(text.str(), mount_id, real_path);
  return mount ? DriverName(*mount) : std::string("?");
}

}  // namespace velmora
