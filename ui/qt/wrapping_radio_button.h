// A radio button whose label wraps onto further lines when it does not fit.
#ifndef VELMORA_UI_QT_WRAPPING_RADIO_BUTTON_H_
#define VELMORA_UI_QT_WRAPPING_RADIO_BUTTON_H_

#include <QRadioButton>
#include <QString>

class QPaintEvent;
class QPoint;
class QWidget;

namespace velmora {

// Same behaviour as QRadioButton; only the label is word-wrapped within the
// widget's width, and a click anywhere on the widget selects it.
class WrappingRadioButton : public QRadioButton {
  Q_OBJECT

 public:
  WrappingRadioButton(const QString& text, QWidget* parent);

  // Tall enough for the whole wrapped label.
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_WRAPPING_RADIO_BUTTON_H_
