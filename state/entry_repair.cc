#include "state/entry_repair.h"

#include <algorithm>
#include <utility>

#include "platform/in_place_file.h"
#include "platform/wtf8.h"
#include "state/journaled_transform.h"
#include "state/page_digest.h"
#include "state/state_folder.h"

namespace velmora::state {
namespace {

std::u16string Wide(const std::string& bytes) { return Utf16FromWtf8(bytes); }

}  // namespace

EntryRepair::EntryRepair(const Crypter& crypter, const RecordedEntry& entry, std::string folder)
    : crypter_(crypter), entry_(entry), r_(entry.record), folder_(std::move(folder)) {}

EntryVerdict EntryRepair::Run() {
  FileStatus at_source{}, at_target{};
  const bool source_is_ours = Matches(r_.source, &at_source);
  const bool target_is_ours = Matches(r_.target, &at_target);
  if (!source_is_ours && !target_is_ours) return EntryVerdict::kGone;
  const bool renamed = target_is_ours && !source_is_ours;
  const std::string& name = renamed ? r_.target : r_.source;
  const FileStatus now = renamed ? at_target : at_source;
  path_ = Wide(folder_ + "/" + name);

  const int64_t end = std::min<int64_t>(r_.range_bytes, r_.size);
  if (r_.kind != EntryKind::kRegular || end <= 0) {
    // Only the name changed, and either name is consistent.
    return Settle(now);
  }
  // Another size: written by someone else since. For an entry the run
  // was still on that cannot be told from damage.
  if (now.size != r_.size) {
    return entry_.ended ? EntryVerdict::kForeign : EntryVerdict::kFailed;
  }
  PageSurvey survey;
  if (!SurveyPages(end, &survey)) return EntryVerdict::kFailed;
  if (survey.any_unknown) {
    // A page in neither state: torn, or written by someone else.
    // Every page so for an entry that was finished: changed since, by
    // someone else. For one the run was on: damage, reported.
    return entry_.ended && survey.new_pages.empty() && !survey.any_old ? EntryVerdict::kForeign
                                                                       : EntryVerdict::kFailed;
  }
  const bool all_new = !survey.any_old;
  if ((renamed && all_new) || (!renamed && survey.new_pages.empty())) {
    return Settle(now);
  }
  return PutBack(now, renamed, end, survey.new_pages);
}

// True when |name| in the entry's folder is the recorded entry. The
// device number is not compared: it may change between boots or mounts.
bool EntryRepair::Matches(const std::string& name, FileStatus* status) {
  return GetFileStatus(Wide(folder_ + "/" + name), status) && status->inode == r_.inode;
}

// Reads every recorded page of the range [0, end) and classifies it.
bool EntryRepair::SurveyPages(int64_t end, PageSurvey* survey) {
  InPlaceFile reader(path_, InPlaceFile::kReadOnly);
  if (!reader.IsOpen()) return false;
  std::vector<uint8_t> page(static_cast<std::size_t>(kPageBytes));
  for (const auto& [index, digest] : entry_.digests) {
    const int64_t offset = static_cast<int64_t>(index) * kPageBytes;
    if (offset >= end) continue;
    const int64_t count = std::min(kPageBytes, end - offset);
    if (reader.ReadAt(page.data(), count, offset) != count) return false;
    switch (Classify(page.data(), count, offset, digest)) {
      case PageState::kNew:
        survey->new_pages.push_back(offset);
        break;
      case PageState::kOld:
        survey->any_old = true;
        break;
      case PageState::kUnknown:
        survey->any_unknown = true;
        break;
    }
  }
  const int64_t recorded = static_cast<int64_t>(entry_.digests.size()) * kPageBytes;
  if (recorded < end) survey->any_old = true;  // pages never recorded were never written
  return true;
}

EntryRepair::PageState EntryRepair::Classify(const uint8_t* bytes, int64_t count, int64_t offset,
                                             uint64_t digest) {
  // The digest is of the enciphered form: as is when the page is
  // enciphered, after enciphering when it is plain.
  const bool encrypt = r_.operation == Direction::kEncrypt;
  if (PageDigest(bytes, count) == digest) {
    return encrypt ? PageState::kNew : PageState::kOld;
  }
  uint8_t enciphered[kPageBytes];
  std::copy(bytes, bytes + count, enciphered);
  ApplyCipher(crypter_, Direction::kEncrypt, enciphered, count, offset, r_.cipher_size);
  if (PageDigest(enciphered, count) == digest) {
    return encrypt ? PageState::kOld : PageState::kNew;
  }
  return PageState::kUnknown;
}

// Back to the old state: the pages, then the name. The owner may need
// write permission for that; the recorded mode is put back at the end.
EntryVerdict EntryRepair::PutBack(const FileStatus& now, bool renamed, int64_t end,
                                  const std::vector<int64_t>& new_pages) {
  if ((now.mode & 0600) != 0600 && !SetFileStatus(path_, WithOwnerReadWrite(now))) {
    return EntryVerdict::kFailed;
  }
  InPlaceFile file(path_);
  if (!file.IsOpen()) return EntryVerdict::kFailed;
  const Direction back = Opposite(r_.operation);
  std::vector<uint8_t> page(static_cast<std::size_t>(kPageBytes));
  for (int64_t offset : new_pages) {
    const int64_t count = std::min(kPageBytes, end - offset);
    if (file.ReadAt(page.data(), count, offset) != count) return EntryVerdict::kFailed;
    ApplyCipher(crypter_, back, page.data(), count, offset, r_.cipher_size);
    if (!file.WriteAt(page.data(), count, offset)) return EntryVerdict::kFailed;
  }
  if (SyncEnabled() && !file.Sync()) return EntryVerdict::kFailed;
  if (renamed) {
    const std::u16string source = Wide(folder_ + "/" + r_.source);
    if (!RenameEntry(path_, source).ok()) return EntryVerdict::kFailed;
    SyncFolder(folder_);
    path_ = source;
  }
  // Writing moved the times: always put them back.
  return RestoreStatus(now, true) ? EntryVerdict::kRepaired : EntryVerdict::kFailed;
}

// A consistent entry: one the run was on gets its recorded mode and times
// back (the run may have stopped before it put them back); a finished one
// keeps whatever its owner has done to it since.
EntryVerdict EntryRepair::Settle(const FileStatus& now) {
  if (entry_.ended) return EntryVerdict::kConsistent;
  return RestoreStatus(now) ? EntryVerdict::kConsistent : EntryVerdict::kFailed;
}

bool EntryRepair::RestoreStatus(const FileStatus& now, bool always) {
  if (!always && (now.mode & 07777) == (r_.mode & 07777) &&
      now.modify_time.tv_sec == r_.modify_time.tv_sec &&
      now.modify_time.tv_nsec == r_.modify_time.tv_nsec) {
    return true;
  }
  FileStatus status = now;
  status.mode = r_.mode;
  status.access_time = r_.access_time;
  status.modify_time = r_.modify_time;
  return SetFileStatus(path_, status);
}

}  // namespace velmora::state
