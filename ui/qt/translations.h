// The desktop program in the user's language: binds the message catalogue,
// loads Qt's own translations for its dialogs and edit menus, and shows the
// widgets' Japanese texts in the catalogue's language.
#ifndef VELMORA_UI_QT_TRANSLATIONS_H_
#define VELMORA_UI_QT_TRANSLATIONS_H_

class QApplication;

namespace velmora {

// Call once, right after the QApplication is made. The widgets keep their
// Japanese texts in code; each is looked up in the catalogue when it is
// first polished, before it is shown.
void InstallTranslations(QApplication& application);

}  // namespace velmora

#endif  // VELMORA_UI_QT_TRANSLATIONS_H_
