#include "ui/qt/wrapping_check_box.h"

#include <QPaintEvent>
#include <QPoint>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QWidget>

namespace velmora {

WrappingCheckBox::WrappingCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent) {}

void WrappingCheckBox::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QString label = option.text;

  // The style draws the box (and the focus frame) for an empty label; the
  // label itself is laid out here so that it can wrap.
  option.text.clear();
  painter.drawControl(QStyle::CE_CheckBox, option);

  option.text = label;
  QRect area = style()->subElementRect(QStyle::SE_CheckBoxContents, &option,
                                       this);
  area.setRight(rect().right());
  painter.drawItemText(area,
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                       option.palette, isEnabled(), label,
                       QPalette::WindowText);
}

bool WrappingCheckBox::hitButton(const QPoint& pos) const {
  return rect().contains(pos);
}

}  // namespace velmora
