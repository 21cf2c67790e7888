#include "ui/qt/about_box.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QWidget>

#include "ui/window_port.h"

namespace velmora {

AboutBox::AboutBox(QWidget* owner)
    : DialogBase(owner, QStringLiteral("Velmora のﾊﾞｰｼﾞｮﾝ情報"), 235, 55) {
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_ComputerIcon);
  // An icon keeps its own pixel size; only its position is in dialog units.
  const int icon_size = style()->pixelMetric(QStyle::PM_LargeIconSize);
  auto* icon_label = new QLabel(this);
  // Some themes only carry small sizes; scale them up rather than leave a
  // speck in the corner.
  icon_label->setScaledContents(true);
  icon_label->setPixmap(icon.pixmap(icon_size, icon_size));
  icon_label->setGeometry(QRect(units().ToPixels(QPoint(11, 17)), QSize(icon_size, icon_size)));

  auto* version = new QLabel(QStringLiteral("Velmora Version 1.1"), this);
  version->setTextFormat(Qt::PlainText);
  version->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Place(version, 40, 10, 119, 8);

  auto* ok_button = new QPushButton(QStringLiteral("OK"), this);
  ok_button->setObjectName(ControlName(IDOK));
  ok_button->setDefault(true);
  Place(ok_button, 178, 7, 50, 14);
  ok_button->setFocus();

  connect(ok_button, &QPushButton::clicked, this, &QDialog::accept);
}

int RunAboutBox(QWidget* owner) {
  AboutBox box(owner);
  return box.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

}  // namespace velmora
