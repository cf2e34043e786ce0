#pragma once
// The transfer tool window "Ferrox": a frame over its parts (the profile
// panel with the connection buttons, the remote pane, the row of transfer
// commands, the local pane, the status line), which are views only. The
// frame owns its connection (clients, session, worker, running call), the
// profiles and the controllers that drive the parts: the profile form, the
// connect flow, the remote browsing and the local pane. Its handlers
// forward to them. Created once at start-up, hidden; closing hides it. The
// transfer operations (upload, download, folder upload, remote commands)
// connect to its request signals and work through the accessors below.
//
// The connection's client runs on a worker thread of its own: a click posts
// a command there and returns; status, progress, the remote listing and the
// end of the command come back as queued calls, questions to the user as
// calls the worker waits for. While one command runs, the window refuses to
// start another and disables the controls that would; Escape and "終了"
// cancel its waits, and closing the window or the frame cancels it and
// waits (bounded) for the worker.
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/prompts.h"
#include "ferrox/connect_controller.h"
#include "ferrox/local_pane_controller.h"
#include "ferrox/profile_controller.h"
#include "ferrox/remote_pane_controller.h"
#include "ferrox/window_layout.h"
#include "ftp/id_ftp.h"
#include "remote/connection.h"
#include "remote/remote_session.h"
#include "transfer/profiles.h"
#include "transfer/sort_rules.h"

class QAbstractItemView;
class QSocketNotifier;
class QTreeWidget;

namespace hemlo {

class TFtp1 : public QWidget {
  Q_OBJECT

 public:
  // `prompts` answers every message and question of the window; null means
  // real dialogs parented to the window.
  explicit TFtp1(Prompts* prompts = nullptr, QWidget* parent = nullptr);
  ~TFtp1() override;

  // ---- what the operations read and call ----
  // The client belongs to the worker while a command runs; the window's
  // thread may use it only while none does.
  ftp::TIdFTP& Client() { return IdFTP1; }
  const ftp::TIdFTP& Client() const { return IdFTP1; }
  transfer::RemoteSession& Session() { return connection_->Session(); }
  // What the operations work through: the SFTP connection when the
  // profile's host is "sftp://...", else the FTP client. Worker side.
  transfer::RemoteFiles& Remote() { return connection_->Files(); }
  // The window's one connection: its clients, worker and running call.
  transfer::Connection& Connection() { return *connection_; }
  // The connect flow 接続 and 保存して公開 go through.
  transfer_ui::ConnectController& Connector() { return *connect_; }
  // Whether the connection (of either protocol) stands.
  bool RemoteConnected() const { return connection_->Connected(); }
  // The SFTP connection's settings while one stands (for the site sync's
  // further connections); nullptr for FTP.
  const sftp::ConnectOptions* SftpOptions() const { return connection_->SftpOptions(); }
  // "host:port" and the account of the connection, for records and titles.
  std::string ServerText() const { return connection_->ServerText(); }
  std::string AccountName() const { return connect_->AccountName(); }
  const transfer::ProfilePanel& Profiles() const { return Profiles_; }
  const transfer::SortState& Sort() const { return Sort_; }
  // Questions and messages on the window's thread.
  Prompts& prompts() { return *prompts_; }
  // The same, for a command on the worker: each call waits for the answer.
  Prompts& WorkerPrompts() { return connection_->WorkerPrompts(); }
  // Queues `fn` for the window's thread (at once when called there).
  void PostToWindow(std::function<void()> fn) { connection_->Post(std::move(fn)); }
  // The window's Escape flag is its connection's stop request.
  bool IdleFlag() const { return connection_->StopRequested(); }
  void SetIdleFlag(bool value) { connection_->SetStopRequested(value); }
  // Status panel 0 (UTF-8).
  void SetStatusText(const std::string& text) { views_.SetStatus(text); }
  QString StatusText() const { return views_.Status(); }
  void RefreshRemoteList() { remote_->Refresh(); }
  void ListRemoteFolder() { remote_->ListFolder(); }  // worker side, inside a command
  void RefreshLocalLists() { local_->RefreshAll(); }
  void RefreshLocalList() { local_->RefreshFiles(); }
  void UncheckSelectAll() { remote_->UncheckSelectAll(); }
  // File n of m is about to travel; m = 0 hides the progress bar.
  void SetFileProgress(int n, int m);
  // Bytes of the current file (total 0 = unknown). Repaints the bar only.
  void SetByteProgress(int64_t done, int64_t total);
  transfer::TransferMode TransferMode() const;
  std::string LocalFolder() const { return local_->Folder(); }
  std::vector<std::string> SelectedLocalNames() const { return local_->SelectedNames(); }
  using RemoteRowView = transfer_ui::RemoteRowView;
  std::vector<RemoteRowView> SelectedRemoteRows() const { return remote_->SelectedRows(); }
  // The remote folder Label5 shows (Shift-JIS).
  const std::string& RemoteFolder() const { return Profiles_.LastRemoteFolder; }
  // UTF-8 local paths of the last desktop drop.
  const std::vector<std::string>& DroppedFiles() const { return DroppedFiles_; }
  // Starts an operation on the worker with the idle flag cleared; when it
  // ends, the window reports what escaped it (a cancelled wait, a lost
  // connection, any other error), sets the flag again and runs `then`.
  // While a client command runs, another is not started: false then.
  bool RunOperation(std::function<void()> op, std::function<void()> then = nullptr) {
    return connection_->RunOperation(std::move(op), std::move(then));
  }
  // Starts one client command (no idle-flag change) the same way.
  bool RunClientCommand(std::function<void()> command, std::function<void()> then = nullptr) {
    return connection_->Run(false, std::move(command), std::move(then));
  }
  bool OperationRunning() const { return call_.Operation(); }
  // True from the start of a client command until the window has taken
  // its end.
  bool ClientBusy() const { return call_.Active(); }
  // Cancels the running command and waits up to `timeout_ms` for the
  // worker; its end is taken without messages. True when nothing runs.
  bool StopCommand(int timeout_ms) { return connection_->Stop(timeout_ms); }
  // The user aborted a wait of the running command (worker side).
  bool WaitCancelled() const { return connection_->CancelFired(); }
  // A stop request was honoured between items: the next wait goes on.
  void ForgetCancelRequest() { connection_->ForgetCancelRequest(); }
  void ShowError(const std::exception& e) { connect_->ShowError(e); }
  const std::string& RenameOldName() const { return remote_->RenameOldName(); }
  bool RenameEditing() const { return remote_->RenameEditing(); }
  bool SetLocalFolder(const QString& folder) { return local_->SetFolder(folder); }
  bool StoreSiteFolder(const std::string& folder) { return profile_->StoreSiteFolder(folder); }
  void StorePublishFolder(const std::string& folder) { profile_->StorePublishFolder(folder); }
  bool ShowStoredProfile(int n) { return profile_->ShowStored(n); }

