// velmora-cli on a pseudo-terminal: the progress line a person sees, the
// questions and the password prompt.

#include <sys/syscall.h>

#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "engine/crypter.h"
#include "job/messages.h"
#include "platform/u16_format.h"
#include "tests/cli/cli_child.h"
#include "tests/support/state_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"

namespace velmora::testing {
namespace {

// |plain| enciphered with the password of kPasswordLine.
std::string EncipheredName(const std::string& plain) {
  Crypter crypter;
  crypter.SetPassword(u"correct horse \u3042");
  crypter.set_listed_extensions(ListedExtensions::kHeadOnly);
  return Wtf8FromUtf16(crypter.ConvertName(Utf16FromWtf8(plain), Direction::kEncrypt).target);
}

// Waits until process |pid| sits in a write(2) it cannot finish: its
// terminal's output is held (Ctrl+S).
bool HeldInWrite(pid_t pid) {
  for (int waited = 0; waited < 60000; ++waited) {
    std::ifstream calls("/proc/" + std::to_string(pid) + "/syscall");
    long number = -1;
    if (calls >> number && number == SYS_write) return true;
    ::usleep(1000);
  }
  return false;
}

bool Echoes(const Child& child) {
  termios modes{};
  return !child.TerminalModes(&modes) || (modes.c_lflag & ECHO) != 0;
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
  const std::regex figures("[0-3]/3 件  [0-9.]+ (B|KiB) / 340\\.4 KiB \\((100|[0-9]{1,2})%\\).*");

  struct Run {
    const char* command;
    unsigned short columns;
  } runs[] = {{"encrypt", 50}, {"decrypt", 24}, {"encrypt", 100}};
  for (const Run& run : runs) {
    const Cli result =
        Child({run.command, "--password-file", password, root}, {{"TERM", "xterm"}}, run.columns)
            .Finish();
    EXPECT_EQ(result.status, 0) << result.out;
    bool walk_line = false;
    const std::vector<std::string> lines = ProgressLines(result.out);
    EXPECT_GE(lines.size(), 4u) << result.out;  // scan, walk, erasures
    for (const std::string& line : lines) {
      EXPECT_LT(TerminalColumnsOf(line), run.columns) << line;
      EXPECT_EQ(line.find_first_of("\x1b\r\n"), std::string::npos) << line;
      walk_line = walk_line || std::regex_match(line, figures);
    }
    EXPECT_EQ(walk_line, run.columns > 24) << result.out;
    EXPECT_EQ(Has(result.out, "%)  " + name + "\x1b[K"), run.columns == 100) << result.out;
  }

  const Cli dumb =
      Child({"decrypt", "--password-file", password, root}, {{"TERM", "dumb"}}, 80).Finish();
  EXPECT_EQ(dumb.status, 0) << dumb.out;
  EXPECT_FALSE(Has(dumb.out, "\r")) << dumb.out;
  EXPECT_FALSE(Has(dumb.out, "\x1b")) << dumb.out;
  EXPECT_TRUE(Has(dumb.out, "3 / 3")) << dumb.out;  // the summary
}

// Enter alone answers the default button of a question whose Yes would
// delete: No. The exit pass finds a.txt's enciphered name taken.
TEST(CliTerminalTest, EnterAloneAnswersNoWhereYesWouldDelete) {
  ScopedStateHome state_home;
  TempDir base;
  const std::string root = base.path() + "/tree";
  MakeDirectory(root);
  WriteFile(root + "/a.txt", "a");
  const std::string password = base.path() + "/password";
  WriteFile(password, kPasswordLine);
  ASSERT_EQ(RunCli({"encrypt", "--password-file", password, root}, "").status, 0);
  Child open({"open", "--password-file", password, root}, {{"TERM", "dumb"}}, 80);
  ASSERT_TRUE(open.ReadUntil(Shown(text::kWaiting).c_str()));
  const std::string taken = root + "/" + EncipheredName("a.txt");
  WriteFile(taken, "someone else's");
  open.Write("\n");
  const std::u16string_view exists = text::kTargetExists;
  ASSERT_TRUE(open.ReadUntil(Shown(exists.substr(0, exists.find(u'%'))).c_str()));
  ASSERT_TRUE(open.ReadUntil("[y=はい / N=いいえ] "));
  open.Write("\n");
  const Cli ended = open.Finish();
  EXPECT_EQ(ended.status, 1) << ended.out;
  EXPECT_TRUE(Has(ended.out, "[y=はい / N=いいえ] -> いいえ\n")) << ended.out;
  EXPECT_EQ(ReadFile(taken), "someone else's");
  EXPECT_EQ(ReadFile(root + "/a.txt"), "a");
}

// The prompt hides typing from before it shows until both passwords are in,
// and drops what was typed before it. Output is held (Ctrl+S) while the
// program writes its prompts, so each is caught as it appears.
TEST(CliTerminalTest, NothingTypedAtThePasswordPromptIsEchoed) {
  ScopedStateHome state_home;
  TempDir base;
  const std::string root = base.path() + "/tree";
  MakeDirectory(root);
  WriteFile(root + "/a.txt", "a");
  const TreeSnapshot plain = Snapshot(root);
  Child encrypt({"encrypt", root}, {{"TERM", "dumb"}}, 80, /*cooked=*/true, "typed-ahead\n\x13");
  ASSERT_TRUE(HeldInWrite(encrypt.pid()));
  EXPECT_FALSE(Echoes(encrypt)) << "echo still on as the prompt is written";
  encrypt.Write("\x11");
  ASSERT_TRUE(encrypt.ReadUntil("パスワード: "));
  encrypt.Write("hidden-secret\n\x13");
  ASSERT_TRUE(HeldInWrite(encrypt.pid()));
  EXPECT_FALSE(Echoes(encrypt)) << "echo on again between the two prompts";
  encrypt.Write("hidden-secret\n\x11");
  ASSERT_TRUE(encrypt.ReadUntil(Shown(Format(text::kAllDone, {1, 1})).c_str()));
  EXPECT_TRUE(Echoes(encrypt)) << "echo not given back";
  const Cli ended = encrypt.Finish();
  EXPECT_EQ(ended.status, 0) << ended.out;
  EXPECT_FALSE(Has(ended.out, "hidden-secret")) << ended.out;
  // The password is what was typed at the prompt, not before it.
  const std::string password = base.path() + "/password";
  WriteFile(password, "hidden-secret\n");
  EXPECT_EQ(RunCli({"decrypt", "--password-file", password, root}, "").status, 0);
  EXPECT_EQ(Snapshot(root), plain);
}

// The prompts, the progress line and the summary a person sees under an
// EUC-JP locale are all EUC-JP.
TEST(CliTerminalTest, ThePromptsAndLinesAreInTheLocalesCharacterSet) {
  ScopedStateHome state_home;
  TempDir base;
  WriteFile(base.path() + "/a.txt", "a");
  Child encrypt({"encrypt", base.path()}, {{"LC_ALL", "ja_JP.EUC-JP"}, {"TERM", "xterm"}}, 80);
  const std::optional<std::string> label = Converted("EUC-JP", "UTF-8", "パスワード: ");
  ASSERT_TRUE(label.has_value());
  ASSERT_TRUE(encrypt.ReadUntil(label->c_str()));
  encrypt.Write("hidden-secret\n");
  const std::optional<std::string> confirm = Converted("EUC-JP", "UTF-8", "パスワード（確認用）: ");
  ASSERT_TRUE(confirm.has_value());
  ASSERT_TRUE(encrypt.ReadUntil(confirm->c_str()));
  encrypt.Write("hidden-secret\n");
  const Cli ended = encrypt.Finish();
  EXPECT_EQ(ended.status, 0) << ended.out;
  const std::optional<std::string> shown = Converted("UTF-8", "EUC-JP", ended.out);
  ASSERT_TRUE(shown.has_value()) << ended.out;
  EXPECT_TRUE(Has(*shown, "パスワード（確認用）: ")) << *shown;
  EXPECT_TRUE(Has(*shown, Shown(Format(text::kAllDone, {1, 1})))) << *shown;
}

}  // namespace
}  // namespace velmora::testing
