#include "ui/qt/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QList>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariant>
#include <QWidget>
#include <span>

#include "ui/qt/dialog_base.h"
#include "ui/qt/dialog_script.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/window_placement.h"
#include "ui/window_port.h"

namespace velmora {
namespace {

constexpr char kAnswerProperty[] = "velmoraAnswer";
// Room left for the window frame the window manager adds.
constexpr int kFrameAllowance = 16;

struct ButtonChoice {
  int answer;
  const char16_t* text;
};

std::span<const ButtonChoice> ButtonsFor(unsigned flags) {
  static constexpr ButtonChoice kOk[] = {{IDOK, u"OK"}};
  static constexpr ButtonChoice kYesNo[] = {{IDYES, u"はい(&Y)"}, {IDNO, u"いいえ(&N)"}};
  static constexpr ButtonChoice kAbortRetryIgnore[] = {
      {IDABORT, u"中止(&A)"}, {IDRETRY, u"再試行(&R)"}, {IDIGNORE, u"無視(&I)"}};
  static constexpr ButtonChoice kAbortIgnore[] = {{IDABORT, u"中止(&A)"}, {IDIGNORE, u"無視(&I)"}};
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

QStyle::StandardPixmap IconFor(unsigned flags) {
  switch (flags & MB_ICONMASK) {
    case MB_ICONERROR:
      return QStyle::SP_MessageBoxCritical;
    case MB_ICONQUESTION:
      return QStyle::SP_MessageBoxQuestion;
    case MB_ICONWARNING:
      return QStyle::SP_MessageBoxWarning;
    default:
      return QStyle::SP_MessageBoxInformation;
  }
}

bool HasIcon(unsigned flags) { return (flags & MB_ICONMASK) != 0; }

// |text| with every line wider than |width| pixels broken where it reaches
// that width. Texts break their lines themselves; only a line longer than
// the screen (a deep path) is broken here, and never inside a surrogate pair.
QString FitLines(const QString& text, const QFontMetrics& metrics, int width) {
  QStringList lines;
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    QString rest = line;
    while (metrics.horizontalAdvance(rest) > width && rest.size() > 1) {
      qsizetype cut = 1;
      while (cut < rest.size()) {
        qsizetype next = cut + (rest.at(cut).isHighSurrogate() ? 2 : 1);
        if (next > rest.size()) next = rest.size();
        if (metrics.horizontalAdvance(rest.left(next)) > width) break;
        cut = next;
      }
      if (rest.at(cut - 1).isHighSurrogate() && cut < rest.size()) ++cut;
      lines << rest.left(cut);
      rest = rest.mid(cut);
    }
    lines << rest;
  }
  return lines.join(QLatin1Char('\n'));
}

int AvailableWidth(const QWidget* owner) {
  const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry().width() : 640;
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

int UnattendedAnswer(unsigned flags, bool exit_pass) {
  const int skip = SkipAnswer(flags);
  // Ignore only passes over an entry; a Yes that does so is taken only in
  // the exit pass, which must encrypt all it can.
  if (skip == IDIGNORE || (skip != 0 && exit_pass)) return skip;
  return SafeAnswer(flags);
}

MessageBoxDialog::MessageBoxDialog(QWidget* owner, const std::u16string& text, unsigned flags)
    : QDialog(owner),
      flags_(flags),
      text_(QString::fromStdU16String(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))),
      label_(new QLabel(this)),
      answer_(SafeAnswer(flags)) {
  const bool dismissable = (flags & MB_TYPEMASK) == MB_OK;
  // A question has no close box to answer it; some window managers still
  // show one, and closeEvent then goes through reject(), which refuses.
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 (dismissable ? Qt::WindowCloseButtonHint : Qt::WindowType(0)));
  setFont(DialogFont());
  setWindowTitle(QString::fromStdU16String(kCaption));
  const DialogUnits units = DialogUnits::ForFont(font());

  auto* body = new QHBoxLayout;
  body->setSpacing(units.ToPixelsX(8));
  if (HasIcon(flags)) {
    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    icon->setPixmap(style()->standardIcon(IconFor(flags)).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop);
    body->addWidget(icon, 0, Qt::AlignTop);
  }
  // File names may hold '<' and '&'; never let them be read as markup.
  label_->setTextFormat(Qt::PlainText);
  label_->setWordWrap(false);
  label_->setText(text_);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  body->addWidget(label_, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addLayout(body);
  layout->addSpacing(units.ToPixelsY(4));
  layout->addLayout(MakeButtonRow(units));

  // Wider than the screen only when a line alone is: then that line breaks
  // at the screen's edge rather than the box leaving it.
  const int chrome = layout->sizeHint().width() - label_->sizeHint().width();
  const int room = AvailableWidth(owner) - kFrameAllowance - chrome;
  if (room > 0 && label_->sizeHint().width() > room) {
    label_->setText(FitLines(text_, QFontMetrics(label_->font()), room));
  }
}

QHBoxLayout* MessageBoxDialog::MakeButtonRow(const DialogUnits& units) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  const std::span<const ButtonChoice> choices = ButtonsFor(flags_);
  const std::size_t default_index =
      (flags_ & MB_DEFMASK) == MB_DEFBUTTON2 && choices.size() > 1 ? 1 : 0;
  for (std::size_t index = 0; index < choices.size(); ++index) {
    const ButtonChoice& choice = choices[index];
    auto* button = new QPushButton(QString::fromStdU16String(choice.text), this);
    button->setObjectName(ControlName(choice.answer));
    button->setProperty(kAnswerProperty, choice.answer);
    button->setMinimumWidth(units.ToPixelsX(50));
    if (index == default_index) {
      button->setDefault(true);
      button->setFocus();
    }
    connect(button, &QPushButton::clicked, this,
            [this, answer = choice.answer] { Finish(answer); });
    row->addWidget(button);
  }
  row->addStretch(1);
  return row;
}

int MessageBoxDialog::Answer() const { return answer_; }

void MessageBoxDialog::AnswerAfter(std::chrono::milliseconds delay, bool exit_pass) {
  QTimer::singleShot(delay, this,
                     [this, exit_pass] { Finish(UnattendedAnswer(flags_, exit_pass)); });
}

void MessageBoxDialog::Finish(int answer) {
  answer_ = answer;
  accept();
}

void MessageBoxDialog::reject() {
  // Esc and the close box: OK alone is a notice and may be dismissed; a
  // question is only answered by one of its buttons, so that a reflexive
  // Esc does not end a run.
  if ((flags_ & MB_TYPEMASK) == MB_OK) Finish(IDOK);
}

void MessageBoxDialog::keyPressEvent(QKeyEvent* event) {
  // As in the classic boxes the access key works without Alt too; with
  // Alt it normally arrives as the button's shortcut, but not while the box
  // is not the active window.
  const Qt::KeyboardModifiers held = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
  if (held == Qt::NoModifier) {
    for (QPushButton* button : findChildren<QPushButton*>()) {
      const QKeySequence key = QKeySequence::mnemonic(button->text());
      if (!key.isEmpty() && key[0].key() == static_cast<Qt::Key>(event->key())) {
        button->click();
        return;
      }
    }
  }
  QDialog::keyPressEvent(event);
}

void MessageBoxDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  KeepOnScreen(this);
  ScheduleDialogScript(this);
}

int RunMessageBox(QWidget* owner, const std::u16string& text, unsigned flags) {
  MessageBoxDialog box(owner, text, flags);
  box.exec();
  return box.Answer();
}

}  // namespace velmora
