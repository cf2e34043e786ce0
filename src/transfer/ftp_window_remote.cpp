// The Ferrox window's remote pane: the listing, walking folders, in-place
// rename, sorting both lists, "全選択" and files dropped from the desktop.
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTableView>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

#include "transfer/ftp_window.h"
#include "transfer/ftp_window_parts.h"
#include "transfer/remote_list_model.h"

namespace hemlo {

using transfer_ui::NameBytes;
using transfer_ui::NameText;

void TFtp1::RefreshRemoteList() {
  RunClientCommand([this] { ListRemoteFolder(); });
}

namespace {
// Rows per batch from the worker: parsed and shown in a few milliseconds
// each, so the window answers and Escape is met between batches.
constexpr size_t kListingBatchLines = 10'000;
}  // namespace

void TFtp1::ListRemoteFolder() {
  const std::string folder = IdFTP1.CurrentDirectory();
  PostToWindow([this, folder, names = Session_.Names] { ShowRemoteFolder(folder, names); });
  IdFTP1.ListEntries({}, /*hidden=*/true, /*probe=*/false);
  PostToWindow([this, names = Session_.Names, lines = IdFTP1.ListingText().size()] {
    RemoteModel_->SetNames(names);
    RemoteModel_->Clear();
    RemoteModel_->Reserve(lines);
    listing_incomplete_ = true;
    // Listing order until the next header click.
    ListView1->horizontalHeader()->setSortIndicatorShown(false);
  });
  // The names may turn out to be UTF-8; the rows are shown by the
  // encoding settled once the whole listing has been read.
  transfer::Utf8NameVote vote;
  const size_t unread = transfer::ReadListingInBatches(
      IdFTP1, kListingBatchLines, [this, &vote](std::vector<transfer::RemoteListEntry>&& batch) {
        for (const auto& e : batch) vote.Add(e.FileName);
        PostToWindow([this, batch = std::move(batch)]() mutable {
          // A stopped listing's last batches are not worth showing.
          if (!stop_requested_) RemoteModel_->Append(std::move(batch));
        });
      });
  Session_.NoteListedNames(vote);
  IdFTP1.ReleaseListing();  // the rows have all the window needs
  PostToWindow([this, folder, unread, names = Session_.Names] {
    ShowRemoteFolder(folder, names);
    RemoteModel_->SetNames(names);
    EndRemoteListing(unread);
  });
}

void TFtp1::ShowRemoteFolder(const std::string& folder, const text::RemoteNames& names) {
  Profiles_.LastRemoteFolder = folder;
  Label5->setText(NameText(names, folder));
}

void TFtp1::EndRemoteListing(size_t unread) {
  listing_incomplete_ = false;
  if (unread > 0) SetStatusText(transfer::UnreadLinesText(unread));
  // The date column shows the whole date and time (all dates are as wide).
  int date_width = ListView1->columnWidth(1);
  const int n = std::min(RemoteModel_->Count(), 1000);
  for (int row = 0; row < n; ++row)
    date_width =
        qMax(date_width,
             ListView1->fontMetrics().horizontalAdvance(RemoteModel_->CellText(row, 1)) + 12);
  ListView1->setColumnWidth(1, date_width);
}

std::vector<TFtp1::RemoteRowView> TFtp1::RemoteRows() const {
  std::vector<RemoteRowView> rows;
  rows.reserve(static_cast<size_t>(RemoteModel_->Count()));
  std::vector<bool> selected(static_cast<size_t>(RemoteModel_->Count()));
  for (const QModelIndex& i : ListView1->selectionModel()->selectedRows())
    selected[static_cast<size_t>(i.row())] = true;
  for (int row = 0; row < RemoteModel_->Count(); ++row) {
    const transfer::RemoteListEntry& e = RemoteModel_->Entry(row);
    rows.push_back({e.FileName, e.Folder, selected[static_cast<size_t>(row)],
                    RemoteModel_->CellText(row, 3).toStdString()});
  }
  return rows;
}

void TFtp1::ListView1DblClick() {
  // A running command works in the current folder; it must not move.
  if (ClientBusy()) return;
  int first = -1;
  for (const QModelIndex& i : ListView1->selectionModel()->selectedRows())
    if (first < 0 || i.row() < first) first = i.row();
  if (first < 0 || !RemoteModel_->Entry(first).Folder) return;
  const std::string name = RemoteModel_->Entry(first).FileName;
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

void TFtp1::BeginRename(int row) {
  if (row < 0 || row >= RemoteModel_->Count()) return;
  RenameOldName_ = RemoteModel_->Entry(row).FileName;
  RenameEditing_ = true;
}

bool TFtp1::EndRename(int row, const QString& new_text) {
  const std::string old_name = RenameOldName_;
  CancelRename();
  const text::RemoteNames& names = Session_.Names;
  if (row < 0 || row >= RemoteModel_->Count() || old_name.empty() ||
      new_text == NameText(names, old_name))
    return false;
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
        for (int r = 0; r < RemoteModel_->Count(); ++r) {
          if (RemoteModel_->Entry(r).FileName != old_name) continue;
          RemoteModel_->Rename(r, new_name);
          return;
        }
      });
}

void TFtp1::CancelRename() {
  RenameOldName_.clear();
  RenameEditing_ = false;
}

void TFtp1::ColumnClick(QAbstractItemView* list, int column) {
  Sort_.HeaderClick(column);
  if (list == ListView1)
    SortRemoteList();
  else if (auto* local = qobject_cast<QTreeWidget*>(list))
    SortList(local);
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

void TFtp1::SortRemoteList() {
  const int column = Sort_.SortColumn;
  const int n = RemoteModel_->Count();
  if (column < 0 || column >= RemoteModel_->columnCount()) return;  // no such cell: order kept
  // One key per row, made once: the rules compare the cell texts.
  std::vector<int> order(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
  const int sign = Sort_.SortDirection < 0 ? -1 : 1;
  if (column == 0) {
    std::vector<QString> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) keys[static_cast<size_t>(i)] = RemoteModel_->CellText(i, 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return sign * keys[static_cast<size_t>(a)].localeAwareCompare(keys[static_cast<size_t>(b)]) <
             0;
    });
  } else {
    std::vector<std::string> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
      keys[static_cast<size_t>(i)] = RemoteModel_->CellText(i, column).toStdString();
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return sign * transfer::CompareCells(keys[static_cast<size_t>(a)],
                                           keys[static_cast<size_t>(b)]) <
             0;
    });
  }
  RemoteModel_->Reorder(order);
  ListView1->horizontalHeader()->setSortIndicatorShown(true);
  ListView1->horizontalHeader()->setSortIndicator(
      column, Sort_.SortDirection < 0 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TFtp1::UncheckSelectAll() { CheckBox1->setChecked(false); }

void TFtp1::CheckBox1Click() {
  QAbstractItemView* target = ListView1->selectionModel()->hasSelection()
                                  ? static_cast<QAbstractItemView*>(ListView1)
                                  : ListView2;
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
