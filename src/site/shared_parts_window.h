#pragma once
// The window "共通部品の更新": every page whose copy of a shared part changes,
// listed with a tick before anything is written (a hand-edited copy shown as
// such and unticked, broken markers, missing parts and characters a
// Shift-JIS page cannot hold named), then written, and undone in one step.
#include <QWidget>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/prompts.h"
#include "site/shared_parts.h"
#include "site/site_host.h"
#include "site/site_replace.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace hemlo::site {

class TSharedParts : public QWidget {
  Q_OBJECT
 public:
  TSharedParts(QWidget* frame, SiteHost& host, Prompts& prompts);

  // Lists the update of the named parts (every part when `only` is empty)
  // across the site and shows the window; nothing is written yet.
  void ShowPlan(const std::filesystem::path& site, const std::vector<std::string>& only = {});

  void UpdateClick();  // 更新: the ticked pages written
  void UndoClick();    // 元に戻す: the whole last update undone

  // Where the parts' records live (the program's state folder; tests set it).
  static std::filesystem::path RecordsFolder();

 private:
  void Fill();

  // Tests find these by their object names.
  QTreeWidget* lvPages;
  QLabel* lblStatus;
  QPushButton* btnUpdate;
  QPushButton* btnUndo;

  SiteHost& host_;
  Prompts& prompts_;
  std::filesystem::path site_;
  PartsPlan plan_;
  std::optional<ReplaceRecord> last_;
};

}  // namespace hemlo::site
