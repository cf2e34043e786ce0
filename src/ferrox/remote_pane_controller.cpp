#include "ferrox/remote_pane_controller.h"

#include <QCheckBox>
#include <QLabel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTreeWidget>
#include <memory>

#include "ferrox/ftp_window_parts.h"
#include "ferrox/local_pane.h"
#include "ferrox/remote_list_model.h"
#include "ferrox/remote_pane.h"
#include "ferrox/transfer_bar.h"

namespace hemlo::transfer_ui {

namespace {

// A listing cut short at its bounds: the rows shown are not all there are.
std::string ListingCappedText(size_t shown) {
  return "フォルダの一覧が大きすぎるため、最初の " + std::to_string(shown) +
         " 件だけを表示しています";
}

}  // namespace

RemotePaneController::RemotePaneController(QWidget* window, const WindowViews& views,
                                           transfer::Connection& connection,
                                           transfer::ProfilePanel& profiles,
                                           transfer::SortState& sort)
    : v_(views), connection_(connection), profiles_(profiles), sort_(sort) {
  v_.remote->list->setItemDelegate(MakeRenameDelegate(
      window,
      {[this] { return connection_.Call().Active(); }, [this](int row) { BeginRename(row); },
       [this](int row, const QString& text) { EndRename(row, text); },
       [this] { CancelRename(); }},
      v_.remote->list));
}

void RemotePaneController::Refresh() {
  connection_.Run(false, [this] { ListFolder(); }, nullptr);
}

void RemotePaneController::ListFolder() { connection_.ListFolder(RemoteListModel::kBatchRows); }

void RemotePaneController::Clear() { v_.remote->model->Clear(); }

void RemotePaneController::OnListingStarted(const text::RemoteNames& names, size_t lines) {
  RemoteListModel* model = v_.remote->model;
  model->SetNames(names);
  model->Clear();
  model->Reserve(lines);
  connection_.Call().ListingStarted();
  // Listing order until the next header click.
  v_.remote->HideSortIndicator();
}

void RemotePaneController::OnListingBatch(std::vector<transfer::RemoteListEntry>&& rows,
                                          std::map<std::string, std::string>&& links) {
  // A stopped listing's last batches are not worth showing.
  if (connection_.Call().StopAsked()) return;
  v_.remote->model->Append(std::move(rows));
  v_.remote->model->AddLinkTargets(std::move(links));
}

void RemotePaneController::OnListingEnded(const transfer::ListingEnd& end) {
  if (end.relabel) {
    ShowFolder(end.folder, end.names);
    v_.remote->model->SetNames(end.names);
  }
  if (EndListing(end.unread) && !end.whole) v_.SetStatus(ListingCappedText(end.listed));
}

void RemotePaneController::ShowFolder(const std::string& folder, const text::RemoteNames& names) {
  profiles_.LastRemoteFolder = folder;
  v_.remote->folder_label->setText(NameText(names, folder));
}

bool RemotePaneController::EndListing(size_t unread) {
  // The worker read the whole folder, but batches that arrived after
  // Escape were dropped: what is shown is not the folder.
  if (connection_.Call().StopAsked()) return false;
  connection_.Call().ListingEnded();
  if (unread > 0) v_.SetStatus(transfer::UnreadLinesText(unread));
  v_.remote->FitDateColumn();
  return true;
}

std::vector<RemoteRowView> RemotePaneController::SelectedRows() const {
  const RemoteListModel& model = *v_.remote->model;
  std::vector<RemoteRowView> rows;
  for (int row : v_.remote->SelectedRows()) {
    const transfer::RemoteListEntry& e = model.Entry(row);
    rows.push_back({std::string(e.ShownName()), e.Folder, true,
                    model.CellText(row, 3).toStdString(),
                    e.ShownLength ? e.FileName : std::string()});
  }
  return rows;
}

void RemotePaneController::EnterSelectedFolder() {
  // A running command works in the current folder; it must not move.
  if (connection_.Call().Active()) return;
  const std::vector<int> selected = v_.remote->SelectedRows();
  if (selected.empty() || !v_.remote->model->Entry(selected.front()).Folder) return;
  // A folder is entered by the name it is shown by.
  const std::string name(v_.remote->model->Entry(selected.front()).ShownName());
  connection_.Run(
      false,
      [this, name] {
        connection_.EnterFolder(name);
        // Before the refresh, which may count unreadable lines.
        connection_.Post([this] { v_.SetStatus(""); });
        ListFolder();
      },
      nullptr);
}

void RemotePaneController::UpFolder() {
  if (connection_.Call().Active()) return;
  connection_.Run(
      false,
      [this, shown = profiles_.LastRemoteFolder] {
        if (!connection_.UpFolder(shown)) return;
        ListFolder();  // Label5 follows with the listing
      },
      nullptr);
}

void RemotePaneController::BeginRename(int row) {
  if (row < 0 || row >= v_.remote->model->Count()) return;
  rename_old_name_ = v_.remote->model->Entry(row).FileName;
  rename_editing_ = true;
}

bool RemotePaneController::EndRename(int row, const QString& new_text) {
  const std::string old_name = rename_old_name_;
  CancelRename();
  const text::RemoteNames& names = connection_.Session().Names;
  RemoteListModel* model = v_.remote->model;
  if (row < 0 || row >= model->Count() || old_name.empty()) return false;
  // The user edits the shown name; the server's part after it (a VMS
  // folder's ".DIR;1") goes with the new name.
  const transfer::RemoteListEntry& entry = model->Entry(row);
  const std::string tail = entry.FileName == old_name && entry.ShownLength != 0
                               ? old_name.substr(entry.ShownLength)
                               : std::string();
  if (new_text == NameText(names, old_name.substr(0, old_name.size() - tail.size()))) return false;
  auto new_name = NameBytes(names, new_text);
  if (!new_name || new_name->empty()) {
    v_.ShowPlain(QStringLiteral("「%1」は%2で表せないため名前を変更できません")
                     .arg(new_text, QString::fromLatin1(names.EncodingName())));
    return false;
  }
  *new_name += tail;
  // The row follows the server: the new name once it took it, the old one
  // (never the name typed) after a refusal.
  auto renamed = std::make_shared<bool>(false);
  return connection_.Run(
      false,
      [this, old_name, new_name = *new_name, renamed] {
        connection_.Files().RenameEntry(old_name, new_name);
        *renamed = true;
      },
      [model, old_name, new_name = *new_name, renamed] {
        if (!*renamed) return;
        for (int r = 0; r < model->Count(); ++r) {
          if (model->Entry(r).FileName != old_name) continue;
          model->Rename(r, new_name);
          return;
        }
      });
}

void RemotePaneController::CancelRename() {
  rename_old_name_.clear();
  rename_editing_ = false;
}

void RemotePaneController::ColumnClick(QAbstractItemView* list, int column) {
  sort_.HeaderClick(column);
  if (list == v_.remote->list)
    SortRemoteList();
  else if (auto* local = qobject_cast<QTreeWidget*>(list))
    SortFileList(local);
}

void RemotePaneController::SortFileList(QTreeWidget* list) { transfer_ui::SortFileList(list, sort_); }

void RemotePaneController::SortRemoteList() {
  const int column = sort_.SortColumn;
  RemoteListModel* model = v_.remote->model;
  if (column < 0 || column >= model->columnCount()) return;  // no such cell: order kept
  model->Sort(column, sort_.SortDirection < 0);
  v_.remote->ShowSortIndicator(column, sort_.SortDirection < 0);
}

void RemotePaneController::UncheckSelectAll() {
  v_.transfer_bar->select_all_box->setChecked(false);
}

void RemotePaneController::SelectAllToggled() {
  QAbstractItemView* target = v_.remote->list->selectionModel()->hasSelection()
                                  ? static_cast<QAbstractItemView*>(v_.remote->list)
                                  : v_.local->file_list;
  if (v_.transfer_bar->select_all_box->isChecked())
    target->selectAll();
  else
    target->clearSelection();
  target->setFocus();
}

}  // namespace hemlo::transfer_ui
