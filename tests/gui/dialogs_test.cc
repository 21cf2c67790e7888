// The password dialog, the option dialog and the message boxes driven
// through their widgets, and the dialog-unit layout every window is drawn in.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/wtf8.h"
#include "ui/qt/about_box.h"
#include "ui/qt/dialog_script.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/folder_browser.h"
#include "ui/qt/main_window.h"
#include "ui/qt/message_box.h"
#include "ui/qt/option_dialog.h"
#include "ui/qt/password_dialog.h"
#include "ui/window_port.h"

namespace velmora {
namespace {

template <typename T>
T* Find(QWidget& dialog, int id) {
  T* control = dialog.findChild<T*>(ControlName(id));
  EXPECT_NE(control, nullptr) << id;
  return control;
}

// Calls |open| while |act| is the script that answers the dialog it opens.
int RunWith(const std::function<int()>& open, const std::function<void(QDialog&)>& act) {
  bool ran = false;
  ScopedDialogScript script([&](QDialog& dialog) {
    ran = true;
    act(dialog);
  });
  const int answer = open();
  EXPECT_TRUE(ran);
  return answer;
}

struct PasswordCase {
  QString password;
  QString confirmation;
  QString message;  // empty: the pair is accepted
};

// The rules are tests/ui/password_rules_test.cc; here the verdict as keys
// are typed, no box cutting the longest password short, and the stars.
TEST(PasswordDialogTest, OkAndEnterAcceptOnlyAValidPairAndTheShowBoxUnmasksBoth) {
  const QString k1020(1020, QLatin1Char('k'));
  const QString k1021(1021, QLatin1Char('k'));
  const QString long_ = QStringLiteral("パスワードが長すぎます。");
  const QString differ = QStringLiteral("パスワードが違います。");
  const std::vector<PasswordCase> cases = {
      {k1021, k1021, long_},
      {"ab", "abc", differ},  // valid on the way, not at the end
      {k1020, k1020, ""},
  };
  for (const PasswordCase& c : cases) {
    SCOPED_TRACE(c.password.left(9).toStdString() + " / " + c.confirmation.left(9).toStdString());
    const bool valid = c.message.isEmpty();
    SecretU16 password = u"before";
    const int answer = RunWith(
        [&] { return RunPasswordDialog(nullptr, &password); },
        [&](QDialog& dialog) {
          auto* input = Find<QLineEdit>(dialog, IDC_PASSWORD_INPUT);
          auto* confirmation = Find<QLineEdit>(dialog, IDC_PASSWORD_CONFIRM);
          EXPECT_FALSE(Find<QPushButton>(dialog, IDOK)->isEnabled());
          QTest::keyClicks(input, c.password);
          QTest::keyClicks(confirmation, c.confirmation);
          EXPECT_EQ(Find<QLabel>(dialog, IDC_PASSWORD_MESSAGE)->text(), c.message);
          EXPECT_EQ(Find<QPushButton>(dialog, IDOK)->isEnabled(), valid);
          for (const bool shown : {true, false}) {
            QTest::mouseClick(Find<QCheckBox>(dialog, IDC_PASSWORD_SHOW), Qt::LeftButton);
            EXPECT_EQ(input->displayText(), shown ? c.password : QString(c.password.size(), '*'));
            EXPECT_EQ(confirmation->displayText(),
                      shown ? c.confirmation : QString(c.confirmation.size(), '*'));
          }
          // Shares the box's buffer: taking the password wipes it in place.
          const QString held = confirmation->text();
          QTest::keyClick(confirmation, Qt::Key_Return);
          EXPECT_EQ(dialog.isVisible(), !valid);  // the script rejects it
          if (valid) {
            EXPECT_EQ(held, QString(held.size(), QChar(0)));
            EXPECT_TRUE(confirmation->text().isEmpty());
            EXPECT_TRUE(Find<QLineEdit>(dialog, IDC_PASSWORD_INPUT)->text().isEmpty());
          }
        });
    EXPECT_EQ(answer, valid ? IDOK : IDCANCEL);
    EXPECT_EQ(std::u16string_view(password),
              valid ? c.password.toStdU16String() : std::u16string(u"before"));
  }
}

struct OptionCase {
  const char* what;
  std::u16string text;
  int rule;
  bool clear;     // empties the list first
  QString typed;  // at the end of the list; '\r' is Enter
  bool toggle;    // clicks the check box
  int button;
  std::u16string want_text;
  int want_rule;
};

TEST(OptionDialogTest, TextAndRuleRoundTrip) {
  std::u16string long_list;
  for (int i = 0; i < 300; ++i) long_list += u"abc\r\n";
  const std::vector<OptionCase> cases = {
      {"cancel keeps", u"EXE\r\nDLL", 1, true, "zip", true, IDCANCEL, u"EXE\r\nDLL", 1},
      {"cleared list", u"EXE\r\nDLL", 1, true, "", false, IDOK, u"", 1},
      {"typed lines", u"", 1, false, "txt\r\rDoc", false, IDOK, u"txt\r\n\r\nDoc", 1},
      {"given lines", u"EXE\r\n\r\ndll\r\n", 0, false, "", true, IDOK, u"EXE\r\n\r\ndll\r\n", 1},
      {"cut at 1022 units, line ends counted", long_list, 1, false, "", false, IDOK,
       long_list.substr(0, 1022), 1},
  };
  for (const OptionCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::u16string text = c.text;
    int rule = c.rule;
    const int answer =
        RunWith([&] { return RunOptionDialog(nullptr, &text, &rule); },
                [&](QDialog& dialog) {
                  auto* list = Find<QPlainTextEdit>(dialog, IDC_EXTENSION_LIST);
                  list->setFocus();
                  if (c.clear) {
                    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
                    QTest::keyClick(list, Qt::Key_Delete);
                  }
                  QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
                  QTest::keyClicks(list, c.typed);
                  if (c.toggle) {
                    QTest::mouseClick(Find<QCheckBox>(dialog, IDC_EXTENSION_RULE), Qt::LeftButton);
                  }
                  QTest::mouseClick(Find<QPushButton>(dialog, c.button), Qt::LeftButton);
                });
    EXPECT_EQ(answer, c.button);
    EXPECT_EQ(text, c.want_text);
    EXPECT_EQ(rule, c.want_rule);
  }
}

// Keys go where a person's keys go: to the focused button, and from there
// up to the box.
void Press(QDialog& dialog, int key, Qt::KeyboardModifiers modifiers = {}) {
  QWidget* target = dialog.focusWidget() != nullptr ? dialog.focusWidget() : &dialog;
  QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

TEST(MessageBoxTest, ButtonsWithAccessKeysAndOnlyANoticeCanBeDismissed) {
  const struct {
    unsigned flags;
    QStringList buttons;  // left to right
    int click;            // a button to click; 0: none
    int key;              // a key pressed after Esc and the close box; 0: none
    Qt::KeyboardModifiers modifiers;
    int answer;
  } cases[] = {
      {MB_OK, {"OK"}, 0, 0, {}, IDOK},  // Esc dismisses a notice
      {MB_OK | MB_ICONINFORMATION, {"OK"}, 0, Qt::Key_Return, {}, IDOK},
      {MB_YESNO, {"はい(&Y)", "いいえ(&N)"}, IDYES, 0, {}, IDYES},
      {MB_YESNO | MB_ICONERROR, {"はい(&Y)", "いいえ(&N)"}, 0, Qt::Key_Y, {}, IDYES},
      {MB_YESNO, {"はい(&Y)", "いいえ(&N)"}, 0, Qt::Key_N, Qt::AltModifier, IDNO},
      {MB_YESNO, {"はい(&Y)", "いいえ(&N)"}, 0, Qt::Key_Return, {}, IDYES},
      // A question whose Yes deletes: Enter answers No.
      {MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2,
       {"はい(&Y)", "いいえ(&N)"},
       0,
       Qt::Key_Return,
       {},
       IDNO},
      {MB_YESNO | MB_DEFBUTTON2,
       {"はい(&Y)", "いいえ(&N)"},
       0,
       Qt::Key_Enter,
       Qt::KeypadModifier,
       IDNO},
      {MB_YESNO, {"はい(&Y)", "いいえ(&N)"}, 0, 0, {}, IDNO},  // left open
      {MB_ABORTRETRYIGNORE, {"中止(&A)", "再試行(&R)", "無視(&I)"}, 0, Qt::Key_R, {}, IDRETRY},
      {MB_ABORTRETRYIGNORE | MB_ICONWARNING,
       {"中止(&A)", "再試行(&R)", "無視(&I)"},
       IDIGNORE,
       0,
       {},
       IDIGNORE},
      {MB_ABORTIGNORE, {"中止(&A)", "無視(&I)"}, 0, Qt::Key_I, {}, IDIGNORE},
      {MB_ABORTIGNORE, {"中止(&A)", "無視(&I)"}, 0, Qt::Key_A, Qt::AltModifier, IDABORT},
      {MB_ABORTIGNORE, {"中止(&A)", "無視(&I)"}, 0, 0, {}, IDABORT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.flags) + " " + std::to_string(c.key));
    QStringList buttons;
    EXPECT_EQ(RunWith([&] { return RunMessageBox(nullptr, u"<b>\r\n", c.flags); },
                      [&](QDialog& dialog) {
                        auto* box = qobject_cast<MessageBoxDialog*>(&dialog);
                        ASSERT_NE(box, nullptr);
                        EXPECT_EQ(box->windowTitle(), QStringLiteral("Velmora"));
                        EXPECT_EQ(box->textLabel()->text(), QStringLiteral("<b>\n"));
                        EXPECT_EQ(box->textLabel()->textFormat(), Qt::PlainText);
                        QList<QPushButton*> list = box->findChildren<QPushButton*>();
                        std::sort(list.begin(), list.end(),
                                  [](auto* a, auto* b) { return a->x() < b->x(); });
                        for (QPushButton* button : list) buttons << button->text();
                        if (c.click != 0) {
                          QTest::mouseClick(Find<QPushButton>(dialog, c.click), Qt::LeftButton);
                          return;
                        }
                        const bool notice = (c.flags & MB_TYPEMASK) == MB_OK;
                        Press(dialog, Qt::Key_Escape);
                        EXPECT_NE(dialog.isVisible(), notice);
                        if (notice) return;
                        EXPECT_FALSE(dialog.close());
                        EXPECT_TRUE(dialog.isVisible());
                        if (c.key != 0) {
                          Press(dialog, c.key, c.modifiers);
                          EXPECT_FALSE(dialog.isVisible());
                        }
                      }),
              c.answer);
    EXPECT_EQ(buttons, c.buttons);
  }
}

TEST(FolderBrowserTest, ListsEveryFolderAndHandsBackTheChosenBytes) {
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString();
  const std::string sjis = "\x83\x65\x83\x58\x83\x67";  // テスト in Shift_JIS
  std::filesystem::create_directory(root + "/" + sjis);
  std::filesystem::create_directory(root + "/plain");
  std::filesystem::create_directory(root + "/plain/inner");
  std::ofstream(root + "/file.txt") << "x";
  for (const bool ok : {true, false}) {
    SCOPED_TRACE(ok);
    std::u16string chosen = u"before";
    QStringList listed;
    const bool answer = RunWith(
        [&] {
          // Opens on the target, given with a trailing separator.
          return RunFolderBrowser(nullptr, Utf16FromWtf8(root + "/plain/"), &chosen);
        },
        [&](QDialog& dialog) {
          auto* browser = qobject_cast<FolderBrowser*>(&dialog);
          ASSERT_NE(browser, nullptr);
          QTreeView* tree = browser->tree();
          const QModelIndex start = tree->currentIndex();
          EXPECT_EQ(start.data().toString(), QStringLiteral("plain"));
          const QModelIndex parent = start.parent();
          for (int row = 0; row < tree->model()->rowCount(parent); ++row) {
            listed << tree->model()->index(row, 0, parent).data().toString();
          }
          // The person clicks the folder with the odd name, then OK.
          const QModelIndex odd =
              tree->model()->index(listed.indexOf(QStringLiteral("plain")) == 0 ? 1 : 0, 0, parent);
          tree->scrollTo(odd);
          QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(odd).center());
          EXPECT_EQ(tree->currentIndex(), odd);
          QTest::mouseClick(Find<QPushButton>(dialog, ok ? IDOK : IDCANCEL), Qt::LeftButton);
        });
    EXPECT_EQ(answer, ok);
    // Folders only, the undecodable name shown as best it can be.
    EXPECT_EQ(listed,
              QStringList({QStringLiteral("plain"), QStringLiteral("\uFFFDe\uFFFDX\uFFFDg")}));
    EXPECT_EQ(Wtf8FromUtf16(chosen), ok ? root + "/" + sjis : "before");
  }
}

// True when |control|'s own text is shown whole: measured with the font's
// metrics, not with the control's size hints.
void ExpectTextFits(const QWidget& control) {
  const QFontMetrics metrics(control.font());
  const QStyle& style = *control.style();
  const QRect area = control.rect();
  const auto fits = [&](const QRect& text, const QRect& room) {
    EXPECT_LE(text.width(), room.width());
    EXPECT_LE(text.height(), room.height());
  };
  if (const auto* label = qobject_cast<const QLabel*>(&control)) {
    if (label->text().isEmpty()) return;
    const int flags = Qt::AlignLeft | Qt::AlignTop | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect room = label->contentsRect();
    fits(metrics.boundingRect(room, flags, label->text()), room);
  } else if (const auto* box = qobject_cast<const QCheckBox*>(&control);
             box != nullptr || qobject_cast<const QRadioButton*>(&control)) {
    const auto* button = qobject_cast<const QAbstractButton*>(&control);
    const int indicator = box != nullptr
                              ? style.pixelMetric(QStyle::PM_IndicatorWidth) +
                                    style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing)
                              : style.pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                                    style.pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    const QRect room = area.adjusted(indicator, 0, 0, 0);
    fits(metrics.boundingRect(room, Qt::TextWordWrap, button->text()), room);
  } else if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
    const int frame = style.pixelMetric(QStyle::PM_DefaultFrameWidth);
    const QRect room = area.adjusted(frame, frame, -frame, -frame);
    fits(metrics.boundingRect(button->text()), room);
  } else if (qobject_cast<const QLineEdit*>(&control) != nullptr) {
    const int frame = style.pixelMetric(QStyle::PM_DefaultFrameWidth);
    EXPECT_LE(metrics.height(), area.height() - 2 * frame);
  }
}

