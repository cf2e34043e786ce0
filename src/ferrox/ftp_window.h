#pragma once
// The transfer tool window "Ferrox": a frame over its parts (the profile
// panel with the connection buttons, the remote pane, the row of transfer
// commands, the local pane, the status line), which are views only. The
// frame owns its connection (clients, session, worker, running call) and
// the profiles, and its handlers join them to the parts. Created once at start-up, hidden; closing hides it. The
// transfer operations (upload, download, folder upload, remote commands) connect to its request
// signals and work through the accessors below.
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
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/prompts.h"
#include "ftp/id_ftp.h"
#include "sftp/sftp_client.h"
#include "remote/connection.h"
#include "remote/ftp_remote_files.h"
#include "remote/sftp_remote_files.h"
#include "remote/keyring_session.h"
#include "transfer/profile_secrets.h"
#include "remote/session_secrets.h"
#include "transfer/profiles.h"
#include "remote/remote_session.h"
#include "remote/secret_store.h"
#include "transfer/sort_rules.h"

class QAbstractItemView;
class QSocketNotifier;
class QTreeWidget;

class QCheckBox;

namespace hemlo {

namespace transfer_ui {
class LocalPane;
class ProfileKeeper;
class PublishProfileFields;
class ProfilePanelWidget;
class RemotePane;
class StatusLine;
class TransferBar;
}  // namespace transfer_ui

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
  transfer::RemoteSession& Session() { return Session_; }
  // What the operations work through: the SFTP connection when the
  // profile's host is "sftp://...", else the FTP client. Worker side.
  transfer::RemoteFiles& Remote() { return connection_->Files(); }
  // The window's one connection: its clients, worker and running call.
  transfer::Connection& Connection() { return *connection_; }
  // Whether the connection (of either protocol) stands.
  bool RemoteConnected() const { return connection_->Connected(); }
  // The SFTP connection's settings while one stands (for the site sync's
  // further connections); nullptr for FTP.
  const sftp::ConnectOptions* SftpOptions() const { return connection_->SftpOptions(); }
  // The SFTP connection's remote file system while one stands (worker
  // side); nullptr for FTP.
  transfer::RemoteFiles* SftpFiles() { return connection_->SftpFiles(); }
  // "host:port" and the account of the connection, for records and titles.
  std::string ServerText() const { return connection_->ServerText(); }
  std::string AccountName() const;
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
  void SetStatusText(const std::string& text);
  QString StatusText() const;
  // Label5 and the remote list from the server, as a command.
  void RefreshRemoteList();
  // The same inside a running command, on the worker: PWD and the listing
  // go out here, the rows reach the list on the window's thread. Client
  // errors propagate.
  void ListRemoteFolder();
  // Re-reads the folder list and the local list.
  void RefreshLocalLists();
  void RefreshLocalList();
  void UncheckSelectAll();
  // File n of m is about to travel; m = 0 hides the progress bar.
  void SetFileProgress(int n, int m);
  // Bytes of the current file (total 0 = unknown). Repaints the bar only.
  void SetByteProgress(int64_t done, int64_t total);
  transfer::TransferMode TransferMode() const;
  // The local folder (UTF-8, no trailing separator except for "/").
  std::string LocalFolder() const;
  // Names of the selected local rows, in list order (UTF-8).
  std::vector<std::string> SelectedLocalNames() const;
  struct RemoteRowView {
    std::string name;  // Shift-JIS, as listed
    bool folder = false;
    bool selected = false;
    std::string permissions;  // the "属性" cell
    std::string wire;         // the name rename and delete send, when not `name`
  };
  // The selected remote rows in list order: only they are copied, so a
  // click over a list of a million rows holds the window for no longer
  // than the selection is long.
  std::vector<RemoteRowView> SelectedRemoteRows() const;
  // The remote folder Label5 shows (Shift-JIS).
  const std::string& RemoteFolder() const { return Profiles_.LastRemoteFolder; }
  // UTF-8 local paths of the last desktop drop.
  const std::vector<std::string>& DroppedFiles() const { return DroppedFiles_; }
  // Starts an operation on the worker with the idle flag cleared; when it
  // ends, the window reports what escaped it (a cancelled wait, a lost
  // connection, any other error), sets the flag again and runs `then`.
  // While a client command runs, another is not started: false then.
  bool RunOperation(std::function<void()> op, std::function<void()> then = nullptr);
  // Starts one client command (no idle-flag change) the same way.
  bool RunClientCommand(std::function<void()> command, std::function<void()> then = nullptr);
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
  // Shows a client error (or any other) in the standard error box.
  void ShowError(const std::exception& e);
  // The in-place rename state.
  const std::string& RenameOldName() const { return RenameOldName_; }
  bool RenameEditing() const { return RenameEditing_; }

