// The Ferrox window's remote pane: the listing, walking folders, in-place
// rename, sorting both lists, "全選択" and files dropped from the desktop.
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "transfer/ftp_window.h"
#include "transfer/ftp_window_parts.h"

namespace hemlo {

using transfer_ui::FromSjis;
using transfer_ui::kFolderRole;
using transfer_ui::kNameRole;
using transfer_ui::NameBytes;
using transfer_ui::NameText;

void TFtp1::RefreshRemoteList() {
  RunClientCommand([this] { ListRemoteFolder(); });
}

void TFtp1::ListRemoteFolder() {
  std::string folder = IdFTP1.CurrentDirectory();
  // The session's listing may find the names to be UTF-8 (before the
  // window shows them).
  const ftp::TIdFTPListItems& listing = Session_.ListEntries();
  auto rows = transfer::RowsOfListing(listing);
  const size_t unread = listing.UnparsedLines();
  PostToWindow([this, folder = std::move(folder), rows = std::move(rows), unread]() mutable {
    ShowRemoteListing(folder, std::move(rows), unread);
  });
}

void TFtp1::ShowRemoteListing(const std::string& folder, std::vector<transfer::RemoteEntry> rows,
                              size_t unread) {
  Profiles_.LastRemoteFolder = folder;
  Label5->setText(NameText(Session_.Names, folder));
  if (unread > 0) SetStatusText(transfer::UnreadLinesText(unread));
  ListView1->clear();
  ListView1->setUpdatesEnabled(false);
  const QIcon folder_icon = style()->standardIcon(QStyle::SP_DirIcon);
  const QIcon file_icon = style()->standardIcon(QStyle::SP_FileIcon);
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows.size()));
  for (const auto& r : rows) {
    auto* item = new QTreeWidgetItem(
        {NameText(Session_.Names, r.FileName), QString::fromStdString(r.DateText),
         QString::fromStdString(r.SizeText), FromSjis(r.PermissionText)});
    item->setData(0, kNameRole, QByteArray::fromStdString(r.FileName));
    item->setData(0, kFolderRole, r.Folder);
    item->setIcon(0, r.Folder ? folder_icon : file_icon);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    items.append(item);
  }
  ListView1->addTopLevelItems(items);
  // The date column shows the whole date and time.
  int date_width = ListView1->columnWidth(1);
  for (const QTreeWidgetItem* item : items)
    date_width = qMax(date_width, ListView1->fontMetrics().horizontalAdvance(item->text(1)) + 12);
  ListView1->setColumnWidth(1, date_width);
  // Listing order until the next header click.
  ListView1->header()->setSortIndicatorShown(false);
  ListView1->setUpdatesEnabled(true);
}

std::vector<TFtp1::RemoteRowView> TFtp1::RemoteRows() const {
  std::vector<RemoteRowView> rows;
  for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = ListView1->topLevelItem(i);
    rows.push_back({item->data(0, kNameRole).toByteArray().toStdString(),
                    item->data(0, kFolderRole).toBool(), item->isSelected(),
                    item->text(3).toStdString()});
  }
  return rows;
}

void TFtp1::ListView1DblClick() {
  // A running command works in the current folder; it must not move.
  if (ClientBusy()) return;
  const QTreeWidgetItem* first = nullptr;
  for (int i = 0; i < ListView1->topLevelItemCount() && !first; ++i)
    if (ListView1->topLevelItem(i)->isSelected()) first = ListView1->topLevelItem(i);
  if (!first || !first->data(0, kFolderRole).toBool()) return;
  const std::string name = first->data(0, kNameRole).toByteArray().toStdString();
  RunClientCommand([this, name] {
    Session_.Enter(name);
    // Before the refresh, which may count unreadable lines.
    PostToWindow([this] { SetStatusText(""); });
    ListRemoteFolder();
  });
}

void TFtp1::BitBtn1Click() {
  if (ClientBusy()) return;
  RunClientCommand([this, shown = Profiles_.LastRemoteFolder] {
    if (!Session_.Up(shown)) return;
    ListRemoteFolder();  // Label5 follows with the listing
  });
}

void TFtp1::BeginRename(QTreeWidgetItem* item) {
  if (!item) return;
  RenameOldName_ = item->data(0, kNameRole).toByteArray().toStdString();
  RenameEditing_ = true;
}

bool TFtp1::EndRename(QTreeWidgetItem* item, const QString& new_text) {
  const std::string old_name = RenameOldName_;
  CancelRename();
  const text::RemoteNames& names = Session_.Names;
  if (!item || old_name.empty() || new_text == NameText(names, old_name)) return false;
  const auto new_name = NameBytes(names, new_text);
  if (!new_name || new_name->empty()) {
    ShowPlain(QStringLiteral("「%1」は%2で表せないため名前を変更できません")
                  .arg(new_text, QString::fromLatin1(names.EncodingName())));
    return false;
  }
  // The row follows the server: the new name once it took it, the old one
  // (never the name typed) after a refusal.
  auto renamed = std::make_shared<bool>(false);
  return RunClientCommand(
      [this, old_name, new_name = *new_name, renamed] {
        IdFTP1.RenameFile(old_name, new_name);
        *renamed = true;
      },
      [this, old_name, new_name = *new_name, renamed] {
        if (!*renamed) return;
        for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
          QTreeWidgetItem* row = ListView1->topLevelItem(i);
          if (row->data(0, kNameRole).toByteArray().toStdString() != old_name) continue;
          row->setData(0, kNameRole, QByteArray::fromStdString(new_name));
          row->setText(0, NameText(Session_.Names, new_name));
          return;
        }
      });
}

void TFtp1::CancelRename() {
  RenameOldName_.clear();
  RenameEditing_ = false;
}

void TFtp1::ColumnClick(QTreeWidget* list, int column) {
  Sort_.HeaderClick(column);
  SortList(list);
}

void TFtp1::SortList(QTreeWidget* list) {
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
    return transfer::CompareRows(Sort_, a.cells, b.cells, names) < 0;
  });
  QList<QTreeWidgetItem*> items;
  for (const auto& r : rows) items.append(r.item);
  list->addTopLevelItems(items);
  for (const auto& r : rows) {
    r.item->setSelected(r.selected);
    if (r.item == current) list->setCurrentItem(r.item, 0, QItemSelectionModel::NoUpdate);
  }
  if (Sort_.SortColumn < list->columnCount()) {
    list->header()->setSortIndicatorShown(true);
    list->header()->setSortIndicator(
        Sort_.SortColumn, Sort_.SortDirection < 0 ? Qt::DescendingOrder : Qt::AscendingOrder);
  }
}

void TFtp1::UncheckSelectAll() { CheckBox1->setChecked(false); }

void TFtp1::CheckBox1Click() {
  QTreeWidget* target = ListView1->selectedItems().isEmpty() ? ListView2 : ListView1;
  if (CheckBox1->isChecked())
    target->selectAll();
  else
    target->clearSelection();
  target->setFocus();
}

void TFtp1::DropOnRemote(const std::vector<std::string>& paths) {
  DroppedFiles_ = paths;
  emit uploadDroppedRequested();
}

}  // namespace hemlo
