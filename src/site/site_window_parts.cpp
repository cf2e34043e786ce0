#include "site/site_window_parts.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "site/open_pages.h"
#include "site/site_host.h"

namespace hemlo::site {

void ConnectFolderBrowse(QWidget& owner, QPushButton& browse, QLineEdit& folder) {
  QObject::connect(&browse, &QPushButton::clicked, &owner, [&owner, &folder] {
    const QString dir =
        QFileDialog::getExistingDirectory(&owner, QStringLiteral("フォルダの選択"), folder.text());
    if (!dir.isEmpty()) folder.setText(dir);
  });
}

void ShowInStartFolder(QWidget& window, QLineEdit& folder, SiteHost& host) {
  std::string start = host.ActivePageFolder();
  if (start.empty() && folder.text().isEmpty()) start = host.SiteFolder();
  if (!start.empty()) folder.setText(U(start));
  window.show();
  window.raise();
  window.activateWindow();
}

LabelledRows::LabelledRows(QWidget& owner) : owner_(owner), grid_(new QGridLayout) {}

void LabelledRows::Add(const char* label, QWidget* field, QWidget* extra) {
  grid_->addWidget(new QLabel(QString::fromUtf8(label), &owner_), row_, 0);
  grid_->addWidget(field, row_, 1);
  if (extra) grid_->addWidget(extra, row_, 2);
  ++row_;
}

void SetUpChangeList(QTreeWidget& list, const QStringList& headers, int first_width,
                     int third_width) {
  list.setHeaderLabels(headers);
  list.setRootIsDecorated(false);
  list.setUniformRowHeights(true);
  list.header()->setSectionResizeMode(QHeaderView::Interactive);
  list.setColumnWidth(0, first_width);
  list.setColumnWidth(1, 50);
  list.setColumnWidth(2, third_width);
}

std::optional<ReplaceOutcome> WriteWithOpenPages(const SearchResult& result, const char* save_first,
                                                 std::optional<ReplaceRecord>& last,
                                                 QPushButton& undo, SiteHost& host,
                                                 Prompts& prompts) {
  const auto unsaved = UnsavedOpenPages(result, host);
  if (!unsaved.empty()) {
    std::string names;
    for (const auto& p : unsaved) names += "\n" + p.string();
    prompts.Message("確認",
                    std::string("保存されていない変更のあるページがあります。") + save_first + names,
                    Buttons::Ok, Icon::Warning);
    return std::nullopt;
  }
  ReplaceOutcome out = ApplyReplacement(result);
  RefreshOpenPages(out.record, false, host);
  if (!out.ok) {
    // Files that could not be put back stay undoable.
    if (!out.record.files.empty()) {
      last = std::move(out.record);
      undo.setEnabled(true);
    }
    prompts.Message("確認", out.message, Buttons::Ok, Icon::Warning);
    return std::nullopt;
  }
  return out;
}

void UndoWithOpenPages(std::optional<ReplaceRecord>& last, QPushButton& undo, QLabel& status,
                       const QString& done, SiteHost& host, Prompts& prompts) {
  if (!last) return;
  const UndoOutcome out = UndoReplacementInOpenPages(*last, host);
  last.reset();
  undo.setEnabled(false);
  status.setText(done.arg(out.restored.size()));
  if (!out.message.empty()) prompts.Message("確認", out.message, Buttons::Ok, Icon::Warning);
}

}  // namespace hemlo::site
