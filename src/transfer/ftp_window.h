#pragma once
// The transfer tool window "Ferrox": connection profiles, the connection and
// the remote list, the local folder and its file list, the status bar.
// Created once at start-up, hidden; closing hides it. The transfer
// operations (upload, download, folder upload, remote commands) connect to
// its request signals and work through the accessors below.
//
// Every FTP wait lets the whole program's events run (the client's wait
// hook). While one client command runs, the window refuses to start another
// and disables the controls that would; Escape, "終了" and closing the
// window abort the wait instead.
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/prompts.h"
#include "ftp/id_ftp.h"
#include "transfer/profiles.h"
#include "transfer/remote_session.h"
#include "transfer/sort_rules.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace hemlo {

class TFtp1 : public QWidget {
  Q_OBJECT

 public:
  // `prompts` answers every message and question of the window; null means
  // real dialogs parented to the window.
  explicit TFtp1(Prompts* prompts = nullptr, QWidget* parent = nullptr);
  ~TFtp1() override;

  // ---- what the operations read and call ----
  ftp::TIdFTP& Client() { return IdFTP1; }
  const ftp::TIdFTP& Client() const { return IdFTP1; }
  transfer::RemoteSession& Session() { return Session_; }
  const transfer::ProfilePanel& Profiles() const { return Profiles_; }
  const transfer::SortState& Sort() const { return Sort_; }
  Prompts& prompts() { return *prompts_; }
  bool IdleFlag() const { return idle_flag_; }
  void SetIdleFlag(bool value) { idle_flag_ = value; }
  // Status panel 0 (UTF-8).
  void SetStatusText(const std::string& text);
  QString StatusText() const;
  // Label5 and the remote list from the server. Client errors propagate.
  void RefreshRemoteList();
  // Re-reads the folder list and the local list.
  void RefreshLocalLists();
  void RefreshLocalList();
  void UncheckSelectAll();
  // File n of m is about to travel; m = 0 hides the progress bar.
  void SetFileProgress(int n, int m);
  // Bytes of the current file (total 0 = unknown). Repaints the bar only.
  void SetByteProgress(int64_t done, int64_t total);
  ftp::TIdFTPTransferType TransferMode() const;
  // The local folder (UTF-8, no trailing separator except for "/").
  std::string LocalFolder() const;
  // Names of the selected local rows, in list order (UTF-8).
  std::vector<std::string> SelectedLocalNames() const;
  struct RemoteRowView {
    std::string name;  // Shift-JIS, as listed
    bool folder = false;
    bool selected = false;
    std::string permissions;  // the "属性" cell
  };
  // Every remote row in list order.
  std::vector<RemoteRowView> RemoteRows() const;
  // The remote folder Label5 shows (Shift-JIS).
  const std::string& RemoteFolder() const { return Profiles_.LastRemoteFolder; }
  // UTF-8 local paths of the last desktop drop.
  const std::vector<std::string>& DroppedFiles() const { return DroppedFiles_; }
  // Runs an operation with the idle flag cleared, sets it again on every
  // way out and reports what escapes it (a cancelled wait, a lost
  // connection, any other error). While a client command runs, another is
  // not started: false then.
  bool RunOperation(const std::function<void()>& op);
  // Runs one client command (no idle-flag change) under the same guard.
  bool RunClientCommand(const std::function<void()>& command);
  bool OperationRunning() const { return operation_running_; }
  // True while a client command runs (its waits let other events through).
  bool ClientBusy() const { return client_busy_ > 0; }
  // The user aborted a wait of the running command.
  bool WaitCancelled() const { return cancel_fired_; }
  // A stop request was honoured between items: the next wait goes on.
  void ForgetCancelRequest() { cancel_requested_ = false; }
  // Shows a client error (or any other) in the standard error box.
  void ShowError(const std::exception& e);
  // The in-place rename state.
  const std::string& RenameOldName() const { return RenameOldName_; }
  bool RenameEditing() const { return RenameEditing_; }

  // Moves the folder list (the drive box follows) and refills the local
  // list. False when `folder` is not an existing folder.
  bool SetLocalFolder(const QString& folder);

  // Makes `frame` refuse to close while a client command runs (the wait is
  // cancelled instead, so the frame can close once it has ended).
  void GuardCloseOf(QWidget* frame);
  // Escape in `dialog` (shown over this window while a command waits, such
  // as the permission dialog) cancels the wait like Escape here.
  void CancelWaitsFrom(QWidget* dialog);

 public slots:
  void Button1Click();  // 接続
  void Button2Click();  // 切断
  void Button3Click();  // 終了
  void Button4Click();  // 前
  void Button5Click();  // 次
  void Button6Click();  // 追加
  void Button7Click();  // 保存
  void Button8Click();  // 追加中止
  void Button9Click();  // 削除
  void BitBtn1Click();
  void ListView1DblClick();
  void CheckBox1Click();
  void mnuMakeFolderClick();    // ﾌｫﾙﾀﾞ作成
  void mnuDeleteFolderClick();  // ﾌｫﾙﾀﾞ削除
  void mnuRenameFolderClick();  // ﾌｫﾙﾀﾞ名変更
  void mnuDeleteFilesClick();   // 削除 of the local list

