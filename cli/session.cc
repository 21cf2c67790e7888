#include "cli/session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/console_front_end.h"
#include "cli/console_texts.h"
#include "cli/display_text.h"
#include "cli/local_charset.h"
#include "cli/signal_wait.h"
#include "cli/terminal.h"
#include "engine/crypter.h"
#include "job/job_host.h"
#include "job/messages.h"
#include "job/run_job.h"
#include "job/scan.h"
#include "platform/wtf8.h"

namespace velmora::cli {
namespace {

Operation OperationFor(Command command) {
  switch (command) {
    case Command::kDecrypt:
      return Operation::kDecrypt;
    case Command::kOpen:
      return Operation::kTemporary;
    default:
      return Operation::kEncrypt;
  }
}

// --whole and --extensions, applied over what start-up set.
void ApplyExtensionOptions(const Options& options, JobHost& host) {
  if (options.whole) host.ext_rule_ = 0;
  if (options.extensions) {
    const std::vector<std::u16string>& table = *options.extensions;
    for (int slot = 0; slot < kExtensionSlots; ++slot) {
      const std::size_t index = static_cast<std::size_t>(slot);
      // Entries were checked against the slot size while parsing.
      host.crypter_.SetExtension(slot, index < table.size() ? table[index] : std::u16string());
    }
  }
}

// What the desktop's path check says of |directory|; empty when it lets the
// path through to a scan or says nothing.
std::u16string_view PathRefusal(const std::string& directory) {
  std::u16string path = Utf16FromWtf8(directory);
  if (path == text::kDropHere) return {};
  switch (CheckTarget(&path)) {
    case TargetCheck::kMissing:
      return text::kInvalidPath;
    case TargetCheck::kFile:
      return text::kFileNotSupported;
    case TargetCheck::kEmpty:
    case TargetCheck::kDirectory:
    case TargetCheck::kFileSystemRoot:  // refused as no folder to scan
      break;
  }
  return {};
}

ConsoleSettings SettingsFor(const Options& options) {
  const bool person_present = IsTerminal(STDIN_FILENO) && IsTerminal(STDERR_FILENO);
  ConsoleSettings settings;
  settings.answers.yes_to_mixed = options.yes;
  settings.answers.trust_password = options.trust_password;
  settings.answers.person_present = person_present;
  settings.answers.policy = ResolvePolicy(options.on_problem, person_present);
  settings.password_fd = options.password_stdin ? STDIN_FILENO : options.password_fd;
  settings.password_stdin = options.password_stdin;
  settings.password_file = options.password_file;
  settings.confirm_password = options.command == Command::kEncrypt;
  settings.progress = IsTerminal(STDERR_FILENO);
  settings.target = Utf16FromWtf8(options.directory);
  return settings;
}

// The run |options| ask for, with the extension rule start-up and the
// options left in |host|.
RunRequest RequestFor(const Options& options, const JobHost& host) {
  RunRequest request;
  request.target = Utf16FromWtf8(options.directory);
  request.operation = OperationFor(options.command);
  request.extension_rule =
      host.ext_rule_ == 1 ? ExtensionRule::kHeadOfListed : ExtensionRule::kWhole;
  return request;
}

// Waits for the person to end a temporary decryption, then encrypts the
// tree again with the same key; the pass shows its summary.
void RunExitPass(ConsoleFrontEnd& front_end, JobHost& host, RunRequest request,
                 SignalWatcher& signals) {
  front_end.PrintError(text::kWaiting);
  front_end.PrintError(console_text::kWaitingHint);
  WaitForEnterOrSignal(STDIN_FILENO, signals);
  front_end.SetExitPass(true);
  host.job_.exit_pass = 1;
  request.operation = Operation::kEncrypt;
  request.exit_pass = true;
  RunJob(host, request, front_end, front_end);
}

// |refusal| of the target, with why as the system says it.
std::u16string WithPathReason(std::u16string_view refusal, const std::string& path) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return WithReason(refusal, errno);
  if (!S_ISDIR(status.st_mode)) return WithReason(refusal, ENOTDIR);
  return std::u16string(refusal);
}

// The folder to scan, as the desktop's path check lets it through; none
// when it lets nothing through.
std::optional<std::u16string> FolderToScan(const std::string& directory) {
  std::u16string path = Utf16FromWtf8(directory);
  if (path == text::kDropHere || CheckTarget(&path) != TargetCheck::kDirectory) {
    return std::nullopt;
  }
  return path;
}

// Applies the options over the start-up settings, reads the password ahead
// and scans the target the desktop's path check lets through. The exit
// status when the target is refused; none when the run may start.
std::optional<int> ScanTarget(const Options& options, ConsoleFrontEnd& front_end, JobHost& host) {
  const std::optional<std::u16string> folder = FolderToScan(options.directory);
  ApplyExtensionOptions(options, host);
  // Its verifiers are checked while the scan runs.
  front_end.ReadPasswordAhead();
  if (folder) {
    host.job_.scan_dir = *folder;
    front_end.Scan(host);
  }
  const std::u16string_view refusal = PathRefusal(options.directory);
  if (!refusal.empty()) {
    front_end.PrintFailure(Utf16FromWtf8(options.directory),
                           WithPathReason(refusal, options.directory));
    return kExitNothingDone;
  }
  // The scan's notice has said which file.
  if (host.last_scan_outcome_ == ScanOutcome::kRefused) return kExitRefused;
  if (host.last_scan_outcome_ != ScanOutcome::kCompleted) {
    // The path check let nothing through without saying why ("/", say).
    front_end.PrintFailure(Utf16FromWtf8(options.directory),
                           WithPathReason(text::kInvalidPath, options.directory));
    return kExitNothingDone;
  }
  return std::nullopt;
}

}  // namespace

