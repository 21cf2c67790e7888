// The main window on its own: start-up, layout, the path box, scans, drops,
// Exit, the close box and the version box.
#include "ui/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "job/job_host.h"
#include "platform/window_port.h"
#include "platform/wtf8.h"
#include "tests/gui/app_fixture.h"
#include "tests/gui/gui_test_util.h"
#include "tests/support/tree.h"
#include "ui/qt/about_box.h"
#include "ui/qt/option_dialog.h"

namespace velmora {
namespace {

using testing::MakeDirectory;
using testing::WriteFile;

QString Q(const char16_t* text) { return QString::fromStdU16String(text); }

// Runs the program's start-up in |directory| as the working directory.
class InDirectory {
 public:
  explicit InDirectory(const std::string& directory)
      : previous_(QDir::currentPath()) {
    QDir::setCurrent(QString::fromStdString(directory));
  }
  ~InDirectory() { QDir::setCurrent(previous_); }

 private:
  QString previous_;
};

// |count| empty files directly in |directory|: enough for a scan that is
// still running when the test acts.
void MakeFlatTree(const std::string& directory, int count) {
  MakeDirectory(directory);
  for (int i = 0; i < count; ++i) {
    WriteFile(directory + "/f" + std::to_string(i), "");
  }
}

// Calls |act| once, from the event loop, as soon as the scan of the running
// program has counted |entries| entries. A posted call that posts itself
// again rather than a timer: the scan handles posted events between its
// entries, while timers only run once the loop is idle.
void ActDuringScan(QObject* context, JobHost& host, int entries,
                   std::function<void()> act) {
  QMetaObject::invokeMethod(
      context,
      [context, &host, entries, act = std::move(act)]() mutable {
        if (host.m_job.m_nScanPlain < entries) {
          ActDuringScan(context, host, entries, std::move(act));
          return;
        }
        act();
      },
      Qt::QueuedConnection);
}

using MainWindowTest = AppTest;

TEST_F(MainWindowTest, StartsWithItsTextsAndThePlaceholder) {
  // No command line and no "data" folder here: the path box shows the
  // placeholder and nothing is scanned.
  InDirectory here(root());
  App& program = StartApp("");
  MainWindow& window = program.window();

  EXPECT_EQ(window.windowTitle(), QStringLiteral("Velmora"));
  EXPECT_EQ(Text(IDC_STATUS_MAIN),
            QStringLiteral("Velmora起動しました。\nVersion 1.10"));
  EXPECT_EQ(Text(IDC_STATUS_SUB), QStringLiteral("起動完了"));
  EXPECT_EQ(Text(IDC_PATH), QStringLiteral("ここにドロップして下さい"));
  EXPECT_TRUE(Widget<QRadioButton>(IDC_RADIO_ENCRYPT)->isChecked());
  EXPECT_FALSE(Widget<QRadioButton>(IDC_RADIO_DECRYPT)->isChecked());
  EXPECT_FALSE(Widget<QRadioButton>(IDC_RADIO_TEMPORARY)->isChecked());
  EXPECT_FALSE(Widget(IDC_EXECUTE)->isEnabled());
  EXPECT_TRUE(Widget(IDC_SETTINGS)->isEnabled());
  EXPECT_TRUE(Widget(IDC_EXIT)->isEnabled());
  EXPECT_EQ(program.dialog().m_lastScanOutcome, ScanOutcome::kNotRun);

  EXPECT_EQ(Text(IDC_RADIO_ENCRYPT), QStringLiteral("暗号化"));
  EXPECT_EQ(Text(IDC_RADIO_DECRYPT), QStringLiteral("暗号解除"));
  EXPECT_EQ(Text(IDC_RADIO_TEMPORARY),
            QStringLiteral("一時的暗号解除（プログラムの終了時、自動的に暗号化"
                           "処理を行います）"));
  EXPECT_EQ(Text(IDC_BROWSE), QStringLiteral(".."));
  EXPECT_EQ(Text(IDC_EXECUTE), QStringLiteral("実行"));
  EXPECT_EQ(Text(IDC_SETTINGS), QStringLiteral("設定"));
  EXPECT_EQ(Text(IDC_EXIT), QStringLiteral("終了"));
  EXPECT_TRUE(Widget<QPushButton>(IDC_EXECUTE)->isDefault());
  EXPECT_EQ(Widget<QGroupBox>(IDC_OPERATION_GROUP)->title(),
            QStringLiteral("動作"));
  EXPECT_NE(
      ChildWithText<QGroupBox>(window, QStringLiteral("対象ディレクトリ")),
      nullptr);
  EXPECT_FALSE(window.windowIcon().isNull());
}

TEST_F(MainWindowTest, ControlsSitAtTheirDialogUnits) {
  App& program = StartApp(root());
  MainWindow& window = program.window();
  const DialogUnits units = DialogUnits::ForFont(window.font());
  EXPECT_EQ(window.size(), units.ToPixels(QSize(389, 239)));

  ExpectPlaced(window, Widget(IDC_OPERATION_GROUP), QRect(136, 12, 236, 93));
  ExpectPlaced(window, Widget(IDC_RADIO_ENCRYPT), QRect(152, 26, 37, 16));
  ExpectPlaced(window, Widget(IDC_RADIO_DECRYPT), QRect(151, 53, 46, 13));
  ExpectPlaced(window, Widget(IDC_RADIO_TEMPORARY), QRect(151, 71, 201, 27));
  ExpectPlaced(
      window,
      ChildWithText<QGroupBox>(window, QStringLiteral("対象ディレクトリ")),
      QRect(137, 116, 236, 55));
  ExpectPlaced(window, Widget(IDC_PATH), QRect(148, 139, 200, 14));
  ExpectPlaced(window, Widget(IDC_BROWSE), QRect(355, 137, 11, 18));
  ExpectPlaced(window, Widget(IDC_EXECUTE), QRect(172, 174, 54, 14));
  ExpectPlaced(window, Widget(IDC_SETTINGS), QRect(232, 174, 54, 14));
  ExpectPlaced(window, Widget(IDC_EXIT), QRect(291, 174, 54, 14));
  ExpectPlaced(window, Widget(IDC_STATUS_MAIN), QRect(0, 191, 389, 34));
  ExpectPlaced(window, Widget(IDC_STATUS_SUB), QRect(0, 226, 389, 12));

  auto* main_status = Widget<QLabel>(IDC_STATUS_MAIN);
  EXPECT_EQ(main_status->frameShadow(), QFrame::Sunken);
  EXPECT_TRUE(main_status->wordWrap());
  auto* sub_status = Widget<QLabel>(IDC_STATUS_SUB);
  EXPECT_EQ(sub_status->frameShadow(), QFrame::Sunken);
  EXPECT_FALSE(sub_status->wordWrap());

  // The picture fills its place as far as its proportions allow.
  const QLabel* picture = nullptr;
  for (const QLabel* label : window.findChildren<QLabel*>()) {
    if (!label->pixmap().isNull()) picture = label;
  }
  ASSERT_NE(picture, nullptr);
  ExpectPlaced(window, picture, QRect(3, 2, 127, 120));
  const QSize shown = picture->pixmap().size();
  EXPECT_TRUE(shown.width() == picture->width() ||
              shown.height() == picture->height());
}

TEST_F(MainWindowTest, CommandLineTargetIsScannedAndEnablesExecute) {
  WriteFile(root() + "/a.txt", "a");
  MakeDirectory(root() + "/sub");
  WriteFile(root() + "/sub/b.txt", "b");
  App& program = StartApp(root());

  EXPECT_EQ(Text(IDC_PATH), QString::fromStdString(root()));
  ASSERT_TRUE(WaitForScan());
  EXPECT_EQ(Text(IDC_STATUS_SUB), QStringLiteral("検索完了"));
  EXPECT_EQ(Text(IDC_STATUS_MAIN),
            QStringLiteral("3　ファイル見つかりました。"));
  EXPECT_EQ(program.dialog().m_job.m_nScanTotal, 3);
}

TEST_F(MainWindowTest, TypingInThePathBoxRescans) {
  const std::string target = root() + "/target";
  MakeDirectory(target);
  WriteFile(target + "/one", "1");
  WriteFile(root() + "/file", "x");
  App& program = StartApp(root() + "/missing");
  auto* path = Widget<QLineEdit>(IDC_PATH);

  EXPECT_EQ(Text(IDC_STATUS_SUB), QStringLiteral("無効なパスです。"));

  path->selectAll();
  QTest::keyClicks(path, QString::fromStdString(root() + "/file"));
  EXPECT_EQ(Text(IDC_STATUS_SUB),
            QStringLiteral("ファイル指定はサポートしておりませんので、ディレク"
                           "トリを指定して下さい。"));
  EXPECT_FALSE(Widget(IDC_EXECUTE)->isEnabled());

  path->selectAll();
  QTest::keyClicks(path, QString::fromStdString(target));
  ASSERT_TRUE(WaitForScan());
  EXPECT_EQ(Text(IDC_STATUS_MAIN),
            QStringLiteral("1　ファイル見つかりました。"));
  EXPECT_EQ(program.dialog().m_job.m_strScanDir, Utf16FromWtf8(target));
}

TEST_F(MainWindowTest, ChangingThePathStopsTheRunningScan) {
  MakeFlatTree(root() + "/big", 2000);
  const std::string small = root() + "/small";
  MakeDirectory(small);
  WriteFile(small + "/a", "a");
  WriteFile(small + "/b", "b");
  QString status_when_typing;
  App& program = StartApp(root() + "/big", [&](App& starting) {
    ActDuringScan(&starting, starting.dialog(), 50, [&] {
      status_when_typing = Text(IDC_STATUS_SUB);
      auto* path = Widget<QLineEdit>(IDC_PATH);
      path->selectAll();
      QTest::keyClicks(path, QString::fromStdString(small));
    });
  });

  ASSERT_TRUE(SpinUntil([&] {
    return Text(IDC_STATUS_MAIN) ==
           QStringLiteral("2　ファイル見つかりました。");
  }));
  QTest::qWait(20);  // let the stopped scan unwind
  EXPECT_TRUE(status_when_typing.startsWith(QStringLiteral("ファイル検索中")));
  EXPECT_EQ(Text(IDC_STATUS_MAIN),
            QStringLiteral("2　ファイル見つかりました。"));
  EXPECT_EQ(Text(IDC_STATUS_SUB), QStringLiteral("検索完了"));
  EXPECT_TRUE(Widget(IDC_EXECUTE)->isEnabled());
  EXPECT_EQ(program.dialog().m_job.m_nScanTotal, 2);
  EXPECT_EQ(program.dialog().m_job.m_nScanPlain, 2);
  EXPECT_EQ(program.dialog().m_lastScanOutcome, ScanOutcome::kCompleted);
}

TEST_F(MainWindowTest, ExitDuringAScanEndsTheProgram) {
  MakeFlatTree(root() + "/big", 2000);
  App& program = StartApp(root() + "/big", [&](App& starting) {
    ActDuringScan(&starting, starting.dialog(), 50, [&] { Click(IDC_EXIT); });
  });

  ASSERT_TRUE(SpinUntil([&] { return program.IsFinished(); }));
  EXPECT_FALSE(program.window().isVisible());
  EXPECT_EQ(program.dialog().m_lastScanOutcome, ScanOutcome::kStopped);
  EXPECT_EQ(program.dialog().m_job.m_nScanTotal, 0);
  EXPECT_FALSE(Widget(IDC_EXECUTE)->isEnabled());
}

TEST_F(MainWindowTest, EscapeIsExitAndTheCloseBoxEndsTheProgram) {
  {
    App& program = StartApp(root());
    ASSERT_TRUE(WaitForScan());
    QTest::keyClick(&program.window(), Qt::Key_Escape);
    EXPECT_TRUE(program.IsFinished());
    EXPECT_FALSE(program.window().isVisible());
  }
  App& program = StartApp(root());
  ASSERT_TRUE(WaitForScan());
  EXPECT_TRUE(program.window().close());
  EXPECT_TRUE(program.port().IsEnded());
  EXPECT_TRUE(program.IsFinished());
}

TEST_F(MainWindowTest, DroppedFolderBecomesTheTarget) {
  const std::string target = root() + "/dropped";
  MakeDirectory(target);
  WriteFile(target + "/x", "x");
  App& program = StartApp(root() + "/missing");
  MainWindow& window = program.window();

  // Text is not a place to scan.
  QMimeData text;
  text.setText(QStringLiteral("hello"));
  QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton,
                          Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &refused);
  EXPECT_FALSE(refused.isAccepted());

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(target + "/")),
                QUrl::fromLocalFile(QString::fromStdString(root()))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                  Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &drop);
  EXPECT_TRUE(drop.isAccepted());

  EXPECT_EQ(Text(IDC_PATH), QString::fromStdString(target));
  ASSERT_TRUE(WaitForScan());
  EXPECT_EQ(Text(IDC_STATUS_MAIN),
            QStringLiteral("1　ファイル見つかりました。"));
}

