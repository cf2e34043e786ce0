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

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {}

bool FileListView::Accepts(const QDropEvent* e) const {
  const auto* source = qobject_cast<const QWidget*>(e->source());
  if (source) return !accept_rows_from.isEmpty() && source->objectName() == accept_rows_from;
  return accept_desktop_files && e->mimeData()->hasUrls();
}

void FileListView::dragEnterEvent(QDragEnterEvent* e) {
  if (!Accepts(e)) return e->ignore();
  e->setDropAction(Qt::CopyAction);
  e->accept();
}

void FileListView::dragMoveEvent(QDragMoveEvent* e) {
  if (!Accepts(e)) return e->ignore();
  e->setDropAction(Qt::CopyAction);
  e->accept();
}

void FileListView::dropEvent(QDropEvent* e) {
  if (!Accepts(e)) return e->ignore();
  // Copy, never move: the source list must keep its rows.
  e->setDropAction(Qt::CopyAction);
  e->accept();
  if (e->source()) {
    emit rowsDropped();
    return;
  }
  std::vector<std::string> paths;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  emit filesDropped(paths);
}

namespace {

class RenameDelegate : public QStyledItemDelegate {
 public:
  RenameDelegate(TFtp1* window, QTreeWidget* list)
      : QStyledItemDelegate(list), window_(window), list_(list) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    // Renaming while a command runs would change the folder under it.
    if (index.column() != 0 || index.parent().isValid() || window_->ClientBusy()) return nullptr;
    window_->BeginRename(list_->topLevelItem(index.row()));
    return QStyledItemDelegate::createEditor(parent, option, index);
  }
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) return;
    // The row changes only when the server has taken the name; the command
    // runs after the editor has gone, since its wait lets events through.
    QTreeWidgetItem* item = list_->topLevelItem(index.row());
    const QString text = line->text();
    QMetaObject::invokeMethod(
        window_,
        [w = window_, list = list_, item, text] {
          if (list->indexOfTopLevelItem(item) < 0) return;  // refreshed meanwhile
          w->BeginRename(item);
          w->EndRename(item, text);
        },
        Qt::QueuedConnection);
  }
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
    window_->CancelRename();  // a committed edit begins again when its rename runs
    QStyledItemDelegate::destroyEditor(editor, index);
  }

 private:
  TFtp1* window_;
  QTreeWidget* list_;
};

}  // namespace

QStyledItemDelegate* MakeRenameDelegate(TFtp1* window, QTreeWidget* list) {
  return new RenameDelegate(window, list);
}

}  // namespace hemlo::transfer_ui
