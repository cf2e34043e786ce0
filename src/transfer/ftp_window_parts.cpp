#include "transfer/ftp_window_parts.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>

#include "text/sjis_bridge.h"
#include "transfer/ftp_window.h"

namespace hemlo::transfer_ui {

QString FromSjis(std::string_view bytes) { return sjis::Decode(bytes); }

std::optional<std::string> ToSjis(const QString& s) {
  sjis::Encoded e = sjis::Encode(s);
  if (!e.ok()) return std::nullopt;
  return std::move(e.bytes);
}

QString NameText(const text::RemoteNames& names, std::string_view wire) {
  const std::u16string t = names.Decode(wire);
  return QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size()));
}

std::optional<std::string> NameBytes(const text::RemoteNames& names, const QString& s) {
  return names.Encode(
      {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size())});
}

namespace {

// Rows from the named other list, or files from the desktop.
bool AcceptsDrop(const QDropEvent* e, const QString& rows_from, bool desktop_files) {
  const auto* source = qobject_cast<const QWidget*>(e->source());
  if (source) return !rows_from.isEmpty() && source->objectName() == rows_from;
  return desktop_files && e->mimeData()->hasUrls();
}

// Takes an accepted drop as a copy (the source list keeps its rows); true
// for rows of the other list, false for desktop files (then in `paths`).
bool TakeDrop(QDropEvent* e, std::vector<std::string>& paths) {
  e->setDropAction(Qt::CopyAction);
  e->accept();
  if (e->source()) return true;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  return false;
}

template <typename View, typename Event>
void TakeDrag(View* view, Event* e) {
  if (!AcceptsDrop(e, view->accept_rows_from, view->accept_desktop_files)) return e->ignore();
  e->setDropAction(Qt::CopyAction);
  e->accept();
}

}  // namespace

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {}

void FileListView::dragEnterEvent(QDragEnterEvent* e) { TakeDrag(this, e); }
void FileListView::dragMoveEvent(QDragMoveEvent* e) { TakeDrag(this, e); }

void FileListView::dropEvent(QDropEvent* e) {
  if (!AcceptsDrop(e, accept_rows_from, accept_desktop_files)) return e->ignore();
  std::vector<std::string> paths;
  if (TakeDrop(e, paths))
    emit rowsDropped();
  else
    emit filesDropped(paths);
}

RemoteListView::RemoteListView(QWidget* parent) : QTableView(parent) {}

void RemoteListView::dragEnterEvent(QDragEnterEvent* e) { TakeDrag(this, e); }
void RemoteListView::dragMoveEvent(QDragMoveEvent* e) { TakeDrag(this, e); }

void RemoteListView::dropEvent(QDropEvent* e) {
  if (!AcceptsDrop(e, accept_rows_from, accept_desktop_files)) return e->ignore();
  std::vector<std::string> paths;
  if (TakeDrop(e, paths))
    emit rowsDropped();
  else
    emit filesDropped(paths);
}

namespace {

class RenameDelegate : public QStyledItemDelegate {
 public:
  RenameDelegate(TFtp1* window, QAbstractItemView* list)
      : QStyledItemDelegate(list), window_(window), list_(list) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    // Renaming while a command runs would change the folder under it.
    if (index.column() != 0 || index.parent().isValid() || window_->ClientBusy()) return nullptr;
    window_->BeginRename(index.row());
    return QStyledItemDelegate::createEditor(parent, option, index);
  }
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) return;
    // The row changes only when the server has taken the name; the command
    // starts once the editor has gone.
    const QPersistentModelIndex row(index);
    const QString text = line->text();
    QMetaObject::invokeMethod(
        window_,
        [w = window_, row, text] {
          if (!row.isValid()) return;  // refreshed meanwhile
          w->BeginRename(row.row());
          w->EndRename(row.row(), text);
        },
        Qt::QueuedConnection);
  }
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
    window_->CancelRename();  // a committed edit begins again when its rename runs
    QStyledItemDelegate::destroyEditor(editor, index);
  }

 private:
  TFtp1* window_;
  QAbstractItemView* list_;
};

}  // namespace

QStyledItemDelegate* MakeRenameDelegate(TFtp1* window, QAbstractItemView* list) {
  return new RenameDelegate(window, list);
}

}  // namespace hemlo::transfer_ui
