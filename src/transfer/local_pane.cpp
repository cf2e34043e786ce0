// The local side of the Ferrox window: drive box (mount points), folder
// list, local file list and their menus.
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QStatusBar>
#include <QStorageInfo>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "transfer/cell_text.h"
#include "transfer/ftp_window.h"
#include "transfer/ftp_window_parts.h"
#include "transfer/local_paths.h"
#include "transfer/local_trash.h"

namespace hemlo {
namespace {

constexpr int kPathRole = Qt::UserRole;

std::string U(const QString& s) { return s.toStdString(); }

QAction* MenuItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(QString::fromLatin1(name));
  return a;
}

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

void TFtp1::BuildLocalPane(QWidget* host) {
  auto* row = new QHBoxLayout(host);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(3);
  auto* left = new QVBoxLayout;
  left->setSpacing(2);
  DriveComboBox1 = new QComboBox(host);
  DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
  DirectoryListBox1 = new QListWidget(host);
  DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
  left->addWidget(DriveComboBox1);
  left->addWidget(DirectoryListBox1, 1);
  auto* left_host = new QWidget(host);
  left_host->setLayout(left);
  left->setContentsMargins(0, 0, 0, 0);
  left_host->setFixedWidth(150);
  row->addWidget(left_host);

  auto* local = new transfer_ui::FileListView(host);
  ListView2 = local;
  ListView2->setObjectName(QStringLiteral("ListView2"));
  ListView2->setHeaderLabels(
      {QStringLiteral("ファイル名"), QStringLiteral("更新日時"), QStringLiteral("サイズ")});
  const int widths[] = {120, 130, 90};
  for (int i = 0; i < 3; ++i) ListView2->setColumnWidth(i, widths[i]);
  ListView2->setEditTriggers(QAbstractItemView::NoEditTriggers);
  row->addWidget(ListView2, 1);
  local->accept_rows_from = QStringLiteral("ListView1");
  connect(local, &transfer_ui::FileListView::rowsDropped, this, &TFtp1::downloadSelectedRequested);

  connect(DriveComboBox1, &QComboBox::textActivated, this, [this](const QString& root) {
    if (root != MountRoot(local_folder_)) SetLocalFolder(root);
  });
  connect(DirectoryListBox1, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    const QString path = item->data(kPathRole).toString();
    if (path != local_folder_) SetLocalFolder(path);
  });

  PopupMenu2 = new QMenu(this);
  connect(MenuItem(PopupMenu2, "mnuMakeFolder", QStringLiteral("ﾌｫﾙﾀﾞ作成")), &QAction::triggered,
          this, [this] { mnuMakeFolderClick(); });
  connect(MenuItem(PopupMenu2, "mnuDeleteFolder", QStringLiteral("ﾌｫﾙﾀﾞ削除")), &QAction::triggered,
          this, [this] { mnuDeleteFolderClick(); });
  connect(MenuItem(PopupMenu2, "mnuRenameFolder", QStringLiteral("ﾌｫﾙﾀﾞ名変更")),
          &QAction::triggered, this, [this] { mnuRenameFolderClick(); });
  DirectoryListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(DirectoryListBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    PopupMenu2->popup(DirectoryListBox1->viewport()->mapToGlobal(p));
  });

  PopupMenu3 = new QMenu(this);
  connect(MenuItem(PopupMenu3, "mnuDeleteFiles", QStringLiteral("削除")), &QAction::triggered, this,
          [this] { mnuDeleteFilesClick(); });
  ListView2->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListView2, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { PopupMenu3->popup(ListView2->viewport()->mapToGlobal(p)); });
}

std::string TFtp1::LocalFolder() const { return U(local_folder_); }

bool TFtp1::SetLocalFolder(const QString& folder) {
  const QFileInfo info(folder);
  if (folder.isEmpty() || !info.isDir()) return false;
  local_folder_ = QDir::cleanPath(info.absoluteFilePath());
  FillDriveBox();
  FillFolderList();
  RefreshLocalList();
  return true;
}

void TFtp1::FillDriveBox() {
  QStringList roots;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
    if (v.isValid() && v.isReady() && QFileInfo(v.rootPath()).isDir()) roots << v.rootPath();
  const QString current = MountRoot(local_folder_);
  if (!roots.contains(current)) roots << current;
  roots.removeDuplicates();
  roots.sort();
  const QSignalBlocker block(DriveComboBox1);
  DriveComboBox1->clear();
  DriveComboBox1->addItems(roots);
  DriveComboBox1->setCurrentIndex(static_cast<int>(roots.indexOf(current)));
}

