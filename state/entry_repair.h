// One recorded entry brought back to a consistent state. The entry is
// found by its inode under either recorded name; each recorded page is
// classified as old, new or neither. An entry whose name and pages agree
// is left as it is; any other is put back: its new pages transformed back,
// then its old name, then its recorded mode and times.
#ifndef VELMORA_STATE_ENTRY_REPAIR_H_
#define VELMORA_STATE_ENTRY_REPAIR_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/crypter.h"
#include "platform/file_system.h"
#include "state/journal_format.h"

namespace velmora::state {

// An entry as the journal recorded it.
struct RecordedEntry {
  EntryRecord record;
  std::map<uint64_t, uint64_t> digests;  // page -> digest, the latest wins
  bool ended = false;
};

enum class EntryVerdict {
  kGone,        // under neither name any more
  kConsistent,  // name and bytes agree; at most its status was put back
  kRepaired,    // put back to its old name over its old bytes
  kFailed,      // could not be told or put back: left as it is
  kForeign,     // a finished entry written by someone else since
};

class EntryRepair {
 public:
  // |folder| is where the entry's recorded folder lies now.
  EntryRepair(const Crypter& crypter, const RecordedEntry& entry, std::string folder);

  EntryVerdict Run();

  // Where the entry was found, and where it lies after Run(); empty when
  // it was not found.
  const std::u16string& path() const { return path_; }

 private:
  struct PageSurvey {
    std::vector<int64_t> new_pages;  // offsets
    bool any_old = false;
    bool any_unknown = false;
  };
  enum class PageState { kOld, kNew, kUnknown };

  bool Matches(const std::string& name, FileStatus* status);
  bool SurveyPages(int64_t end, PageSurvey* survey);
  PageState Classify(const uint8_t* bytes, int64_t count, int64_t offset, uint64_t digest);
  EntryVerdict PutBack(const FileStatus& now, bool renamed, int64_t end,
                       const std::vector<int64_t>& new_pages);
  EntryVerdict Settle(const FileStatus& now);
  bool RestoreStatus(const FileStatus& now, bool always = false);

  const Crypter& crypter_;
  const RecordedEntry& entry_;
  const EntryRecord& r_;
  const std::string folder_;
  std::u16string path_;
};

}  // namespace velmora::state

#endif  // VELMORA_STATE_ENTRY_REPAIR_H_
