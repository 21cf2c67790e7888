// Dialog units: the coordinates every Velmora dialog is laid out in.
//
// The dialogs are drawn at fixed positions rather than by layouts, so their
// look depends only on the dialog font. One horizontal unit is a quarter of
// the font's average character width and one vertical unit an eighth of
// twice that width: the templates were drawn in a face exactly twice as
// tall as its average character is wide, so this keeps every window's
// proportions in any face. (Taken from the face's own height, a CJK face's
// generous line gap would stretch every window by a fifth.) Where a taller
// face needs more room, the control grows, not the unit (DialogBase).
#ifndef VELMORA_UI_QT_DIALOG_UNITS_H_
#define VELMORA_UI_QT_DIALOG_UNITS_H_

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace velmora {

// The font of every Velmora dialog: "Noto Sans CJK JP" 9 pt, falling back to
// other Japanese Gothic faces and then to the system sans-serif. A desktop
// font (the application font) set larger than 9 pt lends its size, so every
// dialog grows with it.
// This is the only place the choice is made.
QFont DialogFont();

// The point size of DialogFont() for a desktop font of |desktop_points|
// (not positive when the desktop gives its font in pixels or none).
qreal DialogPointSize(qreal desktop_points);

class DialogUnits {
 public:
  // |base_x| and |base_y| are the average character width and the height in
  // pixels; both must be positive.
  DialogUnits(int base_x, int base_y);

  // Base units of |font|. The average width is that of the Latin letters
  // A-Z and a-z: a CJK font reports its full-width ideographs in
  // QFontMetrics::averageCharWidth(), which would stretch every dialog to
  // nearly twice its width. The height is twice the width.
  static DialogUnits ForFont(const QFont& font);

  int base_x() const { return base_x_; }
  int base_y() const { return base_y_; }

  // Pixels for a horizontal or vertical distance, rounded to nearest.
  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;

  // Each coordinate converted on its own, as a control's position and size
  // are given.
  QPoint ToPixels(const QPoint& units) const;
  QSize ToPixels(const QSize& units) const;
  QRect ToPixels(const QRect& units) const;

 private:
  int base_x_;
  int base_y_;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_DIALOG_UNITS_H_
