#include "ui/qt/dialog_base.h"

#include <QLabel>
#include <QRect>
#include <QShowEvent>
#include <QWidget>

#include "ui/qt/dialog_script.h"

namespace velmora {

QString ControlName(int id) { return QString::number(id); }

DialogBase::DialogBase(QWidget* owner, const QString& title, int width,
                       int height)
    : QDialog(owner,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowCloseButtonHint |
                  Qt::MSWindowsFixedSizeDialogHint),
      units_(DialogUnits::ForFont(DialogFont())) {
  setFont(DialogFont());
  setWindowTitle(title);
  setFixedSize(units_.ToPixels(QSize(width, height)));
  setSizeGripEnabled(false);
}

QLabel* MakeStatic(const QString& text, bool wrap, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(wrap);
  return label;
}

void DialogBase::Place(QWidget* control, int x, int y, int width,
                       int height) const {
  control->setGeometry(units_.ToPixels(QRect(x, y, width, height)));
}

void DialogBase::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Spontaneous events come from the window system re-showing a minimised
  // window; only the program's own show starts a script.
  if (!event->spontaneous()) ScheduleDialogScript(this);
}

}  // namespace velmora
