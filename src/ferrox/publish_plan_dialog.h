#pragma once
// The dialog "公開の確認": the publish plan file by file with its reason,
// the counts and bytes, a tick on each conflict and each file without a
// record, the tick "サーバにしかないファイルを削除", and 実行 / キャンセル.
// After the run the same dialog shows the result, every failure by file.
// It never blocks: ShowPlan and ShowResult open it window-modal and return;
// 実行 emits executeClicked with the choices in Plan(), キャンセル and
// Escape reject. A plan that could wipe the site says so in red at the top
// and runs only once its own tick is set, and never on Enter.
#include <QDialog>

#include "publish/publish_plan_view.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace hemlo::transfer_ui {

class PublishPlanDialog : public QDialog {
  Q_OBJECT

 public:
  explicit PublishPlanDialog(QWidget* parent = nullptr);

  void ShowPlan(transfer::PlanView plan);
  // The plan with the author's ticks.
  const transfer::PlanView& Plan() const { return plan_; }
  void ShowResult(const transfer::PublishResult& result);
  bool ShowingResult() const;
  // Offers サイトチェック... on the plan (siteCheckClicked).
  void OfferSiteCheck(bool offer);
  // How many problems the site check found in the pages the plan sends;
  // negative: not counted (the line stays hidden). Says so; never stops 実行.
  void ShowProblems(int count);

 signals:
  void executeClicked();
  void siteCheckClicked();

 private:
  void RowTicked(QTreeWidgetItem* item, int column);
  void UpdateTotals();
  // The red warnings, their tick, and whether 実行 may run (and be Enter's).
  void UpdateGuard();

  // Tests find these by their object names.
  QStackedWidget* pages_ = nullptr;
  QLabel* lblGuard = nullptr;
  QCheckBox* cbGuardConfirm = nullptr;
  QLabel* lblTarget = nullptr;
  QTreeWidget* lvPlan = nullptr;
  QLabel* lblNotes = nullptr;
  QCheckBox* cbDeleteServerOnly = nullptr;
  QLabel* lblTotals = nullptr;
  QLabel* lblProblems = nullptr;
  QPushButton* btnSiteCheck = nullptr;
  QPushButton* btnExecute = nullptr;
  QPushButton* btnCancel = nullptr;
  QLabel* lblResult = nullptr;
  QTreeWidget* lvFailures = nullptr;
  QPushButton* btnClose = nullptr;

  transfer::PlanView plan_;
  bool filling_ = false;
};

}  // namespace hemlo::transfer_ui
