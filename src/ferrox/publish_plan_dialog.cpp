#include "ferrox/publish_plan_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "remote/cell_text.h"

namespace hemlo::transfer_ui {

namespace {

QString U(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

QTreeWidget* List(const char* name, const QStringList& captions, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setHeaderLabels(captions);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  return list;
}

}  // namespace

PublishPlanDialog::PublishPlanDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PublishPlanDialog"));
  setWindowTitle(QStringLiteral("公開の確認"));
  resize(560, 420);
  auto* root = new QVBoxLayout(this);
  pages_ = new QStackedWidget(this);
  root->addWidget(pages_);

  // ---- the plan ----
  auto* plan_page = new QWidget(pages_);
  auto* plan = new QVBoxLayout(plan_page);
  plan->setContentsMargins(0, 0, 0, 0);
  lblGuard = new QLabel(plan_page);
  lblGuard->setObjectName(QStringLiteral("lblGuard"));
  lblGuard->setTextFormat(Qt::PlainText);
  lblGuard->setWordWrap(true);
  lblGuard->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
  lblGuard->hide();
  plan->addWidget(lblGuard);
  cbGuardConfirm = new QCheckBox(QStringLiteral("上の警告を確かめたうえで実行する"), plan_page);
  cbGuardConfirm->setObjectName(QStringLiteral("cbGuardConfirm"));
  cbGuardConfirm->hide();
  plan->addWidget(cbGuardConfirm);
  lblTarget = new QLabel(plan_page);
  lblTarget->setObjectName(QStringLiteral("lblTarget"));
  lblTarget->setTextFormat(Qt::PlainText);
  plan->addWidget(lblTarget);
  lvPlan =
      List("lvPlan", {QStringLiteral("ファイル"), QStringLiteral("理由"), QStringLiteral("サイズ")},
           plan_page);
  lvPlan->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  lvPlan->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  plan->addWidget(lvPlan, 1);
  lblNotes = new QLabel(plan_page);
  lblNotes->setObjectName(QStringLiteral("lblNotes"));
  lblNotes->setTextFormat(Qt::PlainText);
  lblNotes->setWordWrap(true);
  plan->addWidget(lblNotes);
  cbDeleteServerOnly = new QCheckBox(QStringLiteral("サーバにしかないファイルを削除"), plan_page);
  cbDeleteServerOnly->setObjectName(QStringLiteral("cbDeleteServerOnly"));
  plan->addWidget(cbDeleteServerOnly);
  lblTotals = new QLabel(plan_page);
  lblTotals->setObjectName(QStringLiteral("lblTotals"));
  plan->addWidget(lblTotals);
  lblProblems = new QLabel(plan_page);
  lblProblems->setObjectName(QStringLiteral("lblProblems"));
  lblProblems->hide();
  plan->addWidget(lblProblems);
  auto* buttons = new QHBoxLayout;
  btnSiteCheck = Button("btnSiteCheck", QStringLiteral("サイトチェック..."), plan_page);
  btnSiteCheck->setToolTip(QStringLiteral("公開する前に、リンク切れなどを確かめます"));
  btnSiteCheck->hide();
  buttons->addWidget(btnSiteCheck);
  buttons->addStretch(1);
  btnExecute = Button("btnExecute", QStringLiteral("実行"), plan_page);
  btnCancel = Button("btnCancel", QStringLiteral("キャンセル"), plan_page);
  buttons->addWidget(btnExecute);
  buttons->addWidget(btnCancel);
  plan->addLayout(buttons);
  pages_->addWidget(plan_page);

  // ---- the result ----
  auto* result_page = new QWidget(pages_);
  auto* result = new QVBoxLayout(result_page);
  result->setContentsMargins(0, 0, 0, 0);
  lblResult = new QLabel(result_page);
  lblResult->setObjectName(QStringLiteral("lblResult"));
  lblResult->setWordWrap(true);
  lblResult->setTextFormat(Qt::PlainText);
  result->addWidget(lblResult);
  // Without failures the line stays at the top, not in the middle.
  lblResult->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lvFailures =
      List("lvFailures", {QStringLiteral("ファイル"), QStringLiteral("失敗の理由")}, result_page);
  lvFailures->header()->setSectionResizeMode(0, QHeaderView::Interactive);
  lvFailures->header()->setStretchLastSection(true);
  lvFailures->setColumnWidth(0, 240);
  result->addWidget(lvFailures, 1);
  auto* close_row = new QHBoxLayout;
  close_row->addStretch(1);
  btnClose = Button("btnClose", QStringLiteral("閉じる"), result_page);
  close_row->addWidget(btnClose);
  result->addLayout(close_row);
  pages_->addWidget(result_page);

