#pragma once
// The transfer tool window "Ferrox": connection profiles, the connection and
// the remote list, the local folder and its file list, the status bar.
// Created once at start-up, hidden; closing hides it. The transfer
// operations (upload, download, folder upload, remote commands) are wired
// in from outside through the On* hooks and the accessors below.
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

namespace hemlo {

class TFtp1 : public QWidget {
  Q_OBJECT

 public:
  // `prompts` answers every message and question of the window; null means
  // real dialogs parented to the window.
  explicit TFtp1(Prompts* prompts = nullptr, QWidget* parent = nullptr);
  ~TFtp1() override;

  // ---- controls (component names) ----
  QFrame* Panel1 = nullptr;  // "接続先情報"
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* LblCount = nullptr;
  QPushButton* Button1 = nullptr;  // 接続
  QPushButton* Button2 = nullptr;  // 切断
  QPushButton* Button3 = nullptr;  // 終了
  QPushButton* Button4 = nullptr;  // 前
  QPushButton* Button5 = nullptr;  // 次
  QPushButton* Button6 = nullptr;  // 追加
  QPushButton* Button7 = nullptr;  // 保存
  QPushButton* Button8 = nullptr;  // 追加中止
  QPushButton* Button9 = nullptr;  // 削除
  QToolButton* BitBtn1 = nullptr;  // up one remote folder
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
  transfer::RemoteSession Session{IdFTP1};
  transfer::ProfilePanel Profiles;  // LastRemoteFolder is Label5's bytes
  transfer::SortState Sort;
  std::string RenameOldName;  // Shift-JIS; empty when no rename runs
  bool RenameEditing = false;
  std::vector<std::string> DroppedFiles;  // UTF-8 local paths of the last desktop drop

  // ---- hooks of the transfer operations (nothing happens while unset) ----
  std::function<void()> OnUploadSelected;    // ▲, and local rows dropped on the remote list
  std::function<void()> OnDownloadSelected;  // ▼, and remote rows dropped on the local list
  std::function<void()> OnFolderUpload;      // ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ
  std::function<void()> OnUploadDropped;     // desktop files dropped on the remote list (DroppedFiles)
  std::function<void()> OnPermission;        // remote menu パーミション
  std::function<void()> OnRemoteCreateFolder;  // remote menu フォルダ作成
  std::function<void()> OnRemoteDelete;        // remote menu 削除

  // ---- what the operations read and call ----
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
  const std::string& RemoteFolder() const { return Profiles.LastRemoteFolder; }
  // Runs an operation with the idle flag cleared, sets it again on every
  // way out and shows an error that escapes it. While one runs (its events
  // let clicks through), another is not started: false then.
  bool RunOperation(const std::function<void()>& op);
  bool OperationRunning() const { return operation_running_; }
  // Shows a client error (or any other) in the standard error box.
  void ShowError(const std::exception& e);

  // Moves the folder list (the drive box follows) and refills the local
  // list. False when `folder` is not an existing folder. For the frame's
  // transfer command: `set_ftp_folder = [ftp](const QString& f) { ftp->SetLocalFolder(f); }`.
  bool SetLocalFolder(const QString& folder);

  // ---- handlers ----
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
  void ColumnClick(QTreeWidget* list, int column);
  void CheckBox1Click();
  void mnuMakeFolderClick();    // ﾌｫﾙﾀﾞ作成
  void mnuDeleteFolderClick();  // ﾌｫﾙﾀﾞ削除
  void mnuRenameFolderClick();  // ﾌｫﾙﾀﾞ名変更
  void mnuDeleteFilesClick();   // 削除 of the local list
  // In-place rename of a remote row: begin remembers the name, end sends
  // RNFR/RNTO when it changed. Returns false when the typed name was not
  // sent and the row must keep its old text.
  void BeginRename(QTreeWidgetItem* item);
  bool EndRename(QTreeWidgetItem* item, const QString& new_text);
  void CancelRename();

  // Sorts a list by the shared sort state.
  void SortList(QTreeWidget* list);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  void BuildLocalPane(QWidget* host);
  void Startup();
  void CloseSequence();
  void ShowProfileFields();
  bool TakeProfileFields();
  void OnClientConnected();
  void OnClientDisconnected();
  void SetProfileControlsEnabled(bool enabled);
  void FillFolderList();
  void FillDriveBox();
  void ShowPlain(const QString& text);
  void DropOnRemote(const std::vector<std::string>& paths);

  std::unique_ptr<Prompts> own_prompts_;
  Prompts* prompts_ = nullptr;
  bool idle_flag_ = true;
  bool operation_running_ = false;
  QString local_folder_;
};

}  // namespace hemlo
