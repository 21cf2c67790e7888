// The main dialog's logic: start-up, the path box and its sources (command
// line, ./data, drops, the folder browser), the option dialog's extension
// table, and temporary decryption with its exit pass.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "job/messages.h"
#include "tests/job/job_test_util.h"
#include "tests/support/dialog_harness.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree.h"
#include "ui/main_dialog.h"

namespace velmora::testing {
namespace {

constexpr char16_t kPassword[] = u"main dialog";

// Changes the process's working directory for one test.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& path) {
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer) != nullptr) saved_ = buffer;
    changed_ = ::chdir(path.c_str()) == 0;
  }
  ~WorkingDirectory() {
    if (changed_ && ::chdir(saved_.c_str()) != 0) std::abort();
  }
  bool changed() const { return changed_; }

 private:
  std::string saved_;
  bool changed_ = false;
};

// A dialog started with an exact command line, which the harness cannot
// give (it turns an empty one into its own directory).
struct BareDialog {
  explicit BareDialog(std::u16string command_line)
      : dialog(window, crypter, std::move(command_line)) {
    window.dispatch = [this](int command) {
      if (command == ID_START_SCAN) dialog.OnStartScan();
    };
    dialog.OnInitDialog();
    window.RunPostedCommands();
  }
  ScriptedWindow window;
  Crypter crypter;
  MainDialog dialog;
};

TEST(MainDialogStartTest, WithoutCommandLineOrDataShowsThePlaceholder) {
  TempDir cwd;
  WorkingDirectory in(cwd.path());
  ASSERT_TRUE(in.changed());
  BareDialog d(u"");
  EXPECT_EQ(d.window.GetControlText(IDC_STATUS_MAIN), u"Velmora起動しました。\r\nVersion 1.10");
  EXPECT_EQ(d.window.GetControlText(IDC_STATUS_SUB), u"起動完了");
  EXPECT_EQ(d.window.GetControlText(IDC_PATH), u"ここにドロップして下さい");
  EXPECT_FALSE(d.window.IsControlEnabled(IDC_EXECUTE));
  EXPECT_EQ(d.dialog.m_lastScanOutcome, ScanOutcome::kNotRun);
  EXPECT_TRUE(d.window.IsChecked(IDC_RADIO_ENCRYPT));
  EXPECT_FALSE(d.window.IsChecked(IDC_RADIO_DECRYPT));
  EXPECT_FALSE(d.window.IsChecked(IDC_RADIO_TEMPORARY));
  EXPECT_EQ(d.dialog.m_nExtRule, 1);
}

TEST(MainDialogStartTest, WithoutCommandLineScansTheDataDirectory) {
  TempDir cwd;
  MakeDirectory(cwd.path() + "/data");
  WriteFile(cwd.path() + "/data/one", "1");
  WorkingDirectory in(cwd.path());
  ASSERT_TRUE(in.changed());
  char here[4096];
  ASSERT_NE(::getcwd(here, sizeof here), nullptr);
  BareDialog d(u"");
  const std::u16string data = U16(std::string(here) + "/data");
  EXPECT_EQ(d.window.GetControlText(IDC_PATH), data);
  EXPECT_EQ(d.dialog.m_job.m_strScanDir, data);
  EXPECT_EQ(d.dialog.m_job.m_nScanTotal, 1);
  EXPECT_TRUE(d.window.IsControlEnabled(IDC_EXECUTE));
  ASSERT_FALSE(d.window.sub_status_history.empty());
  EXPECT_EQ(d.window.sub_status_history.front(), u"起動完了");
}

TEST(MainDialogStartTest, CommandLineIsTakenVerbatim) {
  TempDir dir;
  const std::string quoted = "\"" + dir.path() + "\"";
  DialogHarness h(quoted);
  EXPECT_EQ(h.Status(IDC_PATH), U16(quoted));
  EXPECT_EQ(h.Status(IDC_STATUS_SUB), u"無効なパスです。");
  EXPECT_FALSE(h.window().IsControlEnabled(IDC_EXECUTE));

  WriteFile(dir.path() + "/file.txt", "f");
  DialogHarness file(dir.path() + "/file.txt");
  EXPECT_EQ(file.Status(IDC_STATUS_SUB),
            u"ファイル指定はサポートしておりませんので、ディレクトリを指定して下さい。");
  EXPECT_FALSE(file.window().IsControlEnabled(IDC_EXECUTE));
}