  connect(lvPlan, &QTreeWidget::itemChanged, this, &PublishPlanDialog::RowTicked);
  connect(cbDeleteServerOnly, &QCheckBox::toggled, this, [this](bool on) {
    plan_.delete_server_only = on;
    UpdateTotals();
  });
  connect(cbGuardConfirm, &QCheckBox::toggled, this, [this] { UpdateGuard(); });
  connect(btnExecute, &QPushButton::clicked, this, [this] {
    if (!transfer::GuardLines(plan_).empty() && !cbGuardConfirm->isChecked()) return;
    accept();
    emit executeClicked();
  });
  connect(btnSiteCheck, &QPushButton::clicked, this, &PublishPlanDialog::siteCheckClicked);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void PublishPlanDialog::ShowPlan(transfer::PlanView plan) {
  plan_ = std::move(plan);
  // The target is the site's remote folder: say so when nothing was ever
  // published there from this site folder, and first of all when it is not
  // the folder on show.
  lblTarget->setText((plan_.target_warning.empty() ? QString() : U(plan_.target_warning) + '\n') +
                     QStringLiteral("公開先: ") + U(plan_.target) +
                     (plan_.first_publish
                          ? QStringLiteral("（このサイトフォルダからは初めての公開先です）")
                          : QString()));
  QStringList notes;
  for (const auto& note : plan_.notes) notes << U(note);
  lblNotes->setText(notes.join('\n'));
  lblNotes->setVisible(!notes.isEmpty());
  filling_ = true;
  lvPlan->clear();
  QList<QTreeWidgetItem*> items;
  for (const auto& row : plan_.rows) {
    auto* item =
        new QTreeWidgetItem({row.from.empty() ? U(row.path) : U(row.from + " → " + row.path),
                             QString::fromUtf8(transfer::PlanReasonText(row.reason)),
                             row.reason == transfer::PlanReason::kNewFolder ||
                                     row.reason == transfer::PlanReason::kServerOnlyFolder
                                 ? QString()
                                 : QString::fromStdString(transfer::SizeCellText(row.bytes))});
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    if (transfer::RowHasTick(row.reason))
      item->setCheckState(0, row.ticked ? Qt::Checked : Qt::Unchecked);
    items.append(item);
  }
  if (!plan_.excluded.empty()) {
    // After the rows, closed: what was left out is there to look up.
    auto* group = new QTreeWidgetItem(
        {QStringLiteral("除外したファイル（%1件）").arg(plan_.excluded.size()),
         QStringLiteral("除外")});
    for (const auto& path : plan_.excluded)
      group->addChild(new QTreeWidgetItem({U(path), QStringLiteral("除外")}));
    items.append(group);
  }
  lvPlan->setRootIsDecorated(!plan_.excluded.empty());
  lvPlan->addTopLevelItems(items);
  cbDeleteServerOnly->setChecked(plan_.delete_server_only);
  cbGuardConfirm->setChecked(false);
  filling_ = false;
  pages_->setCurrentIndex(0);
  UpdateTotals();
  if (btnExecute->isDefault())
    btnExecute->setFocus();
  else
    btnCancel->setFocus();
  open();
}

void PublishPlanDialog::RowTicked(QTreeWidgetItem* item, int column) {
  if (filling_ || column != 0) return;
  const int i = lvPlan->indexOfTopLevelItem(item);
  if (i < 0 || static_cast<size_t>(i) >= plan_.rows.size()) return;
  auto& row = plan_.rows[static_cast<size_t>(i)];
  if (!transfer::RowHasTick(row.reason)) return;
  row.ticked = item->checkState(0) == Qt::Checked;
  UpdateTotals();
}

void PublishPlanDialog::UpdateTotals() {
  lblTotals->setText(U(transfer::TotalsText(transfer::TotalsOf(plan_))));
  // Rows that will not run show greyed (no tick handling meanwhile).
  const bool was_filling = filling_;
  filling_ = true;
  for (int i = 0; i < lvPlan->topLevelItemCount() && static_cast<size_t>(i) < plan_.rows.size();
       ++i) {
    const bool runs =
        transfer::RowRuns(plan_.rows[static_cast<size_t>(i)], plan_.delete_server_only);
    QTreeWidgetItem* item = lvPlan->topLevelItem(i);
    const QBrush brush =
        runs ? palette().text() : palette().brush(QPalette::Disabled, QPalette::Text);
    for (int c = 0; c < 3; ++c) item->setForeground(c, brush);
  }
  filling_ = was_filling;
  UpdateGuard();
}

void PublishPlanDialog::UpdateGuard() {
  const auto lines = transfer::GuardLines(plan_);
  QStringList shown;
  for (const auto& line : lines) shown << U(line);
  lblGuard->setText(shown.join('\n'));
  lblGuard->setVisible(!lines.empty());
  cbGuardConfirm->setVisible(!lines.empty());
  // A guarded plan has no default button: Enter runs nothing, whatever
  // has the focus (no button here is auto-default).
  btnExecute->setDefault(lines.empty());
  btnExecute->setEnabled(lines.empty() || cbGuardConfirm->isChecked());
}

void PublishPlanDialog::ShowResult(const transfer::PublishResult& result) {
  lblResult->setText(U(transfer::ResultText(result)));
  lvFailures->clear();
  QList<QTreeWidgetItem*> items;
  for (const auto& f : result.failures) {
    auto* item = new QTreeWidgetItem({U(f.path), U(f.message)});
    item->setToolTip(1, U(f.message));  // the column cuts a long server reply
    items.append(item);
  }
  lvFailures->addTopLevelItems(items);
  lvFailures->setVisible(!result.failures.empty());
  pages_->setCurrentIndex(1);
  btnClose->setDefault(true);
  btnClose->setFocus();
  open();
}

void PublishPlanDialog::OfferSiteCheck(bool offer) {
  btnSiteCheck->setVisible(offer);
  if (!offer) ShowProblems(-1);
}

void PublishPlanDialog::ShowProblems(int count) {
  lblProblems->setVisible(count >= 0);
  if (count == 0)
    lblProblems->setText(QStringLiteral("送るページにサイトチェックの問題はありません"));
  else if (count > 0)
    lblProblems->setText(
        QStringLiteral("送るページにサイトチェックの問題が %1 件あります（公開はできます）").arg(count));
}

bool PublishPlanDialog::ShowingResult() const { return isVisible() && pages_->currentIndex() == 1; }

}  // namespace hemlo::transfer_ui
