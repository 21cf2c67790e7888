// The desktop program on real widgets over real temporary trees: App, the
// main window and its window port, whole runs answered through the dialogs,
// the ways the program ends, and the velmora executable itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "job/messages.h"
#include "platform/fault_injection.h"
#include "platform/u16_format.h"
#include "platform/wtf8.h"
#include "state/left_decrypted.h"
#include "state/state_folder.h"
#include "tests/support/entry_watch.h"
#include "tests/support/state_home.h"
#include "tests/support/tree.h"
#include "ui/qt/app.h"
#include "ui/qt/dialog_script.h"
#include "ui/qt/message_box.h"
#include "ui/qt/password_dialog.h"
#include "ui/qt/qt_window_port.h"
#include "ui/window_port.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr int kTimeoutMs = 120000;
const int kControls[] = {IDC_EXECUTE,         IDC_SETTINGS,        IDC_PATH,
                         IDC_BROWSE,          IDC_RADIO_ENCRYPT,   IDC_RADIO_DECRYPT,
                         IDC_RADIO_TEMPORARY, IDC_OPERATION_GROUP, IDC_EXIT};

using testing::EntryWatch;
using testing::Snapshot;
using testing::WatchedEntry;
using testing::WriteFile;

// Calls |act| from the event loop once the running scan has counted |entries|.
void ActDuringScan(App& app, int entries, std::function<void()> act) {
  QMetaObject::invokeMethod(
      &app,
      [&app, entries, act = std::move(act)]() mutable {
        if (app.dialog().job_.scan_plain < entries) {
          ActDuringScan(app, entries, std::move(act));
        } else {
          act();
        }
      },
      Qt::QueuedConnection);
}

// True once |dialog| closes unanswered, as boxes do after a signal.
bool ClosesByItself(QDialog& dialog) {
  return QTest::qWaitFor([&] { return !dialog.isVisible(); },
                         4 * std::chrono::milliseconds(QtWindowPort::kUnattendedWait).count());
}

// Types |password| into the password dialog, clicks the first button (OK,
// Yes or Abort) of each message box and records its text.
struct Person {
  std::u16string password = u"open-sesame";
  std::function<void(QDialog&)> look;  // sees each dialog first
  std::vector<QString> boxes;
  int password_dialogs = 0;
  ScopedDialogScript script{[this](QDialog& dialog) {
    if (look) look(dialog);
    if (qobject_cast<PasswordDialog*>(&dialog) != nullptr) {
      ++password_dialogs;
      for (int id : {IDC_PASSWORD_INPUT, IDC_PASSWORD_CONFIRM}) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>(ControlName(id)),
                         QString::fromStdU16String(password));
      }
      QTest::mouseClick(dialog.findChild<QPushButton*>(ControlName(IDOK)), Qt::LeftButton);
    } else if (auto* box = qobject_cast<MessageBoxDialog*>(&dialog)) {
      boxes.push_back(box->text());
      for (int id : {IDOK, IDYES, IDABORT}) {
        if (auto* button = box->findChild<QPushButton*>(ControlName(id))) {
          QTest::mouseClick(button, Qt::LeftButton);
          return;
        }
      }
    }
  }};
};

class DesktopTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (app_ == nullptr) return;
    // A test that failed half-way may leave the worker asking.
    ScopedDialogScript refuse([](QDialog&) {});
    EXPECT_TRUE(QTest::qWaitFor([this] { return !app_->port().IsWorkerActive(); }, kTimeoutMs));
    app_.reset();
    // Enciphered names are not valid UTF-8: QTemporaryDir cannot remove them.
    std::error_code ignored;
    fs::remove_all(root(), ignored);
  }

  std::string root() const { return dir_.path().toStdString(); }

  // Starts the program on |target| and waits until its window shows (or it
  // has ended); |before| runs just before its start-up.
  void Start(const std::string& target, const std::function<void(App&)>& before = nullptr) {
    app_.reset();
    app_ = std::make_unique<App>(Utf16FromWtf8(target), crypter_);
    if (before) before(*app_);
    app_->Start();
    EXPECT_TRUE(QTest::qWaitFor(
        [this] {
          const QWindow* handle = app_->window().windowHandle();
          return (handle != nullptr && handle->isExposed()) || app_->port().IsEnded();
        },
        kTimeoutMs));
  }

  QWidget* W(int id) { return app_->window().Control(id); }
  bool Checked(int id) { return qobject_cast<QRadioButton*>(W(id))->isChecked(); }
  QString Text(int id) {
    if (auto* edit = qobject_cast<QLineEdit*>(W(id))) return edit->text();
    return qobject_cast<QLabel*>(W(id))->text();
  }
  void TypePath(const std::string& path) {
    auto* edit = qobject_cast<QLineEdit*>(W(IDC_PATH));
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromStdString(path));
  }
  void Click(int id) { QTest::mouseClick(W(id), Qt::LeftButton); }
  bool WaitForScan() {
    return QTest::qWaitFor([this] { return W(IDC_EXECUTE)->isEnabled(); }, kTimeoutMs);
  }
  // Clicks |radio|, waits for the scan, clicks Execute and waits for the worker.
  bool Run(int radio) {
    Click(radio);
    if (!WaitForScan()) return false;
    Click(IDC_EXECUTE);
    return QTest::qWaitFor([this] { return !app_->port().IsWorkerActive(); }, kTimeoutMs);
  }

  // Enough entries for a scan still running when the test acts.
  std::string BigFolder() {
    fs::create_directory(root() + "/big");
    for (int i = 0; i < 2000; ++i) {
      WriteFile(root() + "/big/f" + std::to_string(i), "");
    }
    return root() + "/big";
  }

  // a.txt, sub/b.bin and |more| files in sub/, encrypted through the widgets.
  void EncryptThroughTheWidgets(int more) {
    WriteFile(root() + "/a.txt", "plain text that should not stay readable");
    fs::create_directory(root() + "/sub");
    WriteFile(root() + "/sub/b.bin", std::string(5000, '\x07'));
    for (int i = 0; i < more; ++i) {
      WriteFile(root() + "/sub/c" + std::to_string(i), std::string(i * 97, 'c'));
    }
    kAllDone = QStringLiteral("全て正常に処理しました。\n%1 / %1ファイル").arg(3 + more);
    original_ = Snapshot(root());
    Start(root());
    ASSERT_TRUE(WaitForScan());
    ASSERT_TRUE(Run(IDC_RADIO_ENCRYPT));
    EXPECT_EQ(Text(IDC_STATUS_MAIN), kAllDone);  // the worker's last text
    encrypted_ = Snapshot(root());
    for (const auto& [path, entry] : encrypted_) EXPECT_EQ(original_.count(path), 0u) << path;
  }

  // The same, then decrypted for the time being: the exit pass waits.
  void OpenTemporarily(Person& person, int more = 0) {
    EncryptThroughTheWidgets(more);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(Run(IDC_RADIO_TEMPORARY));
    EXPECT_EQ(Snapshot(root()), original_);
    EXPECT_EQ(person.password_dialogs, 2);
    EXPECT_EQ(person.boxes, std::vector<QString>(2, kAllDone));
    person.boxes.clear();
  }

  QString kAllDone;  // the summary of a run over the whole tree
  testing::ScopedStateHome state_home_;
  Crypter crypter_;
  QTemporaryDir dir_;
  std::unique_ptr<App> app_;
  testing::TreeSnapshot original_, encrypted_;
};

TEST_F(DesktopTest, StartsOnATreeLeftDecryptedOrTheDataFolderOrShowsWhereToDrop) {
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir_.path());
  Start("");
  EXPECT_EQ(app_->window().windowTitle(), QStringLiteral("Velmora"));
  EXPECT_EQ(Text(IDC_STATUS_MAIN), QStringLiteral("Velmora起動しました。\nVersion 1.10"));
  EXPECT_EQ(Text(IDC_STATUS_SUB), QStringLiteral("起動完了"));
  EXPECT_EQ(Text(IDC_PATH), QStringLiteral("ここにドロップして下さい"));
  EXPECT_TRUE(Checked(IDC_RADIO_ENCRYPT));
  EXPECT_FALSE(Checked(IDC_RADIO_DECRYPT) || Checked(IDC_RADIO_TEMPORARY));
  EXPECT_FALSE(W(IDC_EXECUTE)->isEnabled());

  fs::create_directory(root() + "/data");
  WriteFile(root() + "/data/x", "x");
  Start("");
  QDir::setCurrent(previous);
  EXPECT_EQ(Text(IDC_PATH), QString::fromStdString(root() + "/data"));
  ASSERT_TRUE(WaitForScan());
  EXPECT_EQ(Text(IDC_STATUS_MAIN), QStringLiteral("1　ファイル見つかりました。"));

  // A tree a killed temporary decryption left is named and is the target.
  const std::string tree = state::RealPath(root() + "/data");
  ASSERT_TRUE(state::RecordLeftDecrypted(tree));
  Person person;
  Start("");
  const std::u16string named = Format(text::kLeftDecrypted, {Utf16FromWtf8(tree)});
  EXPECT_EQ(person.boxes,
            std::vector<QString>{QString::fromStdU16String(named).replace("\r\n", "\n")});
  EXPECT_EQ(Text(IDC_PATH), QString::fromStdString(tree));
  EXPECT_TRUE(Checked(IDC_RADIO_ENCRYPT));
  ASSERT_TRUE(WaitForScan());
  ASSERT_TRUE(Run(IDC_RADIO_ENCRYPT));
  EXPECT_TRUE(state::TreesLeftDecrypted().empty());
}

