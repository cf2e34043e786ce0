#pragma once
// The remote list's rows: compact entries filled in batches from the
// worker, their cell texts made only for the rows a view shows, so a
// listing of a million entries neither holds the window's thread nor
// fills its memory.
#include <QAbstractTableModel>
#include <QIcon>
#include <QTimer>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "text/remote_names.h"
#include "remote/remote_session.h"

namespace hemlo::transfer_ui {

class RemoteListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit RemoteListModel(QObject* parent = nullptr);
  ~RemoteListModel() override;

  // How names are shown; set before the rows of a connection arrive.
  void SetNames(const text::RemoteNames& names);
  void SetIcons(const QIcon& folder, const QIcon& file);

  void Clear();
  // Room for `rows` rows, so appending never moves what is there.
  void Reserve(size_t rows);
  void Append(std::vector<transfer::RemoteListEntry> batch);
  // The row's name on the server changed (its whole name, as the row's
  // FileName holds it).
  void Rename(int row, std::string wire);
  // Puts row order[i] at position i; selections follow their rows.
  void Reorder(const std::vector<int>& order);
  // Sorts the rows by a column, stable (equal cells keep their order):
  // names by the user's locale as QString::localeAwareCompare orders them,
  // the other cells by transfer::CompareCells. A list longer than
  // `kSortAtOnce` rows is sorted on a thread of its own and put in place
  // when done, so a header click never holds the window; a change of the
  // rows meanwhile sorts again after it. `sorted` follows either way.
  void Sort(int column, bool descending);
  bool Sorting() const { return sorter_.joinable(); }
  static constexpr int kSortAtOnce = 10'000;
  // Rows per batch from the worker: shown in a few milliseconds each, so
  // the window answers and Escape is met between batches.
  static constexpr size_t kBatchRows = 10'000;

  int Count() const { return static_cast<int>(shown_.size()); }
  const transfer::RemoteListEntry& Entry(int row) const {
    return rows_[static_cast<size_t>(shown_[static_cast<size_t>(row)])];
  }
  // Where the listed links lead (by wire name), shown as the name's tip;
  // added with the rows they belong to.
  void AddLinkTargets(std::map<std::string, std::string> targets) { link_targets_.merge(targets); }
  // The text of a cell as the list shows it.
  QString CellText(int row, int column) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  void sorted();

 private:
  struct SortRequest {
    int column;
    bool descending;
  };
  // Ends a sort on its thread before the rows change; returns it, so that
  // the change can sort again.
  std::optional<SortRequest> StopSort();
  void ResumeSort(const std::optional<SortRequest>& request);
  void TakeSorted();

  std::vector<transfer::RemoteListEntry> rows_;  // in the listing's order
  std::vector<int> shown_;                       // the row of rows_ shown at each position
  text::RemoteNames names_;
  QIcon folder_icon_, file_icon_;
  std::map<std::string, std::string> link_targets_;  // few: kept apart from the rows

  // The sorting thread reads rows_, shown_ and names_ while it runs: they
  // change only after StopSort has joined it.
  std::thread sorter_;
  SortRequest sorting_{};
  std::atomic<bool> sort_stale_{false};
  std::mutex sort_mutex_;
  std::optional<std::vector<int>> sort_result_;  // under sort_mutex_
  QTimer sort_poll_;
};

}  // namespace hemlo::transfer_ui