TEST(MainDialogPathTest, DropWritesThePathAndScansIt) {
  DialogHarness h;
  TempDir other;
  WriteFile(other.path() + "/x", "x");
  WriteFile(other.path() + "/y", "y");
  h.dialog().OnDropFiles(U16(other.path()));
  h.window().RunPostedCommands();
  EXPECT_EQ(h.Status(IDC_PATH), U16(other.path()));
  EXPECT_EQ(h.job().m_strScanDir, U16(other.path()));
  EXPECT_EQ(h.job().m_nScanTotal, 2);
  EXPECT_TRUE(h.window().IsControlEnabled(IDC_EXECUTE));

  h.dialog().OnDropFiles(U16(other.path() + "/x"));
  h.window().RunPostedCommands();
  EXPECT_EQ(h.Status(IDC_STATUS_SUB), text::kFileNotSupported);
  EXPECT_FALSE(h.window().IsControlEnabled(IDC_EXECUTE));
}

TEST(MainDialogPathTest, BrowseWritesFocusesAndScansTheChosenFolder) {
  DialogHarness h;
  TempDir other;
  WriteFile(other.path() + "/x", "x");
  h.window().QueueFolder(U16(other.path()));
  h.dialog().OnBrowse();
  h.window().RunPostedCommands();
  EXPECT_EQ(h.window().last_browse_initial, U16(h.root()));
  EXPECT_EQ(h.Status(IDC_PATH), U16(other.path()));
  EXPECT_EQ(h.window().focus, IDC_PATH);
  EXPECT_EQ(h.job().m_strScanDir, U16(other.path()));
  EXPECT_EQ(h.job().m_nScanTotal, 1);

  // Cancelled: the box keeps its text and nothing is scanned again.
  const int32_t generation = h.job().m_nScanGeneration;
  h.window().QueueFolder(std::nullopt);
  h.dialog().OnBrowse();
  h.window().RunPostedCommands();
  EXPECT_EQ(h.Status(IDC_PATH), U16(other.path()));
  EXPECT_EQ(h.job().m_nScanGeneration, generation);
  EXPECT_TRUE(h.window().IsControlEnabled(IDC_EXECUTE));
}

TEST(MainDialogPathTest, CloseStopsAScanButExitsOnlyWhenExitIsEnabled) {
  DialogHarness h;
  WriteFile(h.root() + "/a", "a");
  WriteFile(h.root() + "/b", "b");
  h.window().EnableControl(IDC_EXIT, false);
  bool closed = false;
  h.window().on_pump = [&] {
    if (closed) return;
    closed = true;
    h.dialog().OnClose();
  };
  h.window().sub_status_history.clear();
  h.TypePath(U16(h.root()));
  h.window().on_pump = nullptr;
  EXPECT_TRUE(closed);
  EXPECT_EQ(h.dialog().m_lastScanOutcome, ScanOutcome::kStopped);
  for (const std::u16string& status : h.window().sub_status_history) {
    EXPECT_NE(status, text::kSearchComplete);
  }
  EXPECT_FALSE(h.window().IsControlEnabled(IDC_EXECUTE));
  EXPECT_FALSE(h.window().ended.has_value());

  h.window().EnableControl(IDC_EXIT, true);
  h.dialog().OnClose();
  EXPECT_EQ(h.window().ended, IDCANCEL);
}

// --- The option dialog and the extension table -----------------------------

std::vector<std::u16string> Table(const Crypter& crypter) {
  std::vector<std::u16string> table;
  for (int slot = 0; slot < kExtensionSlots; ++slot) {
    const std::u16string extension = crypter.GetExtension(slot);
    if (extension.empty()) break;
    table.push_back(extension);
  }
  return table;
}

constexpr char16_t kDefaultLines[] =
    u"LZH\r\nZIP\r\nRAR\r\nCAB\r\nTGZ\r\nJPG\r\nAVI\r\nMPG\r\nMPEG\r\nWMV\r\n";

class SettingsTest : public ::testing::Test {
 protected:
  void Settings(std::optional<std::u16string> text, int rule) {
    h_.window().QueueOptionDialog(std::move(text), rule);
    h_.dialog().OnSettings();
  }
  std::vector<std::u16string> Table() { return testing::Table(h_.crypter()); }

  DialogHarness h_;
};

