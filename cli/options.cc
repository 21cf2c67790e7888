#include "cli/options.h"

#include <getopt.h>

#include <cstdlib>
#include <string_view>

#include "engine/crypter.h"
#include "platform/catalogue.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"

namespace velmora::cli {
namespace {

constexpr std::size_t kMaxExtensionUnits = kExtensionSlotUnits - 1;

constexpr Text kMissingCommand = u"コマンドがありません（encrypt、decrypt、open のいずれか）。";
constexpr Text kUnknownCommand = u"不明なコマンドです: %s";
constexpr Text kMissingDirectory = u"ディレクトリが指定されていません。";
constexpr Text kExtraArgument = u"余分な引数です: %s";
constexpr Text kBadOption = u"不正なオプションです: %s";
constexpr Text kMissingValue = u"オプション %s には値が必要です。";
constexpr Text kBadOnProblem = u"--on-problem には ask、skip、abort のいずれかを指定して下さい。";
constexpr Text kBadFd = u"--password-fd には 0 以上の数を指定して下さい。";
constexpr Text kTwoPasswordSources = u"パスワードの読み込み元は1つだけ指定して下さい。";
constexpr Text kExtensionTooLong = u"拡張子 \"%s\" が %d 文字を超えています。";
constexpr Text kTooManyExtensions = u"拡張子が %d 個を超えています。";

constexpr Text kUsage =
    u"使い方: velmora-cli [オプション]... encrypt|decrypt|open DIR\n"
    u"\n"
    u"ディレクトリ DIR 以下のすべてをパスワードでその場で暗号化します。\n"
    u"  encrypt   DIR 以下を暗号化する（パスワードを2回たずねます）\n"
    u"  decrypt   DIR 以下を暗号解除する（パスワードを1回たずねます）\n"
    u"  open      暗号解除し、Enter（入力の終わり、Ctrl+C、SIGTERM、SIGHUP）を\n"
    u"            待って同じ鍵で再び暗号化する\n"
    u"\n"
    u"シグナル（Ctrl+C、SIGTERM、SIGHUP）は、処理中のファイルを終えてから処理を止めます。\n"
    u"\n"
    u"オプション（コマンドの前後どこでも。値は '=' の後か次の引数に）:\n"
    u"  -y, --yes                 暗号化済みと未暗号化の混在の警告で続行する\n"
    u"  --trust-password          ファイル名では確認しきれないパスワードを信用して\n"
    u"                            暗号解除する（--yes では答えません）\n"
    u"  --on-problem=ask|skip|abort\n"
    u"                            個々のファイルの問題への答え（既定: 端末なら\n"
    u"                            たずね、それ以外は中止）\n"
    u"  --password-stdin          パスワードを標準入力の1行目から読む\n"
    u"  --password-file=FILE      パスワードを FILE の1行目から読む\n"
    u"  --password-fd=N           パスワードをファイル記述子 N の1行目から読む\n"
    u"  --whole                   拡張子にかかわらずファイル全体を暗号化する\n"
    u"  --extensions=LZH,ZIP,...  先頭だけを暗号化する拡張子（既定の一覧を\n"
    u"                            置き換える）\n"
    u"  -h, --help                このヘルプを表示する\n"
    u"  -V, --version             バージョンを表示する\n"
    u"  --                        オプションの終わり\n"
    u"\n"
    u"終了ステータス: 0 すべて完了、1 処理されなかったファイルがある、\n"
    u"2 使い方の誤り・対象の拒否・パスワードなし、3 暗号化できない大きさのファイル、\n"
    u"4 処理対象なし、5 パスワードが違う、6 別の処理が使用中、\n"
    u"128+N シグナル N で停止した。\n";
constexpr Text kShortUsage =
    u"使い方: velmora-cli [オプション]... encrypt|decrypt|open DIR\n"
    u"詳しくは 'velmora-cli --help' を実行して下さい。\n";

std::optional<Command> CommandFromName(std::string_view name) {
  if (name == "encrypt") return Command::kEncrypt;
  if (name == "decrypt") return Command::kDecrypt;
  if (name == "open") return Command::kOpen;
  return std::nullopt;
}

std::u16string Bytes(std::string_view text) { return Utf16FromWtf8(text); }

// Splits the comma list into slots; empty items are dropped so that a stray
// comma does not end the table early.
std::u16string ParseExtensions(std::string_view list, std::vector<std::u16string>* out) {
  out->clear();
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    if (!item.empty()) {
      std::u16string unit_text = Bytes(item);
      if (unit_text.size() > kMaxExtensionUnits) {
        return Format(kExtensionTooLong, {unit_text, static_cast<int64_t>(kMaxExtensionUnits)});
      }
      if (out->size() == static_cast<std::size_t>(kExtensionSlots)) {
        return Format(kTooManyExtensions, {int64_t{kExtensionSlots}});
      }
      out->push_back(std::move(unit_text));
    }
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return std::u16string();
}

enum LongOnly {
  kOnProblem = 256,
  kPasswordStdin,
  kPasswordFile,
  kPasswordFd,
  kWhole,
  kExtensions,
  kTrustPassword,
};

constexpr option kLongOptions[] = {
    {"yes", no_argument, nullptr, 'y'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {"on-problem", required_argument, nullptr, kOnProblem},
    {"password-stdin", no_argument, nullptr, kPasswordStdin},
    {"password-file", required_argument, nullptr, kPasswordFile},
    {"password-fd", required_argument, nullptr, kPasswordFd},
    {"whole", no_argument, nullptr, kWhole},
    {"extensions", required_argument, nullptr, kExtensions},
    {"trust-password", no_argument, nullptr, kTrustPassword},
    {nullptr, 0, nullptr, 0},
};

// Applies one option with its value; returns the reason it is refused.
std::u16string Apply(int code, const char* value, Options* options) {
  switch (code) {
    case 'y':
      options->yes = true;
      break;
    case kOnProblem: {
      const std::string_view policy = value;
      if (policy == "ask") {
        options->on_problem = ProblemPolicy::kAsk;
      } else if (policy == "skip") {
        options->on_problem = ProblemPolicy::kSkip;
      } else if (policy == "abort") {
        options->on_problem = ProblemPolicy::kAbort;
      } else {
        return kBadOnProblem;
      }
      break;
    }
    case kPasswordStdin:
      options->password_stdin = true;
      break;
    case kPasswordFile:
      options->password_file = value;
      if (options->password_file.empty()) {
        return Format(kMissingValue, {u"--password-file"});
      }
      break;
    case kPasswordFd: {
      char* end = nullptr;
      const long fd = std::strtol(value, &end, 10);
      if (*value == '\0' || *end != '\0' || fd < 0 || fd > 1 << 20) {
        return kBadFd;
      }
      options->password_fd = static_cast<int>(fd);
      break;
    }
    case kWhole:
      options->whole = true;
      break;
    case kTrustPassword:
      options->trust_password = true;
      break;
    case kExtensions: {
      std::vector<std::u16string> table;
      std::u16string problem = ParseExtensions(value, &table);
      if (!problem.empty()) return problem;
      options->extensions = std::move(table);
      break;
    }
  }
  return std::u16string();
}

// What getopt_long found: the options applied to |options|, the operands
// in order, the first mistake, and whether help or the version was asked.
struct Scanned {
  std::vector<std::string> operands;
  std::u16string problem;
  bool help = false;
  bool version = false;
};

Scanned ScanArguments(const std::vector<std::string>& args, Options* options) {
  std::vector<std::string> storage;
  storage.reserve(args.size() + 1);
  storage.push_back("velmora-cli");
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(storage.size() + 1);
  for (std::string& arg : storage) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(storage.size());

  // '-': operands come back in order as code 1, whatever POSIXLY_CORRECT
  // says; ':': a missing value is told apart from an unknown option. The
  // messages are our own, in the user's language.
  Scanned scanned;
  opterr = 0;
  optind = 0;  // a full restart: glibc re-reads its state
  for (int code; (code = getopt_long(argc, argv.data(), "-:yhV", kLongOptions, nullptr)) != -1;) {
    if (code == 1) {
      scanned.operands.emplace_back(optarg);
    } else if (code == 'h') {
      scanned.help = true;
    } else if (code == 'V') {
      scanned.version = true;
    } else if (code == '?' || code == ':') {
      if (!scanned.problem.empty()) continue;
      const std::string_view given = argv[optind - 1];
      const std::u16string name = given.starts_with("--") || optopt == 0 || optopt >= 256
                                      ? Bytes(given.substr(0, given.find('=')))
                                      : std::u16string(u"-") + static_cast<char16_t>(optopt);
      scanned.problem = Format(code == ':' ? kMissingValue : kBadOption, {name});
    } else if (scanned.problem.empty()) {
      scanned.problem = Apply(code, optarg, options);
    }
  }
  for (int i = optind; i < argc; ++i) scanned.operands.emplace_back(argv[i]);
  return scanned;
}

// The command and the folder from the operands; the mistake, or empty.
std::u16string TakeOperands(const std::vector<std::string>& operands, Options* options) {
  if (operands.empty()) return kMissingCommand;
  const std::optional<Command> command = CommandFromName(operands[0]);
  if (!command) return Format(kUnknownCommand, {Bytes(operands[0])});
  options->command = *command;
  if (operands.size() < 2) return kMissingDirectory;
  if (operands.size() > 2) return Format(kExtraArgument, {Bytes(operands[2])});
  options->directory = operands[1];
  const int sources = (options->password_stdin ? 1 : 0) + (options->password_file.empty() ? 0 : 1) +
                      (options->password_fd >= 0 ? 1 : 0);
  return sources > 1 ? std::u16string(kTwoPasswordSources) : std::u16string();
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
  ParseResult result;
  Options& options = result.options;
  Scanned scanned = ScanArguments(args, &options);
  // Help and version win over everything else, mistakes included.
  if (scanned.help || scanned.version) {
    options.command = scanned.help ? Command::kHelp : Command::kVersion;
    return result;
  }
  result.error = !scanned.problem.empty() ? std::move(scanned.problem)
                                          : TakeOperands(scanned.operands, &options);
  return result;
}

std::u16string UsageText() { return kUsage; }

std::u16string ShortUsageText() { return kShortUsage; }

}  // namespace velmora::cli
