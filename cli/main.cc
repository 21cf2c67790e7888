// velmora-cli: the terminal front end of Velmora.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/display_text.h"
#include "cli/left_decrypted_warning.h"
#include "cli/local_charset.h"
#include "cli/options.h"
#include "cli/session.h"
#include "platform/catalogue.h"
#include "platform/secret_memory.h"
#include "platform/version.h"

namespace {

// Standard output failing (a full disk, a closed pipe) is an error too.
int Print(const std::string& text, int status) {
  std::fputs(velmora::cli::LocalBytes(text).c_str(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    const int error = errno;
    std::fputs(velmora::cli::LocalBytes(
                   velmora::cli::FailureLine(u"stdout", velmora::cli::SystemReason(error)))
                   .c_str(),
               stderr);
    return velmora::cli::kExitSomeNotDone;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // The password and the keys live in this process for the whole run.
  velmora::ProtectProcessMemory();
  velmora::BindCatalogue();
  // A closed pipe is an error to report, not a reason to vanish.
  std::signal(SIGPIPE, SIG_IGN);
  using velmora::cli::Command;
  using velmora::cli::DisplayText;
  velmora::cli::WarnAboutTreesLeftDecrypted();
  const std::vector<std::string> args(argv + 1, argv + argc);
  const velmora::cli::ParseResult parsed = velmora::cli::ParseArguments(args);
  if (!parsed.ok()) {
    std::fputs(velmora::cli::LocalBytes("velmora-cli: " + DisplayText(parsed.error) + "\n" +
                                        DisplayText(velmora::cli::ShortUsageText()))
                   .c_str(),
               stderr);
    return velmora::cli::kExitUsage;
  }
  switch (parsed.options.command) {
    case Command::kHelp:
      return Print(DisplayText(velmora::cli::UsageText()), 0);
    case Command::kVersion:
      return Print("velmora-cli " VELMORA_VERSION "\n", 0);
    default:
      break;
  }
  return velmora::cli::RunSession(parsed.options);
}
