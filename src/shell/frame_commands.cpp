// The frame's page, edit-pane, print, help and transfer commands.
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDialog>
#include <QMdiSubWindow>
#include <QUrl>

#include "base/integer_text.h"
#include "base/program_folder.h"
#include "shell/frame_rules.h"
#include "shell/help.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "shell/preview_width.h"
#include "shell/print_job.h"
#include "text/cp932.h"
#include "text/view_codes.h"

namespace hemlo {

void TMainForm::OpenUrl(const QString& address) {
  if (address.isEmpty()) return;
  TMDIChild* child = ActiveChild();
  if (!child) child = CreateChild();
  const QFileInfo file(address);
  QString target = address;
  switch (KindOfAddressText(address.toStdString(), file.exists())) {
    case AddressKind::AsTyped:
      break;
    case AddressKind::LocalFile:
      target = QUrl::fromLocalFile(file.absoluteFilePath()).toString();
      break;
    case AddressKind::Web:
      target = QStringLiteral("http://") + address;
      break;
  }
  // An address even the engine refuses leaves the window and its edits alone.
  if (!child->WebBrowser()->Navigate(target))
    status_->SetText(0, QStringLiteral("アドレス %1 を開けません。").arg(address));
}

void TMainForm::Image1Click() {
  TMDIChild* child = ActiveChild();
  std::string caption = child ? child->Caption().toStdString() : std::string();
  shell::PreviewContext context;
  context.pane = child ? child->Memo() : nullptr;
  context.caption = &caption;
  context.owner = child;
  context.prompts = &prompts();
  context.state = &preview_state_;
  context.save_dialog = DocumentDialog("名前を付けて保存");
  context.navigate = [child](const std::string& url) {
    child->WebBrowser()->Navigate(QString::fromStdString(url));
  };
  const shell::PreviewResult result = shell::Image1Click(context);
  if (child && result.caption_changed) {
    // Named and saved here: a save like any other.
    const QString path = QString::fromStdString(caption);
    child->SetCaption(path);
    PromoteHistory(path);
    emit pageSaved(path);
  }
  if (!result.status.empty()) status_->SetText(0, QString::fromStdString(result.status));
}

void TMainForm::mnuWebMAXClick(bool maximise) {
  TMDIChild* child = ActiveChild();
  if (!child) return;
  child->SetMemoHeight(shell::EditPaneHeightFor(maximise ? shell::WebPaneSize::Maximise
                                                         : shell::WebPaneSize::Restore));
}

void TMainForm::ToolButton16Click() { OpenUrl(cmbURL_->currentText()); }

void TMainForm::Undo1Click() {
  if (TMDIChild* c = ActiveChild()) c->Memo()->undo();
}

void TMainForm::Redo1Click() {
  if (TMDIChild* c = ActiveChild()) c->Memo()->Redo();
}

void TMainForm::ConvertEncodingClick() {
  TMDIChild* c = ActiveChild();
  if (!c) return;
  const text::Encoding to = c->Memo()->DocumentEncoding() == text::Encoding::kUtf8
                                ? text::Encoding::kShiftJis
                                : text::Encoding::kUtf8;
  // Bytes that are no character would make the converted file invalid
  // UTF-8, which opens again as Shift-JIS: refused like the other way round.
  std::string refusal = to == text::Encoding::kUtf8 ? text::Utf8Refusal(c->Memo()->Text()) : "";
  if (refusal.empty()) refusal = c->Memo()->ConvertEncoding(to);
  if (!refusal.empty()) {
    prompts().Message("確認", refusal, Buttons::Ok, Icon::Warning);
    return;
  }
  c->RefreshEncoding();  // the declaration is rewritten by now
}

void TMainForm::SetEditorSettings(const EditorSettings& settings) {
  editor_settings_ = settings;
  action(FrameCommand::Highlighting)->setChecked(settings.highlighting);
  action(FrameCommand::LineNumbers)->setChecked(settings.line_numbers);
  action(FrameCommand::LivePreview)->setChecked(settings.live_preview);
  action(FrameCommand::WebPhotos)->setChecked(settings.web_photos);
  action(FrameCommand::ClosingTags)->setChecked(settings.closing_tags);
  action(FrameCommand::Abbreviations)->setChecked(settings.abbreviations);
  action(FrameCommand::Completion)->setChecked(settings.completion);
  action(FrameCommand::MatchingTags)->setChecked(settings.matching_tags);
  action(FrameCommand::MarkupMarks)->setChecked(settings.markup_marks);
  action(settings.preview_width == kPreviewPhone    ? FrameCommand::PreviewPhone
         : settings.preview_width == kPreviewTablet ? FrameCommand::PreviewTablet
                                                    : FrameCommand::PreviewPc)
      ->setChecked(true);
  for (TMDIChild* c : Children()) c->ApplyEditorSettings(settings);
}

void TMainForm::mnuSelectAllClick() {
  if (TMDIChild* c = ActiveChild()) c->Memo()->selectAll();
}

void TMainForm::N43Click() {
  TMDIChild* c = ActiveChild();
  if (!c) return;
  bool ok = false;
  QFont font = QFontDialog::getFont(&ok, c->Memo()->font(), this, QStringLiteral("フォント"));
  if (ok) c->Memo()->setFont(font);
  c->Memo()->setFocus();
}

void TMainForm::mnuTabClick() {
  TMDIChild* c = ActiveChild();
  if (!c) return;
  auto answer = prompts().Input("タブ幅変更", "タブ幅を指定してください", std::to_string(TabWidth));
  if (!answer || answer->empty()) return;
  const IntegerInput width = ReadInteger(*answer, kMinTabWidth, kMaxTabWidth);
  if (!width.value) {
    prompts().Error(width.error);
    return;
  }
  TabWidth = *width.value;
  c->SetTabWidth(TabWidth);
}

void TMainForm::mnuPrintClick() {
  TMDIChild* c = ActiveChild();
  if (!c) return;
  std::vector<QString> lines;
  const int n = c->Memo()->LineListCount();
  lines.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const std::string bytes = c->Memo()->LineListItem(i);
    lines.push_back(QString::fromStdU16String(text::Decode(bytes).text));
  }
  if (!PrintTextJob(lines, c->Memo()->font())) {
    prompts().Message("エラー", "印刷エラー", Buttons::Ok, Icon::Error);
    return;
  }
  prompts().Message("情報", "印刷しました", Buttons::Ok, Icon::Information);
}

void TMainForm::mnuHelpClick() { ShowHelp(*this); }

void TMainForm::FileExit1Execute() { close(); }

void TMainForm::mnuFTPClick() {
  TMDIChild* c = ActiveChild();
  const std::string folder = c ? FolderOfPath(c->Caption().toStdString()) : std::string();
  emit transferToolRequested(QString::fromStdString(folder));
}

}  // namespace hemlo