  // Moves the folder list (the drive box follows) and refills the local
  // list. False when `folder` is not an existing folder.
  bool SetLocalFolder(const QString& folder);

  // Publishing: the UTF-8 site folder the command was given becomes the
  // shown profile's (written to the file when the profile is stored);
  // false, with a message, when Shift-JIS cannot spell it.
  bool StoreSiteFolder(const std::string& folder);
  // The same for the server's folder (its bytes) the site goes to.
  void StorePublishFolder(const std::string& folder);
  // Shows stored profile `n` while no connection holds the panel.
  bool ShowStoredProfile(int n);

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
  void ColumnClick(QAbstractItemView* list, int column);
  // In-place rename of a remote row: begin remembers the name, end sends
  // RNFR/RNTO when it changed (true then). Once the server has taken the
  // new name the row shows and acts on it; otherwise it keeps its old name.
  void BeginRename(int row);
  bool EndRename(int row, const QString& new_text);
  void CancelRename();
  // Sorts a file list by the shared sort state.
  void SortList(QTreeWidget* list);
  // Sorts the remote list the same way.
  void SortRemoteList();

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
  void BuildLayout();
  void WireControls();
  void Startup();
  void CloseSequence();
  void ShowProfileFields();
  bool TakeProfileFields();
  void OnClientConnected();
  void OnClientDisconnected();
  void ApplyDataMode(transfer::DataConnectionMode mode);
  // `user` and `password` in UTF-8.
  void ConnectSftp(const transfer::HostPort& where, const std::string& user,
                   const std::string& password, std::optional<transfer::SecretKey> password_key);
  // Closes whichever connection stands (the disconnected layout follows).
  void DisconnectRemote();
  // The client's question about a certificate the system refused.
  bool VerifyCertificate(const ftp::TIdCertificateInfo& info);
  void UpdateBusyControls();
  // The connection's command has ended: what escaped it is reported.
  void OnCommandEnded(const transfer::CommandEnd& end);
  void ShowRemoteFolder(const std::string& folder, const text::RemoteNames& names);
  void OnListingStarted(const text::RemoteNames& names, size_t lines);
  void OnListingEnded(const transfer::ListingEnd& end);
  // False when Escape came before the window took the last rows: the
  // list stays partial, and the command's end clears it as stopped.
  bool EndRemoteListing(size_t unread);
  void ReportFailure(const std::exception& e, bool was_connected, bool cancelled);
  void ReportCancelled();
  void ReportConnectionLost();
  void ExitNow();
  void ShowPlain(const QString& text);
  // ---- profile passwords and the keyring (ftp_window_keyring.cpp) ----
  void StartKeyring();
  // The keyring's key of the profile shown (its fields as typed).
  transfer::SecretKey ShownPasswordKey() const;
  void DropOnRemote(const std::vector<std::string>& paths);

  // ---- the window's parts, top to bottom ----
  transfer_ui::ProfilePanelWidget* profile_ = nullptr;        // Panel1 and 接続, 切断, 終了
  transfer_ui::RemotePane* remote_ = nullptr;                 // Label5, BitBtn1, ListView1
  transfer_ui::PublishProfileFields* site_fields_ = nullptr;  // サイトフォルダ, 同時接続数
  transfer_ui::TransferBar* transfer_bar_ = nullptr;  // ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ, 転送ﾓｰﾄﾞ, ▲, ▼, 全選択
  transfer_ui::LocalPane* local_ = nullptr;    // drive box, folder list, ListView2
  transfer_ui::StatusLine* status_ = nullptr;  // StatusBar1

  // ---- state ----
  std::unique_ptr<Prompts> own_prompts_;
  Prompts* prompts_ = nullptr;
  std::unique_ptr<transfer::Connection> connection_;
  ftp::TIdFTP& IdFTP1;
  transfer::RemoteSession& Session_;
  transfer::RunningCall& call_;
  transfer::ProfilePanel Profiles_;  // LastRemoteFolder is Label5's bytes
  // Ferrox.ini and the desktop keyring (asked on a thread of its own).
  std::unique_ptr<transfer_ui::ProfileKeeper> profile_file_;
  transfer::KeyringSession* keyring_ = nullptr;  // the keeper's
  // Shown only where no keyring runs: the password kept in Ferrox.ini.
  QCheckBox* password_in_file_box_ = nullptr;
  transfer::SortState Sort_;
  std::string RenameOldName_;  // the server's bytes; empty when no rename runs
  bool RenameEditing_ = false;
  std::vector<std::string> DroppedFiles_;

  bool connected_ = false;  // as the last connect/disconnect event said
  QList<QPointer<QWidget>> cancel_windows_;

  QSocketNotifier* wake_notifier_ = nullptr;  // the connection's calls back
};

}  // namespace hemlo
