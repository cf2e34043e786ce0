#include "shell/frame_authoring.h"

#include <QAction>

#include "shell/editor_settings.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "shell/picture_insert.h"

namespace hemlo {

FrameAuthoring::FrameAuthoring(TMainForm* frame, authoring::BuilderDialog& dialog)
    : QObject(frame), frame_(frame), commands_(*this, dialog, frame->forwarding_prompts()) {
  for (const TMainForm::AuthoringAction& entry : frame->authoring_actions()) {
    const authoring::Handler handler = entry.item->handler;
    const int tag = entry.item->tag;
    connect(entry.action, &QAction::triggered, this,
            [this, handler, tag] { commands_.Run(handler, tag); });
  }
  auto on = [this, frame](FrameCommand c, void (authoring::AuthoringCommands::*command)()) {
    connect(frame->action(c), &QAction::triggered, this,
            [this, command] { (commands_.*command)(); });
  };
  on(FrameCommand::BasicHtml, &authoring::AuthoringCommands::HTML1Click);
  on(FrameCommand::HalfWidthKana, &authoring::AuthoringCommands::N44Click);
  on(FrameCommand::Comment, &authoring::AuthoringCommands::mnuCommentClick);
  on(FrameCommand::DeleteTag, &authoring::AuthoringCommands::mnuDelTagClick);
}

text::EditPane* FrameAuthoring::ActivePane() {
  TMDIChild* child = frame_->ActiveChild();
  return child ? child->Memo() : nullptr;
}

text::EditPane* FrameAuthoring::OpenUntitledDocument() {
  return frame_->OpenDocument(QString())->Memo();
}

void FrameAuthoring::ShowCaretPosition() {
  if (TMDIChild* child = frame_->ActiveChild()) child->ShowCaretPosition();
}

std::string FrameAuthoring::ActiveDocumentPath() {
  TMDIChild* child = frame_->ActiveChild();
  return child ? child->Caption().toStdString() : std::string();
}

bool FrameAuthoring::PicksPictures() { return frame_->editor_settings().web_photos; }

void FrameAuthoring::InsertPictureFile(const std::string& file) {
  if (TMDIChild* child = frame_->ActiveChild())
    InsertPicture(*frame_, *child, QString::fromStdString(file));
}

void FrameAuthoring::SetFrameCaption(const std::string& caption) {
  frame_->setWindowTitle(QString::fromStdString(caption));
}

}  // namespace hemlo
