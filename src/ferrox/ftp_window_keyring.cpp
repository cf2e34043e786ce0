// The Ferrox window's side of the desktop keyring: the profile file's
// keeper made over it, and the keyring's key of the profile shown.
#include <QCheckBox>
#include <QLineEdit>

#include "ferrox/ftp_window.h"
#include "ferrox/profile_keeper.h"
#include "ferrox/profile_panel_widget.h"
#include "transfer/desktop_keyring.h"

namespace hemlo {

void TFtp1::StartKeyring() {
  transfer_ui::ProfileKeeper::Owner owner;
  owner.post = [this](std::function<void()> fn) { PostToWindow(std::move(fn)); };
  owner.set_status = [this](const std::string& text) { SetStatusText(text); };
  owner.status = [this] { return StatusText().toStdString(); };
  owner.error = [this](const std::string& text) { prompts_->Error(text); };
  owner.lines = [this]() -> const std::vector<std::string>& { return Profiles_.ProfileList; };
  profile_file_ = std::make_unique<transfer_ui::ProfileKeeper>(
      std::make_unique<transfer::DesktopKeyring>(), std::move(owner));
  keyring_ = &profile_file_->Keyring();
  connection_->UseKeyring(keyring_);
  keyring_->SetOnOutOfUse([this] {
    // From now on the box is the only way to keep a password past the session.
    password_in_file_box_->setVisible(true);
    profile_file_->NoteNotKept();
  });
}

transfer::SecretKey TFtp1::ShownPasswordKey() const {
  const auto edits = profile_->TextFields();
  return {"password", edits[0]->text().toStdString(), edits[1]->text().toStdString(),
          edits[2]->text().toStdString()};
}

}  // namespace hemlo
