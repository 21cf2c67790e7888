#include "job/run_job.h"

#include <cstdlib>
#include <optional>

#include "job/messages.h"
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
  host.m_lastRunOutcome = outcome;
  // A run that ends before its walk holds nothing.
  if (host.m_journal == nullptr) host.m_runLock.reset();
  return false;
}

std::u16string Wide(const std::string& bytes) { return Utf16FromWtf8(bytes); }

// The state folder as a message shows it.
std::u16string StateFolderText() { return Wide(state::StateFolderPath()); }

bool StateFolderFailed(JobHost& host) {
  host.m_window.MessageBox(Format(text::kStateFolderFailed, {StateFolderText()}),
                           MB_OK | MB_ICONERROR);
  return Finish(host, RunOutcome::kStateFailed);
}

// Takes the tree for this run, before any question is asked.
bool HoldTree(JobHost& host, const std::u16string& typed) {
  WindowPort& window = host.m_window;
  const std::string real = state::RealPath(Wtf8FromUtf16(typed));
  if (real.empty()) {
    window.MessageBox(Format(text::kPathMissing, {typed}), MB_OK | MB_ICONEXCLAMATION);
    return Finish(host, RunOutcome::kInvalidTarget);
  }
  const char* home = std::getenv("HOME");
  switch (JudgeTarget(real, home != nullptr ? state::RealPath(home) : std::string())) {
    case TargetPolicy::kSystemFolder:
      window.MessageBox(Format(text::kSystemFolder, {typed}), MB_OK | MB_ICONEXCLAMATION);
      return Finish(host, RunOutcome::kInvalidTarget);
    case TargetPolicy::kTopFolder:
      window.MessageBox(Format(text::kTopFolder, {typed}), MB_OK | MB_ICONEXCLAMATION);
      return Finish(host, RunOutcome::kInvalidTarget);
    case TargetPolicy::kAllowed:
      break;
  }
  switch (state::PlaceOfStateFolder(real)) {
    case state::StateFolderPlace::kHolds:
      window.MessageBox(Format(text::kHoldsStateFolder, {StateFolderText(), typed}),
                        MB_OK | MB_ICONEXCLAMATION);
      return Finish(host, RunOutcome::kInvalidTarget);
    case state::StateFolderPlace::kInside:
      window.MessageBox(Format(text::kInsideStateFolder, {StateFolderText(), typed}),
                        MB_OK | MB_ICONEXCLAMATION);
      return Finish(host, RunOutcome::kInvalidTarget);
    case state::StateFolderPlace::kApart:
      break;
  }
  if (host.m_runLock != nullptr && host.m_runLock->tree() == real) return true;
  host.m_journal.reset();
  host.m_runLock.reset();
  std::string holder;
  switch (state::RunLock::Acquire(real, &host.m_runLock, &holder)) {
    case state::RunLock::Result::kHeld:
      host.m_treeRealPath = real;
      return true;
    case state::RunLock::Result::kBusy:
      window.MessageBox(Format(text::kTreeInUse, {Wide(holder)}),
                        MB_OK | MB_ICONEXCLAMATION);
      return Finish(host, RunOutcome::kInUse);
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
  WindowPort& window = host.m_window;
  const state::RepairReport report = repair.Run(host.m_crypter, host.m_stopRequested);
  host.m_repairedInodes.insert(report.repaired_inodes.begin(), report.repaired_inodes.end());
  if (!report.repaired.empty()) {
    // Not a summary: a warning that the last run did not finish.
    window.MessageBox(Format(text::kRepaired, {PathLines(report.repaired)}),
                      MB_OK | MB_ICONWARNING);
  }
  switch (report.status) {
    case state::RepairReport::Status::kClean:
      return true;
    case state::RepairReport::Status::kWrongPassword:
      window.MessageBox(text::kRepairWrongPassword, MB_OK | MB_ICONERROR);
      return Finish(host, RunOutcome::kRepairRefused);
    case state::RepairReport::Status::kFailed:
      window.MessageBox(Format(text::kRepairFailed, {PathLines(report.failed)}),
                        MB_OK | MB_ICONERROR);
      return Finish(host, RunOutcome::kStateFailed);
    case state::RepairReport::Status::kTreeAbove:
      window.MessageBox(Format(text::kRepairTreeAbove, {Wide(report.tree_above)}),
                        MB_OK | MB_ICONEXCLAMATION);
      return Finish(host, RunOutcome::kStateFailed);
    case state::RepairReport::Status::kStopped:
      window.MessageBox(text::kRepairStopped, MB_OK | MB_ICONWARNING);
      return Finish(host, RunOutcome::kStopped);
  }
  return true;
}

bool Deciphers(Crypter& crypter, const std::u16string& name) {
  crypter.ConvertName(name, OP_DECRYPT);
  return crypter.m_nError == ERR_NONE;
}

// A mistyped password can decipher every name shorter than it: past a
// name's length only the odd bits of each unit reach it. The scan's longest
// name, the account's verifier for these name keys, or the person decides
// whether this is the password that encrypted the tree, before anything
// changes. False when the run ends here.
bool PasswordHolds(JobHost& host) {
  JobState& job = host.m_job;
  Crypter& crypter = host.m_crypter;
  if (job.m_nScanEncrypted == 0) return true;  // no name to decipher
  const bool longest_deciphers = Deciphers(crypter, job.m_strScanLongestName);
  if (longest_deciphers &&
      state::NameCoversPassword(crypter, job.m_strScanLongestName)) {
    return true;
  }
  // Slow only where a verifier shares these name keys: the password either
  // is the one that encrypted or is one unit off.
  switch (state::CheckPassword(crypter, state::IdentifyTree(crypter, host.m_treeRealPath))) {
    case state::PasswordMatch::kMatches:
      return true;
    case state::PasswordMatch::kDiffers:
      host.m_window.MessageBox(text::kPasswordDiffers, MB_OK | MB_ICONERROR);
      return Finish(host, RunOutcome::kWrongPassword);
    case state::PasswordMatch::kUnproven:
      if (host.m_window.MessageBox(text::kPasswordUnproven,
                                   MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
        return true;
      }
      return Finish(host, RunOutcome::kPasswordUnchecked);
    case state::PasswordMatch::kNoRecord:
      break;
  }
  // Refused by every name, short ones included: the walk refuses them one
  // by one and changes nothing.
  if (!longest_deciphers && !Deciphers(crypter, job.m_strScanShortestName)) {
    return true;
  }
  if (host.m_window.MessageBox(text::kPasswordUnchecked,
                               MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
    return true;
  }
  return Finish(host, RunOutcome::kPasswordUnchecked);
}

// Steps before the walk; false when the run ends there.
bool PrepareRun(JobHost& host, std::u16string* target) {
  WindowPort& window = host.m_window;
  JobState& job = host.m_job;
  Crypter& crypter = host.m_crypter;

  std::u16string checked = window.GetControlText(IDC_PATH);
  switch (CheckTarget(&checked)) {
    case TargetCheck::kEmpty:
    case TargetCheck::kMissing:
      window.MessageBox(Format(text::kPathMissing, {checked}),
                        MB_OK | MB_ICONEXCLAMATION);
      return Finish(host, RunOutcome::kInvalidTarget);
    case TargetCheck::kFile:
      window.MessageBox(Format(text::kPathIsFile, {checked}),
                        MB_OK | MB_ICONEXCLAMATION);
      return Finish(host, RunOutcome::kInvalidTarget);
    case TargetCheck::kDirectory:
      break;
  }
  // From here on the path as typed; a trailing '/' only doubles a separator.
  *target = window.GetControlText(IDC_PATH);
  if (!HoldTree(host, checked)) return false;

  if (window.IsChecked(IDC_RADIO_ENCRYPT)) job.m_nMode = 0;
  if (window.IsChecked(IDC_RADIO_DECRYPT)) job.m_nMode = 1;
  if (window.IsChecked(IDC_RADIO_TEMPORARY)) job.m_nMode = 1;
  crypter.m_nExtMode = static_cast<uint32_t>(host.m_nExtRule);
  if (job.m_bExitPass == 1) {
    // Normally the temporary decryption's journal; a fresh one otherwise.
    if (host.m_journal == nullptr) {
      host.m_journal = state::Journal::Start(host.m_treeRealPath);
      if (host.m_journal == nullptr) return StateFolderFailed(host);
    }
    return true;
  }

  // An interrupted run may have left the tree looking done: its repair
  // needs the password, so nothing counts as nothing to do then.
  state::PendingRepair repair = state::PendingRepair::Load(host.m_treeRealPath);
  const bool repair_pending = repair.needed();
  if (!repair_pending && job.m_nMode == 0 && job.m_nScanPlain == 0) {
    window.MessageBox(text::kNothingToEncrypt, MB_OK | MB_ICONEXCLAMATION);
    return Finish(host, RunOutcome::kNothingToDo);
  }
  if (!repair_pending && job.m_nMode == 1 && job.m_nScanEncrypted == 0) {
    window.MessageBox(text::kNothingToDecrypt, MB_OK | MB_ICONEXCLAMATION);
    return Finish(host, RunOutcome::kNothingToDo);
  }

  // Reserved past the short-string buffer, so that even a short password
  // lives in locked pages until the engine has its own locked copy.
  SecretU16 password;
  password.reserve(kSecretReserve);
  if (window.RunPasswordDialog(&password) == IDCANCEL) {
    return Finish(host, RunOutcome::kCancelled);
  }
  crypter.SetPassword(password);
  WipeString(&password);
  if (job.m_nMode == 1 && !PasswordHolds(host)) return false;
  if (!RepairInterruptedRun(host, repair)) return false;

  if (job.m_nMode == 0 && job.m_nScanEncrypted != 0 &&
      window.MessageBox(Format(text::kMixedEncrypted, {job.m_nScanEncrypted}),
                        MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return Finish(host, RunOutcome::kDeclined);
  }
  if (job.m_nMode == 1 && job.m_nScanPlain != 0 &&
      window.MessageBox(Format(text::kMixedPlain, {job.m_nScanPlain}),
                        MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return Finish(host, RunOutcome::kDeclined);
  }
  // A temporary decryption is recorded before anything is deciphered, so
  // that a tree it leaves behind is found again.
  if (window.IsChecked(IDC_RADIO_TEMPORARY) &&
      !state::RecordLeftDecrypted(host.m_treeRealPath)) {
    return StateFolderFailed(host);
  }
  host.m_journal = state::Journal::Start(host.m_treeRealPath);
  if (host.m_journal == nullptr) return StateFolderFailed(host);
  return true;
}

// True when |plain|, once enciphered, checks every unit of the password.
bool NameWillCoverPassword(Crypter& crypter, const std::u16string& plain) {
  if (plain.empty()) return false;
  const std::u16string cipher_name = crypter.ConvertName(plain, OP_ENCRYPT);
  return crypter.m_nError == ERR_NONE &&
         state::NameCoversPassword(crypter, cipher_name);
}

// Binds the tree to its password's record. The tree is enciphered either
// way; without the record its next decryption cannot check the password,
// which the person is told now rather than then.
void RecordPassword(JobHost& host, const state::PendingVerifier& verifier) {
  const state::TreeIdentity tree = state::IdentifyTree(host.m_crypter, host.m_treeRealPath);
  if (verifier.Write(tree, host.m_job.m_nScanEncrypted == 0)) return;
  host.m_window.MessageBox(Format(text::kPasswordNotRecorded, {StateFolderText()}),
                           MB_OK | MB_ICONWARNING);
}

}  // namespace

TargetCheck CheckTarget(std::u16string* path) {
  if (!path->empty() && path->back() == u'/') path->pop_back();
  if (path->empty()) return TargetCheck::kEmpty;
  if (IsFileSystemRoot(*path)) return TargetCheck::kMissing;
  if (Folder::Open(*path).IsOpen()) return TargetCheck::kDirectory;
  FileStatus status{};
  if (!GetFileStatus(*path, &status)) return TargetCheck::kMissing;
  return status.is_directory ? TargetCheck::kDirectory : TargetCheck::kFile;
}

void EnterWaitState(JobHost& host) {
  WindowPort& window = host.m_window;
  for (int id : {IDC_SETTINGS, IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT,
                 IDC_RADIO_TEMPORARY, IDC_OPERATION_GROUP, IDC_PATH,
                 IDC_BROWSE}) {
    window.EnableControl(id, false);
  }
  window.SetFocusTo(IDC_EXIT);
}

void RunJob(JobHost& host) {
  WindowPort& window = host.m_window;
  JobState& job = host.m_job;
  for (int32_t& flag : job.m_bDontShowAgain) flag = 0;
  host.m_repairedInodes.clear();

  std::u16string target;
  if (!PrepareRun(host, &target)) return;

  job.m_bRunning = 1;
  window.SetInputBlocked(true);
  job.m_nDone = 0;
  job.m_nBytesDone = 0;
  job.m_nFound = 0;
  job.m_nAlreadyEnciphered = 0;
  job.m_nWrongPassword = 0;
  // An encryption records the password's verifier; the slow hash runs
  // beside the walk. A tree that will hold a name checking the whole
  // password needs none, and the hash's time and memory are saved.
  std::optional<HelperThread> helper;
  state::PendingVerifier verifier;
  if (job.m_nMode == 0 && job.m_bExitPass == 0 &&
      !NameWillCoverPassword(host.m_crypter, job.m_strScanLongestPlainName)) {
    helper.emplace();
    helper->Start([&verifier, &host] { verifier.Prepare(host.m_crypter); });
  }
  if (job.m_nMode == 0) {
    EncryptWalk(host, target);
  } else {
    DecryptWalk(host, target);
  }
  if (helper) helper->Wait();
  if (job.m_nMode == 0 && job.m_bExitPass == 0 && host.m_journal->begun() > 0) {
    RecordPassword(host, verifier);
  }
  window.SetInputBlocked(false);
  window.SetControlText(IDC_STATUS_SUB, u"");
  job.m_bRunning = 0;

  const bool all_done = job.m_nFound == job.m_nDone;
  host.m_journal->Commit();
  // Every entry enciphered now: the tree is no longer left decrypted.
  if (job.m_nMode == 0 && job.m_nFound == job.m_nDone + job.m_nAlreadyEnciphered) {
    state::ClearLeftDecrypted(host.m_treeRealPath);
  }
  const bool waiting = window.IsChecked(IDC_RADIO_TEMPORARY);
  if (!waiting) {
    // The journal stays on disk for the next run to retire; the tree is
    // free again.
    host.m_journal.reset();
    host.m_runLock.reset();
  }
  const std::u16string summary =
      all_done ? Format(text::kAllDone, {job.m_nDone, job.m_nFound})
               : Format(text::kSomeDone, {job.m_nFound, job.m_nDone});
  window.SetControlText(IDC_STATUS_MAIN, summary);
  window.SetControlText(IDC_STATUS_SUB, text::kProcessingComplete);
  host.m_lastRunOutcome = all_done                                    ? RunOutcome::kAllDone
                          : job.m_nDone == 0 && job.m_nWrongPassword > 0 ? RunOutcome::kWrongPassword
                                                                         : RunOutcome::kSomeDone;
  window.MessageBox(summary, MB_OK | MB_ICONINFORMATION);

  if (waiting) {
    EnterWaitState(host);
    window.SetControlText(IDC_STATUS_MAIN, u"");
    window.SetControlText(IDC_STATUS_SUB, text::kWaiting);
  }
  window.EnableControl(IDC_EXECUTE, false);
}

}  // namespace velmora
