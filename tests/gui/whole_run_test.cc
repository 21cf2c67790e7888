// Whole runs driven through the widgets: a radio button, "実行", the
// password dialog and the message boxes, with the job on its worker thread
// and a real tree on disk.
#include <signal.h>

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QDropEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "job/job_host.h"
#include "platform/window_port.h"
#include "tests/gui/app_fixture.h"
#include "tests/support/tree.h"
#include "ui/qt/password_dialog.h"

namespace velmora {
namespace {

using testing::MakeDirectory;
using testing::Names;
using testing::RandomContents;
using testing::WriteFile;

const QString kAllDone3 =
    QStringLiteral("全て正常に処理しました。\n3 / 3ファイル");

class WholeRunTest : public AppTest {
 protected:
  // a.txt, sub/ and sub/b.bin below the temporary directory.
  void MakeTree() {
    WriteFile(root() + "/a.txt", "plain text that should not stay readable");
    MakeDirectory(root() + "/sub");
    WriteFile(root() + "/sub/b.bin", RandomContents(5000, 7));
    original_ = TreeContents(root());
  }

  // Encrypts the tree through the widgets.
  void Encrypt(Person& person) {
    ASSERT_TRUE(Run(IDC_RADIO_ENCRYPT));
    ASSERT_EQ(person.boxes.size(), 1u);
    EXPECT_EQ(person.boxes.back(), kAllDone3);
    person.boxes.clear();
    ExpectEncrypted();
  }

  // Puts the program into the wait of a temporary decryption.
  void OpenTemporarily(Person& person) {
    Encrypt(person);
    ASSERT_TRUE(Run(IDC_RADIO_TEMPORARY));
    ASSERT_EQ(person.boxes.size(), 1u);
    EXPECT_EQ(person.boxes.back(), kAllDone3);
    person.boxes.clear();
    EXPECT_EQ(TreeContents(root()), original_);
    EXPECT_TRUE(app().dialog().IsWaiting());
  }

  void ExpectEncrypted() {
    const std::vector<std::string> names = Names(root());
    EXPECT_EQ(names.size(), 2u);
    for (const char* plain : {"a.txt", "sub"}) {
      EXPECT_EQ(std::find(names.begin(), names.end(), plain), names.end())
          << plain;
    }
    for (const auto& [path, contents] : TreeContents(root())) {
      EXPECT_NE(contents, original_["a.txt"]) << path;
    }
  }

