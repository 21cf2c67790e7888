#include "cli/options.h"

#include <string_view>

#include "engine/crypter.h"
#include "platform/wtf8.h"

namespace velmora::cli {
namespace {

constexpr std::size_t kMaxExtensionUnits = kExtensionSlotUnits - 1;

std::optional<Command> CommandFromName(std::string_view name) {
  if (name == "encrypt") return Command::kEncrypt;
  if (name == "decrypt") return Command::kDecrypt;
  if (name == "open") return Command::kOpen;
  return std::nullopt;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Splits the comma list into slots; empty items are dropped so that a stray
// comma does not end the table early.
std::string ParseExtensions(std::string_view list,
                            std::vector<std::u16string>* out) {
  out->clear();
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    if (!item.empty()) {
      std::u16string unit_text = Utf16FromWtf8(item);
      if (unit_text.size() > kMaxExtensionUnits) {
        return "extension \"" + std::string(item) + "\" is longer than " +
               std::to_string(kMaxExtensionUnits) + " characters";
      }
      if (out->size() == static_cast<std::size_t>(kExtensionSlots)) {
        return "more than " + std::to_string(kExtensionSlots) +
               " extensions";
      }
      out->push_back(std::move(unit_text));
    }
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return std::string();
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
  ParseResult result;
  Options& options = result.options;

  // Help and version win over everything else, mistakes included.
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      options.command = Command::kHelp;
      return result;
    }
    if (arg == "--version") {
      options.command = Command::kVersion;
      return result;
    }
  }

  if (args.empty()) {
    result.error = "missing command";
    return result;
  }
  const std::optional<Command> command = CommandFromName(args[0]);
  if (!command) {
    result.error = "unknown command \"" + args[0] + "\"";
    return result;
  }
  options.command = *command;

  bool have_directory = false;
  bool options_ended = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    // "-" alone is a name like any other.
    const bool is_option =
        !options_ended && arg.size() > 1 && arg.front() == '-';
    if (!is_option) {
      if (have_directory) {
        result.error = "more than one directory given";
        return result;
      }
      options.directory = std::string(arg);
      have_directory = true;
      continue;
    }
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "--password-stdin") {
      options.password_stdin = true;
    } else if (arg == "--yes") {
      options.yes = true;
    } else if (arg == "--whole") {
      options.whole = true;
    } else if (StartsWith(arg, "--on-problem=")) {
      const std::string_view value = arg.substr(13);
      if (value == "ask") {
        options.on_problem = ProblemPolicy::kAsk;
      } else if (value == "skip") {
        options.on_problem = ProblemPolicy::kSkip;
      } else if (value == "abort") {
        options.on_problem = ProblemPolicy::kAbort;
      } else {
        result.error = "--on-problem takes ask, skip or abort";
        return result;
      }
    } else if (StartsWith(arg, "--extensions=")) {
      std::vector<std::u16string> table;
      std::string problem = ParseExtensions(arg.substr(13), &table);
      if (!problem.empty()) {
        result.error = std::move(problem);
        return result;
      }
      options.extensions = std::move(table);
    } else {
      result.error = "unknown option \"" + std::string(arg) + "\"";
      return result;
    }
  }
  if (!have_directory) {
    result.error = "missing directory";
    return result;
  }
  return result;
}

const char* UsageText() {
  return "Usage: velmora-cli encrypt|decrypt|open DIR [options]\n"
         "\n"
         "Protects the directory tree DIR with a password, in place.\n"
         "  encrypt   encrypt every entry below DIR\n"
         "  decrypt   decrypt every entry below DIR\n"
         "  open      decrypt, wait for Enter (or end of input, Ctrl+C,\n"
         "            SIGTERM, SIGHUP), then encrypt again with the same key\n"
         "\n"
         "A signal never stops a run half-way: it takes effect when the run "
         "ends.\n"
         "\n"
         "Options (anywhere after the command):\n"
         "  --password-stdin          read the password from the first line "
         "of stdin\n"
         "  --yes                     continue past mixed-tree warnings\n"
         "  --on-problem=ask|skip|abort\n"
         "                            answer per-entry problems (default: ask "
         "on a\n"
         "                            terminal, otherwise abort)\n"
         "  --whole                   encipher whole files, whatever the "
         "extension\n"
         "  --extensions=LZH,ZIP,...  extensions whose files get only their "
         "head\n"
         "                            enciphered (replaces the built-in list)\n"
         "  --help                    show this help\n"
         "  --version                 show the version\n"
         "\n"
         "Exit status: 0 all done, 1 entries not done, 2 usage error or "
         "nothing done,\n"
         "3 a file too large for the cipher.\n";
}

const char* ShortUsageText() {
  return "Usage: velmora-cli encrypt|decrypt|open DIR [options]\n"
         "Try 'velmora-cli --help' for the options.\n";
}

}  // namespace velmora::cli
