// Helpers shared by the GUI tests.
#ifndef VELMORA_TESTS_GUI_GUI_TEST_UTIL_H_
#define VELMORA_TESTS_GUI_GUI_TEST_UTIL_H_

#include <QAbstractButton>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QGroupBox>
#include <QLabel>
#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <type_traits>

#include "ui/qt/dialog_base.h"
#include "ui/qt/dialog_units.h"

namespace velmora {

// The control with id |id|, or null.
template <typename T>
T* Control(QWidget& dialog, int id) {
  return dialog.findChild<T*>(ControlName(id));
}

// The first child of type T whose text is |text|, or null.
template <typename T>
T* ChildWithText(QWidget& dialog, const QString& text) {
  for (T* child : dialog.findChildren<T*>()) {
    if constexpr (std::is_same_v<T, QGroupBox>) {
      if (child->title() == text) return child;
    } else {
      if (child->text() == text) return child;
    }
  }
  return nullptr;
}

// Enters |text| into |widget| the way an input method commits it; this is how
// Japanese text arrives, and QTest::keyClicks only knows Latin-1 keys.
inline void CommitText(QWidget* widget, const QString& text) {
  QInputMethodEvent event;
  event.setCommitString(text);
  QCoreApplication::sendEvent(widget, &event);
}

// |widget| sits where |units| says when one horizontal unit is a quarter and
// one vertical unit an eighth of the base units of |dialog|'s font, within
// rounding.
inline void ExpectPlaced(const QWidget& dialog, const QWidget* widget,
                         const QRect& units) {
  ASSERT_NE(widget, nullptr) << "no control for " << units.x() << ","
                             << units.y();
  const DialogUnits base = DialogUnits::ForFont(dialog.font());
  const double x = base.base_x() / 4.0;
  const double y = base.base_y() / 8.0;
  const QRect g = widget->geometry();
  EXPECT_LE(std::abs(g.x() - units.x() * x), 0.5) << units.x();
  EXPECT_LE(std::abs(g.y() - units.y() * y), 0.5) << units.y();
  EXPECT_LE(std::abs(g.width() - units.width() * x), 0.5) << units.width();
  EXPECT_LE(std::abs(g.height() - units.height() * y), 0.5)
      << units.height();
}

}  // namespace velmora

#endif  // VELMORA_TESTS_GUI_GUI_TEST_UTIL_H_