int ExitStatusFor(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kAllDone:
      return kExitAllDone;
    case RunOutcome::kSomeDone:
    case RunOutcome::kStopped:
      return kExitSomeNotDone;
    case RunOutcome::kInUse:
      return kExitInUse;
    case RunOutcome::kRepairRefused:
    case RunOutcome::kWrongPassword:
    case RunOutcome::kPasswordUnchecked:
      return kExitWrongPassword;
    case RunOutcome::kNothingToDo:
      return kExitNothingToDo;
    case RunOutcome::kStateFailed:
    case RunOutcome::kInvalidTarget:
    case RunOutcome::kCancelled:
    case RunOutcome::kDeclined:
    case RunOutcome::kNotRun:
      break;
  }
  return kExitNothingDone;
}

int RunSession(const Options& options) {
  if (options.directory.empty()) {
    // The desktop would read an empty target as "the data folder here".
    std::fputs(LocalBytes(FailureLine(u"", text::kInvalidPath)).c_str(), stderr);
    return kExitNothingDone;
  }
  // First, so that from here on no signal ends the process half-way.
  SignalWatcher signals;

  ConsoleFrontEnd front_end(SettingsFor(options), &signals);
  Crypter crypter;
  JobHost host(crypter);
  front_end.WatchJob(&host.job_);
  LoadStartupSettings(host);
  if (const std::optional<int> refused = ScanTarget(options, front_end, host)) {
    return *refused;
  }

  // A signal stops the walk after the entry it is on.
  signals.SetStopFlag(&host.stop_requested_);
  const RunRequest request = RequestFor(options, host);
  RunJob(host, request, front_end, front_end);
  int exit_status = ExitStatusFor(host.last_run_outcome_.load());
  if (options.command != Command::kOpen && signals.FirstSignal() != 0) {
    exit_status = kExitSignalBase + signals.FirstSignal();
  }

  if (options.command == Command::kOpen && front_end.waiting()) {
    RunExitPass(front_end, host, request, signals);
    // Entries the decryption left alone still count against the run.
    exit_status = std::max(exit_status, ExitStatusFor(host.last_run_outcome_.load()));
  }
  if (front_end.output_failed()) {
    exit_status = std::max(exit_status, kExitSomeNotDone);
  }
  return exit_status;
}

}  // namespace velmora::cli
