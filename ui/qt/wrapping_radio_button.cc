#include "ui/qt/wrapping_radio_button.h"

#include <QPoint>
#include <QStyleOptionButton>

#include "ui/qt/wrapped_button_label.h"

namespace velmora {

WrappingRadioButton::WrappingRadioButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent) {}

void WrappingRadioButton::paintEvent(QPaintEvent* /*event*/) {
  QStyleOptionButton option;
  initStyleOption(&option);
  PaintWrappedButton(*this, option, QStyle::CE_RadioButton, QStyle::SE_RadioButtonContents);
}

int WrappingRadioButton::heightForWidth(int width) const {
  QStyleOptionButton option;
  initStyleOption(&option);
  return WrappedButtonHeight(*this, option, QStyle::SE_RadioButtonContents, width);
}

bool WrappingRadioButton::hitButton(const QPoint& pos) const { return rect().contains(pos); }

}  // namespace velmora
