#include "ui/qt/option_dialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/window_port.h"
#include "tests/gui/gui_test_util.h"
#include "ui/qt/dialog_script.h"

namespace velmora {
namespace {

struct Controls {
  QCheckBox* rule = nullptr;
  QPlainTextEdit* list = nullptr;
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
};

// Runs the option dialog on |text| and |rule|; |body| acts on it once it is
// on screen and must close it. Returns what RunOptionDialog returned.
int RunWith(std::u16string* text, int* rule,
            const std::function<void(QDialog&, const Controls&)>& body) {
  bool ran = false;
  ScopedDialogScript script([&](QDialog& dialog) {
    ran = true;
    ASSERT_NE(qobject_cast<OptionDialog*>(&dialog), nullptr);
    Controls c;
    c.rule = Control<QCheckBox>(dialog, 1022);
    c.list = Control<QPlainTextEdit>(dialog, 1021);
    c.ok = Control<QPushButton>(dialog, IDOK);
    c.cancel = Control<QPushButton>(dialog, IDCANCEL);
    ASSERT_NE(c.rule, nullptr);
    ASSERT_NE(c.list, nullptr);
    ASSERT_NE(c.ok, nullptr);
    ASSERT_NE(c.cancel, nullptr);
    body(dialog, c);
  });
  const int answer = RunOptionDialog(nullptr, text, rule);
  EXPECT_TRUE(ran);
  return answer;
}

void Click(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton);
}

void ClearList(QPlainTextEdit* list) {
  list->setFocus();
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(list, Qt::Key_Delete);
}

TEST(OptionDialogTest, OpensWithTheGivenTextAndRule) {
  std::u16string text = u"TXT\r\nDOC\r\nLOG";
  int rule = 1;
  RunWith(&text, &rule, [](QDialog& dialog, const Controls& c) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Velmora　オプション設定"));
    EXPECT_EQ(c.list->toPlainText(), QStringLiteral("TXT\nDOC\nLOG"));
    EXPECT_EQ(c.list->blockCount(), 3);
    EXPECT_TRUE(c.rule->isChecked());
    EXPECT_TRUE(c.list->isEnabled());
    EXPECT_TRUE(c.ok->isDefault());
    EXPECT_EQ(c.list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    Click(c.cancel);
  });
}

TEST(OptionDialogTest, RuleZeroOpensWithTheListDisabled) {
  std::u16string text = u"TXT";
  int rule = 0;
  RunWith(&text, &rule, [](QDialog&, const Controls& c) {
    EXPECT_FALSE(c.rule->isChecked());
    EXPECT_FALSE(c.list->isEnabled());
    EXPECT_EQ(c.list->toPlainText(), QStringLiteral("TXT"));
    Click(c.cancel);
  });
}

TEST(OptionDialogTest, ShowsItsTextsExactly) {
  std::u16string text;
  int rule = 0;
  RunWith(&text, &rule, [](QDialog& dialog, const Controls& c) {
    EXPECT_EQ(c.ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(c.cancel->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(c.rule->text(),
              QStringLiteral("拡張子によりファイルの暗号化の範囲を変化させる。"));
    EXPECT_NE(ChildWithText<QGroupBox>(dialog, QStringLiteral("高速化設定")),
              nullptr);
    EXPECT_NE(ChildWithText<QLabel>(dialog,
                                    QStringLiteral("登録されている拡張子")),
              nullptr);
    EXPECT_NE(ChildWithText<QLabel>(
                  dialog, QStringLiteral(
                              "ここに登録されている拡張子を持つファイルは、"
                              "先頭から８Kバイトのみ暗号化されます。それ以外の"
                              "ファイルはファイル全体が暗号化されます。")),
              nullptr);
    Click(c.cancel);
  });
}

TEST(OptionDialogTest, CancelKeepsTextAndRule) {
  std::u16string text = u"EXE\r\nDLL";
  int rule = 1;
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog&, const Controls& c) {
                      ClearList(c.list);
                      QTest::keyClicks(c.list, QStringLiteral("zip"));
                      Click(c.rule);
                      ASSERT_FALSE(c.rule->isChecked());
                      Click(c.cancel);
                    }),
            IDCANCEL);
  EXPECT_EQ(text, u"EXE\r\nDLL");
  EXPECT_EQ(rule, 1);
}

TEST(OptionDialogTest, EscapeAndCloseBoxKeepTextAndRule) {
  std::u16string text = u"EXE";
  int rule = 0;
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog&, const Controls& c) {
                      Click(c.rule);
                      QTest::keyClicks(c.list, QStringLiteral("x"));
                      QTest::keyClick(c.rule, Qt::Key_Escape);
                    }),
            IDCANCEL);
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog& dialog, const Controls& c) {
                      Click(c.rule);
                      QTest::keyClicks(c.list, QStringLiteral("x"));
                      dialog.close();
                    }),
            IDCANCEL);
  EXPECT_EQ(text, u"EXE");
  EXPECT_EQ(rule, 0);
}

