#pragma once
// The dockable panel "サイト": the site folder's tree (a Ferrox profile's
// site folder, or one opened with ファイル › サイトを開く...), each file
// marked against the last publish, opened with a double click; new pages
// and folders, renames and moves (through リンクの更新, so links are kept)
// and deletion to the desktop's trash from its context menu.
#include <QDockWidget>
#include <QFileSystemWatcher>
#include <functional>
#include <optional>
#include <string>

#include "publish/site_marks.h"

class QAction;
class QComboBox;
class QLabel;
class QTreeView;

namespace hemlo {

namespace site {
class TLinkUpdate;
}
class SiteTreeModel;
class TMainForm;

class TSitePanel : public QDockWidget {
  Q_OBJECT
 public:
  TSitePanel(TMainForm& frame, site::TLinkUpdate& links);

  // ファイル › サイトを開く...: a folder chosen, shown and kept in Editor.ini.
  void OpenSiteClick();
  void OpenSite(const QString& folder);
  QString Root() const { return root_; }

  void NewPageClick();
  void NewFolderClick();
  void RenameClick();
  void DeleteClick();

  // How the folder is asked for; tests answer it (nullopt: cancelled).
  std::function<std::optional<std::string>(const std::string& start)> ChooseFolder;

 private:
  void SetRoot(const QString& folder);
  void ReadProfiles();
  void FillSites();
  void Activated(const QModelIndex& index);
  QString Selected() const;
  // The folder new pages and folders go to: the selected one, the selected
  // file's, else the site's.
  QString TargetFolder() const;
  // A name typed for something new or renamed; empty after saying why not.
  QString AskName(const char* caption, const QString& initial);
  bool OpenUnder(const QString& path) const;

  TMainForm& frame_;
  site::TLinkUpdate& links_;
  publish::SiteMarks marks_;
  QFileSystemWatcher state_watcher_;  // Ferrox.ini and the sync records
  QString root_;

  // Tests find these by their object names.
  QComboBox* cmbSite = nullptr;
  QLabel* lblHint = nullptr;
  QTreeView* tvSite = nullptr;
  SiteTreeModel* model_ = nullptr;
  QAction* actNewPage = nullptr;
  QAction* actNewFolder = nullptr;
  QAction* actRename = nullptr;
  QAction* actDelete = nullptr;
};

// Makes the panel, docked at the frame's left, with its menu commands.
TSitePanel* AttachSitePanel(TMainForm& frame, site::TLinkUpdate& links);

}  // namespace hemlo
