// The command line of velmora-cli, parsed into a plain struct.
//
// Grammar: velmora-cli COMMAND [options] DIR [options]
//   COMMAND  encrypt | decrypt | open
//   options  --password-stdin  --yes  --whole  --extensions=A,B,...
//            --on-problem=ask|skip|abort  --help  --version  --
// --help and --version are accepted anywhere, the command included. "--"
// ends the options, so a DIR that starts with '-' can still be named.
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
  bool password_stdin = false;
  bool yes = false;
  bool whole = false;
  ProblemPolicy on_problem = ProblemPolicy::kDefault;
  // Present only when --extensions was given: the new table, in order.
  std::optional<std::vector<std::u16string>> extensions;
};

struct ParseResult {
  Options options;
  std::string error;  // empty on success; otherwise a one-line reason
  bool ok() const { return error.empty(); }
};

// Parses |args| (argv without the program name). Never fails for --help or
// --version, whatever else is on the line.
ParseResult ParseArguments(const std::vector<std::string>& args);

// The help text, and the two lines shown after a usage error; both end with
// a line feed.
const char* UsageText();
const char* ShortUsageText();

}  // namespace velmora::cli

#endif  // VELMORA_CLI_OPTIONS_H_
