// A test fixture that runs the whole desktop program (App: the main window,
// its window port and MainDialog) over a real temporary directory, and a
// person in front of it who answers the dialogs through the test script.
#ifndef VELMORA_TESTS_GUI_APP_FIXTURE_H_
#define VELMORA_TESTS_GUI_APP_FIXTURE_H_

#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/crypter.h"
#include "tests/support/temp_dir.h"
#include "ui/qt/app.h"
#include "ui/qt/dialog_script.h"

class QDialog;
class QMessageBox;

namespace velmora {

// Handles events until |done| holds; false when |timeout_ms| ran out first.
bool SpinUntil(const std::function<bool()>& done, int timeout_ms = 120000);

// Relative path -> contents ("<dir>" for a directory) of every entry below
// |root|.
std::map<std::string, std::string> TreeContents(const std::string& root);

// Answers every dialog the program opens while installed: types |password|
// into both boxes of the password dialog and confirms it, and answers each
// message box with |answer| (by default its first button: OK, Yes or
// Abort). Records what it saw.
class Person {
 public:
  Person();

  std::u16string password = u"open-sesame";
  std::function<int(const QMessageBox& box)> answer;
  // Called with each dialog before it is answered.
  std::function<void(QDialog& dialog)> look;

  std::vector<QString> boxes;  // message box texts, in order
  int password_dialogs = 0;

 private:
  void Handle(QDialog& dialog);

  ScopedDialogScript script_;
};

class AppTest : public ::testing::Test {
 protected:
  void TearDown() override;

  const std::string& root() const { return dir_.path(); }

  // Starts the program with |target| (bytes) as its command line and waits
  // until the window is on screen. |before_start| runs on the new App just
  // before its start-up, for tests that must act during the first scan.
  App& StartApp(const std::string& target,
                const std::function<void(App&)>& before_start = nullptr);
  App& app() { return *app_; }

  template <typename T = QWidget>
  T* Widget(int id) {
    return app_->window().findChild<T*>(ControlName(id));
  }
  QString Text(int id);
  void Click(int id);
  // Waits until a scan has enabled "実行".
  bool WaitForScan();
  // Waits until the worker of Execute has returned.
  bool WaitForWorker();

  // Clicks |radio|, waits for the scan, clicks "実行" and waits for the
  // worker; the installed Person answers the dialogs.
  bool Run(int radio);

  Crypter crypter_;

 private:
  testing::TempDir dir_;
  std::unique_ptr<App> app_;
};

}  // namespace velmora

#endif  // VELMORA_TESTS_GUI_APP_FIXTURE_H_
