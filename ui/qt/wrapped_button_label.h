// Paints a check box or radio button whose label word-wraps within the
// button's width: the style draws the indicator for an empty label, the
// label is laid out beside it, and the focus frame goes around the label
// as the style puts it around any other button's text.
#ifndef VELMORA_UI_QT_WRAPPED_BUTTON_LABEL_H_
#define VELMORA_UI_QT_WRAPPED_BUTTON_LABEL_H_

#include <QStyle>

class QAbstractButton;
class QStyleOptionButton;

namespace velmora {

// |option| comes from the button's initStyleOption; |control| and
// |contents| are CE_CheckBox / SE_CheckBoxContents or their radio twins.
void PaintWrappedButton(QAbstractButton& button, QStyleOptionButton option,
                        QStyle::ControlElement control, QStyle::SubElement contents);

// The height the button needs at |width| to show its whole label.
int WrappedButtonHeight(const QAbstractButton& button, QStyleOptionButton option,
                        QStyle::SubElement contents, int width);

}  // namespace velmora

#endif  // VELMORA_UI_QT_WRAPPED_BUTTON_LABEL_H_
