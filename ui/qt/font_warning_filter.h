// Drops the font database's "OpenType support missing for ..." warnings.
//
// Qt prints one for each font face without OpenType shaping on some
// desktops, dozens at every start; they say nothing a user could act on.
#ifndef VELMORA_UI_QT_FONT_WARNING_FILTER_H_
#define VELMORA_UI_QT_FONT_WARNING_FILTER_H_

#include <QString>
#include <QtGlobal>

namespace velmora {

// True for the messages the filter drops.
bool IsFontWarning(const QString& message);

// Installs a message handler that drops those warnings and hands every
// other message to the handler installed before it. Installing it again
// while it is the current handler changes nothing.
void InstallFontWarningFilter();

}  // namespace velmora

#endif  // VELMORA_UI_QT_FONT_WARNING_FILTER_H_
