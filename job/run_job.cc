#include "job/run_job.h"

#include <climits>
#include <cstdlib>
#include <memory>

#include "job/messages.h"
#include "job/walks.h"
#include "platform/file_system.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"

namespace velmora {
namespace {

// The root of the file system is never a target, however it is spelled.
bool IsFileSystemRoot(const std::u16string& path) {
  const std::string bytes = Wtf8FromUtf16(path);
  std::unique_ptr<char, decltype(&std::free)> resolved(
      ::realpath(bytes.c_str(), nullptr), &std::free);
  return resolved != nullptr && std::string(resolved.get()) == "/";
}

bool Finish(JobHost& host, RunOutcome outcome) {
  host.m_lastRunOutcome = outcome;
  return false;
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

  if (window.IsChecked(IDC_RADIO_ENCRYPT)) job.m_nMode = 0;
  if (window.IsChecked(IDC_RADIO_DECRYPT)) job.m_nMode = 1;
  if (window.IsChecked(IDC_RADIO_TEMPORARY)) job.m_nMode = 1;
  crypter.m_nExtMode = static_cast<uint32_t>(host.m_nExtRule);
  if (job.m_bExitPass == 1) return true;

  if (job.m_nMode == 0 && job.m_nScanPlain == 0) {
    window.MessageBox(text::kNothingToEncrypt, MB_OK | MB_ICONEXCLAMATION);
    return Finish(host, RunOutcome::kNothingToDo);
  }
  if (job.m_nMode == 1 && job.m_nScanEncrypted == 0) {
    window.MessageBox(text::kNothingToDecrypt, MB_OK | MB_ICONEXCLAMATION);
    return Finish(host, RunOutcome::kNothingToDo);
  }

  std::u16string password;
  if (window.RunPasswordDialog(&password) == IDCANCEL) {
    return Finish(host, RunOutcome::kCancelled);
  }
  job.m_strPassword = password;
  crypter.SetPassword(job.m_strPassword);

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
  return true;
}

}  // namespace

TargetCheck CheckTarget(std::u16string* path) {
  if (!path->empty() && path->back() == u'/') path->pop_back();
  if (path->empty()) return TargetCheck::kEmpty;
  if (IsFileSystemRoot(*path)) return TargetCheck::kMissing;
  DirectoryFinder finder;
  if (finder.FindFile(*path + u"/*") && finder.FindNextFile()) {
    return TargetCheck::kDirectory;
  }
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

  std::u16string target;
  if (!PrepareRun(host, &target)) return;

  job.m_bRunning = 1;
  window.SetInputBlocked(true);
  job.m_nDone = 0;
  job.m_nFound = 0;
  if (job.m_nMode == 0) {
    LevelLists levels;
    EncryptWalk(host, levels, target + u"/*", 0);
  } else {
    DecryptWalk(host, target + u"/*", 0);
  }
  window.SetInputBlocked(false);
  window.SetControlText(IDC_STATUS_SUB, u"");
  job.m_bRunning = 0;

  const bool all_done = job.m_nFound == job.m_nDone;
  const std::u16string summary =
      all_done ? Format(text::kAllDone, {job.m_nDone, job.m_nFound})
               : Format(text::kSomeDone, {job.m_nFound, job.m_nDone});
  window.SetControlText(IDC_STATUS_MAIN, summary);
  window.SetControlText(IDC_STATUS_SUB, text::kProcessingComplete);
  host.m_lastRunOutcome = all_done ? RunOutcome::kAllDone : RunOutcome::kSomeDone;
  window.MessageBox(summary, MB_OK | MB_ICONINFORMATION);

  if (window.IsChecked(IDC_RADIO_TEMPORARY)) {
    EnterWaitState(host);
    window.SetControlText(IDC_STATUS_MAIN, u"");
    window.SetControlText(IDC_STATUS_SUB, text::kWaiting);
  }
  window.EnableControl(IDC_EXECUTE, false);
}

}  // namespace velmora
