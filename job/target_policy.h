// Folders that are never a target: the system's own, and the folders that
// hold everybody's (or the user's) data as a whole.
#ifndef VELMORA_JOB_TARGET_POLICY_H_
#define VELMORA_JOB_TARGET_POLICY_H_

#include <string>

namespace velmora {

enum class TargetPolicy {
  kAllowed,
  kSystemFolder,  // /usr, /etc, ... or a folder below one
  kTopFolder,     // /home, /tmp, ... itself, or the home folder itself
};

// Judges the folder at the real path |target|; |home| is the real path of
// the home folder (empty when unknown).
TargetPolicy JudgeTarget(const std::string& target, const std::string& home);

}  // namespace velmora

#endif  // VELMORA_JOB_TARGET_POLICY_H_
