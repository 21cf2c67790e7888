#include "ui/qt/wrapped_button_label.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>

namespace velmora {
namespace {

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;

// Where the label goes: beside the indicator, to the button's right edge.
QRect LabelArea(const QAbstractButton& button, const QStyleOptionButton& option,
                QStyle::SubElement contents) {
  QRect area = button.style()->subElementRect(contents, &option, &button);
  area.setRight(option.rect.right());
  return area;
}

}  // namespace

void PaintWrappedButton(QAbstractButton& button, QStyleOptionButton option,
                        QStyle::ControlElement control, QStyle::SubElement contents) {
  QStylePainter painter(&button);
  const QString label = option.text;
  const bool focused = option.state.testFlag(QStyle::State_HasFocus);
  // For an empty label the style would frame the indicator instead.
  option.text.clear();
  option.state &= ~QStyle::State_HasFocus;
  painter.drawControl(control, option);

  option.text = label;
  const QRect area = LabelArea(button, option, contents);
  painter.drawItemText(area, kTextFlags, option.palette, button.isEnabled(), label,
                       QPalette::WindowText);
  if (focused) {
    QStyleOptionFocusRect frame;
    frame.QStyleOption::operator=(option);
    frame.rect = painter.fontMetrics()
                     .boundingRect(area, kTextFlags, label)
                     .adjusted(-1, 0, 1, 0)
                     .intersected(button.rect());
    frame.backgroundColor = option.palette.color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
  }
}

int WrappedButtonHeight(const QAbstractButton& button, QStyleOptionButton option,
                        QStyle::SubElement contents, int width) {
  option.rect = QRect(0, 0, width, 1 << 16);
  const QRect area = LabelArea(button, option, contents);
  const int text = button.fontMetrics().boundingRect(area, kTextFlags, option.text).height();
  const bool radio = contents == QStyle::SE_RadioButtonContents;
  const int indicator = button.style()->pixelMetric(
      radio ? QStyle::PM_ExclusiveIndicatorHeight : QStyle::PM_IndicatorHeight, &option, &button);
  return std::max(text, indicator);
}

}  // namespace velmora
