#include "job/run_job.h"

#include <cstdlib>
#include <optional>

#include "job/media_check.h"
#include "job/messages.h"
#include "job/run_progress.h"
#include "job/run_questions.h"
#include "job/target_policy.h"
#include "job/walks.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/helper_thread.h"
#include "platform/secret_memory.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "state/left_decrypted.h"
#include "state/password_verifier.h"
#include "state/recovery.h"
#include "state/state_folder.h"

namespace velmora {
namespace {

// The root of the file system is never a target, however it is spelled.
bool IsFileSystemRoot(const std::u16string& path) {
  return state::RealPath(Wtf8FromUtf16(path)) == "/";
}

bool Finish(JobHost& host, RunOutcome outcome) {
  host.last_run_outcome_ = outcome;
  // A run that ends before its walk holds nothing.
  if (host.journal_ == nullptr) host.run_lock_.reset();
  return false;
}

// An OK-only box.
void Tell(JobHost& host, QuestionId id, std::u16string text, Icon icon) {
  host.questions_->Notify({.id = id, .text = std::move(text), .icon = icon});
}

// A Yes/No question; true for Yes. |careful|: No is the default.
bool Agrees(JobHost& host, QuestionId id, std::u16string text, bool careful) {
  return host.questions_->Ask({.id = id,
                               .text = std::move(text),
                               .buttons = Buttons::kYesNo,
                               .icon = Icon::kQuestion,
                               .second_is_default = careful}) == Answer::kYes;
}

// A target refused with a notice.
bool Refuse(JobHost& host, QuestionId id, std::u16string text,
            RunOutcome outcome = RunOutcome::kInvalidTarget) {
  Tell(host, id, std::move(text), Icon::kWarning);
  return Finish(host, outcome);
}

std::u16string Wide(const std::string& bytes) { return Utf16FromWtf8(bytes); }

// The state folder as a message shows it.
std::u16string StateFolderText() { return Wide(state::StateFolderPath()); }

bool StateFolderFailed(JobHost& host) {
  Tell(host, QuestionId::kStateFolderFailed, Format(text::kStateFolderFailed, {StateFolderText()}),
       Icon::kError);
  return Finish(host, RunOutcome::kStateFailed);
}

// Takes the tree for this run, before any question is asked.
bool HoldTree(JobHost& host, const std::u16string& typed) {
  const std::string real = state::RealPath(Wtf8FromUtf16(typed));
  if (real.empty()) {
    return Refuse(host, QuestionId::kPathMissing, Format(text::kPathMissing, {typed}));
  }
  const char* home = std::getenv("HOME");
  switch (JudgeTarget(real, home != nullptr ? state::RealPath(home) : std::string())) {
    case TargetPolicy::kSystemFolder:
      return Refuse(host, QuestionId::kSystemFolder, Format(text::kSystemFolder, {typed}));
    case TargetPolicy::kTopFolder:
      return Refuse(host, QuestionId::kTopFolder, Format(text::kTopFolder, {typed}));
    case TargetPolicy::kAllowed:
      break;
  }
  switch (state::PlaceOfStateFolder(real)) {
    case state::StateFolderPlace::kHolds:
      return Refuse(host, QuestionId::kHoldsStateFolder,
                    Format(text::kHoldsStateFolder, {StateFolderText(), typed}));
    case state::StateFolderPlace::kInside:
      return Refuse(host, QuestionId::kInsideStateFolder,
                    Format(text::kInsideStateFolder, {StateFolderText(), typed}));
    case state::StateFolderPlace::kApart:
      break;
  }
  if (host.run_lock_ != nullptr && host.run_lock_->tree() == real) return true;
  host.journal_.reset();
  host.run_lock_.reset();
  std::string holder;
  switch (state::RunLock::Acquire(real, &host.run_lock_, &holder)) {
    case state::RunLock::Result::kHeld:
      host.tree_real_path_ = real;
      return true;
    case state::RunLock::Result::kBusy:
      return Refuse(host, QuestionId::kTreeInUse, Format(text::kTreeInUse, {Wide(holder)}),
                    RunOutcome::kInUse);
    case state::RunLock::Result::kNoStateFolder:
      break;
  }
  return StateFolderFailed(host);
}

std::u16string PathLines(const std::vector<std::string>& paths) {
  std::u16string lines;
  for (const std::string& path : paths) {
    if (!lines.empty()) lines += u"\r\n";
    lines += Wide(path);
  }
  return lines;
}

// Brings entries an interrupted run left half-done back to a consistent
// state, with this run's password.
bool RepairInterruptedRun(JobHost& host, state::PendingRepair& repair) {
  const state::RepairReport report = repair.Run(host.crypter_, host.stop_requested_);
  host.repaired_inodes_.insert(report.repaired_inodes.begin(), report.repaired_inodes.end());
  if (!report.repaired.empty()) {
    // Not a summary: a warning that the last run did not finish.
    Tell(host, QuestionId::kRepaired, Format(text::kRepaired, {PathLines(report.repaired)}),
         Icon::kWarning);
  }
  switch (report.status) {
    case state::RepairReport::Status::kClean:
      return true;
    case state::RepairReport::Status::kWrongPassword:
      Tell(host, QuestionId::kRepairWrongPassword, text::kRepairWrongPassword, Icon::kError);
      return Finish(host, RunOutcome::kRepairRefused);
    case state::RepairReport::Status::kFailed:
      Tell(host, QuestionId::kRepairFailed, Format(text::kRepairFailed, {PathLines(report.failed)}),
           Icon::kError);
      return Finish(host, RunOutcome::kStateFailed);
    case state::RepairReport::Status::kTreeAbove:
      Tell(host, QuestionId::kRepairTreeAbove,
           Format(text::kRepairTreeAbove, {Wide(report.tree_above)}), Icon::kWarning);
      return Finish(host, RunOutcome::kStateFailed);
    case state::RepairReport::Status::kStopped:
      Tell(host, QuestionId::kRepairStopped, text::kRepairStopped, Icon::kWarning);
      return Finish(host, RunOutcome::kStopped);
  }
  return true;
}

bool Deciphers(const Crypter& crypter, const std::u16string& name) {
  return crypter.ConvertName(name, Direction::kDecrypt).ok();
}

// A mistyped password can decipher every name shorter than it: past a
// name's length only the odd bits of each unit reach it. The scan's longest
// name, the account's verifier for these name keys, or the person decides
// whether this is the password that encrypted the tree, before anything
// changes. False when the run ends here.
bool PasswordHolds(JobHost& host) {
  JobState& job = host.job_;
  Crypter& crypter = host.crypter_;
  if (job.scan_encrypted == 0) return true;  // no name to decipher
  const bool longest_deciphers = Deciphers(crypter, job.scan_longest_name);
  if (longest_deciphers && state::NameCoversPassword(crypter, job.scan_longest_name)) {
    return true;
  }
  // Slow only where a verifier shares these name keys: the password either
  // is the one that encrypted or is one unit off.
  switch (state::CheckPassword(crypter, state::IdentifyTree(crypter, host.tree_real_path_))) {
    case state::PasswordMatch::kMatches:
      return true;
    case state::PasswordMatch::kDiffers:
      Tell(host, QuestionId::kPasswordDiffers, text::kPasswordDiffers, Icon::kError);
      return Finish(host, RunOutcome::kWrongPassword);
    case state::PasswordMatch::kUnproven:
      if (Agrees(host, QuestionId::kPasswordUnproven, text::kPasswordUnproven, true)) {
        return true;
      }
      return Finish(host, RunOutcome::kPasswordUnchecked);
    case state::PasswordMatch::kNoRecord:
      break;
  }
  // Refused by every name, short ones included: the walk refuses them one
  // by one and changes nothing.
  if (!longest_deciphers && !Deciphers(crypter, job.scan_shortest_name)) {
    return true;
  }
  if (Agrees(host, QuestionId::kPasswordUnchecked, text::kPasswordUnchecked, true)) {
    return true;
  }
  return Finish(host, RunOutcome::kPasswordUnchecked);
}

// The target as the request names it, checked and held; false when the
// run ends here.
bool TakeTarget(JobHost& host, const RunRequest& request) {
  std::u16string checked = request.target;
  switch (CheckTarget(&checked)) {
    case TargetCheck::kEmpty:
    case TargetCheck::kMissing:
      return Refuse(host, QuestionId::kPathMissing, Format(text::kPathMissing, {checked}));
    case TargetCheck::kFile:
      return Refuse(host, QuestionId::kPathIsFile, Format(text::kPathIsFile, {checked}));
    case TargetCheck::kFileSystemRoot:
      return Refuse(host, QuestionId::kSystemFolder, Format(text::kSystemFolder, {checked}));
    case TargetCheck::kDirectory:
      break;
  }
  return HoldTree(host, checked);
}

// False when the scan found nothing to do and no repair is pending.
bool HasWork(JobHost& host, bool repair_pending) {
  const JobState& job = host.job_;
  if (repair_pending) return true;
  if (job.mode == 0 && job.scan_plain == 0) {
    return Refuse(host, QuestionId::kNothingToEncrypt, text::kNothingToEncrypt,
                  RunOutcome::kNothingToDo);
  }
  if (job.mode == 1 && job.scan_encrypted == 0) {
    return Refuse(host, QuestionId::kNothingToDecrypt, text::kNothingToDecrypt,
                  RunOutcome::kNothingToDo);
  }
  return true;
}

// The warnings about a tree partly done already; false when declined.
bool MixedTreeAccepted(JobHost& host) {
  const JobState& job = host.job_;
  if (job.mode == 0 && job.scan_encrypted != 0 &&
      !Agrees(host, QuestionId::kMixedEncrypted,
              Format(text::kMixedEncrypted, {job.scan_encrypted}), false)) {
    return Finish(host, RunOutcome::kDeclined);
  }
  if (job.mode == 1 && job.scan_plain != 0 &&
      !Agrees(host, QuestionId::kMixedPlain, Format(text::kMixedPlain, {job.scan_plain}), false)) {
    return Finish(host, RunOutcome::kDeclined);
  }
  return true;
}

// An encryption's verifier, hashed on a helper from when the password is
// known, beside the repair, the journal's start and the walk; not at all
// when a name of the tree will check the whole password.
struct VerifierAhead {
  state::PendingVerifier verifier;
  std::optional<HelperThread> helper;  // last: ends before |verifier| goes

