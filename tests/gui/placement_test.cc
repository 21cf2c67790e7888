// Where the windows go on the screen.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QSize>

#include "ui/qt/main_window.h"
#include "ui/qt/window_placement.h"

namespace velmora {
namespace {

TEST(PlaceOnScreenTest, KeepsTheFrameOnTheFreeAreaOrElseTheTitleBar) {
  // A 1600x1000 screen at scale 2, less a 24-pixel panel at the top.
  const QRect available(0, 12, 800, 488);
  const QMargins frame(2, 30, 2, 2);
  const QSize size(584, 358);
  const struct {
    const char* what;
    QRect available;
    QSize size;
    QPoint wanted;
    QPoint placed;
  } cases[] = {
      {"already inside", available, size, QPoint(100, 80), QPoint(100, 80)},
      {"title bar above the top", available, size, QPoint(108, 2), QPoint(108, 42)},
      {"past the bottom right", available, size, QPoint(400, 300), QPoint(214, 140)},
      {"past the top left", available, size, QPoint(-50, -50), QPoint(2, 42)},
      {"too tall: title bar at the top", available, QSize(584, 600), QPoint(100, 200),
       QPoint(100, 42)},
      {"too wide: left edge on screen", available, QSize(900, 300), QPoint(-40, 100),
       QPoint(2, 100)},
      {"a second screen to the right", QRect(1600, 0, 1280, 1024), size, QPoint(1500, 900),
       QPoint(1602, 664)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PlaceOnScreen(c.available, c.size, frame, c.wanted), c.placed);
  }
  // Without a frame the client area itself is kept inside.
  EXPECT_EQ(PlaceOnScreen(available, size, QMargins(), QPoint(0, 0)), QPoint(0, 12));
}

TEST(PlaceOnScreenTest, TheMainWindowShowsWithItsTitleBarOnTheScreen) {
  MainWindow window;
  window.move(-300, -300);
  window.show();
  const QRect available = window.screen()->availableGeometry();
  const QRect frame = window.frameGeometry();
  EXPECT_TRUE(available.contains(frame)) << frame.x() << "," << frame.y();
  // Where the window system tells no frame, a title bar is allowed for.
  EXPECT_GT(window.geometry().top(), available.top());
  window.End();
}

}  // namespace
}  // namespace velmora
