#include "ui/qt/input_blocker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace velmora {

InputBlocker::InputBlocker(QWidget* window) : window_(window) {
  QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::instance()->removeEventFilter(this);
  }
}

bool InputBlocker::IsInputEvent(const QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::Gesture:
      return true;
    default:
      return false;
  }
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  if (!blocked_ || !watched->isWidgetType() || !IsInputEvent(event)) {
    return false;
  }
  const auto* widget = static_cast<QWidget*>(watched);
  if (widget->window() != window_) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    // Accepted, the key counts as taken by the focused control, so no
    // shortcut of the window (F1) fires; the key press itself is
    // swallowed next.
    event->accept();
  } else if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
    event->ignore();
  }
  return true;
}

}  // namespace velmora
