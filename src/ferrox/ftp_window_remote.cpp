// The Ferrox window's remote pane: the listing, walking folders, in-place
// rename, sorting both lists, "全選択" and files dropped from the desktop.
#include <QCheckBox>
#include <QLabel>
#include <QTableView>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/local_pane.h"
#include "ferrox/remote_list_model.h"
#include "ferrox/remote_pane.h"
#include "ferrox/transfer_bar.h"

namespace hemlo {

namespace {

// A listing cut short at its bounds: the rows shown are not all there are.
std::string ListingCappedText(size_t shown) {
  return "フォルダの一覧が大きすぎるため、最初の " + std::to_string(shown) +
         " 件だけを表示しています";
}

}  // namespace

using transfer_ui::NameBytes;
using transfer_ui::NameText;

void TFtp1::RefreshRemoteList() {
  RunClientCommand([this] { ListRemoteFolder(); });
}

void TFtp1::ListRemoteFolder() {
  connection_->ListFolder(transfer_ui::RemoteListModel::kBatchRows);
}

void TFtp1::OnListingStarted(const text::RemoteNames& names, size_t lines) {
  transfer_ui::RemoteListModel* model = remote_->model;
  model->SetNames(names);
  model->Clear();
  model->Reserve(lines);
  call_.ListingStarted();
  // Listing order until the next header click.
  remote_->HideSortIndicator();
}

void TFtp1::OnListingEnded(const transfer::ListingEnd& end) {
  if (end.relabel) {
    ShowRemoteFolder(end.folder, end.names);
    remote_->model->SetNames(end.names);
  }
  if (EndRemoteListing(end.unread) && !end.whole) SetStatusText(ListingCappedText(end.listed));
}

void TFtp1::ShowRemoteFolder(const std::string& folder, const text::RemoteNames& names) {
  Profiles_.LastRemoteFolder = folder;
  remote_->folder_label->setText(NameText(names, folder));
}

bool TFtp1::EndRemoteListing(size_t unread) {
  // The worker read the whole folder, but batches that arrived after
  // Escape were dropped: what is shown is not the folder.
  if (call_.StopAsked()) return false;
  call_.ListingEnded();
  if (unread > 0) SetStatusText(transfer::UnreadLinesText(unread));
  remote_->FitDateColumn();
  return true;
}

std::vector<TFtp1::RemoteRowView> TFtp1::SelectedRemoteRows() const {
  const transfer_ui::RemoteListModel& model = *remote_->model;
  std::vector<RemoteRowView> rows;
  for (int row : remote_->SelectedRows()) {
    const transfer::RemoteListEntry& e = model.Entry(row);
    rows.push_back({std::string(e.ShownName()), e.Folder, true,
                    model.CellText(row, 3).toStdString(),
                    e.ShownLength ? e.FileName : std::string()});
  }
  return rows;
}

void TFtp1::ListView1DblClick() {
  // A running command works in the current folder; it must not move.
  if (ClientBusy()) return;
  const std::vector<int> selected = remote_->SelectedRows();
  if (selected.empty() || !remote_->model->Entry(selected.front()).Folder) return;
  // A folder is entered by the name it is shown by.
  const std::string name(remote_->model->Entry(selected.front()).ShownName());
  RunClientCommand([this, name] {
    connection_->EnterFolder(name);
    // Before the refresh, which may count unreadable lines.
    PostToWindow([this] { SetStatusText(""); });
    ListRemoteFolder();
  });
}

void TFtp1::BitBtn1Click() {
  if (ClientBusy()) return;
  RunClientCommand([this, shown = Profiles_.LastRemoteFolder] {
    if (!connection_->UpFolder(shown)) return;
    ListRemoteFolder();  // Label5 follows with the listing
  });
}

void TFtp1::BeginRename(int row) {
  if (row < 0 || row >= remote_->model->Count()) return;
  RenameOldName_ = remote_->model->Entry(row).FileName;
  RenameEditing_ = true;
}

bool TFtp1::EndRename(int row, const QString& new_text) {
  const std::string old_name = RenameOldName_;
  CancelRename();
  const text::RemoteNames& names = Session_.Names;
  if (row < 0 || row >= remote_->model->Count() || old_name.empty()) return false;
  // The user edits the shown name; the server's part after it (a VMS
  // folder's ".DIR;1") goes with the new name.
  const transfer::RemoteListEntry& entry = remote_->model->Entry(row);
  const std::string tail = entry.FileName == old_name && entry.ShownLength != 0
                               ? old_name.substr(entry.ShownLength)
                               : std::string();
  if (new_text == NameText(names, old_name.substr(0, old_name.size() - tail.size()))) return false;
  auto new_name = NameBytes(names, new_text);
  if (!new_name || new_name->empty()) {
    ShowPlain(QStringLiteral("「%1」は%2で表せないため名前を変更できません")
                  .arg(new_text, QString::fromLatin1(names.EncodingName())));
    return false;
  }
  *new_name += tail;
  // The row follows the server: the new name once it took it, the old one
  // (never the name typed) after a refusal.
  auto renamed = std::make_shared<bool>(false);
  return RunClientCommand(
      [this, old_name, new_name = *new_name, renamed] {
        Remote().RenameEntry(old_name, new_name);
        *renamed = true;
      },
      [this, old_name, new_name = *new_name, renamed] {
        if (!*renamed) return;
        for (int r = 0; r < remote_->model->Count(); ++r) {
          if (remote_->model->Entry(r).FileName != old_name) continue;
          remote_->model->Rename(r, new_name);
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
  if (list == remote_->list)
    SortRemoteList();
  else if (auto* local = qobject_cast<QTreeWidget*>(list))
    SortList(local);
}

void TFtp1::SortList(QTreeWidget* list) { transfer_ui::SortFileList(list, Sort_); }

void TFtp1::SortRemoteList() {
  const int column = Sort_.SortColumn;
  if (column < 0 || column >= remote_->model->columnCount()) return;  // no such cell: order kept
  remote_->model->Sort(column, Sort_.SortDirection < 0);
  remote_->ShowSortIndicator(column, Sort_.SortDirection < 0);
}

void TFtp1::UncheckSelectAll() { transfer_bar_->select_all_box->setChecked(false); }

void TFtp1::CheckBox1Click() {
  QAbstractItemView* target = remote_->list->selectionModel()->hasSelection()
                                  ? static_cast<QAbstractItemView*>(remote_->list)
                                  : local_->file_list;
  if (transfer_bar_->select_all_box->isChecked())
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
