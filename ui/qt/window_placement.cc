#include "ui/qt/window_placement.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace velmora {
namespace {

// The frame's start on one axis: within [low, low + room - length] when it
// fits, else at |low|.
int PlaceAxis(int wanted, int length, int low, int room) {
  if (length > room) return low;
  return std::clamp(wanted, low, low + room - length);
}

}  // namespace

QPoint PlaceOnScreen(const QRect& available, const QSize& size, const QMargins& frame,
                     const QPoint& wanted) {
  const int x = PlaceAxis(wanted.x() - frame.left(), size.width() + frame.left() + frame.right(),
                          available.left(), available.width());
  const int y = PlaceAxis(wanted.y() - frame.top(), size.height() + frame.top() + frame.bottom(),
                          available.top(), available.height());
  return QPoint(x + frame.left(), y + frame.top());
}

void KeepOnScreen(QWidget* window) {
  if (window == nullptr || !window->isWindow()) return;
  const QScreen* screen = window->screen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  const QRect inner = window->geometry();
  const QRect outer = window->frameGeometry();
  QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                 outer.right() - inner.right(), outer.bottom() - inner.bottom());
  if (frame.isNull()) {
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    frame = QMargins(0, title, 0, 0);
  }
  const QPoint place = PlaceOnScreen(available, inner.size(), frame, inner.topLeft());
  if (place != inner.topLeft()) window->move(place);
}

}  // namespace velmora
