#include "ui/qt/wrapping_radio_button.h"

#include <QPaintEvent>
#include <QPoint>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QWidget>

namespace velmora {

WrappingRadioButton::WrappingRadioButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent) {}

void WrappingRadioButton::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QString label = option.text;

  // The style draws the indicator (and the focus frame) for an empty label;
  // the label is laid out here so that it can wrap.
  option.text.clear();
  painter.drawControl(QStyle::CE_RadioButton, option);

  option.text = label;
  QRect area =
      style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
  area.setRight(rect().right());
  painter.drawItemText(
      area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, option.palette,
      isEnabled(), label, QPalette::WindowText);
}

bool WrappingRadioButton::hitButton(const QPoint& pos) const {
  return rect().contains(pos);
}

}  // namespace velmora