TEST_F(DesktopTest, ChangingThePathOrExitStopsTheRunningScan) {
  const std::string big = BigFolder();
  fs::create_directory(root() + "/small");
  WriteFile(root() + "/small/a", "a");
  WriteFile(root() + "/small/b", "b");
  for (const std::string typed : {"/missing", "/small", ""}) {  // "": exit
    SCOPED_TRACE(typed);
    bool acted = false;
    Start(big, [&](App& app) {
      ActDuringScan(app, 50, [&] {
        EXPECT_EQ(Text(IDC_PATH), QString::fromStdString(big));
        EXPECT_TRUE(Text(IDC_STATUS_SUB).startsWith("ファイル検索中"));
        if (typed.empty()) Click(IDC_EXIT);
        if (!typed.empty()) TypePath(root() + typed);
        acted = true;
      });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return acted; }, kTimeoutMs));
    if (typed.empty()) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return app_->IsFinished(); }, kTimeoutMs));
      EXPECT_FALSE(app_->window().isVisible());
      EXPECT_EQ(app_->dialog().last_scan_outcome_, ScanOutcome::kStopped);
      continue;
    }
    const bool valid = typed == "/small";
    if (valid) {
      ASSERT_TRUE(WaitForScan());
    }
    EXPECT_EQ(W(IDC_EXECUTE)->isEnabled(), valid);
    EXPECT_EQ(Text(IDC_STATUS_SUB), valid ? "検索完了" : "無効なパスです。");
    EXPECT_EQ(app_->dialog().job_.scan_total, valid ? 2 : 0);
  }
}

TEST_F(DesktopTest, DroppedFolderBecomesTheTarget) {
  fs::create_directory(root() + "/dropped");
  WriteFile(root() + "/dropped/x", "x");
  Start(root() + "/missing");
  QMimeData text;
  text.setText(QStringLiteral("not a place"));
  QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&app_->window(), &refused);
  EXPECT_FALSE(refused.isAccepted());

  QMimeData folders;
  folders.setUrls(
      {QUrl::fromLocalFile(dir_.filePath("dropped/")), QUrl::fromLocalFile(dir_.path())});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &folders, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&app_->window(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &folders, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&app_->window(), &drop);
  EXPECT_EQ(Text(IDC_PATH), dir_.filePath("dropped"));
  ASSERT_TRUE(WaitForScan());
  EXPECT_EQ(Text(IDC_STATUS_MAIN), QStringLiteral("1　ファイル見つかりました。"));
}

TEST_F(DesktopTest, BlockedInputLeavesTheControlsEnabled) {
  Start(root());
  ASSERT_TRUE(WaitForScan());
  app_->port().SetInputBlocked(true);
  Click(IDC_RADIO_DECRYPT);
  TypePath("xyz");
  QTest::keyClick(&app_->window(), Qt::Key_Escape);
  Click(IDC_EXIT);
  EXPECT_FALSE(Checked(IDC_RADIO_DECRYPT));
  EXPECT_EQ(Text(IDC_PATH), dir_.path());
  EXPECT_FALSE(app_->IsFinished());
  for (int id : kControls) EXPECT_TRUE(W(id)->isEnabled()) << id;

  app_->port().SetInputBlocked(false);
  Click(IDC_RADIO_DECRYPT);
  EXPECT_TRUE(Checked(IDC_RADIO_DECRYPT));
  EXPECT_TRUE(app_->window().close());  // the close box, with nothing running
  EXPECT_TRUE(app_->IsFinished());
}

