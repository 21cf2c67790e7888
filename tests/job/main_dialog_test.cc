// The main dialog's logic: the path box and its sources, the option dialog's
// extension table, and temporary decryption with its exit pass. Drops and
// the start-up placeholder are tests/gui/desktop_test.cc.

#include "tests/job/job_test_util.h"
#include "tests/support/temp_dir.h"

namespace velmora::testing {
namespace {

using MainDialogTest = JobTest;

TEST(MainDialogStartTest, TakesTheCommandLineVerbatim) {
  TempDir dir;
  const std::string quoted = "\"" + dir.path() + "\"";
  DialogHarness h(quoted);
  EXPECT_EQ(h.Status(IDC_PATH), U16(quoted));
  EXPECT_EQ(h.Status(IDC_STATUS_SUB), u"無効なパスです。");
  EXPECT_FALSE(h.window().IsControlEnabled(IDC_EXECUTE));
}

// Status line 1033: the folder, whole KiB done of the key size, both names.
TEST_F(MainDialogTest, ContentsProgressShowsTheFolderTheKibibytesAndBothNames) {
  h_.dialog().ContentsProgressed(u"/t/dir", u"f", u"g", 0, 0);
  EXPECT_EQ(h_.Status(IDC_STATUS_MAIN), u"/t/dir\r\n       0K/       0K : f  \u2192  g");
  const int32_t size = 3 * kChunkBytes + 777;
  h_.dialog().ContentsProgressed(u"/t/dir", u"a", u"b", size, size);
  EXPECT_EQ(h_.Status(IDC_STATUS_MAIN), u"/t/dir\r\n    3072K/    3072K : a  \u2192  b");
}

TEST_F(MainDialogTest, BrowseWritesThePathAndScansIt) {
  Make({"O/", "O/x", "O/y"});
  h_.TypePath(U16(Path("O")));
  w().folder = U16(h_.root());
  h_.dialog().OnBrowse();
  w().RunPostedCommands();
  EXPECT_EQ(w().last_browse_initial, U16(Path("O")));
  EXPECT_EQ(h_.Status(IDC_PATH), U16(h_.root()));
  EXPECT_EQ(w().focus, IDC_PATH);
  EXPECT_EQ(h_.job().scan_total, 3);
}

// "/" is refused with the system folders' reason, unscanned.
TEST_F(MainDialogTest, AfterARunThePathBoxHasTheFocusAndSlashIsRefusedAtOnce) {
  Make({"a"});
  h_.Encrypt(kPassword);
  EXPECT_EQ(w().focus, IDC_PATH);
  EXPECT_EQ(h_.Status(IDC_STATUS_SUB), text::kProcessingComplete);
  const int32_t scans = h_.job().scan_generation;
  h_.TypePath(u"/");
  EXPECT_EQ(h_.Status(IDC_STATUS_MAIN), Format(text::kSystemFolder, {std::u16string(u"/")}));
  EXPECT_EQ(h_.Status(IDC_STATUS_SUB), u"");
  EXPECT_FALSE(w().IsControlEnabled(IDC_EXECUTE));
  EXPECT_EQ(h_.job().scan_generation, scans + 1);  // the check only: no scan began
  h_.TypePath(u"");
  EXPECT_EQ(h_.Status(IDC_STATUS_MAIN), u"");
}

TEST_F(MainDialogTest, SettingsRewriteTheExtensionTableLineByLine) {
  const struct {
    std::optional<std::u16string> typed;  // nullopt: cancelled
    std::u16string table;                 // as the dialog offers it next time
  } cases[] = {
      {std::nullopt, u"LZH\r\nZIP\r\nRAR\r\nCAB\r\nTGZ\r\nJPG\r\nAVI\r\nMPG\r\nMPEG\r\nWMV\r\n"},
      {u"zip\r\nJpeg", u"zip\r\nJpeg\r\n"},
      {u"LZH\r\n\r\nZIP\r\n", u"LZH\r\n"},                           // a blank line ends the list
      {u"NINECHARS\r\nTENCHARSXY\r\nZIP", u"NINECHARS\r\nZIP\r\n"},  // too long: left out
      // A bare CR ends a line too; one LF right after a CR, or at the start, goes.
      {u"\nLZH\rZIP", u"LZH\r\nZIP\r\n"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    w().option_text = c.typed;
    h_.dialog().OnSettings();
    w().option_text = std::nullopt;
    h_.dialog().OnSettings();
    EXPECT_EQ(w().last_option_text, c.table);
  }
}

TEST_F(MainDialogTest, ExtensionRuleReachesTheNextRun) {
  const std::string photo = RandomContents(20000, 5);
  WriteFile(Path("photo.jpg"), photo);
  for (const int rule : {0, 1}) {
    SCOPED_TRACE(rule);
    w().option_text = u"JPG";
    w().option_rule = rule;
    h_.dialog().OnSettings();
    w().option_text = std::nullopt;
    h_.dialog().OnSettings();
    EXPECT_EQ(w().last_option_rule, rule);
    h_.Encrypt(kPassword);
    const std::string name = Names(h_.root()).at(0);
    EXPECT_EQ(U16(name).back(), rule == 1 ? u'#' : u'$');
    EXPECT_EQ(ReadFile(Path(name)).substr(8192) == photo.substr(8192), rule == 1);
    h_.Decrypt(kPassword);
    EXPECT_EQ(ReadFile(Path("photo.jpg")), photo);
  }
}

TEST_F(MainDialogTest, TemporaryDecryptionWaitsThenExitEncryptsOnceWithTheSameKey) {
  Make({"a.txt", "S/"});
  WriteFile(Path("S/g"), RandomContents(10000, 3));
  const TreeSnapshot plain = Snapshot(h_.root());
  h_.Encrypt(kPassword);
  const TreeSnapshot encrypted = Snapshot(h_.root());
  h_.Choose(IDC_RADIO_TEMPORARY);
  h_.Execute(kPassword);
  ASSERT_EQ(Snapshot(h_.root()), plain) << Dump(w());

  EXPECT_EQ(h_.Status(IDC_STATUS_SUB), text::kWaiting);
  EXPECT_EQ(h_.Status(IDC_STATUS_MAIN), u"");
  const Boxes before_exit = w().boxes;
  h_.dialog().OnCancel();
  h_.dialog().OnSessionEnd();
  EXPECT_EQ(w().password_dialogs, 2);
  EXPECT_EQ(w().boxes.size(), before_exit.size() + 1);  // one summary
  EXPECT_EQ(Snapshot(h_.root()), encrypted);
  EXPECT_TRUE(w().ended.has_value());
}

}  // namespace
}  // namespace velmora::testing
