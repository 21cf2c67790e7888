// The content part of an entry's operation, once the entry carries its new
// name: the file checked against the status it was recorded from,
// transformed under the journal, checked again and its mode and times put
// back. It asks nothing, so the walk may hand it to another thread and take
// the result later.
#ifndef VELMORA_JOB_ENTRY_CONTENTS_H_
#define VELMORA_JOB_ENTRY_CONTENTS_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/crypter.h"
#include "job/entry_journal.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/in_place_file.h"
#include "state/journal.h"
#include "state/journaled_transform.h"

namespace velmora {

struct ContentResult {
  // Appended, truncated or replaced since the entry's status was read: the
  // file is as it was (contents, mode and times), under its new name.
  bool changed = false;
  state::TransformOutcome transformed = state::TransformOutcome::kUntouched;
  // Mode and times put back (meaningful when transformed is kDone).
  bool restored = false;
  // The read or write that failed on the way, if one did.
  InPlaceFile::Failure failure;
};

// Transforms |file|, the entry |target| of |folder| whose intention is
// |intent| and whose status was |status|; |granted| when owner read and
// write permission was added to open it (it is taken away again).
// |bytes_done| and |progress| as for state::TransformJournaled.
ContentResult TransformEntryContents(const Crypter& crypter, state::Journal& journal,
                                     const Folder& folder, const EntryIntent& intent,
                                     InPlaceFile& file, const FileStatus& status,
                                     const std::u16string& target, bool granted,
                                     std::atomic<int64_t>* bytes_done,
                                     const state::TransformProgress& progress);

}  // namespace velmora

#endif  // VELMORA_JOB_ENTRY_CONTENTS_H_