TEST_F(SettingsTest, OffersTheTableAsLinesAndCancelKeepsIt) {
  const std::vector<std::u16string> defaults = {u"LZH", u"ZIP", u"RAR", u"CAB", u"TGZ",
                                                u"JPG", u"AVI", u"MPG", u"MPEG", u"WMV"};
  Settings(std::nullopt, 0);
  EXPECT_EQ(h_.window().last_option_text, kDefaultLines);
  EXPECT_EQ(h_.window().last_option_rule, 1);
  EXPECT_EQ(Table(), defaults);
  EXPECT_EQ(h_.dialog().m_nExtRule, 1);
}

TEST_F(SettingsTest, EmptyTextEmptiesTheTable) {
  Settings(u"", 1);
  EXPECT_TRUE(Table().empty());
  EXPECT_EQ(h_.crypter().FindExtension(u"a.zip"), -1);
}

TEST_F(SettingsTest, LinesAreStoredAsTypedAndMatchIgnoringCase) {
  Settings(u"zip\r\nJpeg\r\n", 1);
  EXPECT_EQ(Table(), (std::vector<std::u16string>{u"zip", u"Jpeg"}));
  EXPECT_EQ(h_.crypter().FindExtension(u"A.ZIP"), 0);
  EXPECT_EQ(h_.crypter().FindExtension(u"b.jPEG"), 1);
  EXPECT_EQ(h_.crypter().FindExtension(u"c.jpg"), -1);
  Settings(std::nullopt, 0);
  EXPECT_EQ(h_.window().last_option_text, u"zip\r\nJpeg\r\n");
}

TEST_F(SettingsTest, BlankLineEndsTheList) {
  Settings(u"LZH\r\n\r\nZIP\r\n", 1);
  EXPECT_EQ(Table(), std::vector<std::u16string>{u"LZH"});
  EXPECT_EQ(h_.crypter().FindExtension(u"a.zip"), -1);
}

TEST_F(SettingsTest, LineLongerThanNineCharactersIsLeftOutNotCut) {
  Settings(u"NINECHARS\r\nTENCHARSXY\r\nZIP", 1);
  EXPECT_EQ(Table(), (std::vector<std::u16string>{u"NINECHARS", u"ZIP"}));
  EXPECT_EQ(h_.crypter().FindExtension(u"a.TENCHARSX"), -1);
  EXPECT_EQ(h_.crypter().FindExtension(u"a.TENCHARSXY"), -1);
}

TEST_F(SettingsTest, RuleRoundTripsAndReachesTheNextRun) {
  const std::string& r = h_.root();
  const std::string photo = RandomContents(20000, 5);
  WriteFile(r + "/photo.jpg", photo);
  const char16_t head = u'#';   // first 8192 bytes only
  const char16_t whole = u'$';  // every byte

  for (const int rule : {0, 1}) {
    SCOPED_TRACE(rule);
    Settings(kDefaultLines, rule);
    EXPECT_EQ(h_.dialog().m_nExtRule, rule);
    Settings(std::nullopt, 1 - rule);  // opened and cancelled
    EXPECT_EQ(h_.window().last_option_rule, rule);

    h_.Encrypt(kPassword);
    const std::vector<std::string> names = Names(r);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(U16(names[0]).back(), rule == 1 ? head : whole);
    const std::string enciphered = ReadFile(r + "/" + names[0]);
    EXPECT_EQ(enciphered.substr(8192) == photo.substr(8192), rule == 1);
    h_.Decrypt(kPassword);
    EXPECT_EQ(ReadFile(r + "/photo.jpg"), photo);
  }
}

// --- Temporary decryption and the exit pass --------------------------------

class TemporaryDecryptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string& r = h_.root();
    WriteFile(r + "/a.txt", "a");
    MakeDirectory(r + "/S");
    WriteFile(r + "/S/g", RandomContents(10000, 3));
    plain_ = Snapshot(r);
    h_.Encrypt(kPassword);
    ASSERT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone);
    encrypted_ = Snapshot(r);
  }

  void DecryptTemporarily() {
    h_.Choose(IDC_RADIO_TEMPORARY);
    h_.Execute(kPassword);
    ASSERT_EQ(h_.dialog().m_lastRunOutcome, RunOutcome::kAllDone) << h_.window().Dump();
    ASSERT_EQ(Snapshot(h_.root()), plain_);
  }

  int Summaries() { return h_.window().CountBoxes(u"全て正常に処理しました。"); }

  DialogHarness h_;
  TreeSnapshot plain_;
  TreeSnapshot encrypted_;
};

