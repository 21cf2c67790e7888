// The window port on its own: message boxes, input blocking, calls from a
// worker thread, and the program's command line.
#include "ui/qt/qt_window_port.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/window_port.h"
#include "platform/wtf8.h"
#include "tests/gui/app_fixture.h"
#include "ui/qt/command_line.h"
#include "ui/qt/message_box.h"
#include "ui/qt/pending_texts.h"

namespace velmora {
namespace {

struct BoxSeen {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::vector<std::pair<QString, QString>> buttons;  // object name, text
  QString default_button;
};

// Shows a box with |flags| and clicks the button of |answer| (0: leaves it
// open, so the script rejects it). Returns the box's answer.
int ShowBox(unsigned flags, int answer, BoxSeen* seen,
            const std::u16string& text = u"line one\r\nline two") {
  ScopedDialogScript script([&](QDialog& dialog) {
    auto* box = qobject_cast<QMessageBox*>(&dialog);
    ASSERT_NE(box, nullptr);
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->icon = box->icon();
    // As laid out, left to right.
    QList<QAbstractButton*> buttons = box->buttons();
    std::sort(buttons.begin(), buttons.end(),
              [](const QAbstractButton* a, const QAbstractButton* b) {
                return a->x() < b->x();
              });
    for (QAbstractButton* button : buttons) {
      seen->buttons.emplace_back(button->objectName(), button->text());
    }
    if (box->defaultButton() != nullptr) {
      seen->default_button = box->defaultButton()->objectName();
    }
    if (answer != 0) {
      QTest::mouseClick(box->findChild<QPushButton*>(ControlName(answer)),
                        Qt::LeftButton);
    }
  });
  return RunMessageBox(nullptr, text, flags);
}

std::vector<std::pair<QString, QString>> Buttons(
    std::initializer_list<std::pair<int, const char16_t*>> list) {
  std::vector<std::pair<QString, QString>> buttons;
  for (const auto& [id, text] : list) {
    buttons.emplace_back(ControlName(id), QString::fromStdU16String(text));
  }
  return buttons;
}

TEST(MessageBoxTest, OkBoxShowsLinesWithCaptionAndIcon) {
  BoxSeen seen;
  EXPECT_EQ(ShowBox(MB_OK | MB_ICONINFORMATION, IDOK, &seen), IDOK);
  EXPECT_EQ(seen.title, QStringLiteral("Velmora"));
  EXPECT_EQ(seen.text, QStringLiteral("line one\nline two"));
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  EXPECT_EQ(seen.buttons, Buttons({{IDOK, u"OK"}}));
  EXPECT_EQ(seen.default_button, ControlName(IDOK));
}

TEST(MessageBoxTest, YesNoInJapaneseAndUnansweredIsNo) {
  BoxSeen seen;
  EXPECT_EQ(ShowBox(MB_YESNO | MB_ICONQUESTION, IDYES, &seen), IDYES);
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(seen.buttons, Buttons({{IDYES, u"はい"}, {IDNO, u"いいえ"}}));
  EXPECT_EQ(seen.default_button, ControlName(IDYES));

  BoxSeen again;
  EXPECT_EQ(ShowBox(MB_YESNO | MB_ICONWARNING, IDNO, &again), IDNO);
  EXPECT_EQ(again.icon, QMessageBox::Warning);
  BoxSeen left_open;
  EXPECT_EQ(ShowBox(MB_YESNO, 0, &left_open), IDNO);
}

TEST(MessageBoxTest, AbortRetryIgnoreAndAbortIgnore) {
  BoxSeen seen;
  EXPECT_EQ(ShowBox(MB_ABORTRETRYIGNORE | MB_ICONERROR, IDRETRY, &seen),
            IDRETRY);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(
      seen.buttons,
      Buttons({{IDABORT, u"中止"}, {IDRETRY, u"再試行"}, {IDIGNORE, u"無視"}}));
  EXPECT_EQ(seen.default_button, ControlName(IDABORT));

  BoxSeen only_two;
  EXPECT_EQ(ShowBox(MB_ABORTIGNORE | MB_ICONERROR, IDIGNORE, &only_two),
            IDIGNORE);
  EXPECT_EQ(only_two.buttons,
            Buttons({{IDABORT, u"中止"}, {IDIGNORE, u"無視"}}));
  BoxSeen left_open;
  EXPECT_EQ(ShowBox(MB_ABORTIGNORE, 0, &left_open), IDABORT);
}

TEST(MessageBoxTest, FileNamesAreNeverMarkup) {
  BoxSeen seen;
  ShowBox(MB_OK, IDOK, &seen, u"<b>name</b> & more");
  EXPECT_EQ(seen.text, QStringLiteral("<b>name</b> & more"));
}

TEST(PendingTextsTest, KeepsTheNewestTextInFirstWriteOrder) {
  PendingTexts texts;
  EXPECT_TRUE(texts.Put(1034, u"a"));
  EXPECT_FALSE(texts.Put(1033, u"b"));
  EXPECT_FALSE(texts.Put(1034, u"c"));
  const std::vector<PendingTexts::Entry> taken = texts.Take();
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0], PendingTexts::Entry(1034, u"c"));
  EXPECT_EQ(taken[1], PendingTexts::Entry(1033, u"b"));
  EXPECT_TRUE(texts.Take().empty());
  EXPECT_TRUE(texts.Put(1033, u"d"));
}

