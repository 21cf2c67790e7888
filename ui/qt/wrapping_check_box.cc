#include "ui/qt/wrapping_check_box.h"

#include <QPoint>
#include <QStyleOptionButton>

#include "ui/qt/wrapped_button_label.h"

namespace velmora {

WrappingCheckBox::WrappingCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent) {}

void WrappingCheckBox::paintEvent(QPaintEvent* /*event*/) {
  QStyleOptionButton option;
  initStyleOption(&option);
  PaintWrappedButton(*this, option, QStyle::CE_CheckBox, QStyle::SE_CheckBoxContents);
}

int WrappingCheckBox::heightForWidth(int width) const {
  QStyleOptionButton option;
  initStyleOption(&option);
  return WrappedButtonHeight(*this, option, QStyle::SE_CheckBoxContents, width);
}

bool WrappingCheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

}  // namespace velmora