TEST_F(MainWindowTest, DroppedPathKeepsBytesThatAreNotUtf8) {
  const std::string name = root() + "/\x93\xfa\x96\x7b";  // Shift_JIS "日本"
  MakeDirectory(name);
  QMimeData data;
  data.setUrls({QUrl::fromEncoded(
      "file://" + QByteArray::fromStdString(name).toPercentEncoding("/"))});
  EXPECT_EQ(MainWindow::FirstLocalPath(&data), Utf16FromWtf8(name));
}

TEST_F(MainWindowTest, EnterIsExecuteOnlyWhileItIsEnabled) {
  WriteFile(root() + "/a.txt", "a");
  App& program = StartApp(root() + "/missing");
  int dialogs = 0;
  ScopedDialogScript script([&](QDialog& dialog) {
    ++dialogs;
    dialog.reject();
  });

  QTest::keyClick(Widget(IDC_PATH), Qt::Key_Return);
  EXPECT_FALSE(program.port().IsWorkerActive());
  QTest::qWait(10);
  EXPECT_EQ(dialogs, 0);
  EXPECT_EQ(program.dialog().m_lastRunOutcome, RunOutcome::kNotRun);

  auto* path = Widget<QLineEdit>(IDC_PATH);
  path->selectAll();
  QTest::keyClicks(path, QString::fromStdString(root()));
  ASSERT_TRUE(WaitForScan());
  QTest::keyClick(path, Qt::Key_Return);
  EXPECT_TRUE(program.port().IsWorkerActive());
  ASSERT_TRUE(WaitForWorker());
  EXPECT_EQ(dialogs, 1);  // the password dialog, cancelled
  EXPECT_EQ(program.dialog().m_lastRunOutcome, RunOutcome::kCancelled);
  EXPECT_EQ(testing::ReadFile(root() + "/a.txt"), "a");
}

