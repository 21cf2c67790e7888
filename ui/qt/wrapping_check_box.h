// A check box whose label wraps onto further lines when it does not fit.
#ifndef VELMORA_UI_QT_WRAPPING_CHECK_BOX_H_
#define VELMORA_UI_QT_WRAPPING_CHECK_BOX_H_

#include <QCheckBox>
#include <QString>

class QPaintEvent;
class QPoint;
class QWidget;

namespace velmora {

// Same behaviour as QCheckBox; only the label is word-wrapped within the
// widget's width, and a click anywhere on the widget toggles it.
class WrappingCheckBox : public QCheckBox {
  Q_OBJECT

 public:
  WrappingCheckBox(const QString& text, QWidget* parent);

  // Tall enough for the whole wrapped label.
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_WRAPPING_CHECK_BOX_H_
