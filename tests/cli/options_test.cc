#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::cli {
namespace {

ParseResult Parse(std::vector<std::string> args) { return ParseArguments(args); }

TEST(OptionsTest, CommandAndDirectory) {
  const ParseResult r = Parse({"decrypt", "/tmp/x"});
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.options.command, Command::kDecrypt);
  EXPECT_EQ(r.options.directory, "/tmp/x");
  EXPECT_FALSE(r.options.password_stdin);
  EXPECT_FALSE(r.options.yes);
  EXPECT_FALSE(r.options.whole);
  EXPECT_EQ(r.options.on_problem, ProblemPolicy::kDefault);
  EXPECT_FALSE(r.options.extensions.has_value());
}

TEST(OptionsTest, OptionsMayStandBeforeAndAfterTheDirectory) {
  const ParseResult r = Parse({"open", "--password-stdin", "--on-problem=skip",
                               "dir", "--yes", "--whole"});
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.options.command, Command::kOpen);
  EXPECT_EQ(r.options.directory, "dir");
  EXPECT_TRUE(r.options.password_stdin);
  EXPECT_TRUE(r.options.yes);
  EXPECT_TRUE(r.options.whole);
  EXPECT_EQ(r.options.on_problem, ProblemPolicy::kSkip);
}

TEST(OptionsTest, OnProblemValues) {
  EXPECT_EQ(Parse({"encrypt", "d", "--on-problem=ask"}).options.on_problem,
            ProblemPolicy::kAsk);
  EXPECT_EQ(Parse({"encrypt", "d", "--on-problem=abort"}).options.on_problem,
            ProblemPolicy::kAbort);
  EXPECT_FALSE(Parse({"encrypt", "d", "--on-problem=maybe"}).ok());
  EXPECT_FALSE(Parse({"encrypt", "d", "--on-problem"}).ok());
}

TEST(OptionsTest, UnknownOptionIsAnError) {
  const ParseResult r = Parse({"encrypt", "d", "--force"});
  EXPECT_FALSE(r.ok());
  EXPECT_NE(r.error.find("--force"), std::string::npos);
}

TEST(OptionsTest, MissingCommandOrDirectoryIsAnError) {
  EXPECT_FALSE(Parse({}).ok());
  EXPECT_FALSE(Parse({"encrypt"}).ok());
  EXPECT_FALSE(Parse({"encrypt", "--yes"}).ok());
}

TEST(OptionsTest, UnknownCommandIsAnError) {
  EXPECT_FALSE(Parse({"shred", "d"}).ok());
  // The command comes first.
  EXPECT_FALSE(Parse({"d", "encrypt"}).ok());
  EXPECT_FALSE(Parse({"--yes", "encrypt", "d"}).ok());
}

TEST(OptionsTest, TwoDirectoriesAreAnError) {
  EXPECT_FALSE(Parse({"encrypt", "a", "b"}).ok());
}

TEST(OptionsTest, DoubleDashEndsTheOptions) {
  const ParseResult r = Parse({"encrypt", "--yes", "--", "--odd-name"});
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.options.directory, "--odd-name");
  EXPECT_TRUE(r.options.yes);
}

TEST(OptionsTest, SingleDashIsADirectoryName) {
  const ParseResult r = Parse({"encrypt", "-"});
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.options.directory, "-");
}

TEST(OptionsTest, ExtensionsAreKeptInOrder) {
  const ParseResult r = Parse({"encrypt", "d", "--extensions=LZH,zip,,7z,*"});
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_TRUE(r.options.extensions.has_value());
  EXPECT_EQ(*r.options.extensions,
            (std::vector<std::u16string>{u"LZH", u"zip", u"7z", u"*"}));
}

TEST(OptionsTest, EmptyExtensionListClearsTheTable) {
  const ParseResult r = Parse({"encrypt", "d", "--extensions="});
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_TRUE(r.options.extensions.has_value());
  EXPECT_TRUE(r.options.extensions->empty());
}

TEST(OptionsTest, ExtensionOfMoreThanNineUnitsIsAnError) {
  EXPECT_TRUE(Parse({"encrypt", "d", "--extensions=ABCDEFGHI"}).ok());
  const ParseResult r = Parse({"encrypt", "d", "--extensions=ZIP,ABCDEFGHIJ"});
  EXPECT_FALSE(r.ok());
  EXPECT_NE(r.error.find("ABCDEFGHIJ"), std::string::npos);
  // Counted in UTF-16 units, not bytes: nine kana are 27 bytes.
  EXPECT_TRUE(
      Parse({"encrypt", "d", "--extensions=あいうえおかきくけ"}).ok());
  EXPECT_FALSE(
      Parse({"encrypt", "d", "--extensions=あいうえおかきくけこ"}).ok());
}

TEST(OptionsTest, MoreExtensionsThanSlotsIsAnError) {
  std::string list = "--extensions=";
  for (int i = 0; i < 257; ++i) list += "E" + std::to_string(i) + ",";
  EXPECT_FALSE(Parse({"encrypt", "d", list}).ok());
}

TEST(OptionsTest, HelpAndVersionWinAnywhere) {
  EXPECT_EQ(Parse({"--help"}).options.command, Command::kHelp);
  EXPECT_EQ(Parse({"encrypt", "--bogus", "--help"}).options.command,
            Command::kHelp);
  EXPECT_TRUE(Parse({"encrypt", "--bogus", "--help"}).ok());
  EXPECT_EQ(Parse({"--version"}).options.command, Command::kVersion);
  EXPECT_EQ(Parse({"open", "d", "--version"}).options.command,
            Command::kVersion);
}

}  // namespace
}  // namespace velmora::cli
