// The two walks over the target tree. The order is what keeps every path
// valid while names change: encryption handles everything inside a
// folder before the folder's own name (post-order); decryption deciphers a
// folder's name before it descends (pre-order), reading the folder again
// after its entries have their new names.
//
// Every folder is entered through its parent's descriptor without following
// a link, so a folder swapped for a link while the walk runs is never
// entered. A folder that cannot be read, or that lies on another file
// system than the target (a mount point), is a problem entry: it is left
// unchanged with everything in it, and never counted as done.
//
// The folder whose list comes next is entered, quietly, while the current
// list is worked through (WalkAhead); one swapped for something else in
// between is entered again at its turn.
//
// Both count every listed entry in found and hand each folder's
// entries to ProcessEntryList. They return kDone, or kAbortRun as soon as an
// entry's operation stops the run; the target folder's own name never
// changes.
#ifndef VELMORA_JOB_WALKS_H_
#define VELMORA_JOB_WALKS_H_

#include <string>

#include "job/job_host.h"

namespace velmora {

// Walk the tree below |directory|, the target. Memory grows with the
// largest folder's listing times the depth, not with the tree.
EntryResult EncryptWalk(JobHost& host, const std::u16string& directory);
EntryResult DecryptWalk(JobHost& host, const std::u16string& directory);

}  // namespace velmora

#endif  // VELMORA_JOB_WALKS_H_
