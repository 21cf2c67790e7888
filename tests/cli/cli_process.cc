#include "tests/cli/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace velmora::testing {
namespace {

// Generous: a stuck child fails the test instead of hanging it.
constexpr int kPatienceMs = 60000;

void CloseFd(int* fd) {
  if (*fd >= 0) ::close(*fd);
  *fd = -1;
}

}  // namespace

CliProcess::CliProcess(const std::vector<std::string>& args) {
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  if (::pipe2(err, O_CLOEXEC) != 0) return;
  std::vector<std::string> argv_storage;
  argv_storage.push_back(VELMORA_CLI_PATH);
  argv_storage.insert(argv_storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_storage) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ == 0) {
    ::setsid();  // no controlling terminal: /dev/tty cannot be opened
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
  // A child that exits before reading its input must not kill the test.
  ::signal(SIGPIPE, SIG_IGN);
}

CliProcess::~CliProcess() {
  CloseFd(&in_);
  CloseFd(&out_);
  CloseFd(&err_);
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status;
    ::waitpid(pid_, &status, 0);
  }
}

void CliProcess::Write(const std::string& bytes) {
  std::size_t written = 0;
  while (in_ >= 0 && written < bytes.size()) {
    const ssize_t count =
        ::write(in_, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    written += static_cast<std::size_t>(count);
  }
}

void CliProcess::CloseInput() { CloseFd(&in_); }

bool CliProcess::Collect(int timeout_ms) {
  pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
  if (out_ < 0 && err_ < 0) return false;
  const int ready = ::poll(fds, 2, timeout_ms);
  if (ready < 0) return errno == EINTR;
  if (ready == 0) return false;
  int* fd_of[2] = {&out_, &err_};
  std::string* text_of[2] = {&result_.out, &result_.err};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].revents == 0) continue;
    char buffer[4096];
    const ssize_t count = ::read(*fd_of[i], buffer, sizeof(buffer));
    if (count > 0) {
      text_of[i]->append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0 || errno != EINTR) {
      CloseFd(fd_of[i]);
    }
  }
  return true;
}

bool CliProcess::WaitForStderr(const std::string& needle) {
  while (result_.err.find(needle) == std::string::npos) {
    if (!Collect(kPatienceMs)) return false;
  }
  return true;
}

void CliProcess::Signal(int signal_number) {
  if (pid_ > 0) ::kill(pid_, signal_number);
}

CliResult CliProcess::Finish() {
  while (Collect(kPatienceMs)) {
  }
  if (pid_ > 0) {
    int status = 0;
    if (out_ >= 0 || err_ >= 0) ::kill(pid_, SIGKILL);  // gave up waiting
    if (::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) {
      result_.exit_status = WEXITSTATUS(status);
    }
    pid_ = -1;
  }
  return result_;
}

CliResult RunCli(const std::vector<std::string>& args,
                 const std::string& input) {
  CliProcess process(args);
  process.Write(input);
  process.CloseInput();
  return process.Finish();
}

}  // namespace velmora::testing
