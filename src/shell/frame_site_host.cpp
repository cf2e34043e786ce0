#include "shell/frame_site_host.h"

#include <QMdiSubWindow>
#include <QTextBlock>

#include "base/program_folder.h"
#include "shell/editor_settings.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "transfer/ferrox_files.h"

namespace hemlo {

namespace {

std::filesystem::path Same(const std::filesystem::path& p) {
  std::error_code ec;
  const auto c = std::filesystem::weakly_canonical(p, ec);
  return ec ? p : c;
}

}  // namespace

FrameSiteHost::FrameSiteHost(TMainForm* frame) : QObject(frame), frame_(frame) {}

std::string FrameSiteHost::ActivePageFolder() {
  TMDIChild* child = frame_->ActiveChild();
  if (!child || child->Caption().isEmpty()) return {};
  return std::filesystem::path(child->Caption().toStdString()).parent_path().string();
}

std::string FrameSiteHost::SiteFolder() {
  return transfer::ReadLastDir(ProgramFolder()).value_or("");
}

TMDIChild* FrameSiteHost::ChildFor(const std::filesystem::path& path) const {
  const auto wanted = Same(path);
  for (TMDIChild* child : frame_->Children())
    if (!child->Caption().isEmpty() && Same(child->Caption().toStdString()) == wanted) return child;
  return nullptr;
}

text::EditPane* FrameSiteHost::OpenPane(const std::filesystem::path& path) {
  TMDIChild* child = ChildFor(path);
  return child ? child->Memo() : nullptr;
}

void FrameSiteHost::ShowPlace(const std::filesystem::path& path, std::size_t line,
                              std::size_t column) {
  TMDIChild* child = ChildFor(path);
  if (!child) {
    child = frame_->OpenDocument(QString::fromStdString(path.string()));
  } else if (auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget())) {
    sub->mdiArea()->setActiveSubWindow(sub);
  }
  text::QtEditPane* memo = child->Memo();
  const QTextBlock block = memo->document()->findBlockByNumber(static_cast<int>(line) - 1);
  if (!block.isValid()) return;
  // The column counts characters; the block counts UTF-16 units.
  const QString text = block.text();
  int unit = 0;
  for (std::size_t c = 0; c < column && unit < text.size(); ++c)
    unit += text[unit].isHighSurrogate() && unit + 1 < text.size() ? 2 : 1;
  QTextCursor cursor(block);
  cursor.setPosition(block.position() + unit);
  memo->setTextCursor(cursor);
  memo->ensureCursorVisible();
  child->activateWindow();
  memo->setFocus();
  child->ShowCaretPosition();
}

bool FrameSiteHost::LeavesRedirects() { return frame_->editor_settings().leave_redirects; }

void FrameSiteHost::RememberLeavesRedirects(bool on) {
  EditorSettings s = frame_->editor_settings();
  if (s.leave_redirects == on) return;
  s.leave_redirects = on;
  frame_->SetEditorSettings(s);
  // A file that cannot be written only costs the choice next time.
  (void)s.Save(ProgramFolder() / "Editor.ini");
}

}  // namespace hemlo
