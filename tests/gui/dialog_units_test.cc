#include "ui/qt/dialog_units.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "platform/window_port.h"
#include "tests/gui/gui_test_util.h"
#include "ui/qt/about_box.h"
#include "ui/qt/option_dialog.h"
#include "ui/qt/password_dialog.h"

namespace velmora {
namespace {

TEST(DialogUnitsTest, QuarterWidthAndEighthHeight) {
  const DialogUnits units(8, 16);
  EXPECT_EQ(units.ToPixelsX(4), 8);
  EXPECT_EQ(units.ToPixelsY(8), 16);
  EXPECT_EQ(units.ToPixels(QRect(4, 8, 40, 16)), QRect(8, 16, 80, 32));
  EXPECT_EQ(units.ToPixels(QSize(323, 211)), QSize(646, 422));
  EXPECT_EQ(units.ToPixels(QPoint(0, 0)), QPoint(0, 0));
}

TEST(DialogUnitsTest, RoundsToNearestPixel) {
  const DialogUnits units(7, 17);
  EXPECT_EQ(units.ToPixelsX(1), 2);    // 1.75
  EXPECT_EQ(units.ToPixelsX(2), 4);    // 3.5
  EXPECT_EQ(units.ToPixelsX(75), 131);  // 131.25
  EXPECT_EQ(units.ToPixelsY(1), 2);    // 2.125
  EXPECT_EQ(units.ToPixelsY(13), 28);  // 27.625
  // Position and size are converted separately.
  EXPECT_EQ(units.ToPixels(QRect(1, 1, 1, 1)), QRect(2, 2, 2, 2));
}

TEST(DialogUnitsTest, BaseUnitsComeFromTheFont) {
  const QFont font = DialogFont();
  const QFontMetrics metrics(font);
  const DialogUnits units = DialogUnits::ForFont(font);
  EXPECT_EQ(units.base_y(), metrics.height());
  const double letters = metrics.horizontalAdvance(QStringLiteral(
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  EXPECT_LE(std::abs(units.base_x() - letters / 52), 0.5);
  EXPECT_GT(units.base_x(), 0);
}

TEST(DialogUnitsTest, LargerFontGivesProportionallyLargerUnits) {
  QFont small = DialogFont();
  QFont large = DialogFont();
  large.setPointSize(18);
  const DialogUnits a = DialogUnits::ForFont(small);
  const DialogUnits b = DialogUnits::ForFont(large);
  EXPECT_NEAR(static_cast<double>(b.base_x()) / a.base_x(), 2.0, 0.3);
  EXPECT_NEAR(static_cast<double>(b.base_y()) / a.base_y(), 2.0, 0.3);
}

TEST(DialogFontTest, IsNotoSansCjkJpNinePoint) {
  const QFont font = DialogFont();
  EXPECT_EQ(font.pointSize(), 9);
  ASSERT_FALSE(font.families().isEmpty());
  EXPECT_EQ(font.families().first(), QStringLiteral("Noto Sans CJK JP"));
  if (QFontDatabase::families().contains(QStringLiteral("Noto Sans CJK JP"))) {
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Noto Sans CJK JP"));
  }
}

// Every dialog is a fixed window of its size in dialog units.
void ExpectDialogSize(const DialogBase& dialog, int width, int height) {
  EXPECT_EQ(dialog.font(), DialogFont());
  const DialogUnits units = DialogUnits::ForFont(dialog.font());
  EXPECT_EQ(dialog.size(), units.ToPixels(QSize(width, height)));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

TEST(DialogLayoutTest, PasswordDialogControlsSitAtTheirDialogUnits) {
  PasswordDialog dialog(nullptr);
  ExpectDialogSize(dialog, 323, 211);
  ExpectPlaced(dialog, Control<QLineEdit>(dialog, 1026), QRect(75, 39, 209, 13));
  ExpectPlaced(dialog, Control<QLineEdit>(dialog, 1025), QRect(75, 66, 209, 12));
  ExpectPlaced(dialog, Control<QCheckBox>(dialog, 1037),
               QRect(178, 165, 138, 13));
  ExpectPlaced(dialog, Control<QPushButton>(dialog, IDOK),
               QRect(90, 190, 50, 14));
  ExpectPlaced(dialog, Control<QPushButton>(dialog, IDCANCEL),
               QRect(168, 189, 50, 14));
  ExpectPlaced(dialog, Control<QLabel>(dialog, 1027), QRect(99, 86, 143, 13));
  ExpectPlaced(dialog,
               ChildWithText<QLabel>(dialog, QStringLiteral("パスワード")),
               QRect(26, 41, 43, 10));
  QLabel* confirm_label =
      ChildWithText<QLabel>(dialog, QStringLiteral("パスワード（確認用）"));
  ExpectPlaced(dialog, confirm_label, QRect(26, 63, 47, 18));
  ASSERT_NE(confirm_label, nullptr);
  EXPECT_TRUE(confirm_label->wordWrap());
  ExpectPlaced(dialog,
               ChildWithText<QLabel>(
                   dialog, QStringLiteral("★★★パスワードを間違えた場合、デー"
                                          "タは失われます。ご注意下さい★★★")),
               QRect(24, 123, 282, 12));
  QLabel* hint = ChildWithText<QLabel>(
      dialog, QStringLiteral("※キー入力の確認を行うには以下のチェックボックス"
                             "にチェック　を入れてください。"));
  ExpectPlaced(dialog, hint, QRect(43, 148, 234, 18));
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(hint->wordWrap());
  QGroupBox* group = ChildWithText<QGroupBox>(
      dialog, QStringLiteral("パスワードを入力してください"));
  ExpectPlaced(dialog, group, QRect(7, 14, 309, 92));
  // The group box is behind the edits it frames.
  ASSERT_NE(group, nullptr);
  const QObjectList& children = dialog.children();
  EXPECT_LT(children.indexOf(group),
            children.indexOf(Control<QLineEdit>(dialog, 1026)));
}

TEST(DialogLayoutTest, OptionDialogControlsSitAtTheirDialogUnits) {
  OptionDialog dialog(nullptr, u"", 0);
  ExpectDialogSize(dialog, 251, 153);
  ExpectPlaced(dialog, Control<QPushButton>(dialog, IDOK),
               QRect(62, 130, 50, 14));
  ExpectPlaced(dialog, Control<QCheckBox>(dialog, 1022), QRect(23, 20, 165, 15));
  QGroupBox* group =
      ChildWithText<QGroupBox>(dialog, QStringLiteral("高速化設定"));
  ExpectPlaced(dialog, group, QRect(7, 7, 237, 116));
  ExpectPlaced(dialog,
               ChildWithText<QLabel>(dialog,
                                     QStringLiteral("登録されている拡張子")),
               QRect(32, 88, 69, 9));
  ExpectPlaced(dialog, Control<QPlainTextEdit>(dialog, 1021),
               QRect(102, 71, 100, 42));
  ExpectPlaced(dialog, Control<QPushButton>(dialog, IDCANCEL),
               QRect(137, 129, 52, 14));
  QLabel* note = ChildWithText<QLabel>(
      dialog, QStringLiteral("ここに登録されている拡張子を持つファイルは、先頭"
                             "から８Kバイトのみ暗号化されます。それ以外のファイ"
                             "ルはファイル全体が暗号化されます。"));
  ExpectPlaced(dialog, note, QRect(31, 41, 194, 27));
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->wordWrap());
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(dialog.children().indexOf(group), 0);
}

TEST(DialogLayoutTest, AboutBoxControlsSitAtTheirDialogUnits) {
  AboutBox box(nullptr);
  ExpectDialogSize(box, 235, 55);
  ExpectPlaced(box,
               ChildWithText<QLabel>(box, QStringLiteral("Velmora Version 1.1")),
               QRect(40, 10, 119, 8));
  ExpectPlaced(box, Control<QPushButton>(box, IDOK), QRect(178, 7, 50, 14));
}

TEST(DialogLayoutTest, ControlsScaleTogetherWithTheWindow) {
  // Same units, same ratio: a control's share of the window does not depend
  // on the font.
  PasswordDialog dialog(nullptr);
  const QLineEdit* edit = Control<QLineEdit>(dialog, 1026);
  ASSERT_NE(edit, nullptr);
  const double bx = dialog.units().base_x() / 4.0;
  const double by = dialog.units().base_y() / 8.0;
  EXPECT_NEAR(static_cast<double>(edit->width()) / dialog.width(),
              209.0 / 323.0, 1.0 / (323 * bx));
  EXPECT_NEAR(static_cast<double>(edit->height()) / dialog.height(),
              13.0 / 211.0, 1.0 / (211 * by));
}

TEST(DialogLayoutTest, TextsFitTheirControls) {
  // The widest single-line texts must not be cut at the dialog font.
  PasswordDialog password(nullptr);
  QLabel* warning = ChildWithText<QLabel>(
      password, QStringLiteral("★★★パスワードを間違えた場合、データは失われます"
                               "。ご注意下さい★★★"));
  ASSERT_NE(warning, nullptr);
  EXPECT_LE(QFontMetrics(warning->font()).horizontalAdvance(warning->text()),
            warning->width());
  auto* message = Control<QLabel>(password, 1027);
  ASSERT_NE(message, nullptr);
  EXPECT_LE(QFontMetrics(message->font())
                .horizontalAdvance(QStringLiteral("パスワードが長すぎます。")),
            message->width());
  auto* edit = Control<QLineEdit>(password, 1026);
  ASSERT_NE(edit, nullptr);
  EXPECT_GE(edit->height(), QFontMetrics(edit->font()).height());
}

}  // namespace
}  // namespace velmora
