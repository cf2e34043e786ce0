#include "shell/site_tree_model.h"

#include <QDateTime>
#include <QDir>
#include <QMimeData>
#include <QUrl>

namespace hemlo {

SiteTreeModel::SiteTreeModel(publish::SiteMarks& marks, QObject* parent)
    : QFileSystemModel(parent), marks_(marks) {
  // Drags are offered only by a writable model; the drop itself moves nothing.
  setReadOnly(false);
}

QVariant SiteTreeModel::data(const QModelIndex& index, int role) const {
  if (index.column() != kMarkColumn) return QFileSystemModel::data(index, role);
  if (role != Qt::DisplayRole) return {};
  if (isDir(index)) return QString();
  // Marked when shown: a file scrolled past is never hashed.
  const QFileInfo info = fileInfo(index);
  const publish::SiteMark mark =
      marks_.Mark(filePath(index).toStdString(), info.size(),
                  info.lastModified().toMSecsSinceEpoch() * 1'000'000);
  return QString::fromUtf8(publish::SiteMarkText(mark));
}

QVariant SiteTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
    if (section == 0) return QStringLiteral("名前");
    if (section == kMarkColumn) return QStringLiteral("状態");
  }
  return QFileSystemModel::headerData(section, orientation, role);
}

bool SiteTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                 const QModelIndex& parent) {
  if (!data || !parent.isValid()) return false;
  const QString folder = isDir(parent) ? filePath(parent) : QFileInfo(filePath(parent)).path();
  const QString root = rootPath();
  for (const QUrl& url : data->urls()) {
    const QString from = QDir::cleanPath(url.toLocalFile());
    // Only what the tree itself shows moves; files dragged in from elsewhere stay put.
    if (from.isEmpty() || !from.startsWith(root + '/')) continue;
    const QString to = folder + '/' + QFileInfo(from).fileName();
    if (to == from || folder == from || folder.startsWith(from + '/')) continue;
    emit moveAsked(from, to);
    break;  // one move at a time: each has its own list of link changes
  }
  return false;
}

}  // namespace hemlo
