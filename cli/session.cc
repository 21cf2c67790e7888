#include "cli/session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "cli/console_texts.h"
#include "cli/console_window.h"
#include "cli/display_text.h"
#include "cli/signal_wait.h"
#include "cli/terminal.h"
#include "engine/crypter.h"
#include "job/messages.h"
#include "job/run_job.h"
#include "job/scan.h"
#include "platform/wtf8.h"
#include "ui/main_dialog.h"

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
void ApplyExtensionOptions(const Options& options, MainDialog& dialog) {
  if (options.whole) dialog.m_nExtRule = 0;
  if (options.extensions) {
    const std::vector<std::u16string>& table = *options.extensions;
    for (int slot = 0; slot < kExtensionSlots; ++slot) {
      const std::size_t index = static_cast<std::size_t>(slot);
      // Entries were checked against the slot size while parsing.
      dialog.m_crypter.SetExtension(slot, index < table.size() ? table[index] : std::u16string());
    }
  }
}

// What the dialog's path check says of |directory|; empty when it lets the
// path through to a scan or says nothing.
std::u16string_view PathRefusal(const std::string& directory) {
  std::u16string path = Utf16FromWtf8(directory);
  if (path == kDropHereText) return {};
  switch (CheckTarget(&path)) {
    case TargetCheck::kMissing:
      return text::kInvalidPath;
    case TargetCheck::kFile:
      return text::kFileNotSupported;
    case TargetCheck::kEmpty:
    case TargetCheck::kDirectory:
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
  settings.password_file = options.password_file;
  settings.confirm_password = options.command == Command::kEncrypt;
  settings.progress = IsTerminal(STDERR_FILENO);
  return settings;
}

// The run |options| ask for, with the extension rule start-up and the
// options left in |dialog|.
RunRequest RequestFor(const Options& options, const MainDialog& dialog) {
  RunRequest request;
  request.target = Utf16FromWtf8(options.directory);
  request.operation = OperationFor(options.command);
  request.extension_rule =
      dialog.m_nExtRule == 1 ? ExtensionRule::kHeadOfListed : ExtensionRule::kWhole;
  return request;
}

// Waits for the person to end a temporary decryption, then encrypts the
// tree again with the same key; the pass shows its summary.
void RunExitPass(ConsoleWindow& window, MainDialog& dialog, RunRequest request,
                 SignalWatcher& signals) {
  window.PrintError(text::kWaiting);
  window.PrintError(console_text::kWaitingHint);
  WaitForEnterOrSignal(STDIN_FILENO, signals);
  window.SetExitPass(true);
  dialog.m_job.m_bExitPass = 1;
  request.operation = Operation::kEncrypt;
  request.exit_pass = true;
  RunJob(dialog, request, window, window);
  window.RunPostedCommands();
}

// Why the target was refused, as the system says it.
void PrintPathReason(ConsoleWindow& window, const std::string& path) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) {
    window.PrintReason(path, errno);
  } else if (!S_ISDIR(status.st_mode)) {
    window.PrintReason(path, ENOTDIR);
  }
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
    // The dialog would read an empty target as "the data folder here".
    std::fputs((DisplayText(text::kInvalidPath) + "\n").c_str(), stderr);
    return kExitNothingDone;
  }
  // First, so that from here on no signal ends the process half-way.
  SignalWatcher signals;

  ConsoleWindow window(SettingsFor(options), &signals);

  Crypter crypter;
  MainDialog dialog(window, crypter, Utf16FromWtf8(options.directory));
  window.WatchJob(&dialog.m_job);
  window.SetCommandHandler([&dialog, &window](int command) {
    if (command == ID_START_SCAN) OnStartScan(dialog, window, window);
  });

  dialog.OnInitDialog();
  ApplyExtensionOptions(options, dialog);
  // Its verifiers are checked while the scan runs.
  window.ReadPasswordAhead();
  window.RunPostedCommands();

  const std::u16string_view refusal = PathRefusal(options.directory);
  if (!refusal.empty()) {
    window.PrintError(refusal);
    PrintPathReason(window, options.directory);
    return kExitNothingDone;
  }
  // The scan's message box has said which file.
  if (dialog.m_lastScanOutcome == ScanOutcome::kRefused) return kExitRefused;
  if (dialog.m_lastScanOutcome != ScanOutcome::kCompleted) {
    // The path check let nothing through without saying why ("/", say).
    window.PrintError(text::kInvalidPath);
    PrintPathReason(window, options.directory);
    return kExitNothingDone;
  }

  // A signal stops the walk after the entry it is on.
  signals.SetStopFlag(&dialog.m_stopRequested);
  const RunRequest request = RequestFor(options, dialog);
  RunJob(dialog, request, window, window);
  window.RunPostedCommands();
  int exit_status = ExitStatusFor(dialog.m_lastRunOutcome.load());
  if (options.command != Command::kOpen && signals.FirstSignal() != 0) {
    exit_status = kExitSignalBase + signals.FirstSignal();
  }

  if (options.command == Command::kOpen && window.waiting()) {
    RunExitPass(window, dialog, request, signals);
    // Entries the decryption left alone still count against the run.
    exit_status = std::max(exit_status, ExitStatusFor(dialog.m_lastRunOutcome.load()));
  }
  if (window.output_failed()) {
    exit_status = std::max(exit_status, kExitSomeNotDone);
  }
  return exit_status;
}

}  // namespace velmora::cli
