#include "job/entry_operation.h"

#include <algorithm>
#include <vector>

#include "job/entry_journal.h"
#include "job/messages.h"
#include "job/problem_prompt.h"
#include "platform/file_system.h"
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

std::u16string JoinPath(const std::u16string& directory,
                        const std::u16string& name) {
  return directory + u"/" + name;
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

// Intentions recorded ahead of their entries' turn; one run at a time.
IntentBatch g_intents;
constexpr std::size_t kBatchEntries = 64;

// The journal could not be written: nothing more may change.
EntryResult JournalFailed(JobHost& host) {
  host.m_window.MessageBox(
      Format(text::kStateFolderFailed,
             {Utf16FromWtf8(state::StateFolderPath())}),
      MB_OK | MB_ICONERROR);
  return AbortRun;
}

// One attempt at the whole operation; kRetry asks the caller to start over.
Outcome AttemptEntry(JobHost& host, const std::u16string& path) {
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
  const std::u16string source_path = JoinPath(directory, source);
  const std::u16string target_path = JoinPath(directory, target);

  FileStatus status{};
  if (!GetFileStatus(source_path, &status)) {
    const EntryResult result =
        Ask(window, text::kSourceGone + Detail(directory, source));
    return {result == Done ? Step::kRetry : Step::kFinished, result};
  }
  // Recorded, and durable, before the entry changes.
  const EntryIntent intent = g_intents.Take(
      host, source_path, MakeEntryRecord(host, directory, source, target, status));
  const uint64_t id = intent.record.id;
  // The times from before anything of this run looked at the file.
  status.access_time = intent.record.access_time;
  if (!journal.Commit()) return {Step::kFinished, JournalFailed(host)};

  const EntryResult renamed = RenameWithRetry(host, directory, source, target);
  if (renamed != Done) {
    journal.End(id);
    return {Step::kFinished, renamed};
  }
  // Directories, links, FIFOs, sockets and devices only change their names.
  if (status.is_directory || !status.is_regular) {
    journal.End(id);
    return {Step::kFinished, Done};
  }

  const FileStatus original = status;
  // The owner needs read and write permission for the transform; only a
  // file without it has its mode changed (and put back afterwards).
  const bool owner_may_update = (status.mode & 0600) == 0600;
  if (!owner_may_update && !SetFileStatus(target_path, WithOwnerReadWrite(status))) {
    // Unchanged contents: the old name is right again. Where it cannot be
    // given back, the entry stays in the journal for the repair.
    if (RenameEntry(target_path, source_path) == 0) journal.End(id);
    SetFileStatus(source_path, original);
    const EntryResult result =
        Ask(window, text::kAttributeFailed + Detail(directory, source));
    return {result == Done ? Step::kRetry : Step::kFinished, result};
  }

  const state::TransformOutcome transformed = state::TransformJournaled(
      crypter, journal, intent.record, target_path, intent.contents);
  const bool restored = SetFileStatus(target_path, original);

  switch (transformed) {
    case state::TransformOutcome::kDone:
      journal.End(id);
      host.m_job.m_nBytesDone += original.size;
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
      if (RenameEntry(target_path, source_path) == 0) {
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
      if (RenameEntry(target_path, source_path) == 0) journal.End(id);
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

}  // namespace

void AppendEntry(WideListBuffer& list, const std::u16string& path) {
  list.AppendString(path);
  const char16_t terminator = u'\0';
  list.Append(&terminator, sizeof terminator);
}

EntryResult ProcessEntryList(JobHost& host, WideListBuffer& list) {
  WideListBuffer::ResetSeparators();
  WideListBuffer::AddSeparator(u"");
  std::vector<std::u16string> entries;
  for (int32_t index = 0;; ++index) {
    std::u16string entry = list.NextToken(index);
    if (entry.empty()) break;
    entries.push_back(std::move(entry));
  }
  JobState& job = host.m_job;
  EntryResult outcome = Done;
  for (std::size_t index = 0; index < entries.size(); ++index) {
    // A stop request ends the run between entries, never inside one; the
    // exit pass always runs to its end.
    if (host.m_stopRequested && job.m_bExitPass == 0) {
      outcome = AbortRun;
      break;
    }
    if (index % kBatchEntries == 0) {
      g_intents.Clear(host);
      const std::size_t end = std::min(entries.size(), index + kBatchEntries);
      g_intents.Prepare(host, {entries.begin() + static_cast<std::ptrdiff_t>(index),
                               entries.begin() + static_cast<std::ptrdiff_t>(end)});
    }
    job.m_strCurrentEntry = entries[index];
    host.m_window.SetControlText(
        IDC_STATUS_SUB, Format(text::kProcessing, {job.m_nDone, job.m_nScanTotal}));
    const EntryResult result = ProcessEntry(host, entries[index]);
    if (result == Done) ++job.m_nDone;
    if (result == AbortRun) {
      outcome = AbortRun;
      break;
    }
  }
  g_intents.Clear(host);
  return outcome;
}

EntryResult ProcessEntry(JobHost& host, const std::u16string& path) {
  for (;;) {
    const Outcome outcome = AttemptEntry(host, path);
    if (outcome.step == Step::kFinished) return outcome.result;
  }
}

EntryResult RenameWithRetry(JobHost& host, const std::u16string& directory,
                            const std::u16string& source,
                            const std::u16string& target) {
  WindowPort& window = host.m_window;
  const std::u16string source_path = JoinPath(directory, source);
  const std::u16string target_path = JoinPath(directory, target);
  for (;;) {
    if (RenameEntry(source_path, target_path) == 0) return Done;

    FileStatus status{};
    // Diagnose in this order: the entry is gone, nothing carries the target
    // name (a lock or a permission), or something does (a collision).
    const bool source_exists = GetFileStatus(source_path, &status);
    FileStatus existing{};
    if (!source_exists || !GetFileStatus(target_path, &existing)) {
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
    const int removed = existing.is_directory ? RemoveEmptyDirectory(target_path)
                                              : RemoveFile(target_path);
    if (removed == 0) continue;
    const EntryResult result =
        Ask(window, Format(text::kRemoveFailed, {kind}) +
                        Format(text::kRemoveFailedDetail, {kind, directory, target}));
    if (result != Done) return result;
  }
}

}  // namespace velmora
