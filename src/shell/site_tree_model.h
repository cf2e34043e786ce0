#pragma once
// The site panel's tree: the folder on disk as the file-system model keeps
// it (its watcher updates the rows when files come and go), with a second
// column for each file's state against the last publish, and drops turned
// into move requests rather than moves, so links can be kept.
#include <QFileSystemModel>

#include "publish/site_marks.h"

namespace hemlo {

class SiteTreeModel : public QFileSystemModel {
  Q_OBJECT
 public:
  static constexpr int kMarkColumn = 1;

  explicit SiteTreeModel(publish::SiteMarks& marks, QObject* parent = nullptr);

  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

 signals:
  // A file or folder of the tree dropped on a folder: `from` is to become `to`.
  void moveAsked(const QString& from, const QString& to);

 private:
  publish::SiteMarks& marks_;
};

}  // namespace hemlo
