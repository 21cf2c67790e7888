#include "ui/qt/password_dialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/window_port.h"
#include "tests/gui/gui_test_util.h"
#include "ui/qt/dialog_script.h"

namespace velmora {
namespace {

const QString kTooLong = QStringLiteral("パスワードが長すぎます。");
const QString kTooShort = QStringLiteral("パスワードが短すぎます。");
const QString kMismatch = QStringLiteral("パスワードが違います。");

struct Controls {
  QLineEdit* password = nullptr;
  QLineEdit* confirmation = nullptr;
  QCheckBox* show = nullptr;
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
  QLabel* message = nullptr;
};

Controls Find(QDialog& dialog) {
  Controls c;
  c.password = Control<QLineEdit>(dialog, 1026);
  c.confirmation = Control<QLineEdit>(dialog, 1025);
  c.show = Control<QCheckBox>(dialog, 1037);
  c.ok = Control<QPushButton>(dialog, IDOK);
  c.cancel = Control<QPushButton>(dialog, IDCANCEL);
  c.message = Control<QLabel>(dialog, 1027);
  return c;
}

// Runs the password dialog; |body| acts on it once it is on screen and must
// close it. Returns what RunPasswordDialog returned.
int RunWith(std::u16string* password,
            const std::function<void(QDialog&, const Controls&)>& body) {
  bool ran = false;
  ScopedDialogScript script([&](QDialog& dialog) {
    ran = true;
    ASSERT_NE(qobject_cast<PasswordDialog*>(&dialog), nullptr);
    const Controls c = Find(dialog);
    ASSERT_NE(c.password, nullptr);
    ASSERT_NE(c.confirmation, nullptr);
    ASSERT_NE(c.show, nullptr);
    ASSERT_NE(c.ok, nullptr);
    ASSERT_NE(c.cancel, nullptr);
    ASSERT_NE(c.message, nullptr);
    body(dialog, c);
  });
  const int answer = RunPasswordDialog(nullptr, password);
  EXPECT_TRUE(ran);
  return answer;
}

void Click(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton);
}

TEST(PasswordDialogTest, OpensEmptyWithOkDisabledAndFocusOnPassword) {
  std::u16string password = u"unchanged";
  const int answer = RunWith(&password, [](QDialog& dialog, const Controls& c) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Velmora　パスワード入力"));
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(dialog.focusWidget(), c.password);
    EXPECT_TRUE(c.password->text().isEmpty());
    EXPECT_TRUE(c.confirmation->text().isEmpty());
    EXPECT_TRUE(c.message->text().isEmpty());
    EXPECT_FALSE(c.ok->isEnabled());
    EXPECT_TRUE(c.ok->isDefault());
    EXPECT_TRUE(c.cancel->isEnabled());
    EXPECT_FALSE(c.show->isChecked());
    EXPECT_EQ(c.password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(c.confirmation->echoMode(), QLineEdit::Password);
    Click(c.cancel);
  });
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_EQ(password, u"unchanged");
}

TEST(PasswordDialogTest, ShowsItsTextsExactly) {
  std::u16string password;
  RunWith(&password, [](QDialog& dialog, const Controls& c) {
    EXPECT_EQ(c.ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(c.cancel->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    EXPECT_EQ(c.show->text(), QStringLiteral("入力したパスワードを表示する。"));
    EXPECT_NE(ChildWithText<QGroupBox>(
                  dialog, QStringLiteral("パスワードを入力してください")),
              nullptr);
    for (const QString& text : {
             QStringLiteral("パスワード"),
             QStringLiteral("パスワード（確認用）"),
             QStringLiteral("★★★パスワードを間違えた場合、データは失われます。"
                            "ご注意下さい★★★"),
             QStringLiteral("※キー入力の確認を行うには以下のチェックボックスに"
                            "チェック　を入れてください。"),
         }) {
      EXPECT_NE(ChildWithText<QLabel>(dialog, text), nullptr)
          << text.toStdString();
    }
    Click(c.cancel);
  });
}

TEST(PasswordDialogTest, TabOrderRunsThroughTheControls) {
  std::u16string password;
  RunWith(&password, [](QDialog&, const Controls& c) {
    EXPECT_EQ(c.password->nextInFocusChain(), c.confirmation);
    EXPECT_EQ(c.confirmation->nextInFocusChain(), c.show);
    EXPECT_EQ(c.show->nextInFocusChain(), c.ok);
    EXPECT_EQ(c.ok->nextInFocusChain(), c.cancel);
    Click(c.cancel);
  });
}

TEST(PasswordDialogTest, OnlyConfirmationTypedIsTooShort) {
  std::u16string password;
  RunWith(&password, [](QDialog&, const Controls& c) {
    QTest::keyClicks(c.confirmation, QStringLiteral("abc"));
    EXPECT_EQ(c.message->text(), kTooShort);
    EXPECT_FALSE(c.ok->isEnabled());
    Click(c.cancel);
  });
}

TEST(PasswordDialogTest, OneCharacterNeverEnablesOk) {
  std::u16string password;
  RunWith(&password, [](QDialog&, const Controls& c) {
    QTest::keyClicks(c.password, QStringLiteral("a"));
    EXPECT_EQ(c.message->text(), kTooShort);
    EXPECT_FALSE(c.ok->isEnabled());
    QTest::keyClicks(c.confirmation, QStringLiteral("a"));
    EXPECT_EQ(c.message->text(), kTooShort);
    EXPECT_FALSE(c.ok->isEnabled());
    Click(c.cancel);
  });
}

TEST(PasswordDialogTest, TwoEqualCharactersEnableOk) {
  std::u16string password;
  RunWith(&password, [](QDialog&, const Controls& c) {
    QTest::keyClicks(c.password, QStringLiteral("ab"));
    EXPECT_EQ(c.message->text(), kMismatch);
    EXPECT_FALSE(c.ok->isEnabled());
    QTest::keyClicks(c.confirmation, QStringLiteral("a"));
    EXPECT_EQ(c.message->text(), kMismatch);
    EXPECT_FALSE(c.ok->isEnabled());
    QTest::keyClicks(c.confirmation, QStringLiteral("b"));
    EXPECT_TRUE(c.message->text().isEmpty());
    EXPECT_TRUE(c.ok->isEnabled());
    // Taking one back disables it again.
    QTest::keyClick(c.confirmation, Qt::Key_Backspace);
    EXPECT_EQ(c.message->text(), kMismatch);
    EXPECT_FALSE(c.ok->isEnabled());
    Click(c.cancel);
  });
}

TEST(PasswordDialogTest, LongestPasswordIsAcceptedAndOneMoreIsTooLong) {
  std::u16string password;
  const QString longest(1020, QLatin1Char('k'));
  const int answer = RunWith(&password, [&](QDialog&, const Controls& c) {
    QTest::keyClicks(c.password, longest);
    QTest::keyClicks(c.confirmation, longest);
    EXPECT_TRUE(c.message->text().isEmpty());
    EXPECT_TRUE(c.ok->isEnabled());

    QTest::keyClicks(c.password, QStringLiteral("k"));
    EXPECT_EQ(c.password->text().size(), 1021);
    EXPECT_EQ(c.message->text(), kTooLong);
    EXPECT_FALSE(c.ok->isEnabled());
    // Length comes first even when the boxes agree.
    QTest::keyClicks(c.confirmation, QStringLiteral("k"));
    EXPECT_EQ(c.message->text(), kTooLong);
    EXPECT_FALSE(c.ok->isEnabled());

    QTest::keyClick(c.password, Qt::Key_Backspace);
    QTest::keyClick(c.confirmation, Qt::Key_Backspace);
    EXPECT_TRUE(c.ok->isEnabled());
    Click(c.ok);
  });
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(password, longest.toStdU16String());
}

TEST(PasswordDialogTest, CaseOnlyDifferenceIsMismatch) {
  std::u16string password;
  RunWith(&password, [](QDialog&, const Controls& c) {
    QTest::keyClicks(c.password, QStringLiteral("Secret"));
    QTest::keyClicks(c.confirmation, QStringLiteral("secret"));
    EXPECT_EQ(c.message->text(), kMismatch);
    EXPECT_FALSE(c.ok->isEnabled());
    Click(c.cancel);
  });
}

TEST(PasswordDialogTest, ShowBoxTogglesEchoOfBothBoxes) {
  std::u16string password;
  RunWith(&password, [](QDialog&, const Controls& c) {
    QTest::keyClicks(c.password, QStringLiteral("abc"));
    QTest::keyClicks(c.confirmation, QStringLiteral("ab"));
    // Masked with '*' whatever the platform style would use.
    for (QLineEdit* edit : {c.password, c.confirmation}) {
      EXPECT_EQ(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter,
                                         nullptr, edit),
                '*');
    }
    EXPECT_EQ(c.password->displayText(), QStringLiteral("***"));
    EXPECT_EQ(c.confirmation->displayText(), QStringLiteral("**"));

    Click(c.show);
    EXPECT_TRUE(c.show->isChecked());
    EXPECT_EQ(c.password->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(c.confirmation->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(c.password->displayText(), QStringLiteral("abc"));
    EXPECT_EQ(c.confirmation->displayText(), QStringLiteral("ab"));

    Click(c.show);
    EXPECT_FALSE(c.show->isChecked());
    EXPECT_EQ(c.password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(c.confirmation->echoMode(), QLineEdit::Password);
    EXPECT_EQ(c.password->displayText(), QStringLiteral("***"));
    EXPECT_EQ(c.confirmation->displayText(), QStringLiteral("**"));
    // Showing the text does not touch it or the verdict.
    EXPECT_EQ(c.message->text(), kMismatch);
    Click(c.cancel);
  });
}

TEST(PasswordDialogTest, EnterWithOkDisabledKeepsTheDialogOpen) {
  std::u16string password = u"unchanged";
  const int answer = RunWith(&password, [](QDialog& dialog, const Controls& c) {
    QTest::keyClicks(c.password, QStringLiteral("a"));
    QTest::keyClicks(c.confirmation, QStringLiteral("a"));
    ASSERT_FALSE(c.ok->isEnabled());
    QTest::keyClick(c.confirmation, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(c.password, Qt::Key_Enter);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    Click(c.cancel);
  });
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_EQ(password, u"unchanged");
}

TEST(PasswordDialogTest, EnterWithOkEnabledAccepts) {
  std::u16string password;
  const int answer = RunWith(&password, [](QDialog&, const Controls& c) {
    QTest::keyClicks(c.password, QStringLiteral("pw"));
    QTest::keyClicks(c.confirmation, QStringLiteral("pw"));
    QTest::keyClick(c.confirmation, Qt::Key_Return);
  });
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(password, u"pw");
}

TEST(PasswordDialogTest, OkReturnsTheTypedPassword) {
  std::u16string password;
  const int answer = RunWith(&password, [](QDialog&, const Controls& c) {
    QTest::keyClicks(c.password, QStringLiteral("Pass "));
    CommitText(c.password, QStringLiteral("秘密ﾊﾟｽ"));
    QTest::keyClicks(c.confirmation, QStringLiteral("Pass "));
    CommitText(c.confirmation, QStringLiteral("秘密ﾊﾟｽ"));
    ASSERT_TRUE(c.ok->isEnabled());
    Click(c.ok);
  });
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(password, u"Pass 秘密ﾊﾟｽ");
}

TEST(PasswordDialogTest, CancelReturnsIdCancelAndKeepsThePassword) {
  std::u16string password = u"before";
  const int answer = RunWith(&password, [](QDialog&, const Controls& c) {
    QTest::keyClicks(c.password, QStringLiteral("pw"));
    QTest::keyClicks(c.confirmation, QStringLiteral("pw"));
    Click(c.cancel);
  });
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_EQ(password, u"before");
}

TEST(PasswordDialogTest, EscapeAndCloseBoxCancel) {
  std::u16string password = u"before";
  EXPECT_EQ(RunWith(&password,
                    [](QDialog&, const Controls& c) {
                      QTest::keyClicks(c.password, QStringLiteral("pw"));
                      QTest::keyClicks(c.confirmation, QStringLiteral("pw"));
                      QTest::keyClick(c.confirmation, Qt::Key_Escape);
                    }),
            IDCANCEL);
  EXPECT_EQ(RunWith(&password,
                    [](QDialog& dialog, const Controls& c) {
                      QTest::keyClicks(c.password, QStringLiteral("pw"));
                      QTest::keyClicks(c.confirmation, QStringLiteral("pw"));
                      dialog.close();
                    }),
            IDCANCEL);
  EXPECT_EQ(password, u"before");
}

TEST(PasswordDialogTest, PasswordInputIsEmptyUntilOk) {
  PasswordDialog dialog(nullptr);
  EXPECT_TRUE(dialog.passwordInput().empty());
}

}  // namespace
}  // namespace velmora
