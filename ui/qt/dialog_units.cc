#include "ui/qt/dialog_units.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QString>
#include <QStringList>
#include <cmath>

namespace velmora {
namespace {

int Scale(int units, int base, int divisor) {
  return static_cast<int>(std::lround(static_cast<double>(units) * base / divisor));
}

}  // namespace

QFont DialogFont() {
  QFont font;
  font.setFamilies(QStringList{
      QStringLiteral("Noto Sans CJK JP"),
      QStringLiteral("Noto Sans JP"),
      QStringLiteral("IPAexGothic"),
      QStringLiteral("IPAGothic"),
      QStringLiteral("VL Gothic"),
      QStringLiteral("Takao Gothic"),
  });
  font.setStyleHint(QFont::SansSerif);
  // The application font is the desktop's until the program sets this one,
  // which keeps its size.
  font.setPointSizeF(DialogPointSize(QGuiApplication::font().pointSizeF()));
  return font;
}

qreal DialogPointSize(qreal desktop_points) {
  constexpr qreal kDesigned = 9;
  return desktop_points > kDesigned ? desktop_points : kDesigned;
}

DialogUnits::DialogUnits(int base_x, int base_y)
    : base_x_(base_x > 0 ? base_x : 1), base_y_(base_y > 0 ? base_y : 1) {}

DialogUnits DialogUnits::ForFont(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  // Average over 52 letters, rounded to nearest.
  const int average = (letters / 26 + 1) / 2;
  return DialogUnits(average, 2 * average);
}

int DialogUnits::ToPixelsX(int units) const { return Scale(units, base_x_, 4); }

int DialogUnits::ToPixelsY(int units) const { return Scale(units, base_y_, 8); }

QPoint DialogUnits::ToPixels(const QPoint& units) const {
  return QPoint(ToPixelsX(units.x()), ToPixelsY(units.y()));
}

QSize DialogUnits::ToPixels(const QSize& units) const {
  return QSize(ToPixelsX(units.width()), ToPixelsY(units.height()));
}

QRect DialogUnits::ToPixels(const QRect& units) const {
  return QRect(ToPixels(units.topLeft()), ToPixels(units.size()));
}

}  // namespace velmora
