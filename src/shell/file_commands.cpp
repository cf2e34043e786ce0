// The frame's file commands and the history in the File menu.
#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>

#include "authoring/authoring_commands.h"
#include "base/dialog_folder.h"
#include "base/program_folder.h"
#include "shell/document_file.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"

namespace hemlo {

namespace {
std::filesystem::path LocalPath(const QString& path) {
  return std::filesystem::path(path.toStdString());
}
}  // namespace

FileDialogRequest TMainForm::DocumentDialog(const char* title) const {
  FileDialogRequest r;
  r.title = title;
  r.default_suffix = "htm";
  const TMDIChild* child = ActiveChild();
  r.initial_path = DialogFolder::StartFor(child ? child->Caption().toStdString() : std::string());
  r.filters = authoring::FrameOpenDialogRequest().filters;
  return r;
}

TMDIChild* TMainForm::OpenDocument(const QString& path) {
  TMDIChild* child = CreateChild();
  child->SetTabWidth(TabWidth);
  child->SetCaption(path);
  if (path.isEmpty() || !QFileInfo(path).isFile()) return child;
  std::string bytes;
  if (FileResult read = ReadDocument(LocalPath(path), bytes); !read) {
    prompts().Error(read.message);
    return child;
  }
  if (const std::string refusal = child->LoadFile(bytes); !refusal.empty()) {
    prompts().Error(path.toStdString() + "\r\n" + refusal);
    child->SetCaption(QString());  // an empty page must not be saved over the file
    return child;
  }
  AddHistory(path);
  return child;
}

void TMainForm::FileNew1Execute() { OpenDocument(QString()); }

void TMainForm::FileOpen1Execute() {
  auto chosen = prompts().OpenFile(DocumentDialog("開く"));
  if (!chosen) return;
  DialogFolder::Chosen(*chosen);
  OpenDocument(QString::fromStdString(*chosen));
}

bool TMainForm::WriteChildTo(TMDIChild* child, const QString& path) {
  VersionResult kept;
  if (FileResult written = WriteDocument(LocalPath(path), child->Memo()->DocumentBytes(), &kept);
      !written) {
    // The old file and the modified flag stay as they were.
    prompts().Error(path.toStdString() + "\r\n" + written.message);
    return false;
  }
  child->Memo()->SetModified(false);
  if (const std::string notice = VersionNoticeOnce(kept); !notice.empty())
    status_->SetText(0, QString::fromStdString(notice));
  emit pageSaved(path);
  return true;
}

void TMainForm::FileSaveItemClick() { SaveChild(ActiveChild()); }

bool TMainForm::SaveChild(TMDIChild* child) {
  if (!child) return false;
  if (child->Memo()->TextLength() == 0) {  // an empty page is never written
    status_->SetText(0, QStringLiteral("空のページは保存しません"));
    return false;
  }
  const QString caption = child->Caption();
  const QFileInfo file(caption);
  // A titled page, or one named before its file existed (a start-up
  // argument), is written under its name.
  if (!caption.isEmpty() && (file.isFile() || (!file.exists() && file.absoluteDir().exists()))) {
    if (!WriteChildTo(child, caption)) return false;
    PromoteHistory(caption);
    return true;
  }
  return SaveChildAs(child);  // an untitled page is saved under a new name
}

void TMainForm::FileSaveAsItemClick() { SaveChildAs(ActiveChild()); }

bool TMainForm::SaveChildAs(TMDIChild* child) {
  if (!child) return false;
  auto chosen = prompts().SaveFile(DocumentDialog("名前を付けて保存"));
  if (!chosen) return false;
  DialogFolder::Chosen(*chosen);
  const QString path = QString::fromStdString(*chosen);
  if (!WriteChildTo(child, path)) return false;
  child->SetCaption(path);
  PromoteHistory(path);
  return true;
}

void TMainForm::FileSavePublishClick() {
  TMDIChild* child = ActiveChild();
  if (!child || child->Memo()->TextLength() == 0) return;
  FileSaveItemClick();
  // Only a page whose file holds what the pane shows goes out.
  const QString path = child->Caption();
  if (path.isEmpty() || child->Memo()->Modified() || !QFileInfo(path).isFile()) return;
  emit publishPageRequested(QFileInfo(path).absoluteFilePath());
}

void TMainForm::FileCloseItemClick() {
  TMDIChild* child = ActiveChild();
  if (!child) {
    close();
    return;
  }
  if (auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget())) sub->close();
}

void TMainForm::mnuFavoritClick(int slot) {
  const QString path = QString::fromStdString(history_.Slots()[static_cast<std::size_t>(slot)]);
  if (path.isEmpty() || !QFileInfo(path).isFile()) return;
  OpenDocument(path);
}

void TMainForm::AddHistory(const QString& path) {
  if (!history_.Add(path.toStdString())) {
    status_->SetText(0, QStringLiteral("Shift-JIS で表せないファイル名のため履歴に入れません"));
    return;
  }
  UpdateHistoryMenu();
}

void TMainForm::PromoteHistory(const QString& path) {
  if (!history_.Promote(path.toStdString())) {
    status_->SetText(0, QStringLiteral("Shift-JIS で表せないファイル名のため履歴に入れません"));
    return;
  }
  UpdateHistoryMenu();
}

void TMainForm::UpdateHistoryMenu() {
  for (int i = 0; i < History::kSlots; ++i)
    // A "&" of a path is a character of its name, not a mnemonic.
    history_action(i)->setText(QString::fromStdString(history_.Slots()[static_cast<std::size_t>(i)])
                                   .replace('&', QStringLiteral("&&")));
}

void TMainForm::LoadHistory() {
  history_.Load(ProgramFolder() / "Rireki.ini");
  UpdateHistoryMenu();
}

void TMainForm::SaveHistory() {
  if (const WriteResult saved = history_.Save(ProgramFolder() / "Rireki.ini"); !saved)
    prompts().Error("Rireki.ini\r\n" + saved.error);
}

}  // namespace hemlo
