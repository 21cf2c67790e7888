#include "cli/console_front_end.h"

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
#include "cli/local_charset.h"
#include "job/messages.h"
#include "job/password_rules.h"
#include "job/scan.h"
#include "platform/secret_memory.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "state/password_verifier.h"

namespace velmora::cli {
namespace {

// False when the stream refused the line (a full disk, a closed pipe).
bool WriteLine(std::FILE* stream, std::u16string_view text) {
  std::string bytes = LocalBytes(DisplayText(text) + "\n");
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

ConsoleFrontEnd::ConsoleFrontEnd(const ConsoleSettings& settings, SignalWatcher* signals)
    : settings_(settings), signals_(signals), progress_(STDERR_FILENO, settings.progress) {
  ahead_.password.reserve(kSecretReserve);
}

ConsoleFrontEnd::~ConsoleFrontEnd() { WipeString(&ahead_.password); }

void ConsoleFrontEnd::Scan(JobHost& host) {
  scanning_ = true;
  OnStartScan(host, *this, *this);
  progress_.Clear();
  scanning_ = false;
}

void ConsoleFrontEnd::PrintError(std::u16string_view text) {
  if (deferring_reports_) {
    ahead_.reports.push_back([this, line = std::u16string(text)] { PrintError(line); });
    return;
  }
  progress_.Clear();
  std::fflush(stdout);
  WriteLine(stderr, text);
}

void ConsoleFrontEnd::PrintOut(std::u16string_view text) {
  progress_.Clear();
  if (!WriteLine(stdout, text)) {
    const int error = errno;
    output_failed_ = true;
    PrintFailure(u"stdout", SystemReason(error));
  }
}

ProgressFigures ConsoleFrontEnd::Figures() {
  ProgressFigures figures;
  const JobState& job = *job_;
  if (walking_) {
    figures.walking = true;
    figures.entries = job.done;
    figures.entries_total = job.scan_total;
    // What this walk transforms: the plain files when encrypting (all of
    // them in the exit pass, which follows a decryption), the enciphered
    // ones when decrypting.
    figures.bytes_total = job.exit_pass == 1 ? job.scan_bytes
                          : job.mode == 0    ? job.scan_bytes - job.scan_bytes_encrypted
                                             : job.scan_bytes_encrypted;
    figures.current = BelowTarget(job.current_entry);
  } else {
    figures.entries = job.scan_encrypted + job.scan_plain;
    figures.bytes = job.scan_bytes;
    figures.current = BelowTarget(scan_current_);
  }
  return figures;
}

std::u16string ConsoleFrontEnd::BelowTarget(std::u16string_view path) const {
  const std::u16string& root = job_->scan_dir;
  if (!root.empty() && path.starts_with(root) &&
      (path.size() == root.size() || path[root.size()] == u'/')) {
    path.remove_prefix(root.size());
    while (!path.empty() && path.front() == u'/') path.remove_prefix(1);
  }
  return std::u16string(path);
}

void ConsoleFrontEnd::ScanStarted() { ShowScan(u""); }

void ConsoleFrontEnd::ScanFolder(const std::u16string& folder) { ShowScan(folder); }

void ConsoleFrontEnd::ScanCounted(int32_t) { ShowScan(scan_current_); }

void ConsoleFrontEnd::ScanCompleted(int32_t entries) {
  // The last figures name the count where a folder stood.
  ShowScan(scan_current_);
  ShowScan(Format(velmora::text::kFilesFound, {entries}));
}

void ConsoleFrontEnd::ShowScan(const std::u16string& current) {
  scan_current_ = current;
  if (job_ != nullptr && scanning_ && progress_.enabled()) progress_.Show(Figures());
}

void ConsoleFrontEnd::WalkStarted() {
  walking_ = job_ != nullptr;
  if (walking_) progress_.StartWalk(&job_->bytes_done);
}

// The figures come from the job, which the walk keeps up to date.
void ConsoleFrontEnd::EntryStarted(int32_t, int32_t, const std::u16string&) {
  if (walking_ && progress_.enabled()) progress_.Show(Figures());
}

// The line's figures are the job's: a file's progress only redraws it.
void ConsoleFrontEnd::ContentsProgressed(const std::u16string&, const std::u16string&,
                                         const std::u16string&, int64_t, int32_t) {
  if (walking_ && job_ != nullptr && progress_.enabled()) progress_.Show(Figures());
}

void ConsoleFrontEnd::WalkEnded() {
  walking_ = false;
  progress_.StopWalk();
}

void ConsoleFrontEnd::RunSummarized(const RunSummary&) {}

void ConsoleFrontEnd::Waiting() { waiting_ = true; }

void ConsoleFrontEnd::RunEnded() {}

Terminal* ConsoleFrontEnd::OpenTerminal() {
  if (!terminal_) terminal_ = std::make_unique<Terminal>();
  return terminal_->is_open() ? terminal_.get() : nullptr;
}

void ConsoleFrontEnd::ReadPasswordAhead() {
  if (settings_.password_file.empty() && settings_.password_fd < 0) return;
  ahead_.read = true;
  deferring_reports_ = true;
  ahead_.given = ReadPasswordFromSource(&ahead_.password);
  deferring_reports_ = false;
  if (ahead_.given) state::CheckPasswordAhead(ahead_.password);
}

bool ConsoleFrontEnd::AskPassword(SecretU16* password) {
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

bool ConsoleFrontEnd::ReadPasswordFromSource(SecretU16* password) {
  if (!settings_.password_file.empty()) return ReadPasswordFile(password);
  if (settings_.password_fd >= 0) {
    return ReadPasswordFrom(settings_.password_fd, password);
  }
  return ReadPasswordFromTerminal(password);
}

bool ConsoleFrontEnd::ReadPasswordFile(SecretU16* password) {
  const int fd = ::open(settings_.password_file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    PrintFailure(Utf16FromWtf8(settings_.password_file),
                 WithReason(console_text::kPasswordUnreadable, error));
    return false;
  }
  const bool given = ReadPasswordFrom(fd, password);
  ::close(fd);
  return given;
}

void ConsoleFrontEnd::PrintFailure(std::u16string_view subject, std::u16string_view text) {
  if (deferring_reports_) {
    ahead_.reports.push_back([this, subject = std::u16string(subject),
                              text = std::u16string(text)] { PrintFailure(subject, text); });
    return;
  }
  progress_.Clear();
  std::fflush(stdout);
  const std::string line = LocalBytes(FailureLine(subject, text));
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

std::u16string ConsoleFrontEnd::PasswordSource() const {
  if (!settings_.password_file.empty()) return Utf16FromWtf8(settings_.password_file);
  if (settings_.password_stdin) return std::u16string(console_text::kStandardInput);
  return Format(console_text::kDescriptor, {settings_.password_fd});
}

bool ConsoleFrontEnd::ReadPasswordFrom(int fd, SecretU16* password) {
  SecretBytes line;
  // Read a byte at a time: what follows the line stays in stdin for the
  // wait of a temporary decryption.
  const LineRead read = ReadLineFrom(fd, signals_, &line);
  switch (read.status) {
    case LineStatus::kLine:
      break;
    case LineStatus::kEndOfInput:
      PrintFailure(PasswordSource(), std::u16string(console_text::kNoPassword) + u" (" +
                                         std::u16string(console_text::kPasswordSourceEmpty) + u")");
      return false;
    case LineStatus::kReadFailed:
      PrintFailure(PasswordSource(), WithReason(console_text::kPasswordUnreadable, read.error));
      return false;
    case LineStatus::kInterrupted:
      PrintFailure(PasswordSource(), console_text::kNoPassword);
      return false;
  }
  SecretU16 typed = SecretFromWtf8(line);
  WipeString(&line);
  const std::u16string problem = PasswordProblem(typed, typed);
  if (!problem.empty()) {
    WipeString(&typed);
    PrintFailure(PasswordSource(), problem);
    return false;
  }
  *password = typed;
  WipeString(&typed);
  return true;
}

bool ConsoleFrontEnd::ReadPasswordFromTerminal(SecretU16* password) {
  Terminal* terminal = OpenTerminal();
  if (terminal == nullptr) {
    PrintFailure(u"", console_text::kNoTerminal);
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
      PrintFailure(u"", console_text::kNoPassword);
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

}  // namespace velmora::cli
