// The operation on one entry of the tree: convert its name, rename it, and
// for a regular file transform its contents between saving and restoring its
// mode and times. Every failure becomes a question to the user; the answer
// decides between retrying, skipping the entry and stopping the run.
//
// Guarantees: a name problem touches nothing; a rename never replaces an
// entry without the user's Yes; a file whose contents could not be
// transformed gets its old name back only when its contents are unchanged,
// and a file left half-transformed is named exactly in the message and
// cannot be retried (that would transform bytes twice).
#ifndef VELMORA_JOB_ENTRY_OPERATION_H_
#define VELMORA_JOB_ENTRY_OPERATION_H_

#include <string>

#include "job/folder_listing.h"
#include "job/job_host.h"
#include "job/walk_ahead.h"
#include "platform/folder.h"

namespace velmora {

// Runs ProcessEntry over every entry of |entries| (the listing of |folder|,
// at |directory|) not left alone, counting each kDone in job_.done. Returns
// kAbortRun as soon as an entry answers it (the remaining entries stay
// untouched), else kDone. Intentions are recorded ahead through |ahead|,
// which holds the run's batches and also starts on the next list named to
// it.
EntryResult ProcessEntryList(JobHost& host, WalkAhead& ahead, const Folder& folder,
                             const std::u16string& directory, const FolderListing& entries);

// The whole operation on the entry |name| of |folder| (at |directory|), in
// the host's mode, taking what |intents| recorded ahead for it.
EntryResult ProcessEntry(JobHost& host, IntentBatch& intents, const Folder& folder,
                         const std::u16string& directory, const std::u16string& name);

// Renames |source| to |target| in |folder| (shown as |directory|), asking
// the user about every failure; an entry that already carries the target
// name is removed only after the user agrees.
EntryResult RenameWithRetry(JobHost& host, const Folder& folder, const std::u16string& directory,
                            const std::u16string& source, const std::u16string& target);

}  // namespace velmora

#endif  // VELMORA_JOB_ENTRY_OPERATION_H_
