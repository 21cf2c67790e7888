// velmora: the desktop program.

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QObject>
#include <QString>
#include <string>
#include <utility>

#include "engine/crypter.h"
#include "platform/secret_memory.h"
#include "ui/qt/app.h"
#include "ui/qt/command_line.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/font_warning_filter.h"
#include "ui/qt/translations.h"

int main(int argc, char** argv) {
  // The password and the keys live in this process for the whole run.
  velmora::ProtectProcessMemory();
  // Everything after the program name is the initial target. Qt gets none
  // of it, so that a target such as "-reverse" cannot change how the
  // program runs; Qt's own settings come from the environment
  // (QT_QPA_PLATFORM and the like).
  std::u16string target = velmora::TargetFromArguments(argc, argv);
  // Before Qt reads the fonts, which is when it warns.
  velmora::InstallFontWarningFilter();
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication application(qt_argc, qt_argv);
  velmora::InstallTranslations(application);
  QApplication::setFont(velmora::DialogFont());
  QGuiApplication::setDesktopFileName(QStringLiteral("velmora"));
  // The program ends when MainDialog ends it and no worker is left, not when
  // its last window closes.
  QGuiApplication::setQuitOnLastWindowClosed(false);

  velmora::Crypter crypter;  // the keys it is given live in locked pages
  velmora::App app(std::move(target), crypter);
  QObject::connect(
      &app, &velmora::App::finished, &application, [] { QCoreApplication::exit(0); },
      Qt::QueuedConnection);
  app.WatchTerminationSignals();
  app.Start();
  return application.exec();
}