TEST(CommandLineTest, TailIsJoinedVerbatim) {
  const char* none[] = {"velmora"};
  EXPECT_EQ(TargetFromArguments(1, none), u"");
  const char* spaced[] = {"velmora", "/tmp/My", "Files", "\"x\""};
  EXPECT_EQ(TargetFromArguments(4, spaced), u"/tmp/My Files \"x\"");
  const char* dashed[] = {"velmora", "-style", "fusion"};
  EXPECT_EQ(TargetFromArguments(3, dashed), u"-style fusion");
  const char* raw[] = {"velmora", "/tmp/\x93\xfa"};
  EXPECT_EQ(TargetFromArguments(2, raw),
            (std::u16string{u'/', u't', u'm', u'p', u'/', 0xFFFF, 0xDC93,
                            0xFFFF, 0xDCFA}));
}

using WindowPortTest = AppTest;

TEST_F(WindowPortTest, BlockedInputLeavesTheControlsEnabled) {
  App& program = StartApp(root());
  ASSERT_TRUE(WaitForScan());
  QtWindowPort& port = program.port();
  auto* path = Widget<QLineEdit>(IDC_PATH);
  const QString before = path->text();

  port.SetInputBlocked(true);
  EXPECT_TRUE(port.IsInputBlocked());
  QTest::mouseClick(Widget(IDC_RADIO_DECRYPT), Qt::LeftButton);
  QTest::keyClicks(path, QStringLiteral("xyz"));
  QTest::keyClick(&program.window(), Qt::Key_Escape);
  QTest::mouseClick(Widget(IDC_EXIT), Qt::LeftButton);
  EXPECT_FALSE(Widget<QRadioButton>(IDC_RADIO_DECRYPT)->isChecked());
  EXPECT_EQ(path->text(), before);
  EXPECT_FALSE(program.IsFinished());
  for (int id : {IDC_EXECUTE, IDC_SETTINGS, IDC_EXIT, IDC_PATH, IDC_BROWSE,
                 IDC_RADIO_ENCRYPT, IDC_RADIO_DECRYPT, IDC_RADIO_TEMPORARY,
                 IDC_OPERATION_GROUP, IDC_STATUS_MAIN, IDC_STATUS_SUB}) {
    EXPECT_TRUE(Widget(id)->isEnabled()) << id;
  }

  port.SetInputBlocked(false);
  EXPECT_FALSE(port.IsInputBlocked());
  QTest::mouseClick(Widget(IDC_RADIO_DECRYPT), Qt::LeftButton);
  EXPECT_TRUE(Widget<QRadioButton>(IDC_RADIO_DECRYPT)->isChecked());
}

TEST_F(WindowPortTest, WorkerCallsReachTheWindowInOrder) {
  App& program = StartApp(root());
  ASSERT_TRUE(WaitForScan());
  QtWindowPort& port = program.port();

  QString sub_status_at_box;
  ScopedDialogScript script([&](QDialog& dialog) {
    sub_status_at_box = Text(IDC_STATUS_SUB);
    QTest::mouseClick(dialog.findChild<QPushButton*>(ControlName(IDYES)),
                      Qt::LeftButton);
  });

  std::atomic<bool> done{false};
  int answer = 0;
  std::u16string path;
  bool checked = false;
  std::u16string main_status;
  std::thread worker([&] {
    for (int i = 0; i < 2000; ++i) {
      port.SetControlText(IDC_STATUS_SUB,
                          u"step " + std::u16string(1, u'0' + i % 10));
      port.SetControlText(IDC_STATUS_MAIN, u"line\r\nnext");
    }
    port.SetControlText(IDC_STATUS_SUB, u"before the box");
    answer = port.MessageBox(u"Continue?", MB_YESNO | MB_ICONQUESTION);
    path = port.GetControlText(IDC_PATH);
    checked = port.IsChecked(IDC_RADIO_ENCRYPT);
    port.SetChecked(IDC_RADIO_DECRYPT, true);
    main_status = port.GetControlText(IDC_STATUS_MAIN);
    port.SetControlText(IDC_STATUS_SUB, u"last");
    done = true;
  });
  const bool finished = SpinUntil([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  QTest::qWait(10);  // the last text needs no answer, so it may lag

  EXPECT_EQ(answer, IDYES);
  EXPECT_EQ(sub_status_at_box, QStringLiteral("before the box"));
  EXPECT_EQ(path, Utf16FromWtf8(root()));
  EXPECT_TRUE(checked);
  // A set check is this button's alone, as MainDialog sets each one.
  EXPECT_TRUE(Widget<QRadioButton>(IDC_RADIO_DECRYPT)->isChecked());
  EXPECT_TRUE(Widget<QRadioButton>(IDC_RADIO_ENCRYPT)->isChecked());
  EXPECT_EQ(main_status, u"line\r\nnext");
  EXPECT_EQ(Text(IDC_STATUS_MAIN), QStringLiteral("line\nnext"));
  ASSERT_TRUE(SpinUntil(
      [&] { return Text(IDC_STATUS_SUB) == QStringLiteral("last"); }));
}

TEST_F(WindowPortTest, ScanPostedBeforeTheEndDoesNotStart) {
  App& program = StartApp(root() + "/missing");
  QtWindowPort& port = program.port();
  program.dialog().m_job.m_strScanDir = Utf16FromWtf8(root());
  port.PostCommand(ID_START_SCAN);
  port.EndDialog(IDCANCEL);
  port.EndDialog(IDOK);  // only the first one counts
  QTest::qWait(10);
  EXPECT_EQ(program.dialog().m_lastScanOutcome, ScanOutcome::kNotRun);
  EXPECT_TRUE(program.IsFinished());
}

}  // namespace
}  // namespace velmora