TEST_F(TemporaryDecryptionTest, WaitsWithOnlyExitAvailable) {
  DecryptTemporarily();
  EXPECT_EQ(h_.Status(IDC_STATUS_SUB), text::kWaiting);
  EXPECT_EQ(h_.Status(IDC_STATUS_MAIN), u"");
  for (int id : {IDC_SETTINGS, IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT,
                 IDC_RADIO_TEMPORARY, IDC_OPERATION_GROUP, IDC_PATH, IDC_BROWSE,
                 IDC_EXECUTE}) {
    EXPECT_FALSE(h_.window().IsControlEnabled(id)) << id;
  }
  EXPECT_TRUE(h_.window().IsControlEnabled(IDC_EXIT));
  EXPECT_EQ(h_.window().focus, IDC_EXIT);
  EXPECT_TRUE(h_.dialog().IsWaiting());
}

TEST_F(TemporaryDecryptionTest, ExitEncryptsAgainWithTheSameKeyWithoutAsking) {
  DecryptTemporarily();
  const int passwords = h_.window().password_dialogs;
  const int summaries = Summaries();
  h_.dialog().OnCancel();
  EXPECT_EQ(h_.window().password_dialogs, passwords);
  EXPECT_EQ(Summaries(), summaries + 1) << h_.window().Dump();
  EXPECT_EQ(h_.window().unexpected_boxes, 0);
  EXPECT_EQ(Snapshot(h_.root()), encrypted_);
  EXPECT_TRUE(h_.window().ended.has_value());
}

TEST_F(TemporaryDecryptionTest, ExitPassRunsOnceAcrossSessionEndAndExit) {
  DecryptTemporarily();
  const int summaries = Summaries();
  h_.dialog().OnSessionEnd();
  EXPECT_EQ(Snapshot(h_.root()), encrypted_);
  h_.dialog().OnCancel();
  h_.dialog().OnSessionEnd();
  EXPECT_EQ(Summaries(), summaries + 1) << h_.window().Dump();
  EXPECT_EQ(Snapshot(h_.root()), encrypted_);
}

TEST_F(TemporaryDecryptionTest, DropAndCloseWithExitDisabledChangeNothing) {
  DecryptTemporarily();
  TempDir other;
  const int32_t generation = h_.job().m_nScanGeneration;
  h_.dialog().OnDropFiles(U16(other.path()));
  h_.window().RunPostedCommands();
  EXPECT_EQ(h_.Status(IDC_PATH), U16(h_.root()));
  EXPECT_EQ(h_.job().m_nScanGeneration, generation);
  EXPECT_EQ(h_.Status(IDC_STATUS_SUB), text::kWaiting);

  const int summaries = Summaries();
  h_.window().EnableControl(IDC_EXIT, false);
  h_.dialog().OnClose();
  EXPECT_FALSE(h_.window().ended.has_value());
  EXPECT_EQ(Summaries(), summaries);
  EXPECT_EQ(Snapshot(h_.root()), plain_);
}

TEST(MainDialogExitTest, TemporaryCheckedWithoutARunClosesWithoutARun) {
  DialogHarness h;
  WriteFile(h.root() + "/" + EncipheredName(kPassword, u"a"), "enciphered");
  const TreeSnapshot before = Snapshot(h.root());
  h.Choose(IDC_RADIO_TEMPORARY);
  h.dialog().OnCancel();
  EXPECT_EQ(h.window().ended, IDCANCEL);
  EXPECT_TRUE(h.window().boxes.empty()) << h.window().Dump();
  EXPECT_EQ(h.window().password_dialogs, 0);
  EXPECT_EQ(Snapshot(h.root()), before);
}

TEST(MainDialogExitTest, ExitExecuteAndDropAreIgnoredWhileAWalkRuns) {
  DialogHarness h;
  WriteFile(h.root() + "/a", "a");
  WriteFile(h.root() + "/ b", "cannot come back");
  TempDir other;
  h.window().SetResponder([&](const std::u16string& text, unsigned flags) {
    if (StartsWith(text, FirstLine(text::kUnrepresentableName))) {
      h.dialog().OnCancel();
      h.dialog().OnClose();
      h.dialog().OnOK();
      h.dialog().OnDropFiles(U16(other.path()));
    }
    return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  });
  h.Encrypt(kPassword);
  EXPECT_FALSE(h.window().ended.has_value());
  EXPECT_EQ(h.window().password_dialogs, 1);
  EXPECT_EQ(h.Status(IDC_PATH), U16(h.root()));
  EXPECT_EQ(h.window().CountBoxes(u"2 ファイル中 1 ファイル処理しました。"), 1)
      << h.window().Dump();
}

}  // namespace
}  // namespace velmora::testing
