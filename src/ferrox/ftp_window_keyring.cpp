// The Ferrox window's side of the desktop keyring: Ferrox.ini written at
// once, whatever the keyring does; new passwords handed to it on its own
// thread; a keyring that cannot take them said once, its passwords kept
// for the session.
#include <QCheckBox>
#include <QLineEdit>

#include "base/program_folder.h"
#include "transfer/desktop_keyring.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp_window.h"
#include "ferrox/profile_panel_widget.h"

namespace hemlo {

namespace {

constexpr const char* kStoringText = "パスワードをキーリングに保存しています...";

}  // namespace

void TFtp1::StartKeyring() {
  keyring_ = std::make_unique<transfer::KeyringSession>(
      std::make_unique<transfer::DesktopKeyring>(),
      [this](std::function<void()> fn) { PostToWindow(std::move(fn)); });
  connection_->UseKeyring(keyring_.get());
  keyring_->SetOnOutOfUse([this] {
    // From now on the box is the only way to keep a password past the session.
    password_in_file_box_->setVisible(true);
    NotePasswordsNotKept();
  });
}

bool TFtp1::InKeyring(const transfer::SecretKey& key, const std::string& password) const {
  return keyring_->Holds(key, password);
}

transfer::SecretKey TFtp1::ShownPasswordKey() const {
  const auto edits = profile_->TextFields();
  return {"password", edits[0]->text().toStdString(), edits[1]->text().toStdString(),
          edits[2]->text().toStdString()};
}

void TFtp1::NotePasswordsNotKept() {
  if (passwords_note_given_) return;
  passwords_note_given_ = true;
  SetStatusText(keyring_->Present()
                    ? "キーリングが応答しないか保存を断ったため、パスワードはFerrox.iniに書かず、"
                      "終了するまで覚えておきます"
                    : "キーリングがないため、パスワードはFerrox.iniに書かず、終了するまで覚えて"
                      "おきます");
}

void TFtp1::WriteProfiles(bool ask_keyring) {
  const transfer::InKeyring in_keyring = [this](const transfer::SecretKey& k,
                                                const std::string& p) { return InKeyring(k, p); };
  if (ask_keyring && keyring_->Usable()) {
    for (const transfer::SecretToStore& s :
         transfer::SecretsToStore(Profiles_.ProfileList, in_keyring)) {
      SetStatusText(kStoringText);
      keyring_->Store(s.key, s.label, s.secret, [this](bool taken) {
        if (!taken) return;  // said once by the keyring's going out of use
        if (StatusText() == QString::fromUtf8(kStoringText))
          SetStatusText("パスワードをキーリングに保存しました");
        // A password the file held in the clear leaves it now.
        WriteProfiles(false);
      });
    }
  }
  const auto r = transfer::WriteProfileFile(
      ProgramFolder(), transfer::LinesForFile(Profiles_.ProfileList, in_keyring, file_lines_));
  if (!r.ok) prompts_->Error(r.error);
}

}  // namespace hemlo
