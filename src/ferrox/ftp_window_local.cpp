// The Ferrox window's local commands: the folder list's and the file
// list's menus.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ferrox/ftp_window.h"
#include "ferrox/local_pane.h"
#include "transfer/local_paths.h"
#include "transfer/local_trash.h"

namespace hemlo {
namespace {

std::string U(const QString& s) { return s.toStdString(); }

}  // namespace

std::string TFtp1::LocalFolder() const { return U(local_->Folder()); }

bool TFtp1::SetLocalFolder(const QString& folder) { return local_->SetFolder(folder); }

void TFtp1::RefreshLocalLists() { local_->RefreshAll(); }

void TFtp1::RefreshLocalList() { local_->RefreshFiles(); }

std::vector<std::string> TFtp1::SelectedLocalNames() const { return local_->SelectedNames(); }

// ---- folder list menu ----

void TFtp1::mnuMakeFolderClick() {
  const auto name = prompts_->Input("ﾌｫﾙﾀﾞ作成", "新しくﾌｫﾙﾀﾞを作成します", "");
  if (!name) return;
  const QString path = QString::fromStdString(
      transfer::WithTrailingSeparator(LocalFolder(), '/', transfer::PathText::kUtf8) + *name);
  if (QFileInfo(path).isDir()) return;
  if (!QDir().mkdir(path)) ShowPlain(QStringLiteral("作成失敗"));
  RefreshLocalLists();
}

void TFtp1::mnuDeleteFolderClick() {
  const QString old = local_->Folder();
  const QString parent =
      QString::fromStdString(transfer::ParentPath(U(old), '/', transfer::PathText::kUtf8));
  if (parent.isEmpty()) return;  // the root folder is never deleted
  // The desktop trash asks nothing itself, so the question is ours.
  if (prompts_->Message("ﾌｫﾙﾀﾞ削除", U(old) + " をごみ箱に移動します。\n\n   よろしいですか？",
                        Buttons::YesNo, Icon::Warning, Answer::No) != Answer::Yes)
    return;
  SetLocalFolder(parent);
  if (!transfer::MoveToTrash(U(old))) {
    ShowPlain(QStringLiteral("ﾌｫﾙﾀﾞ削除失敗"));
    RefreshLocalLists();
    return;
  }
  RefreshLocalLists();
  SetStatusText("完了");
}

void TFtp1::mnuRenameFolderClick() {
  const auto name = prompts_->Input("ﾌｫﾙﾀﾞ名変更", "新しいﾌｫﾙﾀﾞ名を入力してください", "");
  if (!name) return;
  const QString old = local_->Folder();
  const std::string parent = transfer::ParentPath(U(old), '/', transfer::PathText::kUtf8);
  if (parent.empty()) return;
  SetLocalFolder(QString::fromStdString(parent));
  const QString target = QString::fromStdString(
      transfer::WithTrailingSeparator(parent, '/', transfer::PathText::kUtf8) + *name);
  if (QFileInfo(target).isDir()) return;
  if (QDir().rename(old, target))
    SetLocalFolder(target);
  else
    ShowPlain(QStringLiteral("ﾌｫﾙﾀﾞ名変更失敗"));
}

// ---- local list menu ----

void TFtp1::mnuDeleteFilesClick() {
  const std::vector<std::string> names = SelectedLocalNames();
  if (names.empty()) return;
  if (prompts_->Message("警告", names.front() + "を削除します。\n\n   よろしいですか？",
                        Buttons::YesNoCancel, Icon::Warning, Answer::No) != Answer::Yes)
    return;
  const std::string base =
      transfer::WithTrailingSeparator(LocalFolder(), '/', transfer::PathText::kUtf8);
  for (const auto& n : names)
    QFile::remove(QString::fromStdString(base + n));  // a file that stays is simply listed again
  RefreshLocalList();
}

}  // namespace hemlo
