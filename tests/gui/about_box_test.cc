#include "ui/qt/about_box.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/window_port.h"
#include "tests/gui/gui_test_util.h"
#include "ui/qt/dialog_script.h"

namespace velmora {
namespace {

TEST(AboutBoxTest, ShowsTheVersionAndClosesWithOk) {
  bool ran = false;
  ScopedDialogScript script([&](QDialog& dialog) {
    ran = true;
    EXPECT_NE(qobject_cast<AboutBox*>(&dialog), nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Velmora のﾊﾞｰｼﾞｮﾝ情報"));
    QLabel* version =
        ChildWithText<QLabel>(dialog, QStringLiteral("Velmora Version 1.1"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->textFormat(), Qt::PlainText);
    auto* ok = Control<QPushButton>(dialog, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    QTest::mouseClick(ok, Qt::LeftButton);
  });
  EXPECT_EQ(RunAboutBox(nullptr), IDOK);
  EXPECT_TRUE(ran);
}

TEST(AboutBoxTest, EnterPressesOkAndEscapeCancels) {
  {
    ScopedDialogScript script([](QDialog& dialog) {
      QTest::keyClick(&dialog, Qt::Key_Return);
    });
    EXPECT_EQ(RunAboutBox(nullptr), IDOK);
  }
  {
    ScopedDialogScript script([](QDialog& dialog) {
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(RunAboutBox(nullptr), IDCANCEL);
  }
}

TEST(AboutBoxTest, IconSitsAtItsPlace) {
  AboutBox box(nullptr);
  const QPoint expected = box.units().ToPixels(QPoint(11, 17));
  bool found = false;
  for (QLabel* label : box.findChildren<QLabel*>()) {
    if (label->pixmap().isNull()) continue;
    found = true;
    EXPECT_EQ(label->pos(), expected);
  }
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace velmora
