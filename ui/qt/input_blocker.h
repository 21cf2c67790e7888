// Keeps the user's input away from one window without greying it.
//
// While a job walks the tree the main window must take no clicks, keys or
// drops, yet still show its controls as they are: disabling them would grey
// the whole window for the length of the run. The blocker filters the
// application's events and swallows every input event aimed at the window
// or one of its children. Other windows (the job's own message boxes) are
// not affected. GUI thread only.
#ifndef VELMORA_UI_QT_INPUT_BLOCKER_H_
#define VELMORA_UI_QT_INPUT_BLOCKER_H_

#include <QObject>

class QEvent;
class QWidget;

namespace velmora {

class InputBlocker : public QObject {
  Q_OBJECT

 public:
  // |window| must outlive the blocker. Starts unblocked.
  explicit InputBlocker(QWidget* window);
  ~InputBlocker() override;

  void SetBlocked(bool blocked) { blocked_ = blocked; }
  bool IsBlocked() const { return blocked_; }

  // True for the event types that carry user input.
  static bool IsInputEvent(const QEvent* event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  bool blocked_ = false;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_INPUT_BLOCKER_H_
