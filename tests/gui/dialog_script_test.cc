#include "ui/qt/dialog_script.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <string>

#include "platform/window_port.h"
#include "tests/gui/gui_test_util.h"
#include "ui/qt/option_dialog.h"
#include "ui/qt/password_dialog.h"

namespace velmora {
namespace {

TEST(DialogScriptTest, RunsOnceOnTheVisibleDialog) {
  int calls = 0;
  ScopedDialogScript script([&](QDialog& dialog) {
    ++calls;
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.isModal());
    Control<QPushButton>(dialog, IDCANCEL)->click();
  });
  std::u16string password;
  EXPECT_EQ(RunPasswordDialog(nullptr, &password), IDCANCEL);
  EXPECT_EQ(calls, 1);
}

TEST(DialogScriptTest, DialogLeftOpenIsRejected) {
  ScopedDialogScript script([](QDialog&) {});
  std::u16string text = u"A";
  int rule = 1;
  EXPECT_EQ(RunOptionDialog(nullptr, &text, &rule), IDCANCEL);
  EXPECT_EQ(text, u"A");
}

TEST(DialogScriptTest, InnerScriptGivesWayToTheOuterOne) {
  int outer = 0;
  int inner = 0;
  auto cancel = [](QDialog& dialog) {
    Control<QPushButton>(dialog, IDCANCEL)->click();
  };
  ScopedDialogScript outer_script([&](QDialog& d) { ++outer; cancel(d); });
  std::u16string password;
  {
    ScopedDialogScript inner_script([&](QDialog& d) { ++inner; cancel(d); });
    RunPasswordDialog(nullptr, &password);
  }
  RunPasswordDialog(nullptr, &password);
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(outer, 1);
}

TEST(DialogScriptTest, WithoutScriptShowingDoesNothing) {
  PasswordDialog dialog(nullptr);
  dialog.show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog.isVisible());
  dialog.reject();
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace velmora
