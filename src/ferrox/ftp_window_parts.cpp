#include "ferrox/ftp_window_parts.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QUrl>
#include <algorithm>

#include "text/sjis_bridge.h"
#include "transfer/sort_rules.h"

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

QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

QAction* AddMenuItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(QString::fromLatin1(name));
  return a;
}

void SetColour(QWidget* w, QPalette::ColorRole role, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(role, c);
  w->setPalette(p);
}

void SortFileList(QTreeWidget* list, const transfer::SortState& sort) {
  struct Row {
    std::vector<std::string> cells;
    QTreeWidgetItem* item;
    bool selected;
  };
  std::vector<Row> rows;
  const QTreeWidgetItem* current = list->currentItem();
  while (list->topLevelItemCount() > 0) {
    const bool selected = list->topLevelItem(0)->isSelected();
    QTreeWidgetItem* item = list->takeTopLevelItem(0);
    Row r{{}, item, selected};
    for (int c = 0; c < list->columnCount(); ++c) r.cells.push_back(item->text(c).toStdString());
    rows.push_back(std::move(r));
  }
  const transfer::NameCollator names = [](const std::string& a, const std::string& b) {
    return QString::fromStdString(a).localeAwareCompare(QString::fromStdString(b));
  };
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    return transfer::CompareRows(sort, a.cells, b.cells, names) < 0;
  });
  QList<QTreeWidgetItem*> items;
  for (const auto& r : rows) items.append(r.item);
  list->addTopLevelItems(items);
  for (const auto& r : rows) {
    r.item->setSelected(r.selected);
    if (r.item == current) list->setCurrentItem(r.item, 0, QItemSelectionModel::NoUpdate);
  }
  if (sort.SortColumn < list->columnCount()) {
    list->header()->setSortIndicatorShown(true);
    list->header()->setSortIndicator(
        sort.SortColumn, sort.SortDirection < 0 ? Qt::DescendingOrder : Qt::AscendingOrder);
  }
}

namespace {

// Rows from the named other list, or files from the desktop.
bool AcceptsDrop(const QDropEvent* e, const QString& rows_from, bool desktop_files) {
  const auto* source = qobject_cast<const QWidget*>(e->source());
  if (source) return !rows_from.isEmpty() && source->objectName() == rows_from;
  return desktop_files && e->mimeData()->hasUrls();
}

}  // namespace

bool TakeListDrag(QDropEvent* e, const QString& rows_from, bool desktop_files) {
  if (!AcceptsDrop(e, rows_from, desktop_files)) {
    e->ignore();
    return false;
  }
  // A copy: the source list keeps its rows.
  e->setDropAction(Qt::CopyAction);
  e->accept();
  return true;
}

std::optional<bool> TakeListDrop(QDropEvent* e, const QString& rows_from, bool desktop_files,
                                 std::vector<std::string>& paths) {
  if (!TakeListDrag(e, rows_from, desktop_files)) return std::nullopt;
  if (e->source()) return true;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  return false;
}

namespace {

class RenameDelegate : public QStyledItemDelegate {
 public:
  RenameDelegate(QObject* window, RenameCalls calls, QAbstractItemView* list)
      : QStyledItemDelegate(list), window_(window), calls_(std::move(calls)) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    // Renaming while a command runs would change the folder under it.
    if (index.column() != 0 || index.parent().isValid() || calls_.busy()) return nullptr;
    calls_.begin(index.row());
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
        [calls = calls_, row, text] {
          if (!row.isValid()) return;  // refreshed meanwhile
          calls.begin(row.row());
          calls.end(row.row(), text);
        },
        Qt::QueuedConnection);
  }
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
    calls_.cancel();  // a committed edit begins again when its rename runs
    QStyledItemDelegate::destroyEditor(editor, index);
  }

 private:
  QObject* window_;
  RenameCalls calls_;
};

}  // namespace

QStyledItemDelegate* MakeRenameDelegate(QObject* window, RenameCalls calls,
                                        QAbstractItemView* list) {
  return new RenameDelegate(window, std::move(calls), list);
}

}  // namespace hemlo::transfer_ui
