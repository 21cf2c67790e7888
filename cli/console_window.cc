#include "cli/console_window.h"

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "cli/console_texts.h"
#include "cli/display_text.h"
#include "job/messages.h"
#include "platform/secret_memory.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "state/password_verifier.h"
#include "ui/password_rules.h"

namespace velmora::cli {
namespace {

constexpr int kRadioIds[] = {IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT, IDC_RADIO_TEMPORARY};

bool IsRadio(int id) {
  return std::find(std::begin(kRadioIds), std::end(kRadioIds), id) != std::end(kRadioIds);
}

// False when the stream refused the line (a full disk, a closed pipe).
bool WriteLine(std::FILE* stream, std::u16string_view text) {
  std::string bytes = DisplayText(text);
  bytes.push_back('\n');
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
  return std::fflush(stream) == 0 && written;
}

// A typed line as the engine takes a password, never copied outside locked
// pages on the way.
SecretU16 SecretFromWtf8(const SecretBytes& line) {
  SecretU16 text;
  text.resize(std::max(line.size() * 2, kSecretReserve));
  text.resize(Utf16FromWtf8Into(line, text.data()));
  return text;
}

}  // namespace

ConsoleWindow::ConsoleWindow(const ConsoleSettings& settings, SignalWatcher* signals)
    : settings_(settings), signals_(signals), progress_(STDERR_FILENO, settings.progress) {
  ahead_.password.reserve(kSecretReserve);
}

ConsoleWindow::~ConsoleWindow() { WipeString(&ahead_.password); }

void ConsoleWindow::SetCommandHandler(std::function<void(int)> handler) {
  handler_ = std::move(handler);
}

void ConsoleWindow::RunPostedCommands() {
  // Commands posted while one is handled wait for the outer loop, as they
  // would in a message queue; handling them nested would let a second scan
  // stop the first half-way.
  if (dispatching_) return;
  dispatching_ = true;
  while (!posted_.empty()) {
    const int command = posted_.front();
    posted_.pop_front();
    scanning_ = command == ID_START_SCAN;
    if (handler_) handler_(command);
    if (scanning_) progress_.Clear();
    scanning_ = false;
  }
  dispatching_ = false;
}

void ConsoleWindow::PrintError(std::u16string_view text) {
  if (deferring_reports_) {
    ahead_.reports.push_back([this, line = std::u16string(text)] { PrintError(line); });
    return;
  }
  progress_.Clear();
  std::fflush(stdout);
  WriteLine(stderr, text);
}

void ConsoleWindow::PrintOut(std::u16string_view text) {
  progress_.Clear();
  if (!WriteLine(stdout, text)) {
    const int error = errno;
    output_failed_ = true;
    PrintReason("stdout", error);
  }
}

std::u16string ConsoleWindow::GetControlText(int id) {
  const auto found = texts_.find(id);
  return found == texts_.end() ? std::u16string() : found->second;
}

void ConsoleWindow::SetControlText(int id, const std::u16string& text) {
  texts_[id] = text;
  // The scan and the walk say where they are with each entry.
  if ((id == IDC_STATUS_MAIN || id == IDC_STATUS_SUB) && job_ != nullptr &&
      (scanning_ || walking_)) {
    progress_.Show(Figures());
  }
}

ProgressFigures ConsoleWindow::Figures() {
  ProgressFigures figures;
  const JobState& job = *job_;
  if (walking_) {
    figures.walking = true;
    figures.entries = job.m_nDone;
    figures.entries_total = job.m_nScanTotal;
    // What this walk transforms: the plain files when encrypting (all of
    // them in the exit pass, which follows a decryption), the enciphered
    // ones when decrypting.
    figures.bytes_total = job.m_bExitPass == 1 ? job.m_nScanBytes
                          : job.m_nMode == 0   ? job.m_nScanBytes - job.m_nScanBytesEncrypted
                                               : job.m_nScanBytesEncrypted;
    figures.current = BelowTarget(job.m_strCurrentEntry);
  } else {
    figures.entries = job.m_nScanEncrypted + job.m_nScanPlain;
    figures.bytes = job.m_nScanBytes;
    figures.current = BelowTarget(scan_current_);
  }
  return figures;
}

std::u16string ConsoleWindow::BelowTarget(std::u16string_view path) const {
  const std::u16string& root = job_->m_strScanDir;
  if (!root.empty() && path.starts_with(root) &&
      (path.size() == root.size() || path[root.size()] == u'/')) {
    path.remove_prefix(root.size());
    while (!path.empty() && path.front() == u'/') path.remove_prefix(1);
  }
  return std::u16string(path);
}

bool ConsoleWindow::IsChecked(int id) { return checked_.count(id) != 0; }

void ConsoleWindow::SetChecked(int id, bool checked) {
  if (!checked) {
    checked_.erase(id);
    return;
  }
  // The operation buttons form one group: checking one clears the others.
  if (IsRadio(id)) {
    for (int radio : kRadioIds) checked_.erase(radio);
  }
  checked_.insert(id);
}

void ConsoleWindow::EnableControl(int id, bool enable) {
  if (enable) {
    disabled_.erase(id);
  } else {
    disabled_.insert(id);
  }
}

bool ConsoleWindow::IsControlEnabled(int id) { return disabled_.count(id) == 0; }

void ConsoleWindow::SetFocusTo(int) {}

void ConsoleWindow::SetInputBlocked(bool) {}

void ConsoleWindow::ScanStarted() { ShowScan(u""); }

void ConsoleWindow::ScanFolder(const std::u16string& folder) { ShowScan(folder); }

void ConsoleWindow::ScanCounted(int32_t) { ShowScan(scan_current_); }

void ConsoleWindow::ScanCompleted(int32_t entries) {
  // The last figures name the count where a folder stood.
  ShowScan(scan_current_);
  ShowScan(Format(velmora::text::kFilesFound, {entries}));
}

void ConsoleWindow::ShowScan(const std::u16string& current) {
  scan_current_ = current;
  if (job_ != nullptr && scanning_) progress_.Show(Figures());
}

void ConsoleWindow::WalkStarted() {
  walking_ = job_ != nullptr;
  if (walking_) progress_.StartWalk(&job_->m_nBytesDone);
}

// The figures come from the job, which the walk keeps up to date.
void ConsoleWindow::EntryStarted(int32_t, int32_t, const std::u16string&) {
  if (walking_) progress_.Show(Figures());
}

// The line's figures are the job's: a file's progress only redraws it.
void ConsoleWindow::ContentsProgressed(const std::u16string&, const std::u16string&,
                                       const std::u16string&, int64_t, int32_t) {
  if (walking_ && job_ != nullptr) progress_.Show(Figures());
}

void ConsoleWindow::WalkEnded() {
  walking_ = false;
  progress_.StopWalk();
}

void ConsoleWindow::RunSummarized(const RunSummary&) {}

void ConsoleWindow::Waiting() { waiting_ = true; }

void ConsoleWindow::RunEnded() {}

Terminal* ConsoleWindow::OpenTerminal() {
  if (!terminal_) terminal_ = std::make_unique<Terminal>();
  return terminal_->is_open() ? terminal_.get() : nullptr;
}

void ConsoleWindow::ReadPasswordAhead() {
  if (settings_.password_file.empty() && settings_.password_fd < 0) return;
  ahead_.read = true;
  deferring_reports_ = true;
  ahead_.given = ReadPasswordFromSource(&ahead_.password);
  deferring_reports_ = false;
  if (ahead_.given) state::CheckPasswordAhead(ahead_.password);
}

int ConsoleWindow::RunPasswordDialog(SecretU16* password) {
  return AskPassword(password) ? IDOK : IDCANCEL;
}

bool ConsoleWindow::AskPassword(SecretU16* password) {
  if (ahead_.read) {
    ahead_.read = false;
    for (const auto& report : ahead_.reports) report();
    ahead_.reports.clear();
    *password = ahead_.password;
    WipeString(&ahead_.password);
    return ahead_.given;
  }
  return ReadPasswordFromSource(password);
}

bool ConsoleWindow::ReadPasswordFromSource(SecretU16* password) {
  if (!settings_.password_file.empty()) return ReadPasswordFile(password);
  if (settings_.password_fd >= 0) {
    return ReadPasswordFrom(settings_.password_fd, password);
  }
  return ReadPasswordFromTerminal(password);
}

bool ConsoleWindow::ReadPasswordFile(SecretU16* password) {
  const int fd = ::open(settings_.password_file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    PrintError(console_text::kPasswordUnreadable);
    PrintReason(settings_.password_file, error);
    return false;
  }
  const bool given = ReadPasswordFrom(fd, password);
  ::close(fd);
  return given;
}

void ConsoleWindow::PrintReason(const std::string& path, int error) {
  if (deferring_reports_) {
    ahead_.reports.push_back([this, path, error] { PrintReason(path, error); });
    return;
  }
  progress_.Clear();
  std::fflush(stdout);
  std::fprintf(stderr, "velmora-cli: %s: %s\n", path.c_str(), std::strerror(error));
}

bool ConsoleWindow::ReadPasswordFrom(int fd, SecretU16* password) {
  SecretBytes line;
  // Read a byte at a time: what follows the line stays in stdin for the
  // wait of a temporary decryption.
  errno = 0;
  if (ReadLineFrom(fd, signals_, &line) != LineStatus::kLine) {
    const int error = errno;
    PrintError(console_text::kNoPassword);
    if (error != 0 && error != EINTR) {
      PrintReason(fd == STDIN_FILENO ? "stdin" : "fd " + std::to_string(fd), error);
    }
    return false;
  }
  SecretU16 typed = SecretFromWtf8(line);
  WipeString(&line);
  const std::u16string problem = PasswordProblem(typed, typed);
  if (!problem.empty()) {
    WipeString(&typed);
    PrintError(problem);
    return false;
  }
  *password = typed;
  WipeString(&typed);
  return true;
}

bool ConsoleWindow::ReadPasswordFromTerminal(SecretU16* password) {
  Terminal* terminal = OpenTerminal();
  if (terminal == nullptr) {
    PrintError(console_text::kNoTerminal);
    return false;
  }
  progress_.Clear();
  // Off before anything is shown, across both prompts and every re-ask.
  Terminal::Hidden hidden(*terminal);
  terminal->Write(DisplayText(console_text::kPasswordHeading) + "\n" +
                  DisplayText(console_text::kPasswordWarning) + "\n");
  while (true) {
    SecretBytes first;
    SecretBytes second;
    if (terminal->Prompt(DisplayText(console_text::kPasswordLabel), true, signals_, &first) !=
            LineStatus::kLine ||
        (settings_.confirm_password &&
         terminal->Prompt(DisplayText(console_text::kConfirmLabel), true, signals_, &second) !=
             LineStatus::kLine)) {
      WipeString(&first);
      WipeString(&second);
      PrintError(console_text::kNoPassword);
      return false;
    }
    SecretU16 typed = SecretFromWtf8(first);
    SecretU16 confirmation = SecretFromWtf8(settings_.confirm_password ? second : first);
    WipeString(&first);
    WipeString(&second);
    const std::u16string problem = PasswordProblem(typed, confirmation);
    WipeString(&confirmation);
    if (problem.empty()) {
      *password = typed;
      WipeString(&typed);
      return true;
    }
    WipeString(&typed);
    terminal->Write(DisplayText(problem) + "\n");
  }
}

int ConsoleWindow::RunOptionDialog(std::u16string*, int*) {
  // The settings come from the command line.
  return IDCANCEL;
}

void ConsoleWindow::PumpMessages() { RunPostedCommands(); }

void ConsoleWindow::PostCommand(int command) {
  // A command already waiting covers this one: a second scan queued behind
  // the first would only repeat it.
  if (std::find(posted_.begin(), posted_.end(), command) != posted_.end()) {
    return;
  }
  posted_.push_back(command);
}

bool ConsoleWindow::StartWorker(std::function<void()> job) {
  job();
  return true;
}

bool ConsoleWindow::BrowseForFolder(const std::u16string&, std::u16string*) { return false; }

void ConsoleWindow::EndDialog(int) { ended_ = true; }

}  // namespace velmora::cli
