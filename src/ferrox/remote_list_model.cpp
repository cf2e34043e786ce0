#include "ferrox/remote_list_model.h"

#include <QCollator>
#include <algorithm>
#include <numeric>

#include "ferrox/ftp_window_parts.h"
#include "transfer/sort_rules.h"

namespace hemlo::transfer_ui {

namespace {

QString CellTextOf(const text::RemoteNames& names, const transfer::RemoteListEntry& e, int column) {
  switch (column) {
    case 0:
      return NameText(names, e.ShownName());
    case 1:
      return QString::fromStdString(e.DateText());
    case 2:
      return QString::fromStdString(e.SizeText());
    case 3:
      return FromSjis(e.PermissionText());
    default:
      return {};
  }
}

struct SortStale {};  // ends a sort whose rows are about to change

// Sorts the view positions of `shown` (rows in `rows` by position) by
// `column`: one key per row, made once. Throws SortStale soon after
// `stale` is set.
std::vector<int> SortedPositions(const std::vector<transfer::RemoteListEntry>& rows,
                                 const std::vector<int>& shown, const text::RemoteNames& names,
                                 int column, bool descending, const std::atomic<bool>& stale) {
  size_t steps = 0;
  auto check = [&] {
    if ((++steps & 4095) == 0 && stale.load(std::memory_order_relaxed)) throw SortStale{};
  };
  std::vector<int> order(shown.size());
  std::iota(order.begin(), order.end(), 0);
  const int sign = descending ? -1 : 1;
  auto sort_by = [&](const auto& keys, auto compare) {
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      check();
      return sign * compare(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]) < 0;
    });
  };
  auto entry = [&](int position) -> const transfer::RemoteListEntry& {
    check();
    return rows[static_cast<size_t>(shown[static_cast<size_t>(position)])];
  };
  const int n = static_cast<int>(shown.size());
  if (column == 0) {
    // Sort keys order names as localeAwareCompare does, at a fraction of
    // its cost per comparison.
    QCollator collator;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(shown.size());
    for (int i = 0; i < n; ++i)
      keys.push_back(collator.sortKey(NameText(names, entry(i).ShownName())));
    sort_by(keys,
            [](const QCollatorSortKey& a, const QCollatorSortKey& b) { return a.compare(b); });
  } else {
    std::vector<transfer::CellKey> keys;
    keys.reserve(shown.size());
    for (int i = 0; i < n; ++i)
      keys.emplace_back(CellTextOf(names, entry(i), column).toStdString());
    sort_by(keys, transfer::CompareCellKeys);
  }
  return order;
}

}  // namespace

RemoteListModel::RemoteListModel(QObject* parent) : QAbstractTableModel(parent) {
  sort_poll_.setInterval(10);
  connect(&sort_poll_, &QTimer::timeout, this, &RemoteListModel::TakeSorted);
}

RemoteListModel::~RemoteListModel() { StopSort(); }

void RemoteListModel::Sort(int column, bool descending) {
  StopSort();
  if (Count() <= kSortAtOnce) {
    const std::atomic<bool> never{false};
    Reorder(SortedPositions(rows_, shown_, names_, column, descending, never));
    emit sorted();
    return;
  }
  sorting_ = {column, descending};
  sort_stale_ = false;
  sorter_ = std::thread([this, column, descending] {
    try {
      std::vector<int> order =
          SortedPositions(rows_, shown_, names_, column, descending, sort_stale_);
      std::lock_guard lock(sort_mutex_);
      sort_result_ = std::move(order);
    } catch (const SortStale&) {
    }
  });
  // The window's thread looks for the result now and then rather than
  // being posted to: Qt's event queue hands data between threads by locks
  // a thread checker cannot see.
  sort_poll_.start();
}

void RemoteListModel::TakeSorted() {
  std::optional<std::vector<int>> order;
  {
    std::lock_guard lock(sort_mutex_);
    order.swap(sort_result_);
  }
  if (!order) return;  // not yet
  sort_poll_.stop();
  sorter_.join();
  Reorder(*order);
  emit sorted();
}

std::optional<RemoteListModel::SortRequest> RemoteListModel::StopSort() {
  if (!sorter_.joinable()) return std::nullopt;
  sort_poll_.stop();
  sort_stale_ = true;
  sorter_.join();
  std::lock_guard lock(sort_mutex_);
  sort_result_.reset();
  return sorting_;
}

