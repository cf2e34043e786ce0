#pragma once
// The Ferrox window's remote browsing: the connection's listing events
// shown in the remote pane, walking folders, in-place rename, sorting both
// file lists by the shared sort state, "全選択" and the selected rows.
#include <QString>
#include <map>
#include <string>
#include <vector>

#include "ferrox/window_layout.h"
#include "remote/connection.h"
#include "transfer/profiles.h"
#include "transfer/sort_rules.h"

class QAbstractItemView;
class QTreeWidget;
class QWidget;

namespace hemlo::transfer_ui {

struct RemoteRowView {
  std::string name;  // Shift-JIS, as listed
  bool folder = false;
  bool selected = false;
  std::string permissions;  // the "属性" cell
  std::string wire;         // the name rename and delete send, when not `name`
};

class RemotePaneController {
 public:
  // `profiles` holds the folder Label5 shows (LastRemoteFolder); `sort`
  // is the state both lists sort by.
  RemotePaneController(QWidget* window, const WindowViews& views, transfer::Connection& connection,
                       transfer::ProfilePanel& profiles, transfer::SortState& sort);

  // Label5 and the remote list from the server, as a command.
  void Refresh();
  // The same inside a running command, on the worker: PWD and the listing
  // go out here, the rows reach the list on the window's thread. Client
  // errors propagate.
  void ListFolder();
  // The connection's listing events.
  void ShowFolder(const std::string& folder, const text::RemoteNames& names);
  void OnListingStarted(const text::RemoteNames& names, size_t lines);
  void OnListingBatch(std::vector<transfer::RemoteListEntry>&& rows,
                      std::map<std::string, std::string>&& links);
  void OnListingEnded(const transfer::ListingEnd& end);
  // Part of a listing is never shown as the folder's contents.
  void Clear();

  // The selected remote rows in list order: only they are copied, so a
  // click over a list of a million rows holds the window for no longer
  // than the selection is long.
  std::vector<RemoteRowView> SelectedRows() const;
  // A double click: the selected folder is entered.
  void EnterSelectedFolder();
  void UpFolder();  // BitBtn1

  // In-place rename of a remote row: begin remembers the name, end sends
  // RNFR/RNTO when it changed (true then). Once the server has taken the
  // new name the row shows and acts on it; otherwise it keeps its old name.
  void BeginRename(int row);
  bool EndRename(int row, const QString& new_text);
  void CancelRename();
  const std::string& RenameOldName() const { return rename_old_name_; }
  bool RenameEditing() const { return rename_editing_; }

  // A header click on either list sorts it by the shared sort state.
  void ColumnClick(QAbstractItemView* list, int column);
  void SortFileList(QTreeWidget* list);
  void SortRemoteList();
  // "全選択": the remote list's rows when it has a selection, else the local list's.
  void SelectAllToggled();
  void UncheckSelectAll();

 private:
  // False when Escape came before the window took the last rows: the
  // list stays partial, and the command's end clears it as stopped.
  bool EndListing(size_t unread);

  const WindowViews& v_;
  transfer::Connection& connection_;
  transfer::ProfilePanel& profiles_;
  transfer::SortState& sort_;
  std::string rename_old_name_;  // the server's bytes; empty when no rename runs
  bool rename_editing_ = false;
};

}  // namespace hemlo::transfer_ui
