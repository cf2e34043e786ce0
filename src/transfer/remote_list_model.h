#pragma once
// The remote list's rows: compact entries filled in batches from the
// worker, their cell texts made only for the rows a view shows, so a
// listing of a million entries neither holds the window's thread nor
// fills its memory.
#include <QAbstractTableModel>
#include <QIcon>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "text/remote_names.h"
#include "transfer/remote_session.h"

namespace hemlo::transfer_ui {

class RemoteListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit RemoteListModel(QObject* parent = nullptr);

  // How names are shown; set before the rows of a connection arrive.
  void SetNames(const text::RemoteNames& names);
  void SetIcons(const QIcon& folder, const QIcon& file);

  void Clear();
  // Room for `rows` rows, so appending never moves what is there.
  void Reserve(size_t rows) { rows_.reserve(rows); }
  void Append(std::vector<transfer::RemoteListEntry> batch);
  // The row's name on the server changed.
  void Rename(int row, std::string wire);
  // Puts row order[i] at position i; selections follow their rows.
  void Reorder(const std::vector<int>& order);

  int Count() const { return static_cast<int>(rows_.size()); }
  const transfer::RemoteListEntry& Entry(int row) const { return rows_[static_cast<size_t>(row)]; }
  // Where the listed links lead (by wire name), shown as the name's tip.
  void SetLinkTargets(std::map<std::string, std::string> targets) {
    link_targets_ = std::move(targets);
  }
  // The text of a cell as the list shows it.
  QString CellText(int row, int column) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::vector<transfer::RemoteListEntry> rows_;
  text::RemoteNames names_;
  QIcon folder_icon_, file_icon_;
  std::map<std::string, std::string> link_targets_;  // few: kept apart from the rows
};

}  // namespace hemlo::transfer_ui
