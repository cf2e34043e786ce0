#include "shell/frame_authoring.h"

#include "authoring/menu_items.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"

namespace hemlo {

FrameAuthoring::FrameAuthoring(TMainForm* frame, authoring::BuilderDialog& dialog)
    : QObject(frame), frame_(frame), commands_(*this, dialog, frame->forwarding_prompts()) {
  using authoring::Handler;
  for (const authoring::AuthoringMenuItem& it : authoring::AuthoringMenuItems()) {
    if (std::string_view(it.caption) == authoring::kSeparator) continue;
    const QString name = it.handler == Handler::mnuColorSetClick
                             ? QStringLiteral("mnuColorSet")
                             : QStringLiteral("%1_%2")
                                   .arg(QString::fromLatin1(authoring::HandlerName(it.handler)))
                                   .arg(it.tag);
    const Handler handler = it.handler;
    const int tag = it.tag;
    frame->SetHandler(name, [this, handler, tag] { commands_.Run(handler, tag); });
  }
  frame->SetHandler("HTML1", [this] { commands_.HTML1Click(); });
  frame->SetHandler("N44", [this] { commands_.N44Click(); });
  frame->SetHandler("mnuComment", [this] { commands_.mnuCommentClick(); });
  frame->SetHandler("mnuDelTag", [this] { commands_.mnuDelTagClick(); });
}

text::EditPane* FrameAuthoring::ActivePane() {
  TMDIChild* child = frame_->ActiveChild();
  return child ? child->Memo1 : nullptr;
}

text::EditPane* FrameAuthoring::OpenUntitledDocument() {
  return frame_->OpenDocument(QString())->Memo1;
}

void FrameAuthoring::ShowCaretPosition() {
  if (TMDIChild* child = frame_->ActiveChild()) child->ShowCaretPosition();
}

std::string FrameAuthoring::ActiveDocumentPath() {
  TMDIChild* child = frame_->ActiveChild();
  return child ? child->Caption().toStdString() : std::string();
}

void FrameAuthoring::SetFrameCaption(const std::string& caption) {
  frame_->setWindowTitle(QString::fromStdString(caption));
}

}  // namespace hemlo
