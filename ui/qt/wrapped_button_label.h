// Paints a check box or radio button whose label word-wraps within the
// button's width: the style draws the indicator (and the focus frame) for an
// empty label, and the label is laid out beside it.
#ifndef VELMORA_UI_QT_WRAPPED_BUTTON_LABEL_H_
#define VELMORA_UI_QT_WRAPPED_BUTTON_LABEL_H_

#include <QStyle>

class QAbstractButton;
class QStyleOptionButton;

namespace velmora {

// |option| comes from the button's initStyleOption; |control| and
// |contents| are CE_CheckBox / SE_CheckBoxContents or their radio twins.
void PaintWrappedButton(QAbstractButton& button, QStyleOptionButton option,
                        QStyle::ControlElement control,
                        QStyle::SubElement contents);

}  // namespace velmora

#endif  // VELMORA_UI_QT_WRAPPED_BUTTON_LABEL_H_