  // Makes `frame` refuse to close while a client command runs (the wait is
  // cancelled instead, so the frame can close once it has ended).
  void GuardCloseOf(QWidget* frame);
  // Escape in `dialog` (shown over this window while a command waits, such
  // as the permission dialog) cancels the wait like Escape here.
  void CancelWaitsFrom(QWidget* dialog) { cancel_windows_.append(dialog); }

 public slots:
  void Button1Click() { connect_->ConnectShownProfile(); }     // 接続
  void Button2Click() { connect_->DisconnectShownProfile(); }  // 切断
  void Button3Click();                                         // 終了
  void Button4Click() { profile_->Previous(); }                // 前
  void Button5Click() { profile_->Next(); }                    // 次
  void Button6Click() { profile_->Add(); }                     // 追加
  void Button7Click() { profile_->Save(); }                    // 保存
  void Button8Click() { profile_->CancelAdd(); }               // 追加中止
  void Button9Click() { profile_->Delete(); }                  // 削除
  void BitBtn1Click() { remote_->UpFolder(); }
  void ListView1DblClick() { remote_->EnterSelectedFolder(); }
  void CheckBox1Click() { remote_->SelectAllToggled(); }
  void mnuMakeFolderClick() { local_->MakeFolder(); }      // ﾌｫﾙﾀﾞ作成
  void mnuDeleteFolderClick() { local_->DeleteFolder(); }  // ﾌｫﾙﾀﾞ削除
  void mnuRenameFolderClick() { local_->RenameFolder(); }  // ﾌｫﾙﾀﾞ名変更
  void mnuDeleteFilesClick() { local_->DeleteSelectedFiles(); }  // 削除 of the local list

 public:
  void ColumnClick(QAbstractItemView* list, int column) { remote_->ColumnClick(list, column); }
  void BeginRename(int row) { remote_->BeginRename(row); }
  bool EndRename(int row, const QString& new_text) { return remote_->EndRename(row, new_text); }
  void CancelRename() { remote_->CancelRename(); }
  void SortList(QTreeWidget* list) { remote_->SortFileList(list); }
  void SortRemoteList() { remote_->SortRemoteList(); }

 signals:
  // A client command has ended and the window has taken its end.
  void commandFinished();
  void uploadSelectedRequested();      // ▲, and local rows dropped on the remote list
  void downloadSelectedRequested();    // ▼, and remote rows dropped on the local list
  void folderUploadRequested();        // ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ
  void publishChangesRequested();      // ↑変更分を公開
  void undoPublishRequested();         // 前回の公開を取り消す
  void uploadDroppedRequested();       // desktop files dropped on the remote list
  void permissionRequested();          // remote menu パーミション
  void remoteCreateFolderRequested();  // remote menu フォルダ作成
  void remoteDeleteRequested();        // remote menu 削除

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void WireControls();
  void ListenToConnection();
  void Startup();
  void UpdateBusyControls();
  // The connection's command has ended: what escaped it is reported.
  void OnCommandEnded(const transfer::CommandEnd& end);
  void ExitNow();

  // ---- state ----
  std::unique_ptr<Prompts> own_prompts_;
  Prompts* prompts_ = nullptr;
  std::unique_ptr<transfer::Connection> connection_;
  ftp::TIdFTP& IdFTP1;
  transfer::RunningCall& call_;
  transfer::ProfilePanel Profiles_;  // LastRemoteFolder is Label5's bytes
  transfer::SortState Sort_;
  std::vector<std::string> DroppedFiles_;
  QList<QPointer<QWidget>> cancel_windows_;
  QSocketNotifier* wake_notifier_ = nullptr;  // the connection's calls back

  // ---- the window's parts and what drives them ----
  transfer_ui::WindowViews views_;
  std::unique_ptr<transfer_ui::ProfileController> profile_;
  std::unique_ptr<transfer_ui::RemotePaneController> remote_;
  std::unique_ptr<transfer_ui::LocalPaneController> local_;
  std::unique_ptr<transfer_ui::ConnectController> connect_;
};

}  // namespace hemlo
