#include "job/entry_operation.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "job/entry_contents.h"
#include "job/entry_journal.h"
#include "job/entry_path.h"
#include "job/messages.h"
#include "job/problem_prompt.h"
#include "job/scan.h"
#include "job/walk_ahead.h"
#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/in_place_file.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "state/journaled_transform.h"
#include "state/helper_thread.h"
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

// The journal could not be written: nothing more may change. What was
// done before stays done, so the run ends as stopped, not as never begun.
EntryResult JournalFailed(JobHost& host) {
  host.m_window.MessageBox(
      Format(text::kStateFolderFailedDuringRun,
             {Utf16FromWtf8(state::StateFolderPath())}),
      MB_OK | MB_ICONERROR);
  return AbortRun;
}

// Names of the file inside the tree, as the scan counted them.
uint64_t LinksInside(const JobHost& host, const FileStatus& status) {
  const auto it = host.m_linksInside.find({status.device, status.inode});
  return it == host.m_linksInside.end() ? 0 : it->second;
}

// True when |name| is in the state the run asks for because the repair
// before the run just put it back there: done, not a problem.
bool RepairedToRequestedState(const JobHost& host, const Folder& folder, int32_t error,
                              const std::u16string& name) {
  const int32_t requested_already =
      host.m_job.m_nMode == 0 ? ERR_ALREADY_ENCRYPTED : ERR_NOT_ENCRYPTED;
  FileStatus status{};
  return error == requested_already && !host.m_repairedInodes.empty() &&
         folder.Status(name, &status) && host.m_repairedInodes.count(status.inode) != 0;
}

// A regular file that carries its new name, its contents still to come.
struct RenamedFile {
  std::u16string path;  // as the walk found it, for a retry
  std::u16string directory;
  std::u16string source;
  std::u16string target;
  uint64_t id;  // its journal entry
  FileStatus status;
  int64_t range_bytes;
};

// Nothing is written: the old name is right again. Where it cannot be
// given back, the entry stays in the journal for the repair. |quiet|
// after an answer aborted the run: no question, the entry is skipped.
Outcome GiveBack(JobHost& host, const Folder& folder, const RenamedFile& file,
                 std::u16string_view message, bool quiet) {
  if (folder.Rename(file.target, file.source) == 0) host.m_journal->End(file.id);
  if (quiet) return {Step::kFinished, Skipped};
  const EntryResult result =
      Ask(host.m_window, std::u16string(message) + Detail(file.directory, file.source));
  return {result == Done ? Step::kRetry : Step::kFinished, result};
}

// Why the contents of |name| in |directory| were left as they were: the
// open failed (F1), or a read or write on the way, for the system's reason.
std::u16string UntransformedMessage(const ContentResult& contents,
                                    const std::u16string& directory,
                                    const std::u16string& name) {
  const InPlaceFile::Failure& failure = contents.failure;
  if (failure.operation == InPlaceFile::Operation::kNone) {
    return text::kOpenFailed + Detail(directory, name);
  }
  std::u16string message =
      (failure.operation == InPlaceFile::Operation::kRead ? text::kReadFailed
                                                          : text::kWriteFailed) +
      Detail(directory, name);
  if (failure.error != 0) {
    message += Format(text::kReason, {Utf16FromWtf8(std::strerror(failure.error))});
  }
  return message;
}

