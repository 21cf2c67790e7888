#include "ui/qt/folder_browser.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QString>
#include <QTreeView>

#include "ui/qt/folder_model.h"
#include "ui/window_port.h"

namespace velmora {

FolderBrowser::FolderBrowser(QWidget* owner, const std::u16string& initial)
    : DialogBase(owner, QStringLiteral("フォルダーの参照"), 227, 230),
      model_(new FolderModel(this)),
      tree_(new QTreeView(this)),
      ok_button_(new QPushButton(QStringLiteral("OK"), this)) {
  Place(MakeStatic(QStringLiteral("Select folder"), false, this), 7, 7, 213, 10);

  tree_->setObjectName(QStringLiteral("folders"));
  tree_->setAccessibleName(QStringLiteral("フォルダーを選択"));
  tree_->setModel(model_);
  tree_->setHeaderHidden(true);
  tree_->setUniformRowHeights(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  // Deep paths are wider than the dialog; scroll rather than cut them.
  tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tree_->header()->setStretchLastSection(false);
  Place(tree_, 7, 21, 213, 178);

  ok_button_->setObjectName(ControlName(IDOK));
  ok_button_->setDefault(true);
  Place(ok_button_, 116, 207, 50, 14);
  auto* cancel_button = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel_button->setObjectName(ControlName(IDCANCEL));
  Place(cancel_button, 170, 207, 50, 14);

  const QModelIndex start = model_->Find(initial);
  for (QModelIndex up = start.parent(); up.isValid(); up = up.parent()) {
    tree_->expand(up);
  }
  tree_->setCurrentIndex(start);
  tree_->setFocus();
  ok_button_->setEnabled(start.isValid());

  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { ok_button_->setEnabled(current.isValid()); });
  connect(ok_button_, &QPushButton::clicked, this, &FolderBrowser::Confirm);
  connect(cancel_button, &QPushButton::clicked, this, &QDialog::reject);
}

void FolderBrowser::showEvent(QShowEvent* event) {
  // Only now has the tree its size, so that the start can be centred in it;
  // before the script a test runs, which DialogBase schedules.
  if (!event->spontaneous()) {
    const QModelIndex start = tree_->currentIndex();
    tree_->scrollTo(start, QAbstractItemView::PositionAtCenter);
    // A deep folder is indented past the view's right edge: show its name
    // from its start.
    const QRect item = tree_->visualRect(start);
    const int right = tree_->viewport()->width();
    if (item.isValid() && (item.left() < 0 || item.right() > right)) {
      QScrollBar* bar = tree_->horizontalScrollBar();
      bar->setValue(bar->value() + item.left() - tree_->indentation());
    }
  }
  DialogBase::showEvent(event);
}

void FolderBrowser::Confirm() {
  const std::u16string path = model_->PathOf(tree_->currentIndex());
  if (path.empty()) return;
  chosen_ = path;
  accept();
}

bool RunFolderBrowser(QWidget* owner, const std::u16string& initial, std::u16string* chosen) {
  FolderBrowser browser(owner, initial);
  if (browser.exec() != QDialog::Accepted) return false;
  *chosen = browser.chosen();
  return true;
}

}  // namespace velmora
