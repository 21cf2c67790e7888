// The two walks over the target tree. The order is what keeps every path
// valid while names change: encryption handles everything inside a
// directory before the directory's own name (post-order); decryption
// deciphers a directory's name before it descends (pre-order), reading the
// directory again after its entries have their new names.
//
// Both count every listed entry in m_nFound and hand each directory's
// entries to ProcessEntryList. Symbolic links are never descended into.
// They return Done, or AbortRun as soon as an entry's operation stops the
// run; the target directory's own name never changes.
#ifndef VELMORA_JOB_WALKS_H_
#define VELMORA_JOB_WALKS_H_

#include <string>
#include <vector>

#include "job/job_host.h"
#include "job/wide_list_buffer.h"

namespace velmora {

// One entry list per open directory level, grown as deep as the tree.
using LevelLists = std::vector<WideListBuffer>;

// |pattern| is a directory path followed by "/*"; |depth| 0 for the target.
// A file of 4 GiB or more stops the run with a message.
EntryResult EncryptWalk(JobHost& host, LevelLists& levels,
                        const std::u16string& pattern, std::size_t depth);

EntryResult DecryptWalk(JobHost& host, const std::u16string& pattern,
                        std::size_t depth);

}  // namespace velmora

#endif  // VELMORA_JOB_WALKS_H_