TEST_F(MainWindowTest, BrowseOpensOnTheTargetAndTakesTheChoice) {
  const std::string chosen = root() + "/chosen";
  MakeDirectory(chosen);
  WriteFile(chosen + "/x", "x");
  App& program = StartApp(root());
  ASSERT_TRUE(WaitForScan());

  // The folder browser is Qt's own dialog here; it is found once it runs.
  auto answer = [&](const std::function<void(QFileDialog&)>& act) {
    std::function<void()> poll;
    poll = [&] {
      auto* dialog =
          qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible()) {
        QTimer::singleShot(1, &program, poll);
        return;
      }
      act(*dialog);
    };
    QTimer::singleShot(0, &program, poll);
    Click(IDC_BROWSE);
  };

  QString title;
  QString opened_on;
  answer([&](QFileDialog& dialog) {
    title = dialog.windowTitle();
    opened_on = dialog.directory().absolutePath();
    dialog.reject();
  });
  EXPECT_EQ(title, QStringLiteral("Select folder"));
  EXPECT_EQ(opened_on, QString::fromStdString(root()));
  EXPECT_EQ(Text(IDC_PATH), QString::fromStdString(root()));

  answer([&](QFileDialog& dialog) {
    dialog.selectFile(QString::fromStdString(chosen));
    static_cast<QDialog&>(dialog).accept();  // as the dialog's own button does
  });
  EXPECT_EQ(Text(IDC_PATH), QString::fromStdString(chosen));
  EXPECT_EQ(program.window().focusWidget(), Widget(IDC_PATH));
  ASSERT_TRUE(WaitForScan());
  EXPECT_EQ(Text(IDC_STATUS_MAIN),
            QStringLiteral("1　ファイル見つかりました。"));
}

