// Whether the target's file system holds enciphered names, proven before
// anything in the tree changes (platform/name_probe.h).
#ifndef VELMORA_JOB_MEDIA_CHECK_H_
#define VELMORA_JOB_MEDIA_CHECK_H_

#include <string>

#include "job/job_host.h"
#include "platform/name_probe.h"

namespace velmora {

// The notice for a probe that failed on the file system |driver|, for an
// encryption (a refusal) or a decryption (a warning).
std::u16string MediaText(const ProbeResult& probe, const std::u16string& driver, bool encrypting);

// Removes a probe folder a killed run left in the held tree, then probes
// its file system. An encryption where names do not come back as written
// is refused with a notice: false, nothing of the tree opened or changed.
// A decryption is never refused: it is told once why names may not
// decipher, and then not asked about each name the password does not
// match. A folder the probe cannot make (read-only, full) proves nothing:
// the run goes on and meets what it meets, as before.
bool MediaAccepted(JobHost& host);

}  // namespace velmora

#endif  // VELMORA_JOB_MEDIA_CHECK_H_
