#include "job/entry_operation.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "job/entry_journal.h"
#include "job/messages.h"
#include "job/problem_prompt.h"
#include "job/scan.h"
#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/in_place_file.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "state/journaled_transform.h"
#include "state/state_folder.h"

namespace velmora {
namespace {

std::u16string Detail(const std::u16string& directory,
                      const std::u16string& name) {
  return Format(text::kDetail, {directory, name});
}

// Maps an Abort/Retry/Ignore (or Abort/Ignore) answer; Retry comes back as
// Done so that the caller loops.
EntryResult AnswerToResult(int answer) {
  if (answer == IDRETRY) return Done;
  if (answer == IDIGNORE) return Skipped;
  return AbortRun;
}

// Shows a stop-icon question with Abort, Retry and Ignore (or Abort and
// Ignore only, when a retry could do harm).
EntryResult Ask(WindowPort& window, const std::u16string& message,
                unsigned buttons = MB_ABORTRETRYIGNORE) {
  return AnswerToResult(window.MessageBox(message, buttons | MB_ICONERROR));
}

enum class Step { kRetry, kFinished };

struct Outcome {
  Step step;
  EntryResult result;
};

// Intentions recorded ahead of their entries' turn: the batch being
// processed, and the next one, whose flush overlaps this one's work. One
// run at a time.
IntentBatch g_intents;
IntentBatch g_next_intents;
constexpr std::size_t kBatchEntries = 64;

// The journal could not be written: nothing more may change.
EntryResult JournalFailed(JobHost& host) {
  host.m_window.MessageBox(
      Format(text::kStateFolderFailed,
             {Utf16FromWtf8(state::StateFolderPath())}),
      MB_OK | MB_ICONERROR);
  return AbortRun;
}

// Names of the file inside the tree, as the scan counted them.
uint64_t LinksInside(const JobHost& host, const FileStatus& status) {
  const auto it = host.m_linksInside.find({status.device, status.inode});
  return it == host.m_linksInside.end() ? 0 : it->second;
}

// The file opened for the transform is still the one whose status was
// read: the same inode, size and modification time.
bool Unchanged(const FileStatus& was, const FileStatus& now) {
  return was.device == now.device && was.inode == now.inode &&
         was.size == now.size &&
         was.modify_time.tv_sec == now.modify_time.tv_sec &&
         was.modify_time.tv_nsec == now.modify_time.tv_nsec;
}

// One attempt at the whole operation; kRetry asks the caller to start over.
Outcome AttemptEntry(JobHost& host, const Folder& folder,
                     const std::u16string& path) {
  Crypter& crypter = host.m_crypter;
  WindowPort& window = host.m_window;
  state::Journal& journal = *host.m_journal;

  const std::size_t slash = path.rfind(u'/');
  const std::u16string directory =
      slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
  const std::u16string name =
      slash == std::u16string::npos ? path : path.substr(slash + 1);
  crypter.SetDirectory(directory);
  crypter.ConvertName(name, static_cast<uint32_t>(host.m_job.m_nMode));
  if (crypter.m_nError != ERR_NONE) {
    return {Step::kFinished,
            PromptProblem(host, crypter.m_nError, crypter.GetDirectory(),
                          crypter.GetSourceName())};
  }
  const std::u16string source = crypter.GetSourceName();
  const std::u16string target = crypter.GetTargetName();

  FileStatus status{};
  if (!g_intents.PreparedStatus(path, &status) && !folder.Status(source, &status)) {
    const EntryResult result =
        Ask(window, text::kSourceGone + Detail(directory, source));
    return {result == Done ? Step::kRetry : Step::kFinished, result};
  }
  fault_injection::BeforeEntry(path);
  if (!SameMount(status, host.m_treeStatus)) {
    return {Step::kFinished,
            Ask(window, text::kOtherFileSystem + Detail(directory, source),
                MB_ABORTIGNORE)};
  }
  if (status.is_regular && status.links > 1 &&
      LinksInside(host, status) < status.links) {
    return {Step::kFinished,
            Ask(window, text::kLinkedOutside + Detail(directory, source),
                MB_ABORTIGNORE)};
  }
  if (status.is_regular && status.size > kAbsoluteSizeLimit) {
    window.MessageBox(std::u16string(text::kFileTooLarge) +
                          Format(text::kPathBlock, {directory + u"/", source}),
                      MB_OK | MB_ICONERROR);
    return {Step::kFinished, AbortRun};
  }
  // Recorded, and durable, before the entry changes.
  const EntryIntent intent = g_intents.Take(
      host, path, MakeEntryRecord(host, folder, source, target, status));
  const uint64_t id = intent.record.id;
  // The times from before anything of this run looked at the file.
  status.access_time = intent.record.access_time;
  if (!intent.durable && !journal.Commit()) {
    return {Step::kFinished, JournalFailed(host)};
  }

  const EntryResult renamed = RenameWithRetry(host, folder, directory, source, target);
  if (renamed != Done) {
    journal.End(id);
    return {Step::kFinished, renamed};
  }
  // Directories, links, FIFOs, sockets, devices and empty files only change
  // their names.
  if (status.is_directory || !status.is_regular || status.size == 0 ||
      intent.record.range_bytes <= 0) {
    journal.End(id);
    return {Step::kFinished, Done};
  }

  // Nothing is written yet: the old name is right again. Where it cannot
  // be given back, the entry stays in the journal for the repair.
  auto give_back = [&](std::u16string_view message) {
    if (folder.Rename(target, source) == 0) journal.End(id);
    const EntryResult result = Ask(window, std::u16string(message) + Detail(directory, source));
    return Outcome{result == Done ? Step::kRetry : Step::kFinished, result};
  };

  // A file that may be written as it is (its owner's, or another's that
  // grants it) keeps its mode; only where that fails is owner read and
  // write permission added, and put back afterwards.
  std::shared_ptr<InPlaceFile> file = intent.file;
  bool granted = false;
  if (file == nullptr) {
    file = std::make_shared<InPlaceFile>(folder, target, InPlaceFile::kReadWriteAhead);
    if (!file->IsOpen() && file->OpenError() == ELOOP) {
      // A link swapped in for the file since its status was read.
      return give_back(text::kChangedDuringRun);
    }
    if (!file->IsOpen() && file->OpenError() == EACCES) {
      if (ChangeMode(folder, target, status, status.mode | 0600) != 0) {
        return give_back(text::kAttributeFailed);
      }
      granted = true;
      file = std::make_shared<InPlaceFile>(folder, target,
                                           InPlaceFile::kReadWriteAhead);
    }
  }
  if (!file->IsOpen()) {
    if (granted) ChangeMode(folder, target, status, status.mode);
    return give_back(text::kOpenFailed);
  }
  // A file opened ahead is looked at again: it may have changed since.
  FileStatus now = file->StatusAtOpen();
  if ((intent.file != nullptr && !file->Status(&now)) || !Unchanged(status, now)) {
    file->RestoreStatus(status, granted);
    return give_back(text::kChangedDuringRun);
  }

  state::PreparedContents contents = intent.contents;
  contents.file = file.get();
  const int64_t bytes_before = host.m_job.m_nBytesDone;
  state::TransformOutcome transformed = state::TransformJournaled(
      crypter, journal, intent.record, u"", contents, &host.m_job.m_nBytesDone);

  // Appended, truncated or replaced meanwhile: the bytes written are put
  // back, and the file keeps its old name.
  FileStatus after{};
  FileStatus named{};
  const bool changed =
      transformed == state::TransformOutcome::kDone &&
      (!file->Status(&after) || after.size != status.size ||
       !folder.Status(target, &named) || named.inode != status.inode);
  if (changed) {
    state::EntryRecord back = intent.record;
    back.operation = back.operation == OP_ENCRYPT ? OP_DECRYPT : OP_ENCRYPT;
    contents.durable_digests.clear();
    contents.bytes.clear();
    transformed = state::TransformJournaled(crypter, journal, back, u"", contents);
    host.m_job.m_nBytesDone = bytes_before;
    if (transformed == state::TransformOutcome::kDone) {
      file->RestoreStatus(status, granted);
      return give_back(text::kChangedDuringRun);
    }
    transformed = state::TransformOutcome::kLeftForRepair;
  }
  const bool restored = file->RestoreStatus(status, granted);

  switch (transformed) {
    case state::TransformOutcome::kDone:
      journal.End(id);
      // The bytes past a head-only range count as done too: the scan's
      // total holds whole files.
      host.m_job.m_nBytesDone +=
          status.size - std::min<int64_t>(status.size, intent.record.range_bytes);
      if (!restored) {
        // Name and contents agree; only the mode or times are off. Say
        // which file, and count it as done.
        window.MessageBox(
            std::u16string(text::kStatusNotRestored) + Detail(directory, target),
            MB_OK | MB_ICONWARNING);
      }
      return {Step::kFinished, Done};
    case state::TransformOutcome::kUntouched:
    case state::TransformOutcome::kReversed: {
      // The contents are as they were: the old name is right again, and a
      // retry is safe.
      if (folder.Rename(target, source) == 0) {
        journal.End(id);
        const EntryResult result =
            Ask(window, text::kOpenFailed + Detail(directory, source));
        return {result == Done ? Step::kRetry : Step::kFinished, result};
      }
      // Old bytes under the new name: left for the repair to rename.
      return {Step::kFinished,
              Ask(window, text::kOpenFailed + Detail(directory, target),
                  MB_ABORTIGNORE)};
    }
    case state::TransformOutcome::kJournalFailed:
      if (folder.Rename(target, source) == 0) journal.End(id);
      return {Step::kFinished, JournalFailed(host)};
    case state::TransformOutcome::kLeftForRepair:
      break;
  }
  // Part of the contents is transformed and could not be put back. The
  // journal keeps the entry: the next run with this password repairs it.
  const EntryResult result =
      Ask(window, text::kContentLeftForRepair + Detail(directory, target),
          MB_ABORTIGNORE);
  return {Step::kFinished, result == Done ? Skipped : result};
}

// Records the entries from |first| on, a batch of them, ahead of their turn
// (on |helper| beside the walk, when given).
void PrepareBatch(JobHost& host, const Folder& folder, const std::u16string& directory,
                  const FolderListing& entries, std::size_t first, IntentBatch& batch,
                  state::HelperThread* helper) {
  std::vector<std::u16string> paths;
  const std::size_t end = std::min(entries.size(), first + kBatchEntries);
  for (std::size_t next = first; next < end; ++next) {
    if (!entries.LeftAlone(next)) {
      paths.push_back(directory + u"/" + std::u16string(entries.Name(next)));
    }
  }
  if (!paths.empty()) batch.Prepare(host, folder, paths, helper);
}

}  // namespace

EntryResult ProcessEntryList(JobHost& host, const Folder& folder,
                             const std::u16string& directory,
                             const FolderListing& entries) {
  JobState& job = host.m_job;
  EntryResult outcome = Done;
  // A folder of more than one batch records the next batch on a helper
  // while this one is worked through.
  std::unique_ptr<state::HelperThread> recorder;
  if (entries.size() > kBatchEntries) recorder = std::make_unique<state::HelperThread>();
  for (std::size_t index = 0; index < entries.size(); ++index) {
    // A stop request ends the run between entries, never inside one; the
    // exit pass always runs to its end.
    if (host.m_stopRequested && job.m_bExitPass == 0) {
      outcome = AbortRun;
      break;
    }
    if (index % kBatchEntries == 0) {
      g_intents.Clear(host);
      if (index == 0) {
        PrepareBatch(host, folder, directory, entries, 0, g_next_intents, nullptr);
      }
      g_next_intents.WaitRecorded();
      std::swap(g_intents, g_next_intents);
      PrepareBatch(host, folder, directory, entries, index + kBatchEntries,
                   g_next_intents, recorder.get());
      g_intents.WaitDurable(host);
    }
    if (entries.LeftAlone(index)) continue;
    job.m_strCurrentEntry = directory + u"/" + std::u16string(entries.Name(index));
    host.m_window.SetControlText(
        IDC_STATUS_SUB, Format(text::kProcessing, {job.m_nDone, job.m_nScanTotal}));
    const EntryResult result = ProcessEntry(host, folder, job.m_strCurrentEntry);
    if (result == Done) ++job.m_nDone;
    if (result == AbortRun) {
      outcome = AbortRun;
      break;
    }
  }
  g_intents.Clear(host);
  g_next_intents.Clear(host);
  return outcome;
}

EntryResult ProcessEntry(JobHost& host, const Folder& folder,
                         const std::u16string& path) {
  for (;;) {
    const Outcome outcome = AttemptEntry(host, folder, path);
    if (outcome.step == Step::kFinished) return outcome.result;
  }
}

EntryResult RenameWithRetry(JobHost& host, const Folder& folder,
                            const std::u16string& directory,
                            const std::u16string& source,
                            const std::u16string& target) {
  WindowPort& window = host.m_window;
  for (;;) {
    if (folder.Rename(source, target) == 0) return Done;

    FileStatus status{};
    // Diagnose in this order: the entry is gone, nothing carries the target
    // name (a lock or a permission), or something does (a collision).
    const bool source_exists = folder.Status(source, &status);
    FileStatus existing{};
    if (!source_exists || !folder.Status(target, &existing)) {
      const EntryResult result =
          Ask(window, (source_exists ? text::kRenameFailed : text::kSourceGone) +
                          Detail(directory, source));
      if (result != Done) return result;
      continue;
    }

    const std::u16string kind =
        existing.is_directory ? text::kKindDirectory : text::kKindFile;
    const std::u16string word = host.m_job.m_nMode == 0
                                    ? text::kWordEncryption
                                    : text::kWordDecryption;
    const int answer = window.MessageBox(
        Format(text::kTargetExists, {word, kind}) +
            Format(text::kTargetExistsDetail, {kind, directory, target}),
        MB_YESNO | MB_ICONEXCLAMATION);
    // In the exit pass a No skips only this entry: stopping there would
    // leave the rest of the tree decrypted.
    if (answer != IDYES) return host.m_job.m_bExitPass == 1 ? Skipped : AbortRun;
    const int removed = existing.is_directory ? folder.RemoveEmptyFolder(target)
                                              : folder.RemoveFile(target);
    if (removed == 0) continue;
    const EntryResult result =
        Ask(window, Format(text::kRemoveFailed, {kind}) +
                        Format(text::kRemoveFailedDetail, {kind, directory, target}));
    if (result != Done) return result;
  }
}

}  // namespace velmora
