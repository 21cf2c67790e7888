// The common frame of the Velmora dialogs: a fixed-size window in the dialog
// font whose controls are placed in dialog units.
#ifndef VELMORA_UI_QT_DIALOG_BASE_H_
#define VELMORA_UI_QT_DIALOG_BASE_H_

#include <QDialog>
#include <QString>

#include "ui/qt/dialog_units.h"

class QLabel;
class QShowEvent;
class QWidget;

namespace velmora {

// Object name that identifies a control by its numeric id ("1026"), the way
// the window port and the tests look controls up.
QString ControlName(int id);

// A static text of a dialog: plain text (never read as markup), top-left,
// word-wrapped when |wrap|.
QLabel* MakeStatic(const QString& text, bool wrap, QWidget* parent);

class DialogBase : public QDialog {
  Q_OBJECT

 public:
  // The client area is |width| x |height| dialog units; the size is fixed.
  DialogBase(QWidget* owner, const QString& title, int width, int height);

  const DialogUnits& units() const { return units_; }

 protected:
  // Puts |control| (a child of this dialog) at the given dialog-unit
  // rectangle, made taller where its text would not fit. A one-line label
  // is made wider instead: a right-aligned one to the left. Set its text
  // and alignment first.
  void Place(QWidget* control, int x, int y, int width, int height) const;

  // Hands the dialog to the test script, if one is installed.
  void showEvent(QShowEvent* event) override;

 private:
  DialogUnits units_;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_DIALOG_BASE_H_