 public:
  void ColumnClick(QTreeWidget* list, int column);
  // In-place rename of a remote row: begin remembers the name, end sends
  // RNFR/RNTO when it changed. True when the server took the new name; the
  // row then shows and acts on it. Otherwise the row keeps its old name.
  void BeginRename(QTreeWidgetItem* item);
  bool EndRename(QTreeWidgetItem* item, const QString& new_text);
  void CancelRename();
  // Sorts a list by the shared sort state.
  void SortList(QTreeWidget* list);

 signals:
  void uploadSelectedRequested();      // ▲, and local rows dropped on the remote list
  void downloadSelectedRequested();    // ▼, and remote rows dropped on the local list
  void folderUploadRequested();        // ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ
  void uploadDroppedRequested();       // desktop files dropped on the remote list
  void permissionRequested();          // remote menu パーミション
  void remoteCreateFolderRequested();  // remote menu フォルダ作成
  void remoteDeleteRequested();        // remote menu 削除

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class ClientBusyScope;

  void BuildLayout();
  QWidget* BuildProfilePanel();
  void BuildTransferRow(QVBoxLayout* root);
  void BuildStatusBar(QVBoxLayout* root);
  void WireControls();
  void BuildLocalPane(QWidget* host);
  void Startup();
  void CloseSequence();
  void ShowProfileFields();
  bool TakeProfileFields();
  void OnClientConnected();
  void OnClientDisconnected();
  void SetProfileControlsEnabled(bool enabled);
  void ApplyDataMode(transfer::DataConnectionMode mode);
  void UpdateBusyControls();
  bool WaitHook();
  void RequestCancel();
  void ReportFailure(const std::exception& e, bool was_connected);
  void ReportCancelled();
  void ReportConnectionLost();
  void ExitNow();
  void FillFolderList();
  void FillDriveBox();
  void ShowPlain(const QString& text);
  void DropOnRemote(const std::vector<std::string>& paths);
  void RenameLater(QTreeWidgetItem* item, const QString& new_text);

  // ---- controls (component names, also their object names) ----
  QFrame* Panel1 = nullptr;  // "接続先情報"
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QComboBox* cmbDataMode = nullptr;      // 自動, パッシブ, アクティブ
  QComboBox* cmbNameEncoding = nullptr;  // 自動, Shift-JIS, UTF-8
  QLabel* Label5 = nullptr;
  QLabel* LblCount = nullptr;
  QPushButton* Button1 = nullptr;    // 接続
  QPushButton* Button2 = nullptr;    // 切断
  QPushButton* Button3 = nullptr;    // 終了
  QPushButton* Button4 = nullptr;    // 前
  QPushButton* Button5 = nullptr;    // 次
  QPushButton* Button6 = nullptr;    // 追加
  QPushButton* Button7 = nullptr;    // 保存
  QPushButton* Button8 = nullptr;    // 追加中止
  QPushButton* Button9 = nullptr;    // 削除
  QToolButton* BitBtn1 = nullptr;    // up one remote folder
  QTreeWidget* ListView1 = nullptr;  // remote list
  QPushButton* Button11 = nullptr;   // ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ
  QComboBox* ComboBox1 = nullptr;    // transfer mode
  QPushButton* Button10 = nullptr;   // ▲
  QPushButton* Button16 = nullptr;   // ▼
  QCheckBox* CheckBox1 = nullptr;    // 全選択
  QComboBox* DriveComboBox1 = nullptr;
  QListWidget* DirectoryListBox1 = nullptr;
  QTreeWidget* ListView2 = nullptr;  // local list
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusPanel0 = nullptr;
  QLabel* StatusPanel1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;  // shown while files travel
  QMenu* PopupMenu1 = nullptr;  // remote list: パーミション, フォルダ作成, 削除
  QMenu* PopupMenu2 = nullptr;  // folder list: ﾌｫﾙﾀﾞ作成, ﾌｫﾙﾀﾞ削除, ﾌｫﾙﾀﾞ名変更
  QMenu* PopupMenu3 = nullptr;  // local list: 削除

  // ---- state ----
  ftp::TIdFTP IdFTP1;
  transfer::RemoteSession Session_{IdFTP1};
  transfer::ProfilePanel Profiles_;  // LastRemoteFolder is Label5's bytes
  transfer::SortState Sort_;
  std::string RenameOldName_;  // the server's bytes; empty when no rename runs
  bool RenameEditing_ = false;
  std::vector<std::string> DroppedFiles_;

  std::unique_ptr<Prompts> own_prompts_;
  Prompts* prompts_ = nullptr;
  bool idle_flag_ = true;
  bool operation_running_ = false;
  int client_busy_ = 0;
  bool cancel_requested_ = false;  // the next wait slice aborts
  bool cancel_fired_ = false;      // a wait of this command was aborted
  bool exit_pending_ = false;      // "終了" waits for the command to unwind
  QString local_folder_;
  QList<QPointer<QWidget>> cancel_windows_;
};

}  // namespace hemlo
