#pragma once
// Pieces of the Ferrox window shared by its source files.
#include <QString>
#include <QTreeWidget>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QDropEvent;

namespace hemlo::transfer_ui {

// Server and stored bytes for showing: every byte sequence shows, and
// ToSjis gives the same bytes back for an unedited text.
QString FromSjis(std::string_view bytes);
// nullopt when the text holds a character Shift-JIS lacks.
std::optional<std::string> ToSjis(const QString& text);

// A file list that takes rows dragged from one other list (by object name)
// and, optionally, files dropped from the desktop. A drop never moves rows.
class FileListView : public QTreeWidget {
 public:
  explicit FileListView(QWidget* parent = nullptr);

  QString accept_rows_from;
  bool accept_desktop_files = false;
  std::function<void()> on_rows_dropped;
  std::function<void(const std::vector<std::string>& paths)> on_files_dropped;

 protected:
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  bool Accepts(const QDropEvent* e) const;
};

}  // namespace hemlo::transfer_ui