TEST_F(MainWindowTest, SettingsOpensTheOptionDialog) {
  StartApp(root());
  int option_dialogs = 0;
  ScopedDialogScript script([&](QDialog& dialog) {
    if (qobject_cast<OptionDialog*>(&dialog) != nullptr) ++option_dialogs;
    dialog.reject();
  });
  Click(IDC_SETTINGS);
  EXPECT_EQ(option_dialogs, 1);
}

TEST_F(MainWindowTest, VersionBoxFromTheContextMenuEntryAndF1) {
  App& program = StartApp(root());
  MainWindow& window = program.window();
  QAction* about = window.aboutAction();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->text(), Q(kAboutEntryText));
  EXPECT_TRUE(window.actions().contains(about));
  EXPECT_EQ(window.contextMenuPolicy(), Qt::ActionsContextMenu);
  EXPECT_EQ(about->shortcut(), QKeySequence(Qt::Key_F1));

  int about_boxes = 0;
  ScopedDialogScript script([&](QDialog& dialog) {
    if (qobject_cast<AboutBox*>(&dialog) != nullptr) ++about_boxes;
    dialog.accept();
  });
  about->trigger();
  EXPECT_EQ(about_boxes, 1);

  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(Widget(IDC_PATH), Qt::Key_F1);
  EXPECT_EQ(about_boxes, 2);
}

}  // namespace
}  // namespace velmora