TEST_F(DesktopTest, EnterRunsFromExecuteAndOpensNothingOnceItIsDisabled) {
  WriteFile(root() + "/a.txt", "a");
  Person person;
  std::vector<const QMetaObject*> opened;
  person.look = [&](QDialog& dialog) { opened.push_back(dialog.metaObject()); };
  Start(root());
  ASSERT_TRUE(WaitForScan());
  W(IDC_EXECUTE)->setFocus();
  QTest::keyClick(app_->window().focusWidget(), Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !app_->port().IsWorkerActive(); }, kTimeoutMs));
  EXPECT_EQ(person.password_dialogs, 1);
  ASSERT_FALSE(W(IDC_EXECUTE)->isEnabled());
  EXPECT_FALSE(qobject_cast<QPushButton*>(W(IDC_SETTINGS))->isDefault());

  opened.clear();
  QWidget* focus = app_->window().focusWidget();
  QTest::keyClick(focus != nullptr ? focus : &app_->window(), Qt::Key_Return);
  // A click would have started a run waiting on its password dialog.
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_FALSE(app_->port().IsWorkerActive());
  EXPECT_TRUE(opened.empty());
}

// Notes what a status line shows each time it is painted while |when|.
class PaintWatcher : public QObject {
 public:
  explicit PaintWatcher(std::function<bool()> when) : when_(std::move(when)) {}
  std::vector<QString> seen;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && when_()) {
      seen.push_back(qobject_cast<QLabel*>(watched)->text());
    }
    return false;
  }

 private:
  std::function<bool()> when_;
};

TEST_F(DesktopTest, ExitAfterATemporaryDecryptionEncryptsBeforeClosing) {
  Person person;
  // While the worker runs the window takes no input, nothing is greyed and
  // the close box cannot end it.
  person.look = [&](QDialog&) {
    EXPECT_TRUE(app_->port().IsInputBlocked());
    EXPECT_FALSE(app_->window().close());
    for (int id : kControls) EXPECT_TRUE(W(id)->isEnabled()) << id;
  };
  OpenTemporarily(person, 300);
  EXPECT_FALSE(app_->port().IsInputBlocked());
  for (int id : kControls) EXPECT_EQ(W(id)->isEnabled(), id == IDC_EXIT) << id;
  EXPECT_EQ(app_->window().focusWidget(), W(IDC_EXIT));

  // The exit pass paints its progress and takes neither Esc nor the close box.
  PaintWatcher watcher([&] {
    return app_->dialog().job_.exit_pass == 1 && QApplication::activeModalWidget() == nullptr;
  });
  W(IDC_STATUS_SUB)->installEventFilter(&watcher);
  W(IDC_STATUS_MAIN)->installEventFilter(&watcher);
  bool tried = false;
  QTimer poke;
  QObject::connect(&poke, &QTimer::timeout, [&] {
    if (app_->dialog().job_.exit_pass != 1 || tried) return;
    tried = true;
    QTest::keyClick(&app_->window(), Qt::Key_Escape);
    EXPECT_FALSE(app_->window().close());
  });
  poke.start(0);
  // Its summary shows while the window does, before the program ends.
  bool shown_at_summary = false;
  bool ended_at_summary = true;
  person.look = [&](QDialog&) {
    shown_at_summary = app_->window().isVisible();
    ended_at_summary = app_->port().IsEnded();
  };
  Click(IDC_EXIT);
  EXPECT_TRUE(app_->IsFinished());
  EXPECT_FALSE(app_->window().isVisible());
  EXPECT_TRUE(tried);
  EXPECT_TRUE(shown_at_summary);
  EXPECT_FALSE(ended_at_summary);
  const QString processing = QString::fromStdU16String(text::kProcessing).section('%', 0, 0);
  EXPECT_TRUE(std::any_of(watcher.seen.begin(), watcher.seen.end(), [&](const QString& text) {
    return text.startsWith(processing);
  })) << watcher.seen.size();
  EXPECT_EQ(person.boxes, std::vector<QString>{kAllDone});
  EXPECT_EQ(person.password_dialogs, 2);
  EXPECT_EQ(Snapshot(root()), encrypted_);  // the same key: the same names and bytes
}

// A signal while the exit pass's summary shows closes it without an OK.
TEST_F(DesktopTest, SignalDuringTheSummaryEndsWithoutWaitingForOk) {
  Person person;
  OpenTemporarily(person);
  ASSERT_TRUE(app_->WatchTerminationSignals());
  std::vector<QString> boxes;
  bool closed_by_itself = false;
  ScopedDialogScript watch([&](QDialog& dialog) {
    boxes.push_back(qobject_cast<MessageBoxDialog*>(&dialog)->text());
    EXPECT_EQ(::raise(SIGHUP), 0);
    closed_by_itself = ClosesByItself(dialog);
  });
  Click(IDC_EXIT);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app_->IsFinished(); }, kTimeoutMs));
  EXPECT_TRUE(closed_by_itself);
  EXPECT_EQ(boxes, std::vector<QString>{kAllDone});
  EXPECT_EQ(Snapshot(root()), encrypted_);
}