void TFtp1::FillFolderList() {
  DirectoryListBox1->clear();
  const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirIcon);
  // The path from the root down to the local folder, then its subfolders.
  QStringList parts = local_folder_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QString path = QStringLiteral("/");
  int depth = 0;
  auto add = [&](const QString& caption, const QString& full, int level, const QIcon& icon) {
    auto* item = new QListWidgetItem(icon, QString(level * 2, QLatin1Char(' ')) + caption,
                                     DirectoryListBox1);
    item->setData(kPathRole, full);
    return item;
  };
  QListWidgetItem* current = add(QStringLiteral("/"), path, depth, open_icon);
  for (const QString& part : parts) {
    path = path == QLatin1String("/") ? path + part : path + QLatin1Char('/') + part;
    current = add(part, path, ++depth, open_icon);
  }
  const QStringList subs = QDir(local_folder_)
                               .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                          QDir::Name | QDir::IgnoreCase);
  for (const QString& sub : subs) {
    const QString full = local_folder_ == QLatin1String("/")
                             ? local_folder_ + sub
                             : local_folder_ + QLatin1Char('/') + sub;
    add(sub, full, depth + 1, closed_icon);
  }
  QFont bold = current->font();
  bold.setBold(true);
  current->setFont(bold);
  DirectoryListBox1->setCurrentItem(current);
  DirectoryListBox1->scrollToItem(current);
}

void TFtp1::RefreshLocalLists() {
  FillDriveBox();
  FillFolderList();
  RefreshLocalList();
}

void TFtp1::RefreshLocalList() {
  ListView2->clear();
  const QIcon file_icon = style()->standardIcon(QStyle::SP_FileIcon);
  const QFileInfoList entries =
      QDir(local_folder_).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
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
  ListView2->addTopLevelItems(items);
  SortList(ListView2);
}

std::vector<std::string> TFtp1::SelectedLocalNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < ListView2->topLevelItemCount(); ++i)
    if (ListView2->topLevelItem(i)->isSelected())
      names.push_back(U(ListView2->topLevelItem(i)->text(0)));
  return names;
}

// ---- folder list menu ----

void TFtp1::mnuMakeFolderClick() {
  const auto name = prompts_->Input("ﾌｫﾙﾀﾞ作成", "新しくﾌｫﾙﾀﾞを作成します", "");
  if (!name) return;
  const QString path = QString::fromStdString(
      transfer::WithTrailingSeparator(LocalFolder(), '/', transfer::PathText::kUtf8) + *name);
  if (QFileInfo(path).isDir()) return;
  if (!QDir().mkdir(path)) ShowPlain(QStringLiteral("作成失敗"));
  RefreshLocalLists();
}

void TFtp1::mnuDeleteFolderClick() {
  const QString old = local_folder_;
  const QString parent =
      QString::fromStdString(transfer::ParentPath(U(old), '/', transfer::PathText::kUtf8));
  if (parent.isEmpty()) return;  // the root folder is never deleted
  // The desktop trash asks nothing itself, so the question is ours.
  if (prompts_->Message("ﾌｫﾙﾀﾞ削除", U(old) + " をごみ箱に移動します。\n\n   よろしいですか？",
                        Buttons::YesNo, Icon::Warning, Answer::No) != Answer::Yes)
    return;
  SetLocalFolder(parent);
  if (!transfer::MoveToTrash(U(old))) {
    ShowPlain(QStringLiteral("ﾌｫﾙﾀﾞ削除失敗"));
    RefreshLocalLists();
    return;
  }
  RefreshLocalLists();
  SetStatusText("完了");
}

void TFtp1::mnuRenameFolderClick() {
  const auto name = prompts_->Input("ﾌｫﾙﾀﾞ名変更", "新しいﾌｫﾙﾀﾞ名を入力してください", "");
  if (!name) return;
  const QString old = local_folder_;
  const std::string parent = transfer::ParentPath(U(old), '/', transfer::PathText::kUtf8);
  if (parent.empty()) return;
  SetLocalFolder(QString::fromStdString(parent));
  const QString target = QString::fromStdString(
      transfer::WithTrailingSeparator(parent, '/', transfer::PathText::kUtf8) + *name);
  if (QFileInfo(target).isDir()) return;
  if (QDir().rename(old, target))
    SetLocalFolder(target);
  else
    ShowPlain(QStringLiteral("ﾌｫﾙﾀﾞ名変更失敗"));
}

// ---- local list menu ----

void TFtp1::mnuDeleteFilesClick() {
  const std::vector<std::string> names = SelectedLocalNames();
  if (names.empty()) return;
  if (prompts_->Message("警告", names.front() + "を削除します。\n\n   よろしいですか？",
                        Buttons::YesNoCancel, Icon::Warning, Answer::No) != Answer::Yes)
    return;
  const std::string base =
      transfer::WithTrailingSeparator(LocalFolder(), '/', transfer::PathText::kUtf8);
  for (const auto& n : names)
    QFile::remove(QString::fromStdString(base + n));  // a file that stays is simply listed again
  RefreshLocalList();
}

}  // namespace hemlo
