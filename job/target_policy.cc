#include "job/target_policy.h"

#include <string_view>

#include "platform/file_system.h"

namespace velmora {
namespace {

// Everything below these belongs to the system.
// Character arrays, not views: no pointer to relocate, so they stay in
// read-only data.
constexpr char kSystemFolders[][8] = {"/bin",  "/boot", "/dev",  "/etc", "/lib", "/lib64",
                                      "/proc", "/run",  "/sbin", "/sys", "/usr"};

// These hold other folders; only those may be targets.
constexpr char kTopFolders[][10] = {"/home", "/media", "/mnt", "/opt",
                                    "/srv",  "/tmp",   "/var", "/var/tmp"};

}  // namespace

TargetPolicy JudgeTarget(const std::string& target, const std::string& home) {
  for (std::string_view folder : kSystemFolders) {
    if (IsSameOrBelow(target, folder)) return TargetPolicy::kSystemFolder;
  }
  for (std::string_view folder : kTopFolders) {
    if (target == folder) return TargetPolicy::kTopFolder;
  }
  if (!home.empty() && target == home) return TargetPolicy::kTopFolder;
  return TargetPolicy::kAllowed;
}

}  // namespace velmora