  std::map<std::string, std::string> original_;
};

TEST_F(WholeRunTest, EncryptsAndDecryptsTheTree) {
  MakeTree();
  StartApp(root());
  ASSERT_TRUE(WaitForScan());
  Person person;

  Encrypt(person);
  EXPECT_EQ(person.password_dialogs, 1);
  EXPECT_EQ(Text(IDC_STATUS_MAIN), kAllDone3);
  EXPECT_EQ(Text(IDC_STATUS_SUB), QStringLiteral("処理完了"));
  EXPECT_FALSE(Widget(IDC_EXECUTE)->isEnabled());
  EXPECT_FALSE(app().port().IsInputBlocked());
  EXPECT_EQ(app().dialog().m_lastRunOutcome, RunOutcome::kAllDone);

  ASSERT_TRUE(Run(IDC_RADIO_DECRYPT));
  ASSERT_EQ(person.boxes.size(), 1u);
  EXPECT_EQ(person.boxes.back(), kAllDone3);
  EXPECT_EQ(person.password_dialogs, 2);
  EXPECT_EQ(TreeContents(root()), original_);
  EXPECT_TRUE(Widget(IDC_SETTINGS)->isEnabled());
  EXPECT_FALSE(app().dialog().IsWaiting());
}

TEST_F(WholeRunTest, NothingToDecryptIsSaidBeforeAnyPassword) {
  MakeTree();
  StartApp(root());
  ASSERT_TRUE(WaitForScan());
  Person person;
  ASSERT_TRUE(Run(IDC_RADIO_DECRYPT));
  EXPECT_EQ(person.password_dialogs, 0);
  ASSERT_EQ(person.boxes.size(), 1u);
  EXPECT_EQ(person.boxes[0],
            QStringLiteral("ファイルが存在しないか、又はすべてファイルは暗号解"
                           "除済みです。\n処理対象はありません。"));
  EXPECT_EQ(TreeContents(root()), original_);
}

TEST_F(WholeRunTest, InputIsBlockedWithoutGreyingWhileTheJobRuns) {
  MakeTree();
  StartApp(root());
  ASSERT_TRUE(WaitForScan());
  {
    Person person;
    person.password = u"first";
    Encrypt(person);
  }

  // A wrong password stops the walk at its first entry with a question;
  // the window behind it takes no input, yet nothing in it is greyed.
  Person person;
  person.password = u"second";
  int looked = 0;
  person.look = [&](QDialog& dialog) {
    ++looked;
    EXPECT_TRUE(app().port().IsInputBlocked()) << looked;
    for (int id : {IDC_EXECUTE, IDC_SETTINGS, IDC_EXIT, IDC_PATH, IDC_BROWSE,
                   IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT, IDC_RADIO_TEMPORARY,
                   IDC_OPERATION_GROUP}) {
      EXPECT_TRUE(Widget(id)->isEnabled()) << id;
    }
    auto* box = qobject_cast<QMessageBox*>(&dialog);
    if (box != nullptr && box->text().startsWith(QStringLiteral(
                              "次のファイルは、パスワードが一致しない"))) {
      EXPECT_EQ(app().dialog().m_job.m_bRunning.load(), 1);
      EXPECT_EQ(app().window().cursor().shape(), Qt::BusyCursor);
      // The click reaches neither the radio button nor MainDialog.
      QTest::mouseClick(Widget(IDC_RADIO_ENCRYPT), Qt::LeftButton);
      EXPECT_FALSE(Widget<QRadioButton>(IDC_RADIO_ENCRYPT)->isChecked());
    }
  };
  person.answer = [](const QMessageBox& box) {
    // Stop at the first wrong name.
    return box.text().startsWith(QStringLiteral("次のファイルは")) ? IDNO
                                                                   : IDOK;
  };
  ASSERT_TRUE(Run(IDC_RADIO_DECRYPT));
  EXPECT_EQ(person.password_dialogs, 1);
  ASSERT_EQ(person.boxes.size(), 2u);
  EXPECT_TRUE(person.boxes[0].startsWith(QStringLiteral(
      "次のファイルは、パスワードが一致しないため暗号解除できません。")));
  EXPECT_TRUE(person.boxes[1].endsWith(
      QStringLiteral("ファイル中 0 ファイル処理しました。")))
      << person.boxes[1].toStdString();
  EXPECT_EQ(looked, 3);  // the password dialog and both boxes
  ExpectEncrypted();
  EXPECT_FALSE(app().port().IsInputBlocked());
  EXPECT_EQ(app().window().cursor().shape(), Qt::ArrowCursor);
}

TEST_F(WholeRunTest, CloseBoxIsIgnoredWhileTheJobAsks) {
  MakeTree();
  App& program = StartApp(root());
  ASSERT_TRUE(WaitForScan());
  Person person;
  bool closed = true;
  person.look = [&](QDialog& dialog) {
    if (qobject_cast<PasswordDialog*>(&dialog) == nullptr) return;
    closed = program.window().close();
    QTest::keyClick(&program.window(), Qt::Key_Escape);
  };
  Encrypt(person);
  EXPECT_FALSE(closed);
  EXPECT_TRUE(program.window().isVisible());
  EXPECT_FALSE(program.IsFinished());
}

TEST_F(WholeRunTest, TemporaryDecryptionLeavesOnlyExit) {
  MakeTree();
  StartApp(root());
  ASSERT_TRUE(WaitForScan());
  Person person;
  OpenTemporarily(person);

  for (int id :
       {IDC_EXECUTE, IDC_SETTINGS, IDC_PATH, IDC_BROWSE, IDC_RADIO_ENCRYPT,
        IDC_RADIO_DECRYPT, IDC_RADIO_TEMPORARY, IDC_OPERATION_GROUP}) {
    EXPECT_FALSE(Widget(id)->isEnabled()) << id;
  }
  EXPECT_TRUE(Widget(IDC_EXIT)->isEnabled());
  EXPECT_EQ(app().window().focusWidget(), Widget(IDC_EXIT));
  EXPECT_EQ(Text(IDC_STATUS_MAIN), QString());
  EXPECT_EQ(Text(IDC_STATUS_SUB),
            QStringLiteral("待機中（プログラム終了を合図として、対象ディレクト"
                           "リの暗号化処理を行います。）"));
  EXPECT_TRUE(Widget<QRadioButton>(IDC_RADIO_TEMPORARY)->isChecked());
  EXPECT_FALSE(app().port().IsInputBlocked());

  // A drop changes nothing while the tree waits.
  const QString path = Text(IDC_PATH);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(root() + "/sub"))});
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                  Qt::NoModifier);
  QCoreApplication::sendEvent(&app().window(), &drop);
  EXPECT_EQ(Text(IDC_PATH), path);
  EXPECT_FALSE(app().IsFinished());
}