TEST(OptionDialogTest, OkWithoutChangesGivesTheSameValues) {
  std::u16string text = u"EXE\r\nDLL\r\n";
  int rule = 1;
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog&, const Controls& c) { Click(c.ok); }),
            IDOK);
  EXPECT_EQ(text, u"EXE\r\nDLL\r\n");
  EXPECT_EQ(rule, 1);
}

TEST(OptionDialogTest, ClearedListGivesEmptyText) {
  std::u16string text = u"EXE\r\nDLL";
  int rule = 1;
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog&, const Controls& c) {
                      ClearList(c.list);
                      EXPECT_TRUE(c.list->toPlainText().isEmpty());
                      Click(c.ok);
                    }),
            IDOK);
  EXPECT_EQ(text, u"");
  EXPECT_EQ(rule, 1);
}

TEST(OptionDialogTest, LowerCaseLinesAreKeptAsTyped) {
  std::u16string text;
  int rule = 1;
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog&, const Controls& c) {
                      c.list->setFocus();
                      QTest::keyClicks(c.list, QStringLiteral("txt"));
                      QTest::keyClick(c.list, Qt::Key_Return);
                      QTest::keyClicks(c.list, QStringLiteral("Doc"));
                      Click(c.ok);
                    }),
            IDOK);
  EXPECT_EQ(text, u"txt\r\nDoc");
}

TEST(OptionDialogTest, EnterInTheListBreaksTheLineAndComesBackAsCrLf) {
  std::u16string text = u"EXE";
  int rule = 1;
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog& dialog, const Controls& c) {
                      c.list->setFocus();
                      QTest::keyClick(c.list, Qt::Key_End,
                                      Qt::ControlModifier);
                      QTest::keyClick(c.list, Qt::Key_Return);
                      // The default button does not take this Enter.
                      EXPECT_TRUE(dialog.isVisible());
                      QTest::keyClicks(c.list, QStringLiteral("dll"));
                      QTest::keyClick(c.list, Qt::Key_Enter);
                      CommitText(c.list, QStringLiteral("拡張"));
                      EXPECT_EQ(c.list->blockCount(), 3);
                      Click(c.ok);
                    }),
            IDOK);
  EXPECT_EQ(text, u"EXE\r\ndll\r\n拡張");
}

TEST(OptionDialogTest, UncheckingDisablesTheListButKeepsItsText) {
  std::u16string text = u"EXE\r\nDLL";
  int rule = 1;
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog&, const Controls& c) {
                      Click(c.rule);
                      EXPECT_FALSE(c.rule->isChecked());
                      EXPECT_FALSE(c.list->isEnabled());
                      EXPECT_EQ(c.list->toPlainText(),
                                QStringLiteral("EXE\nDLL"));
                      Click(c.ok);
                    }),
            IDOK);
  EXPECT_EQ(text, u"EXE\r\nDLL");
  EXPECT_EQ(rule, 0);
}

TEST(OptionDialogTest, CheckingEnablesTheList) {
  std::u16string text = u"EXE";
  int rule = 0;
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog&, const Controls& c) {
                      Click(c.rule);
                      EXPECT_TRUE(c.list->isEnabled());
                      Click(c.rule);
                      EXPECT_FALSE(c.list->isEnabled());
                      Click(c.rule);
                      Click(c.ok);
                    }),
            IDOK);
  EXPECT_EQ(text, u"EXE");
  EXPECT_EQ(rule, 1);
}

TEST(OptionDialogTest, TextOverTheLimitIsCut) {
  std::u16string text(1100, u'a');
  int rule = 1;
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog&, const Controls& c) { Click(c.ok); }),
            IDOK);
  EXPECT_EQ(text, std::u16string(1022, u'a'));
}

TEST(OptionDialogTest, LimitCountsTheCrLfLineEnds) {
  std::u16string lines;
  for (int i = 0; i < 300; ++i) {
    if (i != 0) lines += u"\r\n";
    lines += u"abc";
  }
  ASSERT_GT(lines.size(), 1022u);
  std::u16string text = lines;
  int rule = 0;
  EXPECT_EQ(RunWith(&text, &rule,
                    [](QDialog&, const Controls& c) { Click(c.ok); }),
            IDOK);
  EXPECT_EQ(text, lines.substr(0, 1022));
  EXPECT_EQ(rule, 0);
}

TEST(OptionDialogTest, ValuesBeforeOkAreTheGivenOnes) {
  OptionDialog dialog(nullptr, u"A\r\nB", 1);
  EXPECT_EQ(dialog.extensionText(), u"A\r\nB");
  EXPECT_EQ(dialog.extensionRule(), 1);
}

}  // namespace
}  // namespace velmora
