#pragma once
// The window "サイト内検索･置換": search every page under a folder, replace
// with every change shown and tickable first, undo the whole replacement.
#include <QWidget>
#include <optional>

#include "base/prompts.h"
#include "site/site_host.h"
#include "site/site_replace.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace hemlo::site {

class TSiteSearch : public QWidget {
  Q_OBJECT
 public:
  TSiteSearch(QWidget* frame, SiteHost& host, Prompts& prompts);

  // 編集 › サイト内検索･置換...: shows the window, the folder of the active page filled in.
  void ShowFor();

  void SearchClick();   // 検索
  void PreviewClick();  // 置換の確認: every change listed, ticked
  void ReplaceClick();  // 置換: the ticked changes written
  void UndoClick();     // 元に戻す: the last replacement undone
  void ItemDoubleClicked(QTreeWidgetItem* item);

 private:
  SearchOptions Options() const;
  void Run(bool with_replacement);
  void Fill();

  // Tests find these by their object names.
  QLineEdit* edFolder;
  QLineEdit* edSearch;
  QLineEdit* edReplace;
  QLineEdit* edPatterns;
  QCheckBox* chkCase;
  QCheckBox* chkWord;
  QCheckBox* chkRegex;
  QPushButton* btnSearch;
  QPushButton* btnPreview;
  QPushButton* btnReplace;
  QPushButton* btnUndo;
  QTreeWidget* lvResults;
  QLabel* lblStatus;

  SiteHost& host_;
  Prompts& prompts_;
  SearchResult result_;
  bool previewing_ = false;
  std::optional<ReplaceRecord> last_;
};

}  // namespace hemlo::site
