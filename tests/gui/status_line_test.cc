// The main window's status line with a progress line too long for it.
#include "ui/qt/status_line.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QRect>
#include <QString>
#include <QStringList>

#include "ui/qt/main_window.h"
#include "ui/window_port.h"

namespace velmora {
namespace {

TEST(StatusLineTest, DrawsAProgressLineOnOneLineAndKeepsItsText) {
  MainWindow window;
  auto* status = qobject_cast<StatusLine*>(window.Control(IDC_STATUS_MAIN));
  ASSERT_NE(status, nullptr);
  const QString folder = QStringLiteral("/tmp/tree/photos");
  const QString name(120, QLatin1Char('Q'));
  const QString entry = QStringLiteral("       8K/      64K : ") + name +
                        QStringLiteral("  \u2192  ") + name + QStringLiteral(".vlm");
  const QString text = folder + QLatin1Char('\n') + entry;
  status->setText(text);

  EXPECT_EQ(status->text(), text);  // what the port and screen readers read
  const QStringList shown = status->shownText().split(QLatin1Char('\n'));
  ASSERT_EQ(shown.size(), 2);
  EXPECT_EQ(shown[0], folder);
  EXPECT_NE(shown[1], entry);
  EXPECT_TRUE(shown[1].startsWith(QStringLiteral("       8K/      64K : Q")));
  EXPECT_TRUE(shown[1].endsWith(QStringLiteral(".vlm")));
  // Drawn as the label draws it, the two lines stay two.
  const QFontMetrics metrics(status->font());
  const QRect area = status->contentsRect().adjusted(status->indent(), 0, 0, 0);
  const QRect drawn = metrics.boundingRect(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                                           status->shownText());
  const QRect unwrapped =
      metrics.boundingRect(area, Qt::AlignLeft | Qt::AlignTop, status->shownText());
  EXPECT_EQ(drawn.height(), unwrapped.height());
  EXPECT_LE(drawn.width(), area.width());
  EXPECT_LE(metrics.horizontalAdvance(shown[1]), area.width());
  // Other texts are drawn as given.
  status->setText(QStringLiteral("a\nb c"));
  EXPECT_EQ(status->shownText(), QStringLiteral("a\nb c"));
}

}  // namespace
}  // namespace velmora
