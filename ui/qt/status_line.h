// A status line of the main window. It keeps the text it is given, for the
// window port and screen readers, but draws a progress line ("...K : source
//  →  target") on one line, elided in the middle: an enciphered name has no
// place to break and would otherwise run over several lines.
#ifndef VELMORA_UI_QT_STATUS_LINE_H_
#define VELMORA_UI_QT_STATUS_LINE_H_

#include <QLabel>
#include <QString>

class QPaintEvent;
class QWidget;

namespace velmora {

class StatusLine : public QLabel {
  Q_OBJECT

 public:
  StatusLine(int id, bool several_lines, QWidget* parent);

  // The text as drawn: text() with each progress line elided to the width.
  QString shownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Where the text is drawn: the contents less the indent.
  QRect TextArea() const;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_STATUS_LINE_H_
