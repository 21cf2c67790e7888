// The version box.
#ifndef VELMORA_UI_QT_ABOUT_BOX_H_
#define VELMORA_UI_QT_ABOUT_BOX_H_

#include "ui/qt/dialog_base.h"

class QWidget;

namespace velmora {

// Application icon, "Velmora Version 1.1" and an OK button. The icon is the
// application's window icon, or the style's computer icon while it has none.
class AboutBox : public DialogBase {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* owner);
};

// Shows the version box modally over |owner| (may be null); returns IDOK, or
// IDCANCEL when closed by Esc or the close box.
int RunAboutBox(QWidget* owner);

}  // namespace velmora

#endif  // VELMORA_UI_QT_ABOUT_BOX_H_
