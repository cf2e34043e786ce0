#include "ferrox/local_pane.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QStorageInfo>
#include <QStyle>
#include <QVBoxLayout>

#include "remote/cell_text.h"
#include "ferrox/ftp_window_parts.h"

namespace hemlo::transfer_ui {
namespace {

constexpr int kPathRole = Qt::UserRole;

QString MountRoot(const QString& folder) {
  const QStorageInfo info(folder);
  return info.isValid() ? info.rootPath() : QStringLiteral("/");
}

transfer::CivilTime Civil(const QDateTime& t) {
  const QDate d = t.date();
  const QTime h = t.time();
  return {d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second()};
}

}  // namespace

LocalPane::LocalPane(const transfer::SortState& sort, QWidget* parent)
    : QWidget(parent), sort_(sort) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(3);
  auto* left_host = new QWidget(this);
  auto* left = new QVBoxLayout(left_host);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(2);
  drive_box = new QComboBox(left_host);
  drive_box->setObjectName(QStringLiteral("DriveComboBox1"));
  folder_list = new QListWidget(left_host);
  folder_list->setObjectName(QStringLiteral("DirectoryListBox1"));
  left->addWidget(drive_box);
  left->addWidget(folder_list, 1);
  left_host->setFixedWidth(150);
  row->addWidget(left_host);

  file_list = new FileListView(this);
  file_list->setObjectName(QStringLiteral("ListView2"));
  file_list->setHeaderLabels(
      {QStringLiteral("ファイル名"), QStringLiteral("更新日時"), QStringLiteral("サイズ")});
  const int widths[] = {120, 130, 90};
  for (int i = 0; i < 3; ++i) file_list->setColumnWidth(i, widths[i]);
  file_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  file_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  file_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  file_list->setDragEnabled(true);
  file_list->setAcceptDrops(true);
  file_list->setDragDropMode(QAbstractItemView::DragDrop);
  file_list->setDefaultDropAction(Qt::CopyAction);
  file_list->setRootIsDecorated(false);
  file_list->setUniformRowHeights(true);
  file_list->setAllColumnsShowFocus(true);
  file_list->header()->setSectionsClickable(true);
  file_list->header()->setSortIndicatorShown(false);
  file_list->accept_rows_from = QStringLiteral("ListView1");
  row->addWidget(file_list, 1);

  connect(drive_box, &QComboBox::textActivated, this, [this](const QString& root) {
    if (root != MountRoot(folder_)) SetFolder(root);
  });
  connect(folder_list, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    const QString path = item->data(kPathRole).toString();
    if (path != folder_) SetFolder(path);
  });

  folder_menu = new QMenu(this);
  make_folder_action = AddMenuItem(folder_menu, "mnuMakeFolder", QStringLiteral("ﾌｫﾙﾀﾞ作成"));
  delete_folder_action = AddMenuItem(folder_menu, "mnuDeleteFolder", QStringLiteral("ﾌｫﾙﾀﾞ削除"));
  rename_folder_action = AddMenuItem(folder_menu, "mnuRenameFolder", QStringLiteral("ﾌｫﾙﾀﾞ名変更"));
  folder_list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(folder_list, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { folder_menu->popup(folder_list->viewport()->mapToGlobal(p)); });

  file_menu = new QMenu(this);
  delete_files_action = AddMenuItem(file_menu, "mnuDeleteFiles", QStringLiteral("削除"));
  file_list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(file_list, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { file_menu->popup(file_list->viewport()->mapToGlobal(p)); });
}

bool LocalPane::SetFolder(const QString& folder) {
  const QFileInfo info(folder);
  if (folder.isEmpty() || !info.isDir()) return false;
  folder_ = QDir::cleanPath(info.absoluteFilePath());
  RefreshAll();
  return true;
}

void LocalPane::RefreshAll() {
  FillDriveBox();
  FillFolderList();
  RefreshFiles();
}

void LocalPane::FillDriveBox() {
  QStringList roots;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
    if (v.isValid() && v.isReady() && QFileInfo(v.rootPath()).isDir()) roots << v.rootPath();
  const QString current = MountRoot(folder_);
  if (!roots.contains(current)) roots << current;
  roots.removeDuplicates();
  roots.sort();
  const QSignalBlocker block(drive_box);
  drive_box->clear();
  drive_box->addItems(roots);
  drive_box->setCurrentIndex(static_cast<int>(roots.indexOf(current)));
}

void LocalPane::FillFolderList() {
  folder_list->clear();
  const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirIcon);
  // The path from the root down to the local folder, then its subfolders.
  QStringList parts = folder_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QString path = QStringLiteral("/");
  int depth = 0;
  auto add = [&](const QString& caption, const QString& full, int level, const QIcon& icon) {
    auto* item =
        new QListWidgetItem(icon, QString(level * 2, QLatin1Char(' ')) + caption, folder_list);
    item->setData(kPathRole, full);
    return item;
  };
  QListWidgetItem* current = add(QStringLiteral("/"), path, depth, open_icon);
  for (const QString& part : parts) {
    path = path == QLatin1String("/") ? path + part : path + QLatin1Char('/') + part;
    current = add(part, path, ++depth, open_icon);
  }
  const QStringList subs = QDir(folder_).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                                   QDir::Name | QDir::IgnoreCase);
  for (const QString& sub : subs) {
    const QString full =
        folder_ == QLatin1String("/") ? folder_ + sub : folder_ + QLatin1Char('/') + sub;
    add(sub, full, depth + 1, closed_icon);
  }
  QFont bold = current->font();
  bold.setBold(true);
  current->setFont(bold);
  folder_list->setCurrentItem(current);
  folder_list->scrollToItem(current);
}

void LocalPane::RefreshFiles() {
  file_list->clear();
  const QIcon file_icon = style()->standardIcon(QStyle::SP_FileIcon);
  const QFileInfoList entries =
      QDir(folder_).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
  QList<QTreeWidgetItem*> items;
  for (const QFileInfo& fi : entries) {
    if (fi.isDir()) continue;
    auto* item = new QTreeWidgetItem(
        {fi.fileName(),
         QString::fromStdString(transfer::DateCellText(Civil(fi.lastModified().toLocalTime()))),
         QString::fromStdString(transfer::SizeCellText(fi.size()))});
    item->setIcon(0, file_icon);
    items.append(item);
  }
  file_list->addTopLevelItems(items);
  SortFileList(file_list, sort_);
}

std::vector<std::string> LocalPane::SelectedNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < file_list->topLevelItemCount(); ++i)
    if (file_list->topLevelItem(i)->isSelected())
      names.push_back(file_list->topLevelItem(i)->text(0).toStdString());
  return names;
}

}  // namespace hemlo::transfer_ui
