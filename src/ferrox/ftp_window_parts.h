#pragma once
// Pieces of the Ferrox window shared by its source files.
#include <QDragEnterEvent>
#include <QString>
#include <QTableView>
#include <QTreeWidget>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/remote_names.h"

class QAction;
class QMenu;
class QPushButton;
class QStyledItemDelegate;

namespace hemlo {
namespace transfer {
struct SortState;
}
}  // namespace hemlo

namespace hemlo::transfer_ui {

// Server and stored bytes for showing: every byte sequence shows, and
// ToSjis gives the same bytes back for an unedited text.
QString FromSjis(std::string_view bytes);
// nullopt when the text holds a character Shift-JIS lacks.
std::optional<std::string> ToSjis(const QString& text);
// The same for remote names in the connection's encoding.
QString NameText(const text::RemoteNames& names, std::string_view wire);
std::optional<std::string> NameBytes(const text::RemoteNames& names, const QString& text);

// Texts of the window (UTF-8).
inline constexpr const char* kStopCaption = "中断";
inline constexpr const char* kStopText = "中断しました！！";
inline constexpr const char* kCancelledConnected = "中断しました（接続はそのまま使えます）";
inline constexpr const char* kCancelledClosed = "中断しました（接続を閉じました）";
inline constexpr const char* kConnectionLost = "サーバとの接続が切れました";

// Building blocks of the window's parts.
QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent);
QAction* AddMenuItem(QMenu* menu, const char* name, const QString& caption);
void SetColour(QWidget* w, QPalette::ColorRole role, const QColor& c);
inline const QColor kLime(0x00, 0xFF, 0x00);
inline const QColor kMaroon(0x80, 0x00, 0x00);

// Sorts a file list by the window's sort state (shared by both lists),
// keeping its selection and current row.
void SortFileList(QTreeWidget* list, const transfer::SortState& sort);

// Item data of a remote row.
inline constexpr int kNameRole = Qt::UserRole;        // the server's bytes
inline constexpr int kFolderRole = Qt::UserRole + 1;  // image 0 (folder) or 1

// What the two lists do with a drag over them (a drop never moves rows):
// rows from the named other list, or desktop files where accepted, are
// taken as copies; anything else is ignored.
bool TakeListDrag(QDropEvent* e, const QString& rows_from, bool desktop_files);
// An accepted drop: true for rows of the other list; false for desktop
// files (their local paths then in `paths`). nullopt: ignored.
std::optional<bool> TakeListDrop(QDropEvent* e, const QString& rows_from, bool desktop_files,
                                 std::vector<std::string>& paths);

// A list view of type View that takes rows dragged from one other list (by
// object name) and, optionally, files dropped from the desktop, and says so
// through RowsDropped and FilesDropped.
template <typename View>
class DropTargetList : public View {
 public:
  using View::View;

  QString accept_rows_from;
  bool accept_desktop_files = false;

 protected:
  virtual void RowsDropped() = 0;
  virtual void FilesDropped(const std::vector<std::string>& paths) = 0;

  void dragEnterEvent(QDragEnterEvent* e) override {
    TakeListDrag(e, accept_rows_from, accept_desktop_files);
  }
  void dragMoveEvent(QDragMoveEvent* e) override {
    TakeListDrag(e, accept_rows_from, accept_desktop_files);
  }
  void dropEvent(QDropEvent* e) override {
    std::vector<std::string> paths;
    const auto rows = TakeListDrop(e, accept_rows_from, accept_desktop_files, paths);
    if (!rows) return;
    if (*rows)
      RowsDropped();
    else
      FilesDropped(paths);
  }
};

// The local list.
class FileListView : public DropTargetList<QTreeWidget> {
  Q_OBJECT

 public:
  explicit FileListView(QWidget* parent = nullptr) : DropTargetList(parent) {}

 signals:
  void rowsDropped();
  void filesDropped(const std::vector<std::string>& paths);

 protected:
  void RowsDropped() override { emit rowsDropped(); }
  void FilesDropped(const std::vector<std::string>& paths) override { emit filesDropped(paths); }
};

// The remote list: the same drops over a model of any length.
class RemoteListView : public DropTargetList<QTableView> {
  Q_OBJECT

 public:
  explicit RemoteListView(QWidget* parent = nullptr) : DropTargetList(parent) {}

 signals:
  void rowsDropped();
  void filesDropped(const std::vector<std::string>& paths);

 protected:
  void RowsDropped() override { emit rowsDropped(); }
  void FilesDropped(const std::vector<std::string>& paths) override { emit filesDropped(paths); }
};

// The remote list's in-place rename: remembers the old name when an edit
// begins and hands the typed name to the window when it ends. `busy` keeps
// an edit from starting while a command runs; `end` is called on
// `window`'s thread once the editor has gone.
struct RenameCalls {
  std::function<bool()> busy;
  std::function<void(int row)> begin;
  std::function<void(int row, const QString& text)> end;
  std::function<void()> cancel;
};
QStyledItemDelegate* MakeRenameDelegate(QObject* window, RenameCalls calls,
                                        QAbstractItemView* list);

}  // namespace hemlo::transfer_ui
