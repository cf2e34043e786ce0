#pragma once
// What the site windows share: the folder field they start in and its browse
// button, their labelled rows and change lists, writing and undoing a
// replacement with the open pages, and the conversion of file names at the
// widget boundary.
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "base/prompts.h"
#include "site/site_replace.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace hemlo::site {

class SiteHost;

inline QString U(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}
inline std::string S(const QString& s) { return s.toUtf8().toStdString(); }

// The button asks for a folder and puts it in the field.
void ConnectFolderBrowse(QWidget& owner, QPushButton& browse, QLineEdit& folder);

// Shows the window with the active page's folder in the field; without a page,
// a field still empty gets the site folder.
void ShowInStartFolder(QWidget& window, QLineEdit& folder, SiteHost& host);

// Rows of a label, its field and an optional button at the right.
class LabelledRows {
 public:
  explicit LabelledRows(QWidget& owner);
  void Add(const char* label, QWidget* field, QWidget* extra = nullptr);
  QGridLayout* grid() const { return grid_; }

 private:
  QWidget& owner_;
  QGridLayout* grid_;
  int row_ = 0;
};

// A flat list of changes, one row each, whose columns the user can widen.
void SetUpChangeList(QTreeWidget& list, const QStringList& headers, int first_width,
                     int third_width);

// Writes the replacement and gives the open pages their new bytes. Nothing is
// written while one of its open pages has unsaved edits: the message names
// them, ending with `save_first`. A write that failed part way keeps what it
// wrote undoable in `last`. Returns the outcome only when all was written.
std::optional<ReplaceOutcome> WriteWithOpenPages(const SearchResult& result, const char* save_first,
                                                 std::optional<ReplaceRecord>& last,
                                                 QPushButton& undo, SiteHost& host,
                                                 Prompts& prompts);

// Puts back the last replacement; `done` is the status line with %1 for the
// count of files put back.
void UndoWithOpenPages(std::optional<ReplaceRecord>& last, QPushButton& undo, QLabel& status,
                       const QString& done, SiteHost& host, Prompts& prompts);

}  // namespace hemlo::site
