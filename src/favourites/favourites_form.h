#pragma once
// The favourites window "お気に入り一覧": created hidden at start-up (which
// loads favorite.ini), shown modally by the frame's お気に入り command.
#include <QDialog>
#include <QPointer>

#include "base/prompts.h"
#include "favourites/favourites.h"
#include "favourites/favourites_host.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace hemlo::favourites {

class TForm4 : public QDialog {
  Q_OBJECT

 public:
  // `frame` is the main frame window (placement); `host` and `prompts` must
  // outlive the window. Loads the favourites list (FormCreate).
  TForm4(QWidget* frame, FavouritesHost& host, Prompts& prompts);

  // The frame's mnuFavoriteClick: builds the tree, shows the window modally,
  // and releases the favourite records of this opening once it has closed.
  void mnuFavoriteClick();
  // The steps before and after the modal loop, for callers (and tests) that
  // show the window themselves.
  void BuildTree();
  void ReleaseRecords();

  // Writes the tree back to the list and favorite.ini, then closes the
  // window; on a failed write reports it and stays open.
  void SaveFavourites();
  // The frame's FormClose: the list is released.
  void ReleaseList() { list_.clear(); }

  const FavouritesList& List() const { return list_; }
  // Records made during the current opening.
  const FavouriteRecordList& Records() const { return FavouriteRecords; }

 public slots:
  void Button1Click();
  void Button2Click();
  void Add1Click();
  void Add2Click();
  void Delete1Click();

 protected:
  // Escape presses 閉じる (saves); the title-bar close box does not save.
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  QTreeWidgetItem* SelectedNode() const;
  // A new entry from the active web pane's page; null (after telling the
  // user) when its title or address has no Shift-JIS form.
  QTreeWidgetItem* NewEntryFromPage(const std::string& url, const std::string& title);
  QTreeWidgetItem* NewCategoryNode(const std::string& name_cp932);
  std::vector<FavouriteCategory> TreeInDisplayOrder() const;
  void Center();

  // Tests find these by their object names.
  QLabel* Label1;
  QTreeWidget* TreeView1;
  QPushButton* Button1;
  QPushButton* Button2;
  QMenu* PopupMenu1;
  QAction* Add1;
  QAction* Add2;
  QAction* Delete1;

  QPointer<QWidget> frame_;
  FavouritesHost& host_;
  Prompts& prompts_;
  FavouritesList list_;
  FavouriteRecordList FavouriteRecords;
};

}  // namespace hemlo::favourites