// What the content part of |file| came to, told to the user. |counted|
// when the transform counted its bytes in m_nBytesDone itself; |quiet| as
// above.
Outcome FinishContents(JobHost& host, const Folder& folder, const RenamedFile& file,
                       const ContentResult& contents, bool counted, bool quiet) {
  WindowPort& window = host.m_window;
  state::Journal& journal = *host.m_journal;
  const std::u16string& directory = file.directory;
  const std::u16string& source = file.source;
  const std::u16string& target = file.target;
  const uint64_t id = file.id;
  const int64_t size = file.status.size;
  if (contents.changed) return GiveBack(host, folder, file, text::kChangedDuringRun, quiet);
  switch (contents.transformed) {
    case state::TransformOutcome::kDone:
      journal.End(id);
      // The bytes past a head-only range count as done too: the scan's
      // total holds whole files.
      host.m_job.m_nBytesDone +=
          counted ? size - std::min<int64_t>(size, file.range_bytes) : size;
      if (!contents.restored && !quiet) {
        // Name and contents agree; only the mode or times are off. Say
        // which file, and count it as done.
        window.MessageBox(
            std::u16string(text::kStatusNotRestored) + Detail(directory, target),
            MB_OK | MB_ICONWARNING);
      }
      return {Step::kFinished, Done};
    case state::TransformOutcome::kUntouched:
    case state::TransformOutcome::kReversed:
      // The contents are as they were: the old name is right again, and a
      // retry is safe.
      if (folder.Rename(target, source) == 0) {
        journal.End(id);
        if (quiet) return {Step::kFinished, Skipped};
        const EntryResult result =
            Ask(window, UntransformedMessage(contents, directory, source));
        return {result == Done ? Step::kRetry : Step::kFinished, result};
      }
      // Old bytes under the new name: left for the repair to rename.
      if (quiet) return {Step::kFinished, Skipped};
      return {Step::kFinished,
              Ask(window, UntransformedMessage(contents, directory, target),
                  MB_ABORTIGNORE)};
    case state::TransformOutcome::kJournalFailed:
      if (folder.Rename(target, source) == 0) journal.End(id);
      return {Step::kFinished, quiet ? Skipped : JournalFailed(host)};
    case state::TransformOutcome::kLeftForRepair:
      break;
  }
  // Part of the contents is transformed and could not be put back. The
  // journal keeps the entry: the next run with this password repairs it.
  if (quiet) return {Step::kFinished, Skipped};
  const EntryResult result =
      Ask(window, text::kContentLeftForRepair + Detail(directory, target),
          MB_ABORTIGNORE);
  return {Step::kFinished, result == Done ? Skipped : result};
}

