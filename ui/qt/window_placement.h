// Where a top-level window goes so that the person can reach it: its whole
// frame on the screen's free area where it fits, its title bar where not.
#ifndef VELMORA_UI_QT_WINDOW_PLACEMENT_H_
#define VELMORA_UI_QT_WINDOW_PLACEMENT_H_

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace velmora {

// The client-area position nearest |wanted| at which a window of client
// size |size| inside a frame of |frame| lies within |available|. An axis on
// which the frame does not fit starts at |available|'s left or top edge, so
// that the title bar and the window menu stay on screen.
QPoint PlaceOnScreen(const QRect& available, const QSize& size, const QMargins& frame,
                     const QPoint& wanted);

// Moves |window| (a top-level widget) by PlaceOnScreen on its screen's
// available area, from where Qt put it (over its owner, or centred). Until
// the window manager tells the frame, a title bar of the style's height is
// allowed for. Call it from showEvent, before the window is mapped.
void KeepOnScreen(QWidget* window);

}  // namespace velmora

#endif  // VELMORA_UI_QT_WINDOW_PLACEMENT_H_
