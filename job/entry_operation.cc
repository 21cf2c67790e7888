#include "job/entry_operation.h"

#include <cerrno>
#include <memory>
#include <optional>
#include <utility>

#include "job/content_pipeline.h"
#include "job/entry_contents.h"
#include "job/entry_journal.h"
#include "job/entry_outcome.h"
#include "job/entry_path.h"
#include "job/messages.h"
#include "job/problem_prompt.h"
#include "job/scan.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/in_place_file.h"
#include "platform/u16_format.h"

namespace velmora {
namespace {

// Names of the file inside the tree, as the scan counted them.
uint64_t LinksInside(const JobHost& host, const FileStatus& status) {
  const auto it = host.links_inside_.find({status.device, status.inode});
  return it == host.links_inside_.end() ? 0 : it->second;
}

// True when |name| is in the state the run asks for because the repair
// before the run just put it back there: done, not a problem.
bool RepairedToRequestedState(const JobHost& host, const Folder& folder, NameError error,
                              const std::u16string& name) {
  const NameError requested_already =
      host.job_.mode == 0 ? NameError::kAlreadyEncrypted : NameError::kNotEncrypted;
  FileStatus status{};
  return error == requested_already && !host.repaired_inodes_.empty() &&
         folder.Status(name, &status) && host.repaired_inodes_.count(status.inode) != 0;
}

// Reads the status of |source| (the entry |name| of |folder|, at
// |directory|, as its conversion spells it), or takes it from what |intents|
// recorded ahead, and checks that the entry may be taken on. A finished
// outcome when not.
std::optional<EntryOutcome> CheckEntry(JobHost& host, IntentBatch& intents, const Folder& folder,
                                       const std::u16string& directory, const std::u16string& name,
                                       const std::u16string& source, FileStatus* status) {
  // A folder is looked at again: its recorded status may predate renames
  // inside it, and the intention is taken only when it is still the same.
  const bool prepared = intents.PreparedStatus(name, status) && !status->is_directory;
  if (!prepared && !folder.Status(source, status)) {
    const EntryResult result = AskAboutFailure(host, text::kSourceGone + Detail(directory, source));
    return EntryOutcome{result == EntryResult::kDone ? EntryStep::kRetry : EntryStep::kFinished,
                        result};
  }
  if (!SameMount(*status, host.tree_status_)) {
    return EntryOutcome{EntryStep::kFinished,
                        AskAboutFailure(host, text::kOtherFileSystem + Detail(directory, source),
                                        Buttons::kAbortIgnore)};
  }
  if (status->is_regular && status->links > 1 && LinksInside(host, *status) < status->links) {
    return EntryOutcome{EntryStep::kFinished,
                        AskAboutFailure(host, text::kLinkedOutside + Detail(directory, source),
                                        Buttons::kAbortIgnore)};
  }
  if (status->is_regular && status->size > kAbsoluteSizeLimit) {
    host.questions_->Notify({.id = QuestionId::kFileTooLarge,
                             .text = std::u16string(text::kFileTooLarge) +
                                     Format(text::kPathBlock, {directory + u"/", source}),
                             .icon = Icon::kError});
    return EntryOutcome{EntryStep::kFinished, EntryResult::kAbortRun};
  }
  return std::nullopt;
}

// The content part of |entry|, renamed already, recorded as |intent|. A
// file that may be written as it is (its owner's, or another's that
// grants it) keeps its mode; only where that fails is owner read and
// write permission added, and put back afterwards.
EntryOutcome TransformRenamed(JobHost& host, const Folder& folder, const RenamedFile& entry,
                              const EntryIntent& intent) {
  const std::u16string& target = entry.target;
  const FileStatus& status = entry.status;
  std::shared_ptr<InPlaceFile> file = intent.file;
  bool granted = false;
  if (file == nullptr) {
    file = std::make_shared<InPlaceFile>(folder, target, InPlaceFile::kReadWriteAhead);
    if (!file->IsOpen() && file->OpenError() == ELOOP) {
      // A link swapped in for the file since its status was read.
      return GiveBack(host, folder, entry, text::kChangedDuringRun, false);
    }
    if (!file->IsOpen() && file->OpenError() == EACCES) {
      if (!ChangeMode(folder, target, status, status.mode | 0600).ok()) {
        return GiveBack(host, folder, entry, text::kAttributeFailed, false);
      }
      granted = true;
      file = std::make_shared<InPlaceFile>(folder, target, InPlaceFile::kReadWriteAhead);
    }
  }
  if (!file->IsOpen()) {
    // Best effort: the contents are done; a mode left with owner access
    // harms nothing the run could mend.
    if (granted) (void)ChangeMode(folder, target, status, status.mode);
    return GiveBack(host, folder, entry, text::kOpenFailed, false);
  }
  RunProgress& shown = *host.progress_;
  const state::TransformProgress progress = [&shown, &entry](int64_t done, int32_t size) {
    shown.ContentsProgressed(entry.directory, entry.source, entry.target, done, size);
  };
  const ContentResult contents =
      TransformEntryContents(host.crypter_, *host.journal_, folder, intent, *file, status, target,
                             granted, &host.job_.bytes_done, progress);
  return FinishContents(host, folder, entry, contents, true, false);
}

// One attempt at the whole operation; kRetry asks the caller to start over.
// |intents| holds what was recorded ahead for the entry.
EntryOutcome AttemptEntry(JobHost& host, IntentBatch& intents, const Folder& folder,
                          const std::u16string& directory, const std::u16string& name) {
  state::Journal& journal = *host.journal_;
  const NameConversion names = intents.Conversion(host, name);
  if (!names.ok()) {
    if (RepairedToRequestedState(host, folder, names.error, name)) {
      return {EntryStep::kFinished, EntryResult::kDone};
    }
    return {EntryStep::kFinished, PromptProblem(host, names.error, directory, names.source)};
  }
  const std::u16string& source = names.source;
  const std::u16string& target = names.target;
  FileStatus status{};
  if (const auto refused = CheckEntry(host, intents, folder, directory, name, source, &status)) {
    return *refused;
  }
  // Recorded, and durable, before the entry changes.
  const EntryIntent intent = intents.Take(host, name, MakeEntryRecord(host, folder, names, status));
  const uint64_t id = intent.record.id;
  // The times from before anything of this run looked at the file.
  status.access_time = intent.record.access_time;
  if (!intent.durable && !journal.Commit()) return {EntryStep::kFinished, JournalFailed(host)};

  const EntryResult renamed = RenameWithRetry(host, folder, directory, source, target);
  if (renamed != EntryResult::kDone) {
    journal.End(id);
    return {EntryStep::kFinished, renamed};
  }
  // Directories, links, FIFOs, sockets, devices and empty files only change
  // their names.
  if (status.is_directory || !status.is_regular || status.size == 0 ||
      intent.record.range_bytes <= 0) {
    journal.End(id);
    return {EntryStep::kFinished, EntryResult::kDone};
  }
  const RenamedFile entry{name, directory, source, target, id, status, intent.record.range_bytes};
  return TransformRenamed(host, folder, entry, intent);
}

// The common case of a small file recorded ahead, opened and read, on a
// walk that has asked nothing about it: renamed, and its contents handed
// to |pipeline|. False, with nothing changed, for anything out of the
// ordinary: the caller then takes the entry the long way. |name| is an
// entry of |folder|, at |directory|, recorded ahead in |intents|.
bool HandOverEntry(JobHost& host, IntentBatch& intents, const Folder& folder,
                   const std::u16string& directory, const std::u16string& name,
                   ContentPipeline& pipeline) {
  EntryIntent intent;
  if (!intents.TakeOpened(name, &intent)) return false;
  if (!intent.durable || !folder.Rename(intent.source, intent.target).ok()) {
    host.journal_->End(intent.record.id);
    return false;
  }
  host.progress_->ContentsProgressed(directory, intent.source, intent.target, 0,
                                     intent.record.cipher_size);
  RenamedFile file{name,
                   directory,
                   std::move(intent.source),
                   std::move(intent.target),
                   intent.record.id,
                   intent.status,
                   intent.record.range_bytes};
  pipeline.Hand(std::move(file), std::move(intent));
  return true;
}

}  // namespace

EntryResult ProcessEntryList(JobHost& host, WalkAhead& ahead, const Folder& folder,
                             const std::u16string& directory, const FolderListing& entries) {
  JobState& job = host.job_;
  EntryResult outcome = EntryResult::kDone;
  IntentBatch& intents = ahead.intents();
  ContentPipeline pipeline(host, intents, folder, ahead.content_worker());
  for (std::size_t index = 0; index < entries.size(); ++index) {
    // A stop request ends the run between entries, never inside one; the
    // exit pass always runs to its end.
    if (host.stop_requested_ && job.exit_pass == 0) {
      outcome = EntryResult::kAbortRun;
      break;
    }
    if (pipeline.full() && pipeline.Finish() == EntryResult::kAbortRun) {
      outcome = EntryResult::kAbortRun;
      break;
    }
    if (index % kBatchEntries == 0) ahead.BeginBatch(folder, directory, entries, index);
    if (entries.LeftAlone(index)) continue;
    const std::u16string name(entries.Name(index));
    job.current_entry = JoinPath(directory, name);  // shown
    host.progress_->EntryStarted(job.done, job.scan_total, job.current_entry);
    if (HandOverEntry(host, intents, folder, directory, name, pipeline)) continue;
    // Whatever this entry asks comes after the answers of those before it.
    if (pipeline.Finish() == EntryResult::kAbortRun) {
      outcome = EntryResult::kAbortRun;
      break;
    }
    const EntryResult result = ProcessEntry(host, intents, folder, directory, name);
    if (result == EntryResult::kDone) ++job.done;
    if (result == EntryResult::kAbortRun) {
      outcome = EntryResult::kAbortRun;
      break;
    }
  }
  if (pipeline.Finish() == EntryResult::kAbortRun) outcome = EntryResult::kAbortRun;
  ahead.EndList(outcome == EntryResult::kAbortRun);
  return outcome;
}

EntryResult ProcessEntry(JobHost& host, IntentBatch& intents, const Folder& folder,
                         const std::u16string& directory, const std::u16string& name) {
  for (;;) {
    const EntryOutcome outcome = AttemptEntry(host, intents, folder, directory, name);
    if (outcome.step == EntryStep::kFinished) return outcome.result;
  }
}

EntryResult RenameWithRetry(JobHost& host, const Folder& folder, const std::u16string& directory,
                            const std::u16string& source, const std::u16string& target) {
  for (;;) {
    if (folder.Rename(source, target).ok()) return EntryResult::kDone;

    FileStatus status{};
    // Diagnose in this order: the entry is gone, nothing carries the target
    // name (a lock or a permission), or something does (a collision).
    const bool source_exists = folder.Status(source, &status);
    FileStatus existing{};
    if (!source_exists || !folder.Status(target, &existing)) {
      const EntryResult result =
          AskAboutFailure(host, (source_exists ? text::kRenameFailed : text::kSourceGone) +
                                    Detail(directory, source));
      if (result != EntryResult::kDone) return result;
      continue;
    }

    const std::u16string kind = existing.is_directory ? text::kKindDirectory : text::kKindFile;
    const std::u16string word = host.job_.mode == 0 ? text::kWordEncryption : text::kWordDecryption;
    const Answer answer =
        host.questions_->Ask({.id = QuestionId::kTargetExists,
                              .text = Format(text::kTargetExists, {word, kind}) +
                                      Format(text::kTargetExistsDetail, {kind, directory, target}),
                              .buttons = Buttons::kYesNo,
                              .icon = Icon::kWarning,
                              .second_is_default = true});
    // In the exit pass a No skips only this entry: stopping there would
    // leave the rest of the tree decrypted.
    if (answer != Answer::kYes) {
      return host.job_.exit_pass == 1 ? EntryResult::kSkipped : EntryResult::kAbortRun;
    }
    const FsResult removed =
        existing.is_directory ? folder.RemoveEmptyFolder(target) : folder.RemoveFile(target);
    if (removed.ok()) continue;
    const EntryResult result =
        AskAboutFailure(host, Format(text::kRemoveFailed, {kind}) +
                                  Format(text::kRemoveFailedDetail, {kind, directory, target}));
    if (result != EntryResult::kDone) return result;
  }
}

}  // namespace velmora
