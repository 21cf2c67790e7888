// velmora-cli: the terminal front end of Velmora.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/session.h"
#include "platform/version.h"

int main(int argc, char** argv) {
  using velmora::cli::Command;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const velmora::cli::ParseResult parsed = velmora::cli::ParseArguments(args);
  if (!parsed.ok()) {
    std::fprintf(stderr, "velmora-cli: %s\n%s", parsed.error.c_str(),
                 velmora::cli::ShortUsageText());
    return velmora::cli::kExitUsage;
  }
  switch (parsed.options.command) {
    case Command::kHelp:
      std::fputs(velmora::cli::UsageText(), stdout);
      return 0;
    case Command::kVersion:
      std::puts("velmora-cli " VELMORA_VERSION);
      return 0;
    default:
      break;
  }
  return velmora::cli::RunSession(parsed.options);
}