  void Start(JobHost& host) {
    const std::u16string& plain = host.job_.scan_longest_plain_name;
    const NameConversion cipher = host.crypter_.ConvertName(plain, Direction::kEncrypt);
    if (!plain.empty() && cipher.ok() && state::NameCoversPassword(host.crypter_, cipher.target)) {
      return;
    }
    helper.emplace();
    helper->Start([this, &host] { verifier.Prepare(host.crypter_); });
  }
};

// Steps before the walk; false when the run ends there.
bool PrepareRun(JobHost& host, const RunRequest& request, VerifierAhead& ahead) {
  JobState& job = host.job_;
  Crypter& crypter = host.crypter_;
  if (!TakeTarget(host, request)) return false;

  job.mode = request.operation == Operation::kEncrypt ? 0 : 1;
  crypter.set_listed_extensions(request.extension_rule == ExtensionRule::kHeadOfListed
                                    ? ListedExtensions::kHeadOnly
                                    : ListedExtensions::kWhole);
  if (request.exit_pass) {
    // Normally the temporary decryption's journal; a fresh one otherwise.
    if (host.journal_ == nullptr) {
      host.journal_ = state::Journal::Start(host.tree_real_path_);
      if (host.journal_ == nullptr) return StateFolderFailed(host);
    }
    return true;
  }

  // An interrupted run may have left the tree looking done: its repair
  // needs the password, so nothing counts as nothing to do then.
  state::PendingRepair repair = state::PendingRepair::Load(host.tree_real_path_);
  if (!HasWork(host, repair.needed())) return false;
  if (!MediaAccepted(host)) return Finish(host, RunOutcome::kInvalidTarget);

  // Reserved past the short-string buffer, so that even a short password
  // lives in locked pages until the engine has its own locked copy.
  SecretU16 password;
  password.reserve(kSecretReserve);
  if (!host.questions_->AskPassword(&password)) {
    return Finish(host, RunOutcome::kCancelled);
  }
  crypter.SetPassword(password);
  WipeString(&password);
  if (job.mode == 0) ahead.Start(host);
  if (job.mode == 1 && !PasswordHolds(host)) return false;
  if (!RepairInterruptedRun(host, repair)) return false;
  if (!MixedTreeAccepted(host)) return false;
  // A temporary decryption is recorded before anything is deciphered, so
  // that a tree it leaves behind is found again.
  if (request.operation == Operation::kTemporary &&
      !state::RecordLeftDecrypted(host.tree_real_path_)) {
    return StateFolderFailed(host);
  }
  host.journal_ = state::Journal::Start(host.tree_real_path_);
  if (host.journal_ == nullptr) return StateFolderFailed(host);
  return true;
}

// Binds the tree to its password's record. The tree is enciphered either
// way; without the record its next decryption cannot check the password,
// which the person is told now rather than then.
void RecordPassword(JobHost& host, const state::PendingVerifier& verifier) {
  const state::TreeIdentity tree = state::IdentifyTree(host.crypter_, host.tree_real_path_);
  if (verifier.Write(tree, host.job_.scan_encrypted == 0)) return;
  Tell(host, QuestionId::kPasswordNotRecorded,
       Format(text::kPasswordNotRecorded, {StateFolderText()}), Icon::kWarning);
}

// Walks the tree; an encryption's password is recorded after it.
void Walk(JobHost& host, const RunRequest& request, const std::u16string& target,
          VerifierAhead& ahead) {
  JobState& job = host.job_;
  job.done = 0;
  job.bytes_done = 0;
  job.found = 0;
  job.already_enciphered = 0;
  job.wrong_password = 0;
  if (job.mode == 0) {
    EncryptWalk(host, target);
  } else {
    DecryptWalk(host, target);
  }
  if (ahead.helper) ahead.helper->Wait();
  if (job.mode == 0 && !request.exit_pass && host.journal_->begun() > 0) {
    RecordPassword(host, ahead.verifier);
  }
}

}  // namespace

TargetCheck CheckTarget(std::u16string* path) {
  if (*path == u"/") return TargetCheck::kFileSystemRoot;
  if (!path->empty() && path->back() == u'/') path->pop_back();
  if (path->empty()) return TargetCheck::kEmpty;
  if (IsFileSystemRoot(*path)) return TargetCheck::kFileSystemRoot;
  if (Folder::Open(*path).IsOpen()) return TargetCheck::kDirectory;
  FileStatus status{};
  if (!GetFileStatus(*path, &status)) return TargetCheck::kMissing;
  return status.is_directory ? TargetCheck::kDirectory : TargetCheck::kFile;
}

std::u16string SummaryText(const RunSummary& summary) {
  return summary.all_done() ? Format(text::kAllDone, {summary.done, summary.found})
                            : Format(text::kSomeDone, {summary.found, summary.done});
}

void RunJob(JobHost& host, const RunRequest& request, RunQuestions& questions,
            RunProgress& progress) {
  JobState& job = host.job_;
  host.questions_ = &questions;
  host.progress_ = &progress;
  for (int32_t& flag : job.dont_show_again) flag = 0;
  host.repaired_inodes_.clear();
  VerifierAhead ahead;  // waited for on every way out
  if (!PrepareRun(host, request, ahead)) return;

  job.running = 1;
  progress.WalkStarted();
  Walk(host, request, request.target, ahead);
  progress.WalkEnded();
  job.running = 0;

  // The exit pass finds enciphered what a stop or a skip of the decryption
  // left so: as it should be, so counted as done there (only there).
  const RunSummary summary{job.done + (request.exit_pass ? job.already_enciphered : 0), job.found};
  host.journal_->Commit();
  // Every entry enciphered now: the tree is no longer left decrypted.
  if (job.mode == 0 && job.found == job.done + job.already_enciphered) {
    state::ClearLeftDecrypted(host.tree_real_path_);
  }
  const bool waiting = request.operation == Operation::kTemporary;
  if (!waiting) {
    // The journal stays on disk for the next run to retire; the tree is
    // free again.
    host.journal_.reset();
    host.run_lock_.reset();
  }
  progress.RunSummarized(summary);
  host.last_run_outcome_ = summary.all_done()                        ? RunOutcome::kAllDone
                           : job.done == 0 && job.wrong_password > 0 ? RunOutcome::kWrongPassword
                                                                     : RunOutcome::kSomeDone;
  questions.Notify(
      {.id = QuestionId::kSummary, .text = SummaryText(summary), .icon = Icon::kInformation});
  if (waiting) progress.Waiting();
  progress.RunEnded();
}

}  // namespace velmora
