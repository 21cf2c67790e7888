// Proves that a file system gives back the names a run will write: in a
// probe folder of a reserved name, an empty file gets a name with the
// units that cause trouble, is listed, renamed without replacing, listed
// again and removed. Nothing else in the folder is opened or changed.
//
// Works on the kernel's calls directly, unseen by the tests' fault
// injection: the probe's entries are never the user's.
#ifndef VELMORA_PLATFORM_NAME_PROBE_H_
#define VELMORA_PLATFORM_NAME_PROBE_H_

#include <string>
#include <string_view>

#include "platform/folder.h"

namespace velmora {

// Reserved: scans and walks never count or touch an entry of this name.
inline constexpr std::u16string_view kProbeFolderName = u".velmora-probe";

// The step that failed, or kPassed.
enum class ProbeStep {
  kPassed,
  kNoFolder,  // the probe folder could not be made (read-only, no room...)
  kCreate,    // the file with the first name could not be created
  kList,      // the listing did not give the name back byte for byte
  kRename,    // the rename to the second name failed
  kRemove,    // the probe's file or folder could not be removed
};

struct ProbeResult {
  ProbeStep step = ProbeStep::kPassed;
  int error = 0;  // errno of the failed call; 0 for kList
};

// Removes a probe folder a killed run left in |folder|: the empty regular
// files in it, then the folder. Anything else in it (not the probe's) stays,
// and so does the folder.
void RemoveLeftoverProbe(const Folder& folder);

// Probes the file system of |folder| with the names |first| and |second|
// (different, and not only in case). Removes what it made on every path,
// and puts back the folder's own access and modification times.
ProbeResult ProbeNames(const Folder& folder, const std::u16string& first,
                       const std::u16string& second);

}  // namespace velmora

#endif  // VELMORA_PLATFORM_NAME_PROBE_H_
