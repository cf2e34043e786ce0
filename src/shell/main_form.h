#pragma once
// The multiple-document frame: menus, toolbar with the address box, status
// bar, and the document windows.
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QToolBar>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "authoring/menu_items.h"
#include "base/qt_prompts.h"
#include "shell/child_frame.h"
#include "shell/frame_command.h"
#include "shell/editor_settings.h"
#include "shell/history.h"
#include "shell/preview.h"

class QAction;
class QMenu;
class QMdiSubWindow;
class QToolButton;

namespace hemlo {

class TMDIChild;

// Three-panel status bar whose middle panel takes what the outer two leave.
class StatusPanels : public QWidget {
  Q_OBJECT
 public:
  explicit StatusPanels(QWidget* parent = nullptr);
  QLabel* panel(int index) const { return panels_[index]; }
  void SetText(int index, const QString& text) { panels_[index]->setText(text); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* panels_[3];
};

class TMainForm : public QMainWindow, public ChildFrame {
  Q_OBJECT
 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // Prompts used by every handler; tests replace it with a scripted one.
  void SetPrompts(Prompts* prompts) { prompts_ = prompts ? prompts : &qt_prompts_; }
  Prompts& prompts() override { return *prompts_; }
  // Follows SetPrompts; for forms that keep a Prompts reference.
  Prompts& forwarding_prompts() { return forwarding_prompts_; }

  TMDIChild* ActiveChild() const override;
  QList<TMDIChild*> Children() const;
  // Creates a document window (no file handling); shown at once, cascaded.
  TMDIChild* CreateChild() override;

  QAction* action(FrameCommand command) const { return actions_[static_cast<int>(command)]; }
  // The File menu's history entries, slot 0 first.
  QAction* history_action(int slot) const {
    return history_actions_[static_cast<std::size_t>(slot)];
  }
  // The authoring menu items (色... included) in table order, separators left out.
  struct AuthoringAction {
    const authoring::AuthoringMenuItem* item;
    QAction* action;
  };
  const std::vector<AuthoringAction>& authoring_actions() const { return authoring_actions_; }
  StatusPanels* StatusBar1() const { return status_; }
  QComboBox* cmbURL() const override { return cmbURL_; }
  void SetStatusText(int panel, const QString& text) override { status_->SetText(panel, text); }
  QToolBar* ToolBar2() const { return toolbar_; }

  int TabWidth = 2;

  // Frame commands.
  void OpenUrl(const QString& address);
  void Undo1Click();
  void Redo1Click();
  // 文字コード変換: the active page to the other encoding, refused with a message.
  void ConvertEncodingClick();
  // 色分け表示 and 行番号: every window follows; the choice goes to Editor.ini.
  void SetEditorSettings(const EditorSettings& settings);
  const EditorSettings& editor_settings() const { return editor_settings_; }
  // Keeps the frame's place in Editor.ini for the next start.
  void SaveFramePlace();
  void mnuSelectAllClick();
  void N43Click();
  void mnuTabClick();
  void mnuPrintClick();
  void mnuHelpClick();
  void FileExit1Execute();
  void mnuFTPClick();
  void ToolButton16Click();

  // Files and history.
  TMDIChild* OpenDocument(const QString& path);
  void FileNew1Execute();
  void FileOpen1Execute();
  void FileSaveItemClick();
  void FileSaveAsItemClick();
  // 上書き保存 and 名前を付けて保存 of one window (the close question's 保存):
  // true once the page is written.
  bool SaveChild(TMDIChild* child) override;
  bool SaveChildAs(TMDIChild* child);
  // 保存して公開: saves the active page, then asks for it to be published.
  void FileSavePublishClick();
  void FileCloseItemClick();
  void mnuFavoritClick(int slot);
  void AddHistory(const QString& path);
  // A saved page goes to the top of the history.
  void PromoteHistory(const QString& path);
  History& history() { return history_; }
  void LoadHistory();
  void SaveHistory();
  // Writes the active pane's text to a file; false (with the error shown) on failure.
  bool WriteChildTo(TMDIChild* child, const QString& path);
  // The frame's file dialog, starting where the user works.
  FileDialogRequest DocumentDialog(const char* title) const;

  // Preview (toolbar picture) and the web pane size commands.
  void Image1Click();
  void mnuWebMAXClick(bool maximise);
  shell::PreviewState& preview_state() { return preview_state_; }

 signals:
  void childCreated(hemlo::TMDIChild* child);
  // ﾌｧｲﾙ転送: the folder of the active page, empty without one.
  void transferToolRequested(const QString& folder);
  // 保存して公開: the page (saved, as shown) to publish with its site.
  void publishPageRequested(const QString& path);
  // A page was written under `path` (any save of the frame's).
  void pageSaved(const QString& path);
  // The frame is closing for good: history saved, every document window agreed.
  void closing();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildAuthoringMenus();
  void BuildToolBar();
  void ConnectCommands();
  void TileWindows(Qt::Orientation orientation);
  void ArrangeMinimisedWindows();
  void UpdateEditActions();
  void UpdateWindowMenu();
  void UpdateHistoryMenu();
  // Status panels 1 and 2 for the active window, or cleared without one.
  void ShowActiveCaret();
  void FormClose();

  EditorSettings editor_settings_;
  std::unique_ptr<FrameSlot> frame_slot_;
  QMdiArea* mdi_ = nullptr;
  StatusPanels* status_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QComboBox* cmbURL_ = nullptr;
  QMenu* window_menu_ = nullptr;
  std::array<QAction*, static_cast<std::size_t>(FrameCommand::kCount)> actions_{};
  std::array<QAction*, History::kSlots> history_actions_{};
  std::vector<AuthoringAction> authoring_actions_;
  QToolButton* preview_button_ = nullptr;
  QtPrompts qt_prompts_;
  Prompts* prompts_ = &qt_prompts_;
  ForwardingPrompts forwarding_prompts_{[this]() -> Prompts& { return *prompts_; }};
  History history_;
  shell::PreviewState preview_state_;
};

}  // namespace hemlo
