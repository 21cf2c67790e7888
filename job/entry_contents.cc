#include "job/entry_contents.h"

namespace velmora {
namespace {

// The file opened for the transform is still the one whose status was
// read: the same inode, size and modification time.
bool Unchanged(const FileStatus& was, const FileStatus& now) {
  return was.device == now.device && was.inode == now.inode && was.size == now.size &&
         was.modify_time.tv_sec == now.modify_time.tv_sec &&
         was.modify_time.tv_nsec == now.modify_time.tv_nsec;
}

}  // namespace

ContentResult TransformEntryContents(const Crypter& crypter, state::Journal& journal,
                                     const Folder& folder, const EntryIntent& intent,
                                     InPlaceFile& file, const FileStatus& status,
                                     const std::u16string& target, bool granted,
                                     std::atomic<int64_t>* bytes_done,
                                     const state::TransformProgress& progress) {
  ContentResult result;
  // A file opened ahead is looked at again: it may have changed since.
  FileStatus now = file.StatusAtOpen();
  if ((intent.file != nullptr && !file.Status(&now)) || !Unchanged(status, now)) {
    file.RestoreStatus(status, granted);
    result.changed = true;
    return result;
  }

  state::PreparedContents contents = intent.contents;
  contents.file = &file;
  const int64_t bytes_before = bytes_done != nullptr ? bytes_done->load() : 0;
  result.transformed = state::TransformJournaled(crypter, journal, intent.record, u"", contents,
                                                 bytes_done, progress);
  result.failure = file.FirstFailure();

  // Appended, truncated or replaced meanwhile: the bytes written are put
  // back. While the name still leads to the file, its status is the
  // file's.
  FileStatus named{};
  if (result.transformed == state::TransformOutcome::kDone &&
      (!folder.Status(target, &named) || named.device != status.device ||
       named.inode != status.inode || named.size != status.size)) {
    state::EntryRecord back = intent.record;
    back.operation = Opposite(back.operation);
    contents.durable_digests.clear();
    contents.bytes.clear();
    result.transformed =
        state::TransformJournaled(crypter, journal, back, u"", contents, nullptr, progress);
    if (bytes_done != nullptr) bytes_done->store(bytes_before);
    if (result.transformed == state::TransformOutcome::kDone) {
      file.RestoreStatus(status, granted);
      result.changed = true;
      return result;
    }
    result.transformed = state::TransformOutcome::kLeftForRepair;
  }
  result.restored = file.RestoreStatus(status, granted);
  return result;
}

}  // namespace velmora
