#include "site/site_check_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/atomic_file.h"
#include "site/open_pages.h"
#include "site/site_window_parts.h"

namespace hemlo::site {

namespace {

constexpr int kFindingRole = Qt::UserRole;

}  // namespace

TSiteCheck::TSiteCheck(QWidget* frame, SiteHost& host, Prompts& prompts)
    : QWidget(frame, Qt::Window), host_(host), prompts_(prompts) {
  setObjectName(QStringLiteral("SiteCheck"));
  setWindowTitle(QStringLiteral("サイトチェック"));
  resize(720, 420);
  edFolder = new QLineEdit(this);
  edFolder->setObjectName(QStringLiteral("edFolder"));
  auto* browse = new QPushButton(QStringLiteral("参照..."), this);
  btnCheck = new QPushButton(QStringLiteral("チェック"), this);
  btnCheck->setObjectName(QStringLiteral("btnCheck"));
  btnFillSize = new QPushButton(QStringLiteral("幅と高さを入れる"), this);
  btnFillSize->setObjectName(QStringLiteral("btnFillSize"));
  btnFillSize->setEnabled(false);
  lvFindings = new QTreeWidget(this);
  lvFindings->setObjectName(QStringLiteral("lvFindings"));
  lvFindings->setHeaderLabels(
      {QStringLiteral("ファイル"), QStringLiteral("行"), QStringLiteral("内容")});
  lvFindings->setRootIsDecorated(false);
  lvFindings->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvFindings->setColumnWidth(0, 200);
  lvFindings->setColumnWidth(1, 50);
  lblStatus = new QLabel(this);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("サイトのフォルダ:"), this));
  top->addWidget(edFolder, 1);
  top->addWidget(browse);
  top->addWidget(btnCheck);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(lblStatus, 1);
  bottom->addWidget(btnFillSize);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(lvFindings, 1);
  layout->addLayout(bottom);

  ConnectFolderBrowse(*this, *browse, *edFolder);
  connect(btnCheck, &QPushButton::clicked, this, &TSiteCheck::CheckClick);
  connect(btnFillSize, &QPushButton::clicked, this, &TSiteCheck::FillSizeClick);
  connect(lvFindings, &QTreeWidget::itemDoubleClicked, this, &TSiteCheck::ItemDoubleClicked);
  connect(lvFindings, &QTreeWidget::itemSelectionChanged, this, &TSiteCheck::UpdateButtons);
}

void TSiteCheck::ShowFor() { ShowInStartFolder(*this, *edFolder, host_); }

void TSiteCheck::CheckFolder(const QString& folder) {
  edFolder->setText(folder);
  show();
  raise();
  activateWindow();
  CheckClick();
}

void TSiteCheck::CheckFiles(const QString& folder,
                            const std::vector<std::filesystem::path>& files) {
  edFolder->setText(folder);
  show();
  raise();
  activateWindow();
  const std::vector<std::filesystem::path> checked = CheckedFiles(files);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // Nothing to read is no problem; an empty list would mean the whole site.
  result_ = checked.empty() ? CheckResult{} : CheckSite(S(folder), checked);
  QApplication::restoreOverrideCursor();
  Fill();
}

void TSiteCheck::CheckClick() {
  std::error_code ec;
  if (edFolder->text().isEmpty() || !std::filesystem::is_directory(S(edFolder->text()), ec)) {
    prompts_.Message("確認", "チェックするサイトのフォルダを指定してください。", Buttons::Ok,
                     Icon::Warning);
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  result_ = CheckSite(S(edFolder->text()));
  QApplication::restoreOverrideCursor();
  Fill();
}

void TSiteCheck::Fill() {
  lvFindings->clear();
  QList<QTreeWidgetItem*> items;
  const std::string root = S(edFolder->text());
  for (std::size_t i = 0; i < result_.findings.size(); ++i) {
    const Finding& f = result_.findings[i];
    std::error_code ec;
    const auto rel = std::filesystem::relative(f.page, root, ec);
    auto* item = new QTreeWidgetItem;
    item->setText(0, U(ec || rel.empty() ? f.page.string() : rel.generic_string()));
    item->setText(1, QString::number(f.line));
    item->setText(2, U(f.message));
    item->setData(0, kFindingRole, static_cast<qulonglong>(i));
    items.push_back(item);
  }
  lvFindings->addTopLevelItems(items);
  lblStatus->setText(
      result_.findings.empty()
          ? QStringLiteral("%1 ページに問題は見つかりませんでした").arg(result_.pages)
          : QStringLiteral("%1 ページで %2 件の問題が見つかりました")
                .arg(result_.pages)
                .arg(result_.findings.size()));
  UpdateButtons();
}

void TSiteCheck::UpdateButtons() {
  bool fillable = false;
  for (QTreeWidgetItem* item : lvFindings->selectedItems()) {
    const Finding& f = result_.findings[item->data(0, kFindingRole).toULongLong()];
    fillable = fillable || (f.problem == Problem::kImageWithoutSize && f.image_size);
  }
  btnFillSize->setEnabled(fillable);
}

void TSiteCheck::FillSizeClick() {
  // Later tags first, so the offsets of the earlier ones in a page still hold.
  std::vector<std::size_t> chosen;
  for (QTreeWidgetItem* item : lvFindings->selectedItems())
    chosen.push_back(item->data(0, kFindingRole).toULongLong());
  std::sort(chosen.begin(), chosen.end(), [this](std::size_t a, std::size_t b) {
    const Finding& x = result_.findings[a];
    const Finding& y = result_.findings[b];
    return x.page != y.page ? x.page < y.page : x.offset > y.offset;
  });
  std::string errors;
  for (std::size_t i : chosen) {
    const Finding& f = result_.findings[i];
    if (f.problem != Problem::kImageWithoutSize || !f.image_size) continue;
    if (text::EditPane* pane = host_.OpenPane(f.page); pane && pane->Modified()) {
      errors += "\n" + f.page.string() + " には保存されていない変更があります。";
      continue;
    }
    FileChange change{f.page, Encoding::kShiftJis, {}, {}};
    ReadWholeFile(f.page, change.before);
    const std::string error = FillImageSize(f);
    if (!error.empty()) {
      errors += "\n" + error;
    } else if (ReadWholeFile(f.page, change.after)) {
      // An open page shows the new tag, one undo step away.
      RefreshOpenPages({{std::move(change)}, 1}, false, host_);
    }
  }
  if (!errors.empty())
    prompts_.Message("確認", "大きさを入れられなかった画像があります:" + errors, Buttons::Ok,
                     Icon::Warning);
  CheckClick();
}

void TSiteCheck::ItemDoubleClicked(QTreeWidgetItem* item) {
  if (!item) return;
  const auto i = item->data(0, kFindingRole).toULongLong();
  if (i >= result_.findings.size()) return;
  const Finding& f = result_.findings[i];
  host_.ShowPlace(f.page, f.line, f.column);
}

}  // namespace hemlo::site