TEST_F(WholeRunTest, ExitAfterATemporaryDecryptionEncryptsBeforeClosing) {
  MakeTree();
  StartApp(root());
  ASSERT_TRUE(WaitForScan());
  Person person;
  OpenTemporarily(person);

  bool visible_at_summary = false;
  person.look = [&](QDialog&) {
    visible_at_summary = app().window().isVisible();
  };
  // The exit pass runs on the GUI thread, inside the click; its summary
  // box is answered from within it.
  Click(IDC_EXIT);
  EXPECT_TRUE(app().IsFinished());
  EXPECT_FALSE(app().window().isVisible());
  EXPECT_TRUE(visible_at_summary);
  ASSERT_EQ(person.boxes.size(), 1u);
  EXPECT_EQ(person.boxes[0], kAllDone3);
  EXPECT_EQ(person.password_dialogs, 2);  // none for the exit pass
  ExpectEncrypted();

  // The same password opens it again.
  StartApp(root());
  ASSERT_TRUE(WaitForScan());
  ASSERT_TRUE(Run(IDC_RADIO_DECRYPT));
  EXPECT_EQ(TreeContents(root()), original_);
}

TEST_F(WholeRunTest, TerminationSignalWhileWaitingEncryptsAndEnds) {
  MakeTree();
  App& program = StartApp(root());
  ASSERT_TRUE(program.WatchTerminationSignals());
  ASSERT_TRUE(WaitForScan());
  Person person;
  OpenTemporarily(person);

  ASSERT_EQ(::raise(SIGTERM), 0);
  ASSERT_TRUE(SpinUntil([&] { return program.IsFinished(); }));
  ASSERT_EQ(person.boxes.size(), 1u);
  EXPECT_EQ(person.boxes[0], kAllDone3);
  ExpectEncrypted();
}

TEST_F(WholeRunTest, TerminationSignalDuringTheJobWaitsForIt) {
  MakeTree();
  App& program = StartApp(root());
  ASSERT_TRUE(program.WatchTerminationSignals());
  ASSERT_TRUE(WaitForScan());
  Person person;
  Encrypt(person);

  // The signal comes while the worker waits in the password dialog of a
  // temporary decryption; the program ends only after the run, and then
  // encrypts the tree again.
  person.look = [&](QDialog& dialog) {
    if (qobject_cast<PasswordDialog*>(&dialog) == nullptr) return;
    ::raise(SIGTERM);
    QTest::qWait(20);  // the notifier fires; the request must wait
    EXPECT_FALSE(program.IsFinished());
    EXPECT_TRUE(program.window().isVisible());
  };
  Click(IDC_RADIO_TEMPORARY);
  ASSERT_TRUE(WaitForScan());
  Click(IDC_EXECUTE);
  ASSERT_TRUE(SpinUntil([&] { return program.IsFinished(); }));
  ASSERT_EQ(person.boxes.size(), 2u);  // the run's summary, the exit pass's
  ExpectEncrypted();
}

}  // namespace
}  // namespace velmora
