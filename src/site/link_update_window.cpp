#include "site/link_update_window.h"

#include "base/version_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "site/link_write.h"
#include "site/open_pages.h"
#include "site/site_window_parts.h"

namespace hemlo::site {

namespace {

constexpr int kFileRole = Qt::UserRole;
constexpr int kChangeRole = Qt::UserRole + 1;

template <typename T>
T* Named(T* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

// The changes of a move as the replacement's record, for the open pages.
ReplaceRecord AsRecord(const MoveRecord& move) {
  ReplaceRecord r;
  r.files = move.files;
  return r;
}

}  // namespace

TLinkUpdate::TLinkUpdate(QWidget* frame, SiteHost& host, Prompts& prompts)
    : QWidget(frame, Qt::Window), host_(host), prompts_(prompts) {
  setObjectName(QStringLiteral("LinkUpdate"));
  setWindowTitle(QStringLiteral("リンクの更新"));
  resize(760, 480);
  edFolder = Named(new QLineEdit(this), "edFolder");
  auto* browse = Named(new QPushButton(QStringLiteral("参照..."), this), "btnFolder");
  edFrom = Named(new QLineEdit(this), "edFrom");
  edTo = Named(new QLineEdit(this), "edTo");
  btnList = Named(new QPushButton(QStringLiteral("一覧"), this), "btnList");
  btnMove = Named(new QPushButton(QStringLiteral("移動"), this), "btnMove");
  btnUndo = Named(new QPushButton(QStringLiteral("元に戻す"), this), "btnUndo");
  lvChanges = Named(new QTreeWidget(this), "lvChanges");
  lblStatus = Named(new QLabel(this), "lblStatus");
  chkRedirect =
      Named(new QCheckBox(QStringLiteral("元の場所に転送ページを残す"), this), "chkRedirect");
  SetUpChangeList(*lvChanges,
                  {QStringLiteral("ファイル"), QStringLiteral("行"), QStringLiteral("変更前"),
                   QStringLiteral("変更後")},
                  180, 240);
  btnMove->setEnabled(false);
  btnUndo->setEnabled(false);
  // The author's last choice, kept by the frame.
  chkRedirect->setChecked(host_.LeavesRedirects());
  connect(chkRedirect, &QCheckBox::toggled, this,
          [this](bool on) { host_.RememberLeavesRedirects(on); });

  LabelledRows rows(*this);
  rows.Add("サイトのフォルダ:", edFolder, browse);
  rows.Add("移動元:", edFrom);
  rows.Add("移動先:", edTo, btnList);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(chkRedirect);
  buttons->addStretch();
  buttons->addWidget(btnMove);
  buttons->addWidget(btnUndo);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(rows.grid());
  layout->addWidget(lvChanges, 1);
  layout->addLayout(buttons);
  layout->addWidget(lblStatus);

  ConnectFolderBrowse(*this, *browse, *edFolder);
  connect(btnList, &QPushButton::clicked, this, &TLinkUpdate::ListClick);
  connect(edTo, &QLineEdit::returnPressed, this, &TLinkUpdate::ListClick);
  connect(btnMove, &QPushButton::clicked, this, &TLinkUpdate::MoveClick);
  connect(btnUndo, &QPushButton::clicked, this, &TLinkUpdate::UndoClick);
  connect(lvChanges, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    if (!item || !plan_) return;
    const auto f = item->data(0, kFileRole).toULongLong();
    const auto c = item->data(0, kChangeRole).toULongLong();
    if (f < plan_->files.size() && c < plan_->files[f].changes.size())
      host_.ShowPlace(plan_->files[f].path, plan_->files[f].changes[c].line, 0);
  });
}

void TLinkUpdate::ShowFor() {
  if (edFolder->text().isEmpty()) {
    std::string start = host_.SiteFolder();
    if (start.empty()) start = host_.ActivePageFolder();
    edFolder->setText(U(start));
  }
  show();
  raise();
  activateWindow();
  edFrom->setFocus();
}

void TLinkUpdate::ShowMove(const std::filesystem::path& root, const std::filesystem::path& from,
                           const std::filesystem::path& to) {
  edFolder->setText(U(root.string()));
  edFrom->setText(U(from.lexically_relative(root).generic_string()));
  edTo->setText(U(to.lexically_relative(root).generic_string()));
  show();
  raise();
  activateWindow();
  ListClick();
  btnMove->setFocus();
}

// A path typed relative to the site folder (a leading '/' too) or absolute.
std::filesystem::path TLinkUpdate::InFolder(const QString& text) const {
  const std::filesystem::path typed(S(text.trimmed()));
  const std::filesystem::path root(S(edFolder->text().trimmed()));
  if (typed.is_absolute() && typed.native().starts_with(root.native())) return typed;
  return root / typed.relative_path();
}

void TLinkUpdate::ListClick() {
  std::error_code ec;
  if (edFolder->text().trimmed().isEmpty() ||
      !std::filesystem::is_directory(S(edFolder->text().trimmed()), ec)) {
    prompts_.Message("確認", "サイトのフォルダを指定してください。", Buttons::Ok, Icon::Warning);
    return;
  }
  if (edFrom->text().trimmed().isEmpty() || edTo->text().trimmed().isEmpty()) {
    prompts_.Message("確認", "移動元と移動先を指定してください。", Buttons::Ok, Icon::Warning);
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  plan_ = PlanLinkUpdate(S(edFolder->text().trimmed()), InFolder(edFrom->text()),
                         InFolder(edTo->text()));
  QApplication::restoreOverrideCursor();
  if (!plan_->error.empty()) {
    prompts_.Message("確認", plan_->error, Buttons::Ok, Icon::Warning);
    plan_.reset();
  }
  Fill();
}

void TLinkUpdate::Fill() {
  lvChanges->clear();
  std::size_t changes = 0, unchecked = 0;
  QList<QTreeWidgetItem*> items;
  if (plan_) {
    for (std::size_t f = 0; f < plan_->files.size(); ++f) {
      const LinkFile& file = plan_->files[f];
      std::error_code ec;
      const auto rel = std::filesystem::relative(file.path, plan_->root, ec);
      const QString name = U(ec ? file.path.string() : rel.generic_string());
      for (std::size_t c = 0; c < file.changes.size(); ++c) {
        const LinkChange& change = file.changes[c];
        auto* item = new QTreeWidgetItem;
        item->setText(0, name);
        item->setText(1, QString::number(change.line));
        item->setText(2, U(change.shown_before));
        item->setData(0, kFileRole, static_cast<qulonglong>(f));
        item->setData(0, kChangeRole, static_cast<qulonglong>(c));
        if (change.decidable) {
          item->setText(3, U(change.shown_after));
          item->setCheckState(0, Qt::Checked);
          ++changes;
        } else {
          // Listed so the author can look; never written.
          item->setText(3, QStringLiteral("（スクリプト内: 変更しません。確認してください）"));
          item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
          item->setForeground(3, QApplication::palette().brush(QPalette::Disabled,
                                                               QPalette::Text));
          ++unchecked;
        }
        items.push_back(item);
      }
    }
  }
  lvChanges->addTopLevelItems(items);
  btnMove->setEnabled(plan_.has_value());
  if (!plan_) {
    lblStatus->clear();
    return;
  }
  QString status = QStringLiteral("%1 ファイルで %2 か所のリンクを書き換えます")
                       .arg(plan_->files.size())
                       .arg(changes);
  if (unchecked) status += QStringLiteral("（確認が必要な箇所 %1）").arg(unchecked);
  lblStatus->setText(status);
}

void TLinkUpdate::MoveClick() {
  if (!plan_) return;
  for (int i = 0; i < lvChanges->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = lvChanges->topLevelItem(i);
    LinkChange& c = plan_->files[item->data(0, kFileRole).toULongLong()]
                        .changes[item->data(0, kChangeRole).toULongLong()];
    c.included = c.decidable && item->checkState(0) == Qt::Checked;
  }
  // As for a replacement: a page with unsaved edits is saved first. A page
  // that moves must be closed, or its window would keep the old name.
  std::string unsaved, moving;
  for (const LinkFile& f : plan_->files) {
    text::EditPane* pane = host_.OpenPane(f.path);
    if (!pane) continue;
    if (f.moved != f.path)
      moving += "\n" + f.path.string();
    else if (pane->Modified() && RewrittenBytes(f) != f.bytes)
      unsaved += "\n" + f.path.string();
  }
  if (host_.OpenPane(plan_->from) && moving.empty()) moving = "\n" + plan_->from.string();
  if (!moving.empty()) {
    prompts_.Message("確認", "移動するページが開いています。閉じてから移動してください。" + moving,
                     Buttons::Ok, Icon::Warning);
    return;
  }
  if (!unsaved.empty()) {
    prompts_.Message(
        "確認",
        "保存されていない変更のあるページがあります。保存してから移動してください。" + unsaved,
        Buttons::Ok, Icon::Warning);
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  MoveOutcome out = ApplyLinkUpdate(*plan_, chkRedirect->isChecked());
  QApplication::restoreOverrideCursor();
  if (!out.ok) {
    prompts_.Message("確認", out.message, Buttons::Ok, Icon::Warning);
    return;
  }
  RefreshOpenPages(AsRecord(out.record), false, host_);
  lblStatus->setText(QStringLiteral("移動し、%1 ファイルで %2 か所のリンクを書き換えました")
                         .arg(out.record.files.size())
                         .arg(out.record.changes));
  if (!out.record.redirects.pages.empty())
    lblStatus->setText(lblStatus->text() + QStringLiteral("。転送ページを %1 件残しました")
                                               .arg(out.record.redirects.pages.size()));
  ShowVersionNotice(out.version_notice);
  if (!out.redirects_skipped.empty())
    prompts_.Message("確認",
                     Listed("移動しましたが、次の元の場所には転送ページを残せませんでした。",
                            out.redirects_skipped),
                     Buttons::Ok, Icon::Warning);
  last_ = std::move(out.record);
  plan_.reset();
  lvChanges->clear();
  btnMove->setEnabled(false);
  btnUndo->setEnabled(true);
}

// Said once while the store keeps failing, after what was done.
void TLinkUpdate::ShowVersionNotice(const std::string& failure) {
  const std::string notice = VersionNoticeOnce({failure.empty(), failure});
  if (!notice.empty())
    lblStatus->setText(lblStatus->text() + QStringLiteral("。") + QString::fromStdString(notice));
}

void TLinkUpdate::UndoClick() {
  if (!last_) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const MoveUndoOutcome out = UndoLinkUpdate(*last_);
  QApplication::restoreOverrideCursor();
  if (!out.ok) {
    prompts_.Message("確認", out.message, Buttons::Ok, Icon::Warning);
    return;
  }
  RefreshOpenPages(AsRecord(*last_), true, host_);
  lblStatus->setText(QStringLiteral("移動とリンクの書き換えを元に戻しました"));
  ShowVersionNotice(out.version_notice);
  last_.reset();
  btnUndo->setEnabled(false);
}

}  // namespace hemlo::site
