// The main window "Velmora": the widgets in front of MainDialog.
//
// It only lays out the controls and reports what the user does; every text,
// check and state change is made by MainDialog through the window port,
// which finds the controls by their ids (object names, see ControlName()).
#ifndef VELMORA_UI_QT_MAIN_WINDOW_H_
#define VELMORA_UI_QT_MAIN_WINDOW_H_

#include <QString>
#include <string>

#include "ui/qt/dialog_base.h"

class QAction;
class QCloseEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMimeData;
class QShowEvent;
class QWidget;

namespace velmora {

// Text of the entry that opens the version box (context menu, F1).
inline constexpr char16_t kAboutEntryText[] = u"Velmora のﾊﾞｰｼﾞｮﾝ情報(&A)...";

class MainWindow : public DialogBase {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);

  // The control with |id|, or null.
  QWidget* Control(int id) const;

  // Hides the window for good. From then on the close box closes it
  // without asking. Idempotent.
  void End();
  bool IsEnded() const { return ended_; }

  // The entry that opens the version box.
  QAction* aboutAction() const { return about_action_; }

  // Path of the first local file or folder in |data|, as the file system
  // names it, without a trailing '/'; empty when there is none.
  static std::u16string FirstLocalPath(const QMimeData* data);

 signals:
  // The user changed the path box (typing, pasting, deleting); never
  // emitted for texts the program writes.
  void pathEdited();
  // A radio button was clicked, even the one already selected.
  void operationClicked();
  void browseClicked();
  void settingsClicked();
  // "実行" or Enter (only while "実行" is enabled).
  void executeRequested();
  // "終了" or Esc.
  void exitRequested();
  // The window's close box, until End().
  void closeRequested();
  void pathDropped(const std::u16string& path);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Parts of the constructor, in the order the controls are created.
  void AddOperations();
  void AddTarget();
  void AddButtonsAndStatus();
  void AddAboutAction();
  QAction* about_action_;
  bool ended_ = false;
};

}  // namespace velmora

#endif  // VELMORA_UI_QT_MAIN_WINDOW_H_
