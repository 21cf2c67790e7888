// velmora-cli on a pseudo-terminal: the progress line a person sees.

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/cli_child.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

struct OnTerminal {
  int status = -1;
  std::string written;  // everything the child wrote to the terminal
};

// Runs velmora-cli with its stdio and controlling terminal on a new
// pseudo-terminal |columns| wide. Output is not post-processed, so every
// carriage return is the program's own.
OnTerminal RunOnTerminal(std::vector<std::string> args, int columns,
                         const char* term) {
  args.insert(args.begin(), VELMORA_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  termios raw{};
  ::cfmakeraw(&raw);
  winsize size{};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(columns);
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, &raw, &size);
  if (pid == 0) {
    ::unsetenv("LANGUAGE");
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("TERM", term, 1);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  OnTerminal result;
  if (pid < 0) return result;
  while (true) {
    pollfd ready = {master, POLLIN, 0};
    if (::poll(&ready, 1, 60000) <= 0) break;  // a minute: the child hangs
    char buffer[4096];
    const ssize_t count = ::read(master, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;  // EIO once the child's side is closed
    result.written.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(master);
  ::kill(pid, SIGKILL);  // gone already, unless it hung
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// The progress lines drawn: each "\r", its text, then "erase the rest".
std::vector<std::string> ProgressLines(const std::string& written) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; (at = written.find('\r', at)) != std::string::npos;) {
    const std::size_t end = written.find("\x1b[K", ++at);
    if (end == std::string::npos) break;
    lines.push_back(written.substr(at, end - at));
  }
  return lines;
}

TEST(CliTerminalTest, TheProgressLineFitsTheWidthAndADumbTerminalGetsNone) {
  ScopedStateHome state_home;
  TempDir base;
  const std::string root = base.path() + "/tree";
  // Wide (CJK, emoji, one newer than glibc's tables), the emoji selector and
  // a combining mark. The encrypt walk starts in the deepest folder, so its
  // first line names the file: in 50 columns one column too many for it.
  const std::string name = "写真😀/報告❤️e\xcc\x81🫨.txt";
  MakeDirectory(root);
  MakeDirectory(root + "/写真😀");
  WriteFile(root + "/" + name, RandomContents(300000, 1));
  WriteFile(root + "/a.txt", RandomContents(48576, 2));  // 340.4 KiB in all
  const std::string password = base.path() + "/password";
  WriteFile(password, "secret\n");
  const std::regex figures(
      "[0-3]/3 件  [0-9.]+ (B|KiB) / 340\\.4 KiB \\((100|[0-9]{1,2})%\\).*");

  struct Run {
    const char* command;
    int columns;
  } runs[] = {{"encrypt", 50}, {"decrypt", 24}, {"encrypt", 100}};
  for (const Run& run : runs) {
    const OnTerminal result = RunOnTerminal(
        {run.command, "--password-file", password, root}, run.columns, "xterm");
    EXPECT_EQ(result.status, 0) << result.written;
    bool walk_line = false;
    const std::vector<std::string> lines = ProgressLines(result.written);
    EXPECT_GE(lines.size(), 4u) << result.written;  // scan, walk, erasures
    for (const std::string& line : lines) {
      EXPECT_LT(TerminalColumnsOf(line), run.columns) << line;
      EXPECT_EQ(line.find_first_of("\x1b\r\n"), std::string::npos) << line;
      walk_line = walk_line || std::regex_match(line, figures);
    }
    EXPECT_EQ(walk_line, run.columns > 24) << result.written;
    if (run.columns == 100) {
      EXPECT_TRUE(Has(result.written, "%)  " + name + "\x1b[K"))
          << result.written;
    }
  }

  const OnTerminal dumb = RunOnTerminal(
      {"decrypt", "--password-file", password, root}, 80, "dumb");
  EXPECT_EQ(dumb.status, 0) << dumb.written;
  EXPECT_FALSE(Has(dumb.written, "\r")) << dumb.written;
  EXPECT_FALSE(Has(dumb.written, "\x1b")) << dumb.written;
  EXPECT_TRUE(Has(dumb.written, "3 / 3")) << dumb.written;  // the summary
}

}  // namespace
}  // namespace velmora::testing
