#include "transfer/remote_list_model.h"

#include "transfer/ftp_window_parts.h"

namespace hemlo::transfer_ui {

RemoteListModel::RemoteListModel(QObject* parent) : QAbstractTableModel(parent) {}

void RemoteListModel::SetNames(const text::RemoteNames& names) {
  names_ = names;
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(Count() - 1, 0));
}

void RemoteListModel::SetIcons(const QIcon& folder, const QIcon& file) {
  folder_icon_ = folder;
  file_icon_ = file;
}

void RemoteListModel::Clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  link_targets_.clear();
  endResetModel();
}

void RemoteListModel::Append(std::vector<transfer::RemoteListEntry> batch) {
  if (batch.empty()) return;
  const int first = Count();
  beginInsertRows({}, first, first + static_cast<int>(batch.size()) - 1);
  if (rows_.empty())
    rows_ = std::move(batch);
  else
    rows_.insert(rows_.end(), std::make_move_iterator(batch.begin()),
                 std::make_move_iterator(batch.end()));
  endInsertRows();
}

void RemoteListModel::Rename(int row, std::string wire) {
  if (row < 0 || row >= Count()) return;
  rows_[static_cast<size_t>(row)].FileName = std::move(wire);
  emit dataChanged(index(row, 0), index(row, 0));
}

void RemoteListModel::Reorder(const std::vector<int>& order) {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  std::vector<int> moved_to(order.size());
  for (size_t i = 0; i < order.size(); ++i)
    moved_to[static_cast<size_t>(order[i])] = static_cast<int>(i);
  std::vector<transfer::RemoteListEntry> sorted;
  sorted.reserve(rows_.size());
  for (int from : order) sorted.push_back(std::move(rows_[static_cast<size_t>(from)]));
  rows_ = std::move(sorted);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& i : before)
    after.append(index(moved_to[static_cast<size_t>(i.row())], i.column()));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString RemoteListModel::CellText(int row, int column) const {
  const transfer::RemoteListEntry& e = Entry(row);
  switch (column) {
    case 0:
      return NameText(names_, e.FileName);
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
