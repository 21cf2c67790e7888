#include "ui/qt/main_window.h"

#include <QAction>
#include <QByteArray>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QUrl>

#include "platform/wtf8.h"
#include "ui/qt/about_box.h"
#include "ui/qt/program_resources.h"
#include "ui/qt/status_line.h"
#include "ui/qt/window_placement.h"
#include "ui/qt/wrapping_radio_button.h"
#include "ui/window_port.h"

namespace velmora {
namespace {

QString Q(const char16_t* text) { return QString::fromStdU16String(text); }

QPushButton* MakeButton(int id, const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(ControlName(id));
  return button;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : DialogBase(parent, QStringLiteral("Velmora"), 389, 239) {
  // A program window, not a dialog of some other window: it gets a task bar
  // entry and a minimise box.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setAcceptDrops(true);

  auto* picture = new QLabel(this);
  Place(picture, 3, 2, 127, 120);
  picture->setAlignment(Qt::AlignCenter);
  picture->setPixmap(
      ProgramPicture().scaled(picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

  // Created in tab order; each group box before the controls it frames, so
  // that it stays behind them.
  AddOperations();
  AddTarget();
  AddButtonsAndStatus();
  AddAboutAction();
}

void MainWindow::AddOperations() {
  auto* operation = new QGroupBox(QStringLiteral("動作"), this);
  operation->setObjectName(ControlName(IDC_OPERATION_GROUP));
  Place(operation, 136, 12, 236, 93);

  auto* encrypt = new QRadioButton(QStringLiteral("暗号化"), this);
  encrypt->setObjectName(ControlName(IDC_RADIO_ENCRYPT));
  Place(encrypt, 152, 26, 37, 16);
  auto* decrypt = new QRadioButton(QStringLiteral("暗号解除"), this);
  decrypt->setObjectName(ControlName(IDC_RADIO_DECRYPT));
  Place(decrypt, 151, 53, 46, 13);
  auto* temporary = new WrappingRadioButton(
      QStringLiteral("一時的暗号解除（プログラムの終了時、自動的に暗号化処理を"
                     "行います）"),
      this);
  temporary->setObjectName(ControlName(IDC_RADIO_TEMPORARY));
  Place(temporary, 151, 71, 201, 27);
  for (QRadioButton* radio : {encrypt, decrypt, static_cast<QRadioButton*>(temporary)}) {
    connect(radio, &QRadioButton::clicked, this, &MainWindow::operationClicked);
  }
}

void MainWindow::AddTarget() {
  auto* target = new QGroupBox(QStringLiteral("対象ディレクトリ"), this);
  Place(target, 137, 116, 236, 55);

  auto* path = new QLineEdit(this);
  path->setObjectName(ControlName(IDC_PATH));
  path->setAccessibleName(target->title());
  // A drop anywhere, the path box included, goes to the window; the box
  // would otherwise insert the dragged URL as text.
  path->setAcceptDrops(false);
  Place(path, 148, 139, 200, 14);

  auto* browse = MakeButton(IDC_BROWSE, QStringLiteral(".."), this);
  // ".." says nothing to a screen reader.
  browse->setAccessibleName(QStringLiteral("フォルダーの参照"));
  Place(browse, 355, 137, 11, 18);
  connect(path, &QLineEdit::textEdited, this, &MainWindow::pathEdited);
  connect(browse, &QPushButton::clicked, this, &MainWindow::browseClicked);
}

void MainWindow::AddButtonsAndStatus() {
  auto* execute = MakeButton(IDC_EXECUTE, QStringLiteral("実行"), this);
  execute->setDefault(true);
  Place(execute, 172, 174, 54, 14);
  auto* settings = MakeButton(IDC_SETTINGS, QStringLiteral("設定"), this);
  Place(settings, 232, 174, 54, 14);
  auto* exit = MakeButton(IDC_EXIT, QStringLiteral("終了"), this);
  Place(exit, 291, 174, 54, 14);

  Place(new StatusLine(IDC_STATUS_MAIN, true, this), 0, 191, 389, 34);
  Place(new StatusLine(IDC_STATUS_SUB, false, this), 0, 226, 389, 12);
  connect(settings, &QPushButton::clicked, this, &MainWindow::settingsClicked);
  connect(execute, &QPushButton::clicked, this, &MainWindow::executeRequested);
  connect(exit, &QPushButton::clicked, this, &MainWindow::exitRequested);
}

void MainWindow::AddAboutAction() {
  // The window manager owns the window menu here, so the version box is
  // offered in the window's context menu and on F1.
  about_action_ = new QAction(Q(kAboutEntryText), this);
  about_action_->setShortcut(QKeySequence(Qt::Key_F1));
  about_action_->setShortcutContext(Qt::WindowShortcut);
  addAction(about_action_);
  setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(about_action_, &QAction::triggered, this, [this] { RunAboutBox(this); });
}

QWidget* MainWindow::Control(int id) const { return findChild<QWidget*>(ControlName(id)); }

void MainWindow::End() {
  if (ended_) return;
  ended_ = true;
  hide();
}

std::u16string MainWindow::FirstLocalPath(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return {};
  // The encoded path keeps bytes that are not UTF-8 as %XX; decoding it
  // gives the name exactly as the file system holds it.
  QByteArray bytes =
      QByteArray::fromPercentEncoding(urls.first().path(QUrl::FullyEncoded).toLatin1());
  if (bytes.size() > 1 && bytes.endsWith('/')) bytes.chop(1);
  return Utf16FromWtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void MainWindow::showEvent(QShowEvent* event) {
  // Skips DialogBase: the main window is not one of the modal dialogs a
  // test script answers.
  QDialog::showEvent(event);  // NOLINT(bugprone-parent-virtual-call): skips DialogBase on purpose
  if (!event->spontaneous()) KeepOnScreen(this);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!ended_) emit closeRequested();
  // Only MainDialog ends the window; a close box it turned down leaves the
  // window as it is.
  if (ended_) {
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::reject() {
  // Esc: the same as "終了". The window stays until MainDialog ends it.
  emit exitRequested();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstLocalPath(event->mimeData()).empty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (!FirstLocalPath(event->mimeData()).empty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  const std::u16string path = FirstLocalPath(event->mimeData());
  if (path.empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit pathDropped(path);
}

}  // namespace velmora
