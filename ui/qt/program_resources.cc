#include "ui/qt/program_resources.h"

#include <QSize>
#include <QString>

// The resources live in a static library, whose registration the linker
// would otherwise drop. Q_INIT_RESOURCE declares the registration function
// where it is used, so it must be used outside any namespace.
static void RegisterResources() { Q_INIT_RESOURCE(velmora); }

namespace {

void EnsureResources() {
  static const bool registered = (RegisterResources(), true);
  (void)registered;
}

}  // namespace

namespace velmora {

QIcon ProgramIcon() {
  EnsureResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/velmora/velmora-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/velmora/velmora-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/velmora/velmora-48.png"), QSize(48, 48));
  return icon;
}

QPixmap ProgramPicture() {
  EnsureResources();
  return QPixmap(QStringLiteral(":/velmora/picture.png"));
}

}  // namespace velmora
