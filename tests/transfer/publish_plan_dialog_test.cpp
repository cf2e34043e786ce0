// The publish confirmation: what the ticks make of the plan, and the
// result view naming each failed file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "ferrox/publish_plan_dialog.h"

namespace hemlo::transfer_ui {
namespace {

using transfer::PlanReason;

TEST(PublishPlanDialog, TicksDecideWhatRunsAndResultNamesFailures) {
  PublishPlanDialog d;
  transfer::PlanView plan;
  plan.rows = {
      {"index.htm", PlanReason::kChanged, 1200},
      {"img", PlanReason::kNewFolder, 0},
      {"img/a.gif", PlanReason::kNew, 3000},
      {"about.htm", PlanReason::kConflict, 500},
      {"same.htm", PlanReason::kNoRecordSameSize, 40},
      {"old.htm", PlanReason::kServerOnly, 70},
      {"old", PlanReason::kServerOnlyFolder, 0},
      {"gone/x.htm", PlanReason::kServerOnly, 9, false, true},  // a folder replaces it
  };
  plan.unchanged = 5;
  plan.server_files = 40;  // three deletions stay below the guard's share
  d.ShowPlan(plan);
  auto* list = d.findChild<QTreeWidget*>("lvPlan");
  auto* totals = d.findChild<QLabel*>("lblTotals");
  auto* remove = d.findChild<QCheckBox*>("cbDeleteServerOnly");
  ASSERT_TRUE(list && totals && remove);
  ASSERT_EQ(list->topLevelItemCount(), 8);
  EXPECT_EQ(list->topLevelItem(3)->text(1), QStringLiteral("サーバ側で変更（競合）"));
  EXPECT_EQ(list->topLevelItem(4)->text(1), QStringLiteral("記録なし（同じサイズ）"));

  struct Step {
    int tick_row;  // -1: the deletion tick instead
    std::vector<bool> runs;
    QString totals;
  };
  const Step steps[] = {
      {-2,
       {true, true, true, false, false, false, false, true},
       QStringLiteral(
           "送信 2件（4,200 バイト）　フォルダ作成 1件　削除 1件　対象外 4件　変更なし 5件")},
      {3,
       {true, true, true, true, false, false, false, true},
       QStringLiteral(
           "送信 3件（4,700 バイト）　フォルダ作成 1件　削除 1件　対象外 3件　変更なし 5件")},
      {4,
       {true, true, true, true, true, false, false, true},
       QStringLiteral(
           "送信 4件（4,740 バイト）　フォルダ作成 1件　削除 1件　対象外 2件　変更なし 5件")},
      {-1,
       {true, true, true, true, true, true, true, true},
       QStringLiteral(
           "送信 4件（4,740 バイト）　フォルダ作成 1件　削除 3件　対象外 0件　変更なし 5件")},
      {3,
       {true, true, true, false, true, true, true, true},
       QStringLiteral(
           "送信 3件（4,240 バイト）　フォルダ作成 1件　削除 3件　対象外 1件　変更なし 5件")},
  };
  for (const Step& s : steps) {
    if (s.tick_row == -1) remove->setChecked(!remove->isChecked());
    if (s.tick_row >= 0) {
      QTreeWidgetItem* item = list->topLevelItem(s.tick_row);
      item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    for (size_t i = 0; i < s.runs.size(); ++i)
      EXPECT_EQ(transfer::RowRuns(d.Plan().rows[i], d.Plan().delete_server_only), s.runs[i])
          << "row " << i << " after tick " << s.tick_row;
    EXPECT_EQ(totals->text(), s.totals);
  }
  // Rows without a tick of their own cannot be unticked.
  EXPECT_FALSE(list->topLevelItem(0)->data(0, Qt::CheckStateRole).isValid());

  QSignalSpy execute(&d, &PublishPlanDialog::executeClicked);
  // Enter answers 実行 on the plan and 閉じる on the result.
  QTest::keyClick(&d, Qt::Key_Return);
  EXPECT_EQ(execute.count(), 1);
  EXPECT_FALSE(d.isVisible());

  transfer::PublishResult result;
  result.files_sent = 2;
  result.bytes_sent = 4200;
  result.deleted = 1;
  result.failures = {{"about.htm", "サーバによって拒否されました"}, {"old", "削除できません"}};
  d.ShowResult(result);
  EXPECT_TRUE(d.ShowingResult());
  EXPECT_EQ(d.findChild<QLabel*>("lblResult")->text(),
            QStringLiteral("送信 2件（4,200 バイト）、フォルダ作成 0件、削除 1件、失敗 2件"));
  auto* failures = d.findChild<QTreeWidget*>("lvFailures");
  ASSERT_EQ(failures->topLevelItemCount(), 2);
  EXPECT_EQ(failures->topLevelItem(1)->text(0), QStringLiteral("old"));
  EXPECT_EQ(failures->topLevelItem(1)->text(1), QStringLiteral("削除できません"));
  EXPECT_EQ(failures->topLevelItem(0)->toolTip(1), QStringLiteral("サーバによって拒否されました"));
  QTest::keyClick(&d, Qt::Key_Return);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(execute.count(), 1);
}

}  // namespace
}  // namespace hemlo::transfer_ui
