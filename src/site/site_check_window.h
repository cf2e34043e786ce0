#pragma once
// The window "サイトチェック": the findings of the site check as a list,
// a double click to the place, and the missing image sizes filled in.
#include <QWidget>

#include "base/prompts.h"
#include "site/site_check.h"
#include "site/site_host.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace hemlo::site {

class TSiteCheck : public QWidget {
  Q_OBJECT
 public:
  TSiteCheck(QWidget* frame, SiteHost& host, Prompts& prompts);

  // ファイル › サイトチェック...: shows the window for the active page's folder.
  void ShowFor();
  void CheckClick();  // チェック
  // Shows the window and checks `folder` at once (before a publish).
  void CheckFolder(const QString& folder);
  // Shows the window and checks only `files` of the site `folder` (the
  // pages a publish sends); a later チェック checks the whole folder again.
  void CheckFiles(const QString& folder, const std::vector<std::filesystem::path>& files);
  void FillSizeClick();  // 幅と高さを入れる: for the selected image findings
  void ItemDoubleClicked(QTreeWidgetItem* item);

 private:
  void Fill();
  void UpdateButtons();

  // Tests find these by their object names.
  QLineEdit* edFolder;
  QPushButton* btnCheck;
  QPushButton* btnFillSize;
  QTreeWidget* lvFindings;
  QLabel* lblStatus;

  SiteHost& host_;
  Prompts& prompts_;
  CheckResult result_;
};

}  // namespace hemlo::site
