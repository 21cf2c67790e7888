// The command line of velmora-cli, parsed into a plain struct.
//
// Grammar (getopt_long): velmora-cli [options] COMMAND DIR, options
// anywhere; a value after '=' or as the next argument; "--" ends the
// options, so a DIR that starts with '-' can still be named.
//   COMMAND  encrypt | decrypt | open
//   options  -y --yes  --trust-password  --on-problem=ask|skip|abort
//            --password-stdin
//            --password-file=FILE  --password-fd=N  --whole
//            --extensions=A,B,...  -h --help  -V --version
// --help and --version win over everything else on the line.
#ifndef VELMORA_CLI_OPTIONS_H_
#define VELMORA_CLI_OPTIONS_H_

#include <optional>
#include <string>
#include <vector>

namespace velmora::cli {

enum class Command { kNone, kEncrypt, kDecrypt, kOpen, kHelp, kVersion };

// How per-entry prompts are answered.
enum class ProblemPolicy {
  kDefault,  // ask when stdin and stderr are a terminal, otherwise abort
  kAsk,      // on the terminal
  kSkip,     // Yes to a problem prompt, Ignore to Abort/(Retry/)Ignore
  kAbort,    // No / Abort
};

struct Options {
  Command command = Command::kNone;
  std::string directory;  // as given, bytes
  // At most one password source; none means the terminal.
  bool password_stdin = false;
  std::string password_file;
  int password_fd = -1;
  bool yes = false;
  // Decrypt although the tree's names cannot check the whole password and
  // no verifier on this account knows it.
  bool trust_password = false;
  bool whole = false;
  ProblemPolicy on_problem = ProblemPolicy::kDefault;
  // Present only when --extensions was given: the new table, in order.
  std::optional<std::vector<std::u16string>> extensions;
};

struct ParseResult {
  Options options;
  std::u16string error;  // empty on success; otherwise a one-line reason
  bool ok() const { return error.empty(); }
};

// Parses |args| (argv without the program name). Never fails for --help or
// --version, whatever else is on the line.
ParseResult ParseArguments(const std::vector<std::string>& args);

// The help text, and the two lines shown after a usage error, in the user's
// language; both end with a line feed.
std::u16string UsageText();
std::u16string ShortUsageText();

}  // namespace velmora::cli

#endif  // VELMORA_CLI_OPTIONS_H_
