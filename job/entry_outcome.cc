#include "job/entry_outcome.h"

#include <algorithm>
#include <cstring>

#include "job/messages.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "state/journaled_transform.h"
#include "state/state_folder.h"

namespace velmora {
namespace {

// Maps an Abort/Retry/Ignore (or Abort/Ignore) answer; Retry comes back as
// kDone so that the caller loops.
EntryResult AnswerToResult(Answer answer) {
  if (answer == Answer::kRetry) return EntryResult::kDone;
  if (answer == Answer::kIgnore) return EntryResult::kSkipped;
  return EntryResult::kAbortRun;
}

// Why the contents of |name| in |directory| were left as they were: the
// open failed (F1), or a read or write on the way, for the system's reason.
std::u16string UntransformedMessage(const ContentResult& contents, const std::u16string& directory,
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

// The contents of |file| are transformed: its entry ends, and its bytes
// count as done.
EntryOutcome ContentsDone(JobHost& host, const RenamedFile& file, const ContentResult& contents,
                          bool counted, bool quiet) {
  host.journal_->End(file.id);
  const int64_t size = file.status.size;
  // The bytes past a head-only range count as done too: the scan's total
  // holds whole files.
  host.job_.bytes_done += counted ? size - std::min<int64_t>(size, file.range_bytes) : size;
  if (!contents.restored && !quiet) {
    // Name and contents agree; only the mode or times are off. Say which
    // file, and count it as done.
    host.questions_->Notify(
        {.id = QuestionId::kNotRestored,
         .text = std::u16string(text::kStatusNotRestored) + Detail(file.directory, file.target),
         .icon = Icon::kWarning});
  }
  return {EntryStep::kFinished, EntryResult::kDone};
}

// The contents of |file| are as they were: the old name is right again,
// and a retry is safe.
EntryOutcome ContentsUntouched(JobHost& host, const Folder& folder, const RenamedFile& file,
                               const ContentResult& contents, bool quiet) {
  if (folder.Rename(file.target, file.source).ok()) {
    host.journal_->End(file.id);
    if (quiet) return {EntryStep::kFinished, EntryResult::kSkipped};
    const EntryResult result =
        AskAboutFailure(host, UntransformedMessage(contents, file.directory, file.source));
    return {result == EntryResult::kDone ? EntryStep::kRetry : EntryStep::kFinished, result};
  }
  // Old bytes under the new name: left for the repair to rename.
  if (quiet) return {EntryStep::kFinished, EntryResult::kSkipped};
  return {EntryStep::kFinished,
          AskAboutFailure(host, UntransformedMessage(contents, file.directory, file.target),
                          Buttons::kAbortIgnore)};
}

}  // namespace

std::u16string Detail(const std::u16string& directory, const std::u16string& name) {
  return Format(text::kDetail, {directory, name});
}

EntryResult AskAboutFailure(JobHost& host, const std::u16string& message, Buttons buttons) {
  return AnswerToResult(host.questions_->Ask(
      {.id = QuestionId::kEntryFailed, .text = message, .buttons = buttons, .icon = Icon::kError}));
}

EntryResult JournalFailed(JobHost& host) {
  host.questions_->Notify(
      {.id = QuestionId::kJournalFailed,
       .text = Format(text::kStateFolderFailedDuringRun, {Utf16FromWtf8(state::StateFolderPath())}),
       .icon = Icon::kError});
  return EntryResult::kAbortRun;
}

EntryOutcome GiveBack(JobHost& host, const Folder& folder, const RenamedFile& file,
                      std::u16string_view message, bool quiet) {
  if (folder.Rename(file.target, file.source).ok()) host.journal_->End(file.id);
  if (quiet) return {EntryStep::kFinished, EntryResult::kSkipped};
  const EntryResult result =
      AskAboutFailure(host, std::u16string(message) + Detail(file.directory, file.source));
  return {result == EntryResult::kDone ? EntryStep::kRetry : EntryStep::kFinished, result};
}

EntryOutcome FinishContents(JobHost& host, const Folder& folder, const RenamedFile& file,
                            const ContentResult& contents, bool counted, bool quiet) {
  if (contents.changed) return GiveBack(host, folder, file, text::kChangedDuringRun, quiet);
  switch (contents.transformed) {
    case state::TransformOutcome::kDone:
      return ContentsDone(host, file, contents, counted, quiet);
    case state::TransformOutcome::kUntouched:
    case state::TransformOutcome::kReversed:
      return ContentsUntouched(host, folder, file, contents, quiet);
    case state::TransformOutcome::kJournalFailed:
      if (folder.Rename(file.target, file.source).ok()) host.journal_->End(file.id);
      return {EntryStep::kFinished, quiet ? EntryResult::kSkipped : JournalFailed(host)};
    case state::TransformOutcome::kLeftForRepair:
      break;
  }
  // Part of the contents is transformed and could not be put back. The
  // journal keeps the entry: the next run with this password repairs it.
  if (quiet) return {EntryStep::kFinished, EntryResult::kSkipped};
  const EntryResult result =
      AskAboutFailure(host, text::kContentLeftForRepair + Detail(file.directory, file.target),
                      Buttons::kAbortIgnore);
  return {EntryStep::kFinished, result == EntryResult::kDone ? EntryResult::kSkipped : result};
}

}  // namespace velmora
