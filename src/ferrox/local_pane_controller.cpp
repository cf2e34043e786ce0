#include "ferrox/local_pane_controller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/prompts.h"
#include "ferrox/local_pane.h"
#include "transfer/local_paths.h"
#include "transfer/local_trash.h"

namespace hemlo::transfer_ui {
namespace {

std::string U(const QString& s) { return s.toStdString(); }

}  // namespace

std::string LocalPaneController::Folder() const { return U(v_.local->Folder()); }

bool LocalPaneController::SetFolder(const QString& folder) { return v_.local->SetFolder(folder); }

void LocalPaneController::RefreshAll() { v_.local->RefreshAll(); }

void LocalPaneController::RefreshFiles() { v_.local->RefreshFiles(); }

std::vector<std::string> LocalPaneController::SelectedNames() const {
  return v_.local->SelectedNames();
}

// ---- folder list menu ----

void LocalPaneController::MakeFolder() {
  const auto name = v_.prompts->Input("ﾌｫﾙﾀﾞ作成", "新しくﾌｫﾙﾀﾞを作成します", "");
  if (!name) return;
  const QString path = QString::fromStdString(
      transfer::WithTrailingSeparator(Folder(), '/', transfer::PathText::kUtf8) + *name);
  if (QFileInfo(path).isDir()) return;
  if (!QDir().mkdir(path)) v_.ShowPlain(QStringLiteral("作成失敗"));
  RefreshAll();
}

void LocalPaneController::DeleteFolder() {
  const QString old = v_.local->Folder();
  const QString parent =
      QString::fromStdString(transfer::ParentPath(U(old), '/', transfer::PathText::kUtf8));
  if (parent.isEmpty()) return;  // the root folder is never deleted
  // The desktop trash asks nothing itself, so the question is ours.
  if (v_.prompts->Message("ﾌｫﾙﾀﾞ削除", U(old) + " をごみ箱に移動します。\n\n   よろしいですか？",
                          Buttons::YesNo, Icon::Warning, Answer::No) != Answer::Yes)
    return;
  SetFolder(parent);
  if (!transfer::MoveToTrash(U(old))) {
    v_.ShowPlain(QStringLiteral("ﾌｫﾙﾀﾞ削除失敗"));
    RefreshAll();
    return;
  }
  RefreshAll();
  v_.SetStatus("完了");
}

void LocalPaneController::RenameFolder() {
  const auto name = v_.prompts->Input("ﾌｫﾙﾀﾞ名変更", "新しいﾌｫﾙﾀﾞ名を入力してください", "");
  if (!name) return;
  const QString old = v_.local->Folder();
  const std::string parent = transfer::ParentPath(U(old), '/', transfer::PathText::kUtf8);
  if (parent.empty()) return;
  SetFolder(QString::fromStdString(parent));
  const QString target = QString::fromStdString(
      transfer::WithTrailingSeparator(parent, '/', transfer::PathText::kUtf8) + *name);
  if (QFileInfo(target).isDir()) return;
  if (QDir().rename(old, target))
    SetFolder(target);
  else
    v_.ShowPlain(QStringLiteral("ﾌｫﾙﾀﾞ名変更失敗"));
}

// ---- local list menu ----

void LocalPaneController::DeleteSelectedFiles() {
  const std::vector<std::string> names = SelectedNames();
  if (names.empty()) return;
  if (v_.prompts->Message("警告", names.front() + "を削除します。\n\n   よろしいですか？",
                          Buttons::YesNoCancel, Icon::Warning, Answer::No) != Answer::Yes)
    return;
  const std::string base =
      transfer::WithTrailingSeparator(Folder(), '/', transfer::PathText::kUtf8);
  for (const auto& n : names)
    QFile::remove(QString::fromStdString(base + n));  // a file that stays is simply listed again
  RefreshFiles();
}

}  // namespace hemlo::transfer_ui