// Every window, built as the program builds it.
struct Windows {
  QTemporaryDir folder;
  PasswordDialog password{nullptr};
  OptionDialog option{nullptr, u"", 0};
  MainWindow main;
  AboutBox about{nullptr};
  FolderBrowser browser{nullptr, folder.path().toStdU16String()};
  MessageBoxDialog box{nullptr,
                       u"次のファイルは、ファイル名に使用できない文字が含まれているため、"
                       u"暗号化できません。\r\nスキップして処理を継続しますか？",
                       MB_YESNO | MB_ICONERROR};
};

class WindowsTest : public ::testing::Test, protected Windows {};

// Sets the application font as a desktop font of |points| would, for as
// long as it lives.
class ScopedDesktopFont {
 public:
  explicit ScopedDesktopFont(int points) : saved_(QApplication::font()) {
    QFont font = DialogFont();
    font.setPointSize(points);
    QApplication::setFont(font);
  }
  ~ScopedDesktopFont() { QApplication::setFont(saved_); }

 private:
  QFont saved_;
};

// A dialog unit is a quarter of the font's mean letter width, both ways:
// each window keeps its template's shape in any face, a control that needs
// more height grows about its place, and every text stays whole, at each
// desktop font size from 9 to 14 points.
TEST(WindowsFitTest, KeepTheirShapeAndShowEveryTextWhole) {
  for (int points = 9; points <= 14; ++points) {
    SCOPED_TRACE(std::to_string(points) + " pt");
    const ScopedDesktopFont desktop(points);
    Windows w;
    ASSERT_EQ(w.main.font().pointSize(), points);
    w.box.adjustSize();
    const struct {
      QWidget* window;
      int id;  // 0: the window itself
      QRect units;
    } cases[] = {
        {&w.password, 0, QRect(0, 0, 323, 211)},
        {&w.password, IDC_PASSWORD_INPUT, QRect(75, 39, 209, 13)},
        {&w.password, IDOK, QRect(90, 190, 50, 14)},
        {&w.option, 0, QRect(0, 0, 251, 153)},
        {&w.option, IDC_EXTENSION_LIST, QRect(102, 71, 100, 42)},
        {&w.main, 0, QRect(0, 0, 389, 239)},
        {&w.main, IDC_PATH, QRect(148, 139, 200, 14)},
        {&w.main, IDC_STATUS_MAIN, QRect(0, 191, 389, 34)},
        {&w.about, 0, QRect(0, 0, 235, 55)},
        {&w.browser, 0, QRect(0, 0, 227, 230)},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.window->windowTitle().toStdString() + " " + std::to_string(c.id));
      const QFontMetrics metrics(c.window->font());
      const double unit = qRound(metrics.horizontalAdvance(QStringLiteral(
                                     "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                                 52.0) /
                          4.0;
      const QRect g = c.id == 0 ? QRect(QPoint(), c.window->size())
                                : Find<QWidget>(*c.window, c.id)->geometry();
      EXPECT_NEAR(g.x(), c.units.x() * unit, 0.5);
      EXPECT_NEAR(g.width(), c.units.width() * unit, 0.5);
      EXPECT_NEAR(g.center().y() + 0.5, (c.units.y() + c.units.height() / 2.0) * unit, 1.0);
      EXPECT_GE(g.height(), c.units.height() * unit - 0.5);
      if (c.id != 0) continue;
      const double shape = double(g.width()) / g.height();
      EXPECT_NEAR(shape / (double(c.units.width()) / c.units.height()), 1.0, 0.05);
    }
    for (QWidget* window : std::initializer_list<QWidget*>{&w.password, &w.option, &w.main,
                                                           &w.about, &w.browser, &w.box}) {
      SCOPED_TRACE(window->windowTitle().toStdString());
      const QRect g(QPoint(), window->size());
      const QList<QWidget*> controls =
          window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
      for (const QWidget* control : controls) {
        SCOPED_TRACE(control->metaObject()->className() +
                     (" " + control->objectName()).toStdString());
        EXPECT_TRUE(g.contains(control->geometry()));
        ExpectTextFits(*control);
        // No label's text runs under a control that paints over it (labels
        // and the check and radio boxes draw only their text).
        const auto* label = qobject_cast<const QLabel*>(control);
        if (label == nullptr || label->text().isEmpty()) continue;
        const QRect text = QFontMetrics(label->font())
                               .boundingRect(label->contentsRect(),
                                             Qt::AlignLeft | Qt::AlignTop |
                                                 (label->wordWrap() ? Qt::TextWordWrap : 0),
                                             label->text())
                               .translated(label->pos());
        for (const QWidget* other : controls) {
          if (other == control || qobject_cast<const QGroupBox*>(other) != nullptr ||
              qobject_cast<const QLabel*>(other) != nullptr ||
              qobject_cast<const QCheckBox*>(other) != nullptr ||
              qobject_cast<const QRadioButton*>(other) != nullptr) {
            continue;
          }
          EXPECT_FALSE(text.intersects(other->geometry()))
              << other->metaObject()->className() << " " << label->text().toStdString();
        }
      }
    }
  }
}

// What a screen reader says for each control: the text of its label.
TEST_F(WindowsTest, NameEachControlByWhatLabelsIt) {
  const struct {
    QWidget* window;
    int id;
    QString name;
  } cases[] = {
      {&main, IDC_PATH, "対象ディレクトリ"},
      {&main, IDC_BROWSE, "フォルダーの参照"},
      {&main, IDC_EXECUTE, "実行"},
      {&main, IDC_RADIO_TEMPORARY,
       "一時的暗号解除（プログラムの終了時、自動的に暗号化処理を行います）"},
      {&password, IDC_PASSWORD_INPUT, "パスワード"},
      {&password, IDC_PASSWORD_CONFIRM, "パスワード（確認用）"},
      {&password, IDC_PASSWORD_SHOW, "入力したパスワードを表示する。"},
      {&option, IDC_EXTENSION_LIST, "登録されている拡張子"},
      {&option, IDCANCEL, "キャンセル"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    QAccessibleInterface* control =
        QAccessible::queryAccessibleInterface(Find<QWidget>(*c.window, c.id));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->text(QAccessible::Name), c.name);
  }
}

}  // namespace
}  // namespace velmora
