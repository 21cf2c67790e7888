// ConsoleFrontEnd: velmora-cli's side of a scan and a run on a terminal and
// the standard streams: their RunQuestions and RunProgress, and the sink of
// the engine's progress line.
//
// The scan's progress, and while the walk runs the engine's status
// updates, redraw a one-line progress display from the job's counters when
// stderr is a terminal. Notices are printed: the run summary on stdout,
// everything else on stderr. Questions are answered by the options (see
// answer_policy.h) or by the person at the terminal, and the answer taken
// is printed below the question either way, so a log tells what happened;
// a refusal an option would have turned names that option.
#ifndef VELMORA_CLI_CONSOLE_FRONT_END_H_
#define VELMORA_CLI_CONSOLE_FRONT_END_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/answer_policy.h"
#include "cli/progress_line.h"
#include "cli/signal_wait.h"
#include "cli/terminal.h"
#include "job/job_host.h"
#include "job/job_state.h"
#include "job/run_progress.h"
#include "job/run_questions.h"

namespace velmora::cli {

struct ConsoleSettings {
  AnswerRules answers;
  // The password is the first line of this descriptor (stdin for
  // --password-stdin) or file instead of a terminal prompt.
  int password_fd = -1;
  bool password_stdin = false;
  std::string password_file;
  // Ask twice on the terminal (encryption); a decryption's typo is caught
  // by the names that do not decipher.
  bool confirm_password = true;
  // Draw the progress line on stderr (it is a terminal).
  bool progress = false;
  // The folder the run was given, as typed: the subject of the errors
  // that end the run.
  std::u16string target;
};

class ConsoleFrontEnd : public RunQuestions, public RunProgress {
 public:
  // |signals| (may be null) interrupts terminal reads.
  ConsoleFrontEnd(const ConsoleSettings& settings, SignalWatcher* signals);
  ~ConsoleFrontEnd() override;

  // Scans host's scan_dir, drawing its progress; the line is cleared
  // once the scan is over.
  void Scan(JobHost& host);

  // A summary could not be written to stdout.
  bool output_failed() const { return output_failed_; }
  // A temporary decryption waits for its exit pass.
  bool waiting() const { return waiting_; }

  // The job whose scans and walks the progress line follows.
  void WatchJob(const JobState* job) { job_ = job; }

  // Reads the password now when it comes from a file or a descriptor, and
  // starts checking it against its verifiers while the scan runs. The
  // run's password question takes it; a failure to read it is told only
  // then.
  void ReadPasswordAhead();

  // Set while the exit pass of a temporary decryption runs.
  void SetExitPass(bool exit_pass) { settings_.answers.exit_pass = exit_pass; }

  // Print a program text (with "\r\n" line ends) and a line end.
  void PrintError(std::u16string_view text);
  void PrintOut(std::u16string_view text);
  // An error that ends the run, as one line: "velmora-cli: SUBJECT: TEXT"
  // (see FailureLine).
  void PrintFailure(std::u16string_view subject, std::u16string_view text);

  // RunQuestions.
  Answer Ask(const Question& question) override;
  void Notify(const Question& notice) override;
  bool AskPassword(SecretU16* password) override;

  // RunProgress.
  void ScanStarted() override;
  void ScanFolder(const std::u16string& folder) override;
  void ScanCounted(int32_t entries) override;
  void ScanCompleted(int32_t entries) override;
  void WalkStarted() override;
  void EntryStarted(int32_t done, int32_t total, const std::u16string& path) override;
  void ContentsProgressed(const std::u16string& directory, const std::u16string& source,
                          const std::u16string& target, int64_t done, int32_t size) override;
  void WalkEnded() override;
  void RunSummarized(const RunSummary& summary) override;
  void Waiting() override;
  void RunEnded() override;

 private:
  // The controlling terminal, opened on first use; null when there is none.
  Terminal* OpenTerminal();
  // The answer of the person at the terminal; none when there is no
  // terminal.
  std::optional<Answer> AskPerson(const Question& question);
  // Prints the question, the answer velmora-cli took by itself and the
  // option that would have answered it: one line where it ends the run.
  void PrintOwnAnswer(const Question& question, Answer answer);
  bool ReadPasswordFrom(int fd, SecretU16* password);
  // The password's file or descriptor, as an error names it.
  std::u16string PasswordSource() const;
  bool ReadPasswordFile(SecretU16* password);
  bool ReadPasswordFromTerminal(SecretU16* password);
  bool ReadPasswordFromSource(SecretU16* password);
  // The progress line's figures from the job, on the thread that runs it.
  ProgressFigures Figures();
  // Redraws the scan's figures with |current| as the entry it is on.
  void ShowScan(const std::u16string& current);
  // |path| below the scanned folder.
  std::u16string BelowTarget(std::u16string_view path) const;

  ConsoleSettings settings_;
  SignalWatcher* const signals_;
  ProgressLine progress_;
  const JobState* job_ = nullptr;
  bool scanning_ = false;
  bool walking_ = false;
  bool waiting_ = false;
  // The folder the scan reads, as a full path.
  std::u16string scan_current_;
  std::unique_ptr<Terminal> terminal_;

  bool output_failed_ = false;

  // The password read ahead: whether one was given, and what to print then.
  struct PasswordAhead {
    bool read = false;
    bool given = false;
    SecretU16 password;
    std::vector<std::function<void()>> reports;
  };
  PasswordAhead ahead_;
  bool deferring_reports_ = false;
};

}  // namespace velmora::cli

#endif  // VELMORA_CLI_CONSOLE_FRONT_END_H_
