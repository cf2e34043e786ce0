#pragma once
// ファイル › 以前の版...: the active page's kept versions (time, size, what
// wrote over them), each compared with the pane's present text, and 復元,
// which puts the chosen one into the pane as one undo step (saved only when
// the user saves).
#include <QDialog>
#include <QPointer>
#include <string>
#include <vector>

#include "base/version_store.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace hemlo {

class TMainForm;
class TMDIChild;

class TVersionsWindow : public QDialog {
  Q_OBJECT
 public:
  explicit TVersionsWindow(TMainForm* frame);

 public slots:
  // Lists the versions of the frame's active page.
  void ShowFor();

 private:
  void ShowDifference();
  void RestoreClick();
  std::optional<std::string> ChosenBytes() const;

  TMainForm* frame_;
  QPointer<TMDIChild> child_;
  std::string page_;
  std::vector<StoredVersion> versions_;
  QLabel* lblPage;
  QTreeWidget* lstVersions;
  QPlainTextEdit* memDifference;
  QPushButton* btnRestore;
};

// Creates the window hidden and connects 以前の版....
void WireVersionsWindow(TMainForm& frame);

}  // namespace hemlo
