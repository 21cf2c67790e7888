#include "ui/qt/message_box.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QShowEvent>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <span>

#include "platform/window_port.h"
#include "ui/qt/dialog_base.h"
#include "ui/qt/dialog_script.h"
#include "ui/qt/dialog_units.h"

namespace velmora {
namespace {

constexpr char kAnswerProperty[] = "velmoraAnswer";

struct ButtonChoice {
  int answer;
  const char16_t* text;
};

std::span<const ButtonChoice> ButtonsFor(unsigned flags) {
  static constexpr ButtonChoice kOk[] = {{IDOK, u"OK"}};
  static constexpr ButtonChoice kYesNo[] = {{IDYES, u"はい"},
                                            {IDNO, u"いいえ"}};
  static constexpr ButtonChoice kAbortRetryIgnore[] = {
      {IDABORT, u"中止"}, {IDRETRY, u"再試行"}, {IDIGNORE, u"無視"}};
  static constexpr ButtonChoice kAbortIgnore[] = {{IDABORT, u"中止"},
                                                  {IDIGNORE, u"無視"}};
  switch (flags & MB_TYPEMASK) {
    case MB_YESNO:
      return kYesNo;
    case MB_ABORTRETRYIGNORE:
      return kAbortRetryIgnore;
    case MB_ABORTIGNORE:
      return kAbortIgnore;
    default:
      return kOk;
  }
}

QMessageBox::Icon IconFor(unsigned flags) {
  switch (flags & MB_ICONMASK) {
    case MB_ICONERROR:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONWARNING:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QString DisplayText(const std::u16string& text) {
  QString shown = QString::fromStdU16String(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

}  // namespace

int SafeAnswer(unsigned flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_YESNO:
      return IDNO;
    case MB_ABORTRETRYIGNORE:
    case MB_ABORTIGNORE:
      return IDABORT;
    default:
      return IDOK;
  }
}

MessageBoxDialog::MessageBoxDialog(QWidget* owner, const std::u16string& text,
                                   unsigned flags)
    : QMessageBox(owner), flags_(flags) {
  setFont(DialogFont());
  setWindowTitle(QString::fromStdU16String(kCaption));
  // File names may hold '<' and '&'; never let them be read as markup.
  setTextFormat(Qt::PlainText);
  setText(DisplayText(text));
  setIcon(IconFor(flags));

  const int safe = SafeAnswer(flags);
  bool first = true;
  for (const ButtonChoice& choice : ButtonsFor(flags)) {
    // Every desktop orders the standard roles its own way (No before Yes,
    // say); action buttons keep the order they are listed in here.
    QPushButton* button = addButton(QString::fromStdU16String(choice.text),
                                    QMessageBox::ActionRole);
    button->setObjectName(ControlName(choice.answer));
    button->setProperty(kAnswerProperty, choice.answer);
    if (first) setDefaultButton(button);
    first = false;
    if (choice.answer == safe) setEscapeButton(button);
  }
}

int MessageBoxDialog::Answer() const {
  const QAbstractButton* button = clickedButton();
  if (button == nullptr) return SafeAnswer(flags_);
  const QVariant answer = button->property(kAnswerProperty);
  return answer.isValid() ? answer.toInt() : SafeAnswer(flags_);
}

void MessageBoxDialog::showEvent(QShowEvent* event) {
  QMessageBox::showEvent(event);
  if (!event->spontaneous()) ScheduleDialogScript(this);
}

int RunMessageBox(QWidget* owner, const std::u16string& text, unsigned flags) {
  MessageBoxDialog box(owner, text, flags);
  box.exec();
  return box.Answer();
}

}  // namespace velmora
