#pragma once
// Connects the authoring commands to the frame: the frame as their document
// host, the builder dialog, and the menu items that run them.
#include <QObject>
#include <memory>

#include "authoring/authoring_commands.h"

namespace hemlo {

class TMainForm;

class FrameAuthoring : public QObject, public authoring::DocumentHost {
  Q_OBJECT
 public:
  // Owned by the frame (Qt parent). Attaches every authoring menu item.
  FrameAuthoring(TMainForm* frame, authoring::BuilderDialog& dialog);

  text::EditPane* ActivePane() override;
  text::EditPane* OpenUntitledDocument() override;
  void ShowCaretPosition() override;
  void SetFrameCaption(const std::string& caption) override;
  std::string ActiveDocumentPath() override;
  bool PicksPictures() override;
  void InsertPictureFile(const std::string& file) override;

  authoring::AuthoringCommands& commands() { return commands_; }

 private:
  TMainForm* frame_;
  authoring::AuthoringCommands commands_;
};

}  // namespace hemlo
