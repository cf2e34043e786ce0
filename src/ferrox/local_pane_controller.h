#pragma once
// The Ferrox window's local pane as a user drives it: the folder shown,
// the folder list's menu (make, delete, rename) and deleting files.
#include <QString>
#include <string>
#include <vector>

#include "ferrox/window_layout.h"

namespace hemlo::transfer_ui {

class LocalPaneController {
 public:
  explicit LocalPaneController(const WindowViews& views) : v_(views) {}

  // The local folder (UTF-8, no trailing separator except for "/").
  std::string Folder() const;
  // Moves the folder list (the drive box follows) and refills the local
  // list. False when `folder` is not an existing folder.
  bool SetFolder(const QString& folder);
  // Re-reads the folder list and the local list; the local list alone.
  void RefreshAll();
  void RefreshFiles();
  // Names of the selected local rows, in list order (UTF-8).
  std::vector<std::string> SelectedNames() const;

  void MakeFolder();
  // Moves the folder shown to the desktop trash, after asking.
  void DeleteFolder();
  void RenameFolder();
  void DeleteSelectedFiles();

 private:
  const WindowViews& v_;
};

}  // namespace hemlo::transfer_ui
