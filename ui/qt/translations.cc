#include "ui/qt/translations.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QObject>
#include <QTranslator>
#include <QWidget>
#include <string>

#include "platform/catalogue.h"

namespace velmora {
namespace {

QString Translated(const QString& text) {
  if (text.isEmpty()) return text;
  const std::u16string id = text.toStdU16String();
  const std::u16string_view shown = Translate(id);
  if (shown == id) return text;
  return QString::fromUtf16(shown.data(), static_cast<qsizetype>(shown.size()));
}

class WidgetTextTranslator : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (!object->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(object);
    if (event->type() == QEvent::Polish) {
      Translate(widget);
    } else if (event->type() == QEvent::Show && widget->isWindow()) {
      // A control polished while its window was built (measured for its
      // place, say) may have been named after that: look again at all.
      for (QWidget* child : widget->findChildren<QWidget*>()) Translate(child);
    }
    return false;
  }

 private:
  static void Translate(QWidget* widget) {
    if (widget->isWindow()) {
      widget->setWindowTitle(Translated(widget->windowTitle()));
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(Translated(label->text()));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setText(Translated(button->text()));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      group->setTitle(Translated(group->title()));
    }
    // What a screen reader says: set from the Japanese texts when built.
    widget->setAccessibleName(Translated(widget->accessibleName()));
    widget->setAccessibleDescription(Translated(widget->accessibleDescription()));
    widget->setToolTip(Translated(widget->toolTip()));
    for (QAction* action : widget->actions()) {
      action->setText(Translated(action->text()));
    }
  }
};

}  // namespace

void InstallTranslations(QApplication& application) {
  BindCatalogue();
  const bool english = CatalogueLanguage() == "en";
  // Qt speaks English by itself; Japanese comes from qt6-translations-l10n.
  if (!english) {
    auto* qt = new QTranslator(&application);
    if (qt->load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QCoreApplication::installTranslator(qt);
    }
  } else {
    application.installEventFilter(new WidgetTextTranslator(&application));
  }
}

}  // namespace velmora
