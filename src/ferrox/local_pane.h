#pragma once
// The Ferrox window's local part: the drive box (mount points,
// DriveComboBox1), the folder list (DirectoryListBox1, menu PopupMenu2)
// and the local file list (ListView2, menu PopupMenu3). It keeps the local
// folder; the menus' commands are the window's.
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QListWidget;
class QMenu;

namespace hemlo::transfer {
struct SortState;
}

namespace hemlo::transfer_ui {

class FileListView;

class LocalPane : public QWidget {
  Q_OBJECT

 public:
  // The file list is sorted by `sort`, which the window owns.
  LocalPane(const transfer::SortState& sort, QWidget* parent = nullptr);

  // The local folder (no trailing separator except for "/").
  const QString& Folder() const { return folder_; }
  // Moves to `folder` (the drive box follows) and refills the lists.
  // False when `folder` is not an existing folder.
  bool SetFolder(const QString& folder);
  // Re-reads the drive box, the folder list and the file list.
  void RefreshAll();
  // Re-reads the file list.
  void RefreshFiles();
  // Names of the selected files, in list order (UTF-8).
  std::vector<std::string> SelectedNames() const;

  QComboBox* drive_box = nullptr;           // DriveComboBox1
  QListWidget* folder_list = nullptr;       // DirectoryListBox1
  FileListView* file_list = nullptr;        // ListView2
  QMenu* folder_menu = nullptr;             // PopupMenu2
  QAction* make_folder_action = nullptr;    // ﾌｫﾙﾀﾞ作成
  QAction* delete_folder_action = nullptr;  // ﾌｫﾙﾀﾞ削除
  QAction* rename_folder_action = nullptr;  // ﾌｫﾙﾀﾞ名変更
  QMenu* file_menu = nullptr;               // PopupMenu3
  QAction* delete_files_action = nullptr;   // 削除

 private:
  void FillDriveBox();
  void FillFolderList();

  const transfer::SortState& sort_;
  QString folder_;
};

}  // namespace hemlo::transfer_ui
