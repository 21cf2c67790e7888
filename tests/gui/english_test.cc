// Under an English locale every text a window shows or names for a screen
// reader comes from the catalogue: no Japanese character is left. ctest runs
// each test in a process of its own, so the locale set here stays here.
#include <stdlib.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/catalogue.h"
#include "platform/wtf8.h"
#include "tests/support/temp_dir.h"
#include "ui/qt/about_box.h"
#include "ui/qt/folder_browser.h"
#include "ui/qt/main_window.h"
#include "ui/qt/message_box.h"
#include "ui/qt/option_dialog.h"
#include "ui/qt/password_dialog.h"
#include "ui/qt/translations.h"
#include "ui/window_port.h"

namespace velmora {
namespace {

bool IsJapanese(QChar c) {
  const char16_t u = c.unicode();
  return (u >= 0x3000 && u <= 0x30FF) || (u >= 0x3400 && u <= 0x9FFF) ||
         (u >= 0xFF00 && u <= 0xFFEF);
}

// Each text of |window| that holds a Japanese character, with what shows it.
std::vector<std::string> JapaneseTexts(QWidget& window) {
  std::vector<std::string> found;
  const auto check = [&found](const QWidget* widget, const char* what, const QString& text) {
    for (QChar c : text) {
      if (!IsJapanese(c)) continue;
      found.push_back(std::string(widget->metaObject()->className()) + " " + what + ": " +
                      text.toStdString());
      return;
    }
  };
  std::vector<QWidget*> widgets = {&window};
  for (QWidget* child : window.findChildren<QWidget*>()) widgets.push_back(child);
  check(&window, "title", window.windowTitle());
  for (const QWidget* widget : widgets) {
    check(widget, "accessible name", widget->accessibleName());
    check(widget, "tool tip", widget->toolTip());
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
      check(widget, "text", label->text());
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
      check(widget, "text", button->text());
    } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
      check(widget, "title", group->title());
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
      check(widget, "placeholder", edit->placeholderText());
    }
    for (const QAction* action : widget->actions()) check(widget, "action", action->text());
  }
  return found;
}

TEST(EnglishTest, NoWindowShowsAJapaneseCharacter) {
  ::setenv("LC_ALL", "en_US.UTF-8", 1);
  ::unsetenv("LANGUAGE");
  InstallTranslations(*qApp);
  ASSERT_EQ(CatalogueLanguage(), "en") << "the en_US.UTF-8 locale is missing";

  testing::TempDir folder;  // names of folders are the user's, not ours
  std::vector<std::unique_ptr<QWidget>> windows;
  windows.push_back(std::make_unique<MainWindow>());
  windows.push_back(std::make_unique<PasswordDialog>(nullptr));
  windows.push_back(std::make_unique<OptionDialog>(nullptr, u"ZIP\r\nJPG", 1));
  windows.push_back(std::make_unique<AboutBox>(nullptr));
  windows.push_back(std::make_unique<FolderBrowser>(nullptr, Utf16FromWtf8(folder.path())));
  for (unsigned type : {MB_OK, MB_YESNO, MB_ABORTRETRYIGNORE, MB_ABORTIGNORE}) {
    windows.push_back(std::make_unique<MessageBoxDialog>(nullptr, u"text", type | MB_ICONERROR));
  }
  for (const auto& window : windows) {
    window->show();  // translated when first polished, as on the screen
    QApplication::processEvents();
    for (const std::string& text : JapaneseTexts(*window)) ADD_FAILURE() << text;
    window->hide();
  }
}

}  // namespace
}  // namespace velmora
