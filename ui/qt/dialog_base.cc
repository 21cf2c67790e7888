#include "ui/qt/dialog_base.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMargins>
#include <QPixmap>
#include <QRect>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QWidget>
#include <algorithm>

#include "ui/qt/dialog_script.h"
#include "ui/qt/window_placement.h"

namespace velmora {

QString ControlName(int id) { return QString::number(id); }

DialogBase::DialogBase(QWidget* owner, const QString& title, int width, int height)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
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

namespace {

// The height |control| needs at |width| to show its text unclipped; 0 for
// controls without a line of text of their own.
int TextHeight(const QWidget& control, int width) {
  const auto* label = qobject_cast<const QLabel*>(&control);
  if (label != nullptr && !label->pixmap().isNull()) return 0;
  if (label == nullptr && qobject_cast<const QAbstractButton*>(&control) == nullptr &&
      qobject_cast<const QLineEdit*>(&control) == nullptr) {
    return 0;
  }
  return control.hasHeightForWidth() ? control.heightForWidth(width)
                                     : control.minimumSizeHint().height();
}

// |area| widened to the text of a one-line label that needs more: to the
// left for a right-aligned label, which stands against the control it names,
// else to the right.
QRect WidenedForText(const QWidget& control, QRect area) {
  const auto* label = qobject_cast<const QLabel*>(&control);
  if (label == nullptr || label->wordWrap() || !label->pixmap().isNull()) return area;
  const QMargins margins = label->contentsMargins();
  const int needed = label->fontMetrics().horizontalAdvance(label->text()) + margins.left() +
                     margins.right() + 2 * label->margin() + std::max(label->indent(), 0);
  if (needed <= area.width()) return area;
  if (label->alignment().testFlag(Qt::AlignRight)) {
    area.setLeft(area.right() + 1 - needed);
  } else {
    area.setWidth(needed);
  }
  return area;
}

}  // namespace

void DialogBase::Place(QWidget* control, int x, int y, int width, int height) const {
  QRect area = WidenedForText(*control, units_.ToPixels(QRect(x, y, width, height)));
  // A face taller than the template's gets the height it needs, shared out
  // above and below so the control stays in line with its neighbours. A
  // button whose label wraps grows downwards only: it sits just below a
  // group box's title, and its first line must stay clear of it.
  const int needed = TextHeight(*control, area.width());
  if (needed > area.height()) {
    const bool wrapped_button =
        qobject_cast<const QAbstractButton*>(control) != nullptr && control->hasHeightForWidth();
    if (!wrapped_button) area.translate(0, -(needed - area.height()) / 2);
    area.setHeight(needed);
  }
  control->setGeometry(area);
  if (auto* group = qobject_cast<QGroupBox*>(control)) {
    // The template runs a group's frame through the middle of its title;
    // a style that draws it below a tall title would run it into the first
    // control inside. Move the box up until the frame is back in place.
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.lineWidth = 1;
    const QStyle& style = *group->style();
    // The frame's top edge lies just above the contents.
    const int frame =
        style.subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, group)
            .top() -
        style.pixelMetric(QStyle::PM_DefaultFrameWidth, &option, group);
    const int shift = frame - units_.ToPixelsY(4);
    if (shift > 0) {
      area.setTop(std::max(0, area.top() - shift));
      group->setGeometry(area);
    }
  }
}

void DialogBase::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Spontaneous events come from the window system re-showing a minimised
  // window; only the program's own show places it and starts a script.
  if (event->spontaneous()) return;
  KeepOnScreen(this);
  ScheduleDialogScript(this);
}

}  // namespace velmora
