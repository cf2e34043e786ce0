#include "site/shared_parts_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/program_folder.h"
#include "site/open_pages.h"
#include "site/site_window_parts.h"

namespace hemlo::site {

namespace {

constexpr int kPageRole = Qt::UserRole + 1;

std::string StateText(const PartPage& p) {
  switch (p.state) {
    case PageState::kUpdate:
      return "更新";
    case PageState::kHandEdited:
      return "手で変更されています（チェックすると上書きします）";
    case PageState::kBroken:
      return "共通部品の目印が壊れています（変更しません）";
    case PageState::kUnencodable:
      return "Shift-JIS のため「" + p.refused + "」を書き込めません（変更しません）";
  }
  return {};
}

std::string Joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

}  // namespace

std::filesystem::path TSharedParts::RecordsFolder() { return ProgramFolder() / "SharedParts"; }

TSharedParts::TSharedParts(QWidget* frame, SiteHost& host, Prompts& prompts)
    : QWidget(frame, Qt::Window), host_(host), prompts_(prompts) {
  setObjectName(QStringLiteral("SharedParts"));
  setWindowTitle(QStringLiteral("共通部品の更新"));
  resize(760, 420);
  lvPages = new QTreeWidget(this);
  lvPages->setObjectName(QStringLiteral("lvPages"));
  lvPages->setHeaderLabels(
      {QStringLiteral("ページ"), QStringLiteral("状態"), QStringLiteral("共通部品")});
  lvPages->setRootIsDecorated(false);
  lvPages->setUniformRowHeights(true);
  lblStatus = new QLabel(this);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  lblStatus->setWordWrap(true);
  btnUpdate = new QPushButton(QStringLiteral("更新"), this);
  btnUpdate->setObjectName(QStringLiteral("btnUpdate"));
  btnUndo = new QPushButton(QStringLiteral("元に戻す"), this);
  btnUndo->setObjectName(QStringLiteral("btnUndo"));
  btnUndo->setEnabled(false);
  auto* close = new QPushButton(QStringLiteral("閉じる"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lblStatus, 1);
  buttons->addWidget(btnUpdate);
  buttons->addWidget(btnUndo);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lvPages, 1);
  layout->addLayout(buttons);
  connect(btnUpdate, &QPushButton::clicked, this, &TSharedParts::UpdateClick);
  connect(btnUndo, &QPushButton::clicked, this, &TSharedParts::UndoClick);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  connect(lvPages, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    const auto i = item->data(0, kPageRole).toULongLong();
    if (i < plan_.pages.size()) host_.ShowPlace(plan_.pages[i].path, 1, 0);
  });
}

void TSharedParts::ShowPlan(const std::filesystem::path& site,
                            const std::vector<std::string>& only) {
  site_ = site;
  plan_ = PlanPartsUpdate(site, RecordsFolder(), only);
  Fill();
  show();
  raise();
  activateWindow();
}

void TSharedParts::Fill() {
  lvPages->clear();
  std::size_t ticked = 0;
  for (std::size_t i = 0; i < plan_.pages.size(); ++i) {
    const PartPage& p = plan_.pages[i];
    auto* item = new QTreeWidgetItem(lvPages);
    item->setText(0, U(p.path.lexically_relative(site_).generic_string()));
    item->setText(1, U(StateText(p)));
    item->setText(2, U(Joined(p.parts)));
    item->setData(0, kPageRole, static_cast<qulonglong>(i));
    if (p.state == PageState::kUpdate || p.state == PageState::kHandEdited) {
      item->setCheckState(0, p.included ? Qt::Checked : Qt::Unchecked);
      ticked += p.included ? 1 : 0;
    }
  }
  for (const std::string& m : plan_.missing) {
    auto* item = new QTreeWidgetItem(lvPages);
    item->setText(0, U(m.substr(0, m.rfind(": "))));
    item->setText(1, QStringLiteral("共通部品がありません（変更しません）"));
    item->setText(2, U(m.substr(m.rfind(": ") + 2)));
    item->setData(0, kPageRole, static_cast<qulonglong>(plan_.pages.size()));
  }
  lvPages->header()->resizeSections(QHeaderView::ResizeToContents);
  lblStatus->setText(plan_.pages.empty() && plan_.missing.empty()
                         ? QStringLiteral("更新の必要なページはありません")
                         : QStringLiteral("%1 ページを更新します（共通部品を使っているページ %2）")
                               .arg(ticked)
                               .arg(plan_.pages_holding));
  btnUpdate->setEnabled(ticked > 0 || !plan_.pages.empty());
}

void TSharedParts::UpdateClick() {
  for (int i = 0; i < lvPages->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = lvPages->topLevelItem(i);
    const auto k = item->data(0, kPageRole).toULongLong();
    if (k < plan_.pages.size()) plan_.pages[k].included = item->checkState(0) == Qt::Checked;
  }
  const SearchResult result = PlanAsReplacement(plan_);
  if (result.files.empty()) {
    lblStatus->setText(QStringLiteral("更新するページはありません"));
    return;
  }
  auto written =
      WriteWithOpenPages(result, "保存してから更新してください。", last_, *btnUndo, host_, prompts_);
  if (!written) return;
  ReplaceOutcome& out = *written;
  if (!WritePartRecords(site_, RecordsFolder(), plan_))
    prompts_.Message("確認",
                     "共通部品の記録を書き込めません。次の更新で手で変更されたページと"
                     "見なされることがあります。",
                     Buttons::Ok, Icon::Warning);
  lblStatus->setText(QStringLiteral("%1 ページを更新しました").arg(out.record.files.size()));
  last_ = std::move(out.record);
  plan_ = {};
  lvPages->clear();
  btnUpdate->setEnabled(false);
  btnUndo->setEnabled(true);
}

void TSharedParts::UndoClick() {
  UndoWithOpenPages(last_, *btnUndo, *lblStatus, QStringLiteral("%1 ページを元に戻しました"), host_,
                    prompts_);
}

}  // namespace hemlo::site
