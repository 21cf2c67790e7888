#include "ui/qt/wrapped_button_label.h"

#include <QAbstractButton>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace velmora {

void PaintWrappedButton(QAbstractButton& button, QStyleOptionButton option,
                        QStyle::ControlElement control,
                        QStyle::SubElement contents) {
  QStylePainter painter(&button);
  const QString label = option.text;
  option.text.clear();
  painter.drawControl(control, option);

  option.text = label;
  QRect area = button.style()->subElementRect(contents, &option, &button);
  area.setRight(button.rect().right());
  painter.drawItemText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                       option.palette, button.isEnabled(), label,
                       QPalette::WindowText);
}

}  // namespace velmora
