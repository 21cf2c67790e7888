#include "tests/gui/app_fixture.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "platform/window_port.h"
#include "platform/wtf8.h"
#include "tests/support/tree.h"
#include "ui/qt/password_dialog.h"

namespace velmora {
namespace {

void CollectContents(const std::string& root, const std::string& relative,
                     std::map<std::string, std::string>* out) {
  const std::string directory = relative.empty() ? root : root + "/" + relative;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    struct stat st {};
    if (::lstat((root + "/" + rel).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      (*out)[rel] = "<dir>";
      CollectContents(root, rel, out);
    } else {
      (*out)[rel] = testing::ReadFile(root + "/" + rel);
    }
  }
  ::closedir(dir);
}

}  // namespace

bool SpinUntil(const std::function<bool()>& done, int timeout_ms) {
  QDeadlineTimer deadline(timeout_ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(2);
  }
  return true;
}

std::map<std::string, std::string> TreeContents(const std::string& root) {
  std::map<std::string, std::string> contents;
  CollectContents(root, "", &contents);
  return contents;
}

Person::Person()
    : answer([](const QMessageBox& box) {
        const QList<QAbstractButton*> buttons = box.buttons();
        // The first button as laid out: OK, Yes or Abort.
        for (int id : {IDOK, IDYES, IDABORT}) {
          for (QAbstractButton* button : buttons) {
            if (button->objectName() == ControlName(id)) return id;
          }
        }
        return IDOK;
      }),
      script_([this](QDialog& dialog) { Handle(dialog); }) {}

void Person::Handle(QDialog& dialog) {
  if (look) look(dialog);
  if (qobject_cast<PasswordDialog*>(&dialog) != nullptr) {
    ++password_dialogs;
    const QString typed = QString::fromStdU16String(password);
    QTest::keyClicks(
        dialog.findChild<QLineEdit*>(ControlName(IDC_PASSWORD_INPUT)), typed);
    QTest::keyClicks(
        dialog.findChild<QLineEdit*>(ControlName(IDC_PASSWORD_CONFIRM)), typed);
    QTest::mouseClick(dialog.findChild<QPushButton*>(ControlName(IDOK)),
                      Qt::LeftButton);
    return;
  }
  if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
    boxes.push_back(box->text());
    auto* button = box->findChild<QPushButton*>(ControlName(answer(*box)));
    ASSERT_NE(button, nullptr) << box->text().toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
  }
}

void AppTest::TearDown() {
  if (app_ == nullptr) return;
  // A test that failed half-way may leave the worker waiting on a question:
  // let every further dialog go unanswered (its safe answer) until the
  // worker is done, so that nothing it uses goes away under it.
  ScopedDialogScript refuse([](QDialog&) {});
  EXPECT_TRUE(SpinUntil([this] { return !app_->port().IsWorkerActive(); }));
  app_.reset();
}

App& AppTest::StartApp(const std::string& target,
                       const std::function<void(App&)>& before_start) {
  app_ = std::make_unique<App>(Utf16FromWtf8(target), crypter_);
  if (before_start) before_start(*app_);
  app_->Start();
  // A test may end the program while it starts up; then it never shows.
  EXPECT_TRUE(SpinUntil([this] {
    const QWindow* handle = app_->window().windowHandle();
    return (handle != nullptr && handle->isExposed()) || app_->port().IsEnded();
  }));
  return *app_;
}

QString AppTest::Text(int id) {
  QWidget* control = Widget(id);
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    return button->text();
  }
  return QString();
}

void AppTest::Click(int id) {
  QWidget* control = Widget(id);
  ASSERT_NE(control, nullptr) << id;
  QTest::mouseClick(control, Qt::LeftButton);
}

bool AppTest::WaitForScan() {
  return SpinUntil([this] { return Widget(IDC_EXECUTE)->isEnabled(); });
}

bool AppTest::WaitForWorker() {
  return SpinUntil([this] { return !app_->port().IsWorkerActive(); });
}

bool AppTest::Run(int radio) {
  Click(radio);
  if (!WaitForScan()) return false;
  Click(IDC_EXECUTE);
  return WaitForWorker();
}

}  // namespace velmora