void RemoteListModel::ResumeSort(const std::optional<SortRequest>& request) {
  if (request) Sort(request->column, request->descending);
}

void RemoteListModel::SetNames(const text::RemoteNames& names) {
  const auto sorting = StopSort();
  names_ = names;
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(Count() - 1, 0));
  ResumeSort(sorting);
}

void RemoteListModel::SetIcons(const QIcon& folder, const QIcon& file) {
  folder_icon_ = folder;
  file_icon_ = file;
}

void RemoteListModel::Reserve(size_t rows) {
  rows_.reserve(rows);
  shown_.reserve(rows);
}

void RemoteListModel::Clear() {
  StopSort();
  if (rows_.empty()) return;
  beginResetModel();
  std::vector<transfer::RemoteListEntry>().swap(rows_);
  std::vector<int>().swap(shown_);
  link_targets_.clear();
  endResetModel();
}

void RemoteListModel::Append(std::vector<transfer::RemoteListEntry> batch) {
  if (batch.empty()) return;
  const auto sorting = StopSort();
  const int first = Count();
  beginInsertRows({}, first, first + static_cast<int>(batch.size()) - 1);
  for (size_t i = 0; i < batch.size(); ++i) shown_.push_back(static_cast<int>(rows_.size() + i));
  if (rows_.empty())
    rows_ = std::move(batch);
  else
    rows_.insert(rows_.end(), std::make_move_iterator(batch.begin()),
                 std::make_move_iterator(batch.end()));
  endInsertRows();
  ResumeSort(sorting);
}

void RemoteListModel::Rename(int row, std::string wire) {
  if (row < 0 || row >= Count()) return;
  const auto sorting = StopSort();
  transfer::RemoteListEntry& e = rows_[static_cast<size_t>(shown_[static_cast<size_t>(row)])];
  if (e.ShownLength != 0) {
    // The server's part after the shown name stays: WWW.DIR;1 to SITE.DIR;1.
    const size_t tail = e.FileName.size() - e.ShownLength;
    e.ShownLength = wire.size() > tail && wire.size() - tail <= UINT16_MAX
                        ? static_cast<uint16_t>(wire.size() - tail)
                        : 0;
  }
  e.FileName = std::move(wire);
  emit dataChanged(index(row, 0), index(row, 0));
  ResumeSort(sorting);
}

void RemoteListModel::Reorder(const std::vector<int>& order) {
  StopSort();  // this order comes last
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  // Only the view order moves: the rows stay where they are.
  std::vector<int> shown(order.size());
  for (size_t i = 0; i < order.size(); ++i) shown[i] = shown_[static_cast<size_t>(order[i])];
  shown_.swap(shown);
  const QModelIndexList before = persistentIndexList();
  if (!before.isEmpty()) {
    std::vector<int> moved_to(order.size());
    for (size_t i = 0; i < order.size(); ++i)
      moved_to[static_cast<size_t>(order[i])] = static_cast<int>(i);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before)
      after.append(index(moved_to[static_cast<size_t>(i.row())], i.column()));
    changePersistentIndexList(before, after);
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString RemoteListModel::CellText(int row, int column) const {
  return CellTextOf(names_, Entry(row), column);
}

int RemoteListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

int RemoteListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 4;
}

QVariant RemoteListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Count()) return {};
  const transfer::RemoteListEntry& e = Entry(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return CellText(index.row(), index.column());
    case Qt::ToolTipRole:
      if (index.column() == 0)
        if (const auto it = link_targets_.find(e.FileName); it != link_targets_.end())
          return QStringLiteral("→ ") + NameText(names_, it->second);
      return {};
    case Qt::DecorationRole:
      if (index.column() == 0) return e.Folder ? folder_icon_ : file_icon_;
      return {};
    case kNameRole:
      return QByteArray::fromStdString(e.FileName);
    case kFolderRole:
      return e.Folder;
    default:
      return {};
  }
}

QVariant RemoteListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  static const char16_t* const kCaptions[] = {u"ファイル名", u"更新日時", u"サイズ", u"属性"};
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 3)
    return QAbstractTableModel::headerData(section, orientation, role);
  return QString::fromUtf16(kCaptions[section]);
}

Qt::ItemFlags RemoteListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
  if (index.column() == 0) f |= Qt::ItemIsEditable;
  return f;
}

}  // namespace hemlo::transfer_ui
