// The pictures built into the program (ui/qt/resources/velmora.qrc).
#ifndef VELMORA_UI_QT_PROGRAM_RESOURCES_H_
#define VELMORA_UI_QT_PROGRAM_RESOURCES_H_

#include <QIcon>
#include <QPixmap>

namespace velmora {

// The program's icon, 16 and 32 pixels.
QIcon ProgramIcon();

// The picture at the left of the main window, 190 x 279 pixels.
QPixmap ProgramPicture();

}  // namespace velmora

#endif  // VELMORA_UI_QT_PROGRAM_RESOURCES_H_
