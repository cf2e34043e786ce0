#pragma once
// The window "リンクの更新": a file or folder of the site moved or renamed
// with every link to it rewritten, each change listed with a tick before
// anything is written, and one 元に戻す for the whole move.
#include <QWidget>
#include <optional>

#include "base/prompts.h"
#include "site/link_rewrite.h"
#include "site/site_host.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace hemlo::site {

class TLinkUpdate : public QWidget {
  Q_OBJECT
 public:
  TLinkUpdate(QWidget* frame, SiteHost& host, Prompts& prompts);

  // サイト › 移動･名前の変更 (リンクの更新)...: shows the window in the site folder.
  void ShowFor();
  // A move asked for elsewhere (the site panel): the window with `from` and
  // `to` (under `root`) filled in and listed, for the author to look at
  // before anything is written.
  void ShowMove(const std::filesystem::path& root, const std::filesystem::path& from,
                const std::filesystem::path& to);

  void ListClick();  // 一覧: every change the move needs, ticked
  void MoveClick();  // 移動: the ticked changes written and the name changed
  void UndoClick();  // 元に戻す: every file and the name put back

 private:
  void Fill();
  std::filesystem::path InFolder(const QString& text) const;
  void ShowVersionNotice(const std::string& failure);

  // Tests find these by their object names.
  QLineEdit* edFolder;
  QLineEdit* edFrom;
  QLineEdit* edTo;
  QPushButton* btnList;
  QPushButton* btnMove;
  QPushButton* btnUndo;
  QTreeWidget* lvChanges;
  QCheckBox* chkRedirect;  // a moved page leaves a redirect page at its old address
  QLabel* lblStatus;

  SiteHost& host_;
  Prompts& prompts_;
  std::optional<LinkPlan> plan_;
  std::optional<MoveRecord> last_;
};

}  // namespace hemlo::site
