// Running the real velmora-cli binary in tests: stdin, stdout and stderr on
// pipes, no controlling terminal (so it never finds a person to ask).
#ifndef VELMORA_TESTS_CLI_CLI_PROCESS_H_
#define VELMORA_TESTS_CLI_CLI_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace velmora::testing {

struct CliResult {
  int exit_status = -1;  // -1 when the child did not exit normally
  std::string out;
  std::string err;
};

class CliProcess {
 public:
  // Starts velmora-cli with |args|.
  explicit CliProcess(const std::vector<std::string>& args);
  // Kills a child that is still running, and reaps it.
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  bool started() const { return pid_ > 0; }

  void Write(const std::string& bytes);
  void CloseInput();
  // Collects output until stderr holds |needle|; false when the child ended
  // (or a generous bound passed) first.
  bool WaitForStderr(const std::string& needle);
  void Signal(int signal_number);
  // Collects the rest of the output and waits for the exit.
  CliResult Finish();

 private:
  // Reads what is ready; false when both outputs are at their end or
  // |timeout_ms| passed without anything.
  bool Collect(int timeout_ms);

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
  CliResult result_;
};

// Runs velmora-cli with |args| and |input| on stdin (then end of input).
CliResult RunCli(const std::vector<std::string>& args,
                 const std::string& input = std::string());

}  // namespace velmora::testing

#endif  // VELMORA_TESTS_CLI_CLI_PROCESS_H_
