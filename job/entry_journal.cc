#include "job/entry_journal.h"

#include <algorithm>

#include "platform/in_place_file.h"
#include "platform/wtf8.h"
#include "state/journaled_transform.h"

namespace velmora {
namespace {

// Files up to this size are opened and have their pages digested ahead of
// their turn. The bytes read for that are kept for the transform, up to a
// budget per batch: past it they are read again at the file's turn.
constexpr int64_t kPrepareContentsUpTo = 65536;
constexpr int64_t kKeepBytesPerBatch = 4 << 20;

bool SameEntry(const state::EntryRecord& a, const state::EntryRecord& b) {
  return a.operation == b.operation && a.kind == b.kind && a.range_bytes == b.range_bytes &&
         a.size == b.size && a.mode == b.mode && a.device == b.device && a.inode == b.inode &&
         a.modify_time.tv_sec == b.modify_time.tv_sec &&
         a.modify_time.tv_nsec == b.modify_time.tv_nsec && a.folder == b.folder &&
         a.source == b.source && a.target == b.target;
}

// Reads the status of the entry |source| of |folder|. A file its listing
// calls regular is opened first (opening cannot disturb such a file) and
// its status read from the open file, left in |*file| for its transform:
// one lookup by name instead of two. Anything else, or a file that will
// not open for update, is looked up by name.
bool StatusAhead(const Folder& folder, const std::u16string& source, bool listed_regular,
                 FileStatus* status, std::shared_ptr<InPlaceFile>* file) {
  if (listed_regular) {
    auto opened = std::make_shared<InPlaceFile>(folder, source, InPlaceFile::kReadWriteAhead);
    if (opened->IsOpen()) {
      *status = opened->StatusAtOpen();
      *file = std::move(opened);
      return true;
    }
  }
  return folder.Status(source, status);
}

}  // namespace

state::EntryRecord MakeEntryRecord(const JobHost& host, const Folder& folder,
                                   const NameConversion& names, const FileStatus& status) {
  state::EntryRecord r;
  r.operation = static_cast<Direction>(host.job_.mode);
  r.kind = status.is_regular     ? state::EntryKind::kRegular
           : status.is_directory ? state::EntryKind::kDirectory
                                 : state::EntryKind::kOther;
  r.range_bytes = names.range_bytes();
  r.size = status.size;
  // Files of 2 GiB or more use the largest range as their key size, the
  // same on both sides of the cipher.
  r.cipher_size = status.size > INT32_MAX ? kWholeRangeBytes : static_cast<int32_t>(status.size);
  r.mode = status.mode;
  r.access_time = status.access_time;
  r.modify_time = status.modify_time;
  r.device = status.device;
  r.inode = status.inode;
  // The real path, so that a record names the folder whatever the working
  // folder or the spelling of the next run.
  r.folder = folder.RealPath();
  r.source = Wtf8FromUtf16(names.source);
  r.target = Wtf8FromUtf16(names.target);
  return r;
}

void IntentBatch::Prepare(JobHost& host, const Folder& folder, std::vector<BatchEntry> entries,
                          const Crypter& crypter, HelperThread* helper) {
  WaitRecorded();
  durable_ = false;
  conversions_.clear();
  folder.RealPath();  // read once here: the helper only reads it
  if (helper == nullptr) {
    Record(host, folder, entries, crypter);
    return;
  }
  recording_on_ = helper;
  helper->Start([this, &host, &folder, &crypter, entries = std::move(entries)] {
    Record(host, folder, entries, crypter);
  });
}

void IntentBatch::Record(const JobHost& host, const Folder& folder,
                         const std::vector<BatchEntry>& entries, const Crypter& crypter) {
  int64_t kept = 0;
  for (const BatchEntry& entry : entries) {
    const std::u16string& name = entry.name;
    const NameConversion& conversion = conversions_[name] =
        crypter.ConvertName(name, static_cast<Direction>(host.job_.mode));
    if (!conversion.ok()) continue;
    const std::u16string& source = conversion.source;
    FileStatus status{};
    std::shared_ptr<InPlaceFile> file;
    // A file with links elsewhere is left to the entry's own checks; a
    // folder's links are its own subfolders.
    if (!StatusAhead(folder, source, entry.listed_regular, &status, &file) ||
        !SameMount(status, host.tree_status_) || (status.is_regular && status.links > 1)) {
      continue;
    }
    EntryIntent intent{MakeEntryRecord(host, folder, conversion, status),
                       status,
                       false,
                       nullptr,
                       {},
                       source,
                       conversion.target};
    const int64_t end = std::min<int64_t>(intent.record.range_bytes, status.size);
    // Opened now, the file serves its transform too: one open, one read.
    // Files the owner may not write keep their mode until their turn.
    if (status.is_regular && end > 0 && end <= kPrepareContentsUpTo &&
        (status.mode & 0600) == 0600) {
      if (file == nullptr) {
        file = std::make_shared<InPlaceFile>(folder, source, InPlaceFile::kReadWriteAhead);
      }
      std::vector<uint8_t>& bytes = intent.contents.bytes;
      bytes.resize(static_cast<std::size_t>(end));
      if (file->IsOpen() && file->Size() == status.size &&
          file->ReadAheadAt(bytes.data(), end, 0) == end) {
        state::TransformAhead(crypter, intent.record, bytes.data(), end,
                              &intent.contents.durable_digests);
        intent.file = std::move(file);
        intent.contents.file = intent.file.get();
        kept += end;
        if (kept > kKeepBytesPerBatch) std::vector<uint8_t>().swap(bytes);
      } else {
        bytes.clear();
      }
    }
    intent.record.id = host.journal_->Begin(intent.record);
    const std::vector<uint64_t>& digests = intent.contents.durable_digests;
    if (!digests.empty()) {
      host.journal_->Pages(intent.record.id, 0, digests.data(), digests.size());
    }
    prepared_[name] = std::move(intent);
  }
  ticket_ = host.journal_->CommitAsync();
}

void IntentBatch::WaitRecorded() {
  if (recording_on_ == nullptr) return;
  recording_on_->Wait();
  recording_on_ = nullptr;
}

void IntentBatch::WaitDurable(JobHost& host) {
  WaitRecorded();
  if (durable_) return;
  durable_ = true;
  if (!host.journal_->WaitDurable(ticket_)) {
    for (const auto& [name, intent] : prepared_) host.journal_->End(intent.record.id);
    prepared_.clear();
  }
}

EntryIntent IntentBatch::Take(JobHost& host, const std::u16string& name,
                              const state::EntryRecord& record) {
  auto it = prepared_.find(name);
  if (it != prepared_.end()) {
    EntryIntent intent = std::move(it->second);
    prepared_.erase(it);
    if (SameEntry(intent.record, record)) {
      intent.durable = durable_;
      return intent;
    }
    host.journal_->End(intent.record.id);  // changed since: nothing done
  }
  EntryIntent intent{record, {}, false, nullptr, {}, {}, {}};
  intent.record.id = host.journal_->Begin(record);
  return intent;
}

}  // namespace velmora

namespace velmora {

bool IntentBatch::TakeOpened(const std::u16string& name, EntryIntent* intent) {
  auto it = prepared_.find(name);
  if (it == prepared_.end() || it->second.file == nullptr) return false;
  *intent = std::move(it->second);
  intent->durable = durable_;
  prepared_.erase(it);
  return true;
}

NameConversion IntentBatch::Conversion(const JobHost& host, const std::u16string& name) const {
  const auto it = conversions_.find(name);
  if (it != conversions_.end()) return it->second;
  return host.crypter_.ConvertName(name, static_cast<Direction>(host.job_.mode));
}

bool IntentBatch::PreparedStatus(const std::u16string& name, FileStatus* status) const {
  const auto it = prepared_.find(name);
  if (it == prepared_.end()) return false;
  *status = it->second.status;
  return true;
}

void IntentBatch::Clear(JobHost& host) {
  WaitRecorded();
  for (const auto& [name, intent] : prepared_) host.journal_->End(intent.record.id);
  prepared_.clear();
  conversions_.clear();
}

}  // namespace velmora
