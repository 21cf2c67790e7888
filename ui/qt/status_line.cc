#include "ui/qt/status_line.h"

#include <QFontMetrics>
#include <QFrame>
#include <QPainter>
#include <QStringList>
#include <QStyle>

#include "ui/qt/dialog_base.h"

namespace velmora {
namespace {

// The arrow between the source and target names of a progress line.
bool IsProgressLine(const QString& line) { return line.contains(QStringLiteral("  \u2192  ")); }

}  // namespace

StatusLine::StatusLine(int id, bool several_lines, QWidget* parent) : QLabel(parent) {
  setObjectName(ControlName(id));
  setTextFormat(Qt::PlainText);
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setIndent(2);
  setWordWrap(several_lines);
  setAlignment(Qt::AlignLeft | (several_lines ? Qt::AlignTop : Qt::AlignVCenter));
}

QRect StatusLine::TextArea() const { return contentsRect().adjusted(indent(), 0, 0, 0); }

QString StatusLine::shownText() const {
  const QFontMetrics metrics(font());
  const int width = TextArea().width();
  QStringList lines = text().split(QLatin1Char('\n'));
  for (QString& line : lines) {
    if (IsProgressLine(line)) line = metrics.elidedText(line, Qt::ElideMiddle, width);
  }
  return lines.join(QLatin1Char('\n'));
}

void StatusLine::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);  // NOLINT(bugprone-parent-virtual-call): the frame, not QLabel's text
  QPainter painter(this);
  const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
  style()->drawItemText(&painter, TextArea(), flags, palette(), isEnabled(), shownText(),
                        foregroundRole());
}

}  // namespace velmora
