#pragma once
// The Ferrox window's remote part: the remote folder (Label5) with the
// button one folder up (BitBtn1), the remote list (ListView1, a view over
// RemoteListModel) and its menu (PopupMenu1: パーミション, フォルダ作成, 削除).
#include <QWidget>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QToolButton;

namespace hemlo::transfer_ui {

class RemoteListModel;
class RemoteListView;

class RemotePane : public QWidget {
  Q_OBJECT

 public:
  explicit RemotePane(QWidget* parent = nullptr);

  // Selected rows, in list order.
  std::vector<int> SelectedRows() const;
  // Widens the date column to the whole date and time of the first rows.
  void FitDateColumn();
  // The up button and the menu send commands: off while one runs.
  void SetCommandsEnabled(bool enabled);
  // The sort indicator, or none (the listing's own order).
  void ShowSortIndicator(int column, bool descending);
  void HideSortIndicator();

  QLabel* folder_label = nullptr;    // Label5
  QToolButton* up_button = nullptr;  // BitBtn1
  RemoteListView* list = nullptr;    // ListView1
  RemoteListModel* model = nullptr;
  QMenu* menu = nullptr;                    // PopupMenu1
  QAction* permission_action = nullptr;     // パーミション
  QAction* create_folder_action = nullptr;  // フォルダ作成
  QAction* delete_action = nullptr;         // 削除
};

}  // namespace hemlo::transfer_ui