// One attempt at the whole operation; kRetry asks the caller to start over.
// |intents| holds what was recorded ahead for the entry.
Outcome AttemptEntry(JobHost& host, IntentBatch& intents, const Folder& folder,
                     const std::u16string& path) {
  Crypter& crypter = host.m_crypter;
  WindowPort& window = host.m_window;
  state::Journal& journal = *host.m_journal;

  const std::u16string directory = ParentOf(path);
  const std::u16string name = NameOf(path);
  crypter.SetDirectory(directory);
  crypter.ConvertName(name, static_cast<uint32_t>(host.m_job.m_nMode));
  if (crypter.m_nError != ERR_NONE) {
    if (RepairedToRequestedState(host, folder, crypter.m_nError, name)) {
      return {Step::kFinished, Done};
    }
    return {Step::kFinished,
            PromptProblem(host, crypter.m_nError, crypter.GetDirectory(),
                          crypter.GetSourceName())};
  }
  const std::u16string source = crypter.GetSourceName();
  const std::u16string target = crypter.GetTargetName();

  FileStatus status{};
  if (!intents.PreparedStatus(path, &status) && !folder.Status(source, &status)) {
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
  const EntryIntent intent = intents.Take(
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

  // A file that may be written as it is (its owner's, or another's that
  // grants it) keeps its mode; only where that fails is owner read and
  // write permission added, and put back afterwards.
  const RenamedFile entry{path, directory, source, target, id, status, intent.record.range_bytes};
  std::shared_ptr<InPlaceFile> file = intent.file;
  bool granted = false;
  if (file == nullptr) {
    file = std::make_shared<InPlaceFile>(folder, target, InPlaceFile::kReadWriteAhead);
    if (!file->IsOpen() && file->OpenError() == ELOOP) {
      // A link swapped in for the file since its status was read.
      return GiveBack(host, folder, entry, text::kChangedDuringRun, false);
    }
    if (!file->IsOpen() && file->OpenError() == EACCES) {
      if (ChangeMode(folder, target, status, status.mode | 0600) != 0) {
        return GiveBack(host, folder, entry, text::kAttributeFailed, false);
      }
      granted = true;
      file = std::make_shared<InPlaceFile>(folder, target,
                                           InPlaceFile::kReadWriteAhead);
    }
  }
  if (!file->IsOpen()) {
    if (granted) ChangeMode(folder, target, status, status.mode);
    return GiveBack(host, folder, entry, text::kOpenFailed, false);
  }
  const ContentResult contents =
      TransformEntryContents(crypter, journal, folder, intent, *file, status, target, granted,
                             &host.m_job.m_nBytesDone, true);
  return FinishContents(host, folder, entry, contents, true, false);
}

// Content parts of small files handed to a worker beside the walk, in walk
// order (when the walk waits for them, it transforms the last ones
// itself); their results are taken back, and told to the user, in the
// same order, before the walk asks anything else. After an answer that aborts
// the run, the rest are taken back without questions: done, or given back
// their old names.
//
// Ending a pipeline is the caller's step, Finish(), whose answer counts: a
// destructor asks nothing, so it only takes back quietly what a caller
// left (a mistake).
class ContentPipeline {
 public:
  // A retry takes what |intents| recorded ahead for its entry.
  ContentPipeline(JobHost& host, IntentBatch& intents, const Folder& folder)
      : host_(host), intents_(intents), folder_(folder) {}
  ~ContentPipeline() {
    assert(pending_.empty());
    TakeBack(true);
  }
  ContentPipeline(const ContentPipeline&) = delete;
  ContentPipeline& operator=(const ContentPipeline&) = delete;

  // Hands over |file|, renamed already; its intention carries the file
  // opened and read ahead.
  void Hand(RenamedFile file, EntryIntent intent) {
    pending_.emplace_back(std::move(file), std::move(intent));
    if (pending_.size() - started_ >= kEntriesPerStart) StartPending();
  }

  // True when the caller should Finish() before handing over more.
  bool full() const { return pending_.size() >= kMostPending; }

  // Takes every result back, in order, counting each entry done; an
  // answer that fails an entry is retried on the spot. AbortRun when an
  // answer stops the run.
  EntryResult Finish() { return TakeBack(false); }

 private:
  // Entries handed to the worker at once: waking it for each would cost
  // more than a small file's contents.
  static constexpr std::size_t kEntriesPerStart = 8;
  // Entries handed over and not yet taken back: each holds its journal
  // entry and, until the worker gets to it, an open file.
  static constexpr std::size_t kMostPending = 128;

  // Finish(), or with |quiet| the same without a question or a retry.
  EntryResult TakeBack(bool quiet) {
    if (pending_.empty()) return Done;
    StartPending();
    // Nothing else to do meanwhile: the walk takes entries from the back
    // while the worker goes on from the front.
    for (auto entry = pending_.rbegin(); entry != pending_.rend(); ++entry) Transform(*entry);
    worker_->Wait();
    EntryResult outcome = quiet ? AbortRun : Done;
    for (Pending& entry : pending_) {
      const Outcome finished = FinishContents(host_, folder_, entry.file, entry.result, false,
                                              outcome == AbortRun);
      EntryResult result = finished.result;
      if (finished.step == Step::kRetry) result = ProcessEntry(host_, intents_, folder_, entry.file.path);
      if (result == Done) ++host_.m_job.m_nDone;
      if (result == AbortRun) outcome = AbortRun;
    }
    pending_.clear();
    started_ = 0;
    return outcome;
  }

  // Starts the work on the entries handed over since the last start.
  void StartPending() {
    if (started_ == pending_.size()) return;
    if (!worker_) worker_ = std::make_unique<state::HelperThread>();
    // The entries themselves, not the queue, which grows meanwhile.
    std::vector<Pending*> entries;
    for (; started_ < pending_.size(); ++started_) entries.push_back(&pending_[started_]);
    worker_->Start([this, entries = std::move(entries)] {
      for (Pending* entry : entries) Transform(*entry);
    });
  }

  struct Pending {
    Pending(RenamedFile renamed, EntryIntent recorded)
        : file(std::move(renamed)), intent(std::move(recorded)) {}
    RenamedFile file;
    EntryIntent intent;  // with the file opened ahead
    ContentResult result;
    std::atomic<bool> claimed{false};  // by the thread that transforms it
  };

  // Transforms |entry| unless another thread has claimed it.
  void Transform(Pending& entry) {
    if (entry.claimed.exchange(true, std::memory_order_acq_rel)) return;
    entry.result = TransformEntryContents(host_.m_crypter, *host_.m_journal, folder_, entry.intent,
                                          *entry.intent.file, entry.file.status,
                                          entry.file.target, false, nullptr, false);
    entry.intent.file.reset();
    entry.intent.contents = {};
  }

  JobHost& host_;
  IntentBatch& intents_;
  const Folder& folder_;
  std::deque<Pending> pending_;  // references stay valid as it grows
  std::size_t started_ = 0;      // entries of pending_ handed to the worker
  std::unique_ptr<state::HelperThread> worker_;
};

// The common case of a small file recorded ahead, opened and read, on a
// walk that has asked nothing about it: renamed, and its contents handed
// to |pipeline|. False, with nothing changed, for anything out of the
// ordinary: the caller then takes the entry the long way. |path| is an
// entry of |folder|, at |directory|, recorded ahead in |intents|.
bool HandOverEntry(JobHost& host, IntentBatch& intents, const Folder& folder,
                   const std::u16string& directory, const std::u16string& path,
                   ContentPipeline& pipeline) {
  EntryIntent intent;
  if (!intents.TakeOpened(path, &intent)) return false;
  fault_injection::BeforeEntry(path);
  if (!intent.durable || folder.Rename(intent.source, intent.target) != 0) {
    host.m_journal->End(intent.record.id);
    return false;
  }
  host.m_crypter.ShowProgressOf(directory, intent.source, intent.target, 0,
                                intent.record.cipher_size);
  RenamedFile file{path,          directory,        intent.source,
                   intent.target, intent.record.id, intent.status,
                   intent.record.range_bytes};
  pipeline.Hand(std::move(file), std::move(intent));
  return true;
}

}  // namespace

EntryResult ProcessEntryList(JobHost& host, WalkAhead& ahead, const Folder& folder,
                             const std::u16string& directory,
                             const FolderListing& entries) {
  JobState& job = host.m_job;
  EntryResult outcome = Done;
  IntentBatch& intents = ahead.intents();
  ContentPipeline pipeline(host, intents, folder);
  for (std::size_t index = 0; index < entries.size(); ++index) {
    // A stop request ends the run between entries, never inside one; the
    // exit pass always runs to its end.
    if (host.m_stopRequested && job.m_bExitPass == 0) {
      outcome = AbortRun;
      break;
    }
    if (pipeline.full() && pipeline.Finish() == AbortRun) {
      outcome = AbortRun;
      break;
    }
    if (index % kBatchEntries == 0) ahead.BeginBatch(folder, directory, entries, index);
    if (entries.LeftAlone(index)) continue;
    job.m_strCurrentEntry = JoinPath(directory, entries.Name(index));
    host.m_window.SetControlText(
        IDC_STATUS_SUB, Format(text::kProcessing, {job.m_nDone, job.m_nScanTotal}));
    if (HandOverEntry(host, intents, folder, directory, job.m_strCurrentEntry, pipeline)) {
      continue;
    }
    // Whatever this entry asks comes after the answers of those before it.
    if (pipeline.Finish() == AbortRun) {
      outcome = AbortRun;
      break;
    }
    const EntryResult result = ProcessEntry(host, intents, folder, job.m_strCurrentEntry);
    if (result == Done) ++job.m_nDone;
    if (result == AbortRun) {
      outcome = AbortRun;
      break;
    }
  }
  if (pipeline.Finish() == AbortRun) outcome = AbortRun;
  ahead.EndList(outcome == AbortRun);
  return outcome;
}

EntryResult ProcessEntry(JobHost& host, IntentBatch& intents, const Folder& folder,
                         const std::u16string& path) {
  for (;;) {
    const Outcome outcome = AttemptEntry(host, intents, folder, path);
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
        MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
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