// After a signal the exit pass's boxes answer themselves: a file added while
// open whose name is too long once enciphered is skipped (Yes, then No to the
// follow-up), and everything else is encrypted again.
TEST_F(DesktopTest, AfterASignalTheExitPassSkipsWhatItCannotEncrypt) {
  Person person;
  OpenTemporarily(person, 6);
  const std::string long_name(100, 'x');
  WriteFile(root() + "/sub/" + long_name, "added while open");
  ASSERT_TRUE(app_->WatchTerminationSignals());
  std::vector<std::pair<QString, bool>> boxes;  // text, closed by itself
  ScopedDialogScript watch([&](QDialog& dialog) {
    auto* box = qobject_cast<MessageBoxDialog*>(&dialog);
    ASSERT_NE(box, nullptr);
    boxes.emplace_back(box->text(), ClosesByItself(dialog));
  });
  ASSERT_EQ(::raise(SIGTERM), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app_->IsFinished(); }, kTimeoutMs));
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_TRUE(boxes[0].first.startsWith(QString::fromStdU16String(text::kNameTooLong)));
  EXPECT_EQ(boxes[1].first, QString::fromStdU16String(text::kDontShowAgain));
  EXPECT_EQ(boxes[2].first, QString::fromStdU16String(Format(text::kSomeDone, {10, 9}))
                                .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  for (const auto& [text, closed] : boxes) EXPECT_TRUE(closed) << text.toStdString();
  testing::TreeSnapshot now = Snapshot(root());
  std::string sub;
  for (const auto& [path, entry] : encrypted_) {
    if (entry.kind == 'd') sub = path;
  }
  EXPECT_EQ(now.erase(sub + "/" + long_name), 1u);
  EXPECT_EQ(now, encrypted_);
}

// A signal during the walk of a temporary decryption stops it after the
// entry it is on; what it deciphered is encrypted again before the end.
TEST_F(DesktopTest, SignalDuringATemporaryDecryptionStopsItAndEncryptsAgain) {
  Person person;
  EncryptThroughTheWidgets(300);
  ASSERT_FALSE(HasFatalFailure());
  person.boxes.clear();
  ASSERT_TRUE(app_->WatchTerminationSignals());
  // Ten entries in, the signal comes and the walk waits until it is taken.
  bool raised = false;
  int entries = 0;
  std::optional<EntryWatch> watch(std::in_place, [&](const WatchedEntry& entry) {
    if (entry.opened_as_folder || ++entries != 10) return;
    raised = ::raise(SIGTERM) == 0;
    for (int waited = 0; waited < kTimeoutMs && !app_->dialog().stop_requested_; ++waited) {
      ::usleep(1000);
    }
  });
  Click(IDC_RADIO_TEMPORARY);
  ASSERT_TRUE(WaitForScan());
  Click(IDC_EXECUTE);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app_->IsFinished(); }, kTimeoutMs));
  watch.reset();
  EXPECT_TRUE(raised);
  ASSERT_FALSE(person.boxes.empty());
  EXPECT_NE(person.boxes.front(), kAllDone);
  EXPECT_EQ(Snapshot(root()), encrypted_);
  EXPECT_TRUE(state::TreesLeftDecrypted().empty());
}

// True once process |pid| catches |signal|, that is, has its handler.
bool Catches(qint64 pid, int signal) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("SigCgt:")) {
      const qulonglong mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
      return (mask >> (signal - 1)) & 1;
    }
  }
  return false;
}

TEST(ProgramTest, EndsCleanlyOnSigterm) {
  QTemporaryDir dir;
  QProcess program;
  // Options Qt would act on are just more of the path.
  program.start(QStringLiteral(VELMORA_PROGRAM),
                {dir.path(), QStringLiteral("-platform"), QStringLiteral("none")});
  ASSERT_TRUE(program.waitForStarted());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return Catches(program.processId(), SIGTERM) || program.state() == QProcess::NotRunning;
      },
      kTimeoutMs));
  ASSERT_EQ(program.state(), QProcess::Running);
  program.terminate();
  ASSERT_TRUE(program.waitForFinished(kTimeoutMs));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
}  // namespace velmora
