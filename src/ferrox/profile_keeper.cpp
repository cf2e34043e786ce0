#include "ferrox/profile_keeper.h"

#include <algorithm>

#include "base/program_folder.h"
#include "transfer/profile_secrets.h"

namespace hemlo::transfer_ui {

namespace {

constexpr const char* kStoringText = "パスワードをキーリングに保存しています...";

}  // namespace

ProfileKeeper::ProfileKeeper(std::unique_ptr<transfer::SecretStore> store, Owner owner)
    : owner_(std::move(owner)),
      keyring_(std::make_unique<transfer::KeyringSession>(std::move(store), owner_.post)) {}

bool ProfileKeeper::InKeyring(const transfer::SecretKey& key, const std::string& password) const {
  return keyring_->Holds(key, password);
}

std::vector<std::string> ProfileKeeper::Read() {
  transfer::FileOutcome read;
  std::vector<std::string> lines = transfer::ReadProfileFile(ProgramFolder(), &read);
  if (!read.ok) owner_.error(read.error);
  file_lines_ = lines;
  transfer::RestorePasswords(lines, keyring_->Present());
  return lines;
}

void ProfileKeeper::NoteNotKept() {
  if (note_given_) return;
  note_given_ = true;
  owner_.set_status(
      keyring_->Present()
          ? "キーリングが応答しないか保存を断ったため、パスワードはFerrox.iniに書かず、"
            "終了するまで覚えておきます"
          : "キーリングがないため、パスワードはFerrox.iniに書かず、終了するまで覚えて"
            "おきます");
}

void ProfileKeeper::Write(bool ask_keyring) {
  const transfer::InKeyring in_keyring = [this](const transfer::SecretKey& k,
                                                const std::string& p) { return InKeyring(k, p); };
  if (ask_keyring && keyring_->Usable()) {
    for (const transfer::SecretToStore& s : transfer::SecretsToStore(owner_.lines(), in_keyring)) {
      owner_.set_status(kStoringText);
      keyring_->Store(s.key, s.label, s.secret, [this](bool taken) {
        if (!taken) return;  // said once by the keyring's going out of use
        if (owner_.status() == kStoringText)
          owner_.set_status("パスワードをキーリングに保存しました");
        // A password the file held in the clear leaves it now.
        Write(false);
      });
    }
  }
  const auto r = transfer::WriteProfileFile(
      ProgramFolder(), transfer::LinesForFile(owner_.lines(), in_keyring, file_lines_));
  if (!r.ok) owner_.error(r.error);
}

void ProfileKeeper::Saved(const std::string& before, const std::string& after, bool own_password) {
  // A renamed profile (or one moved to another host or user) leaves no
  // secret behind under its old name; one that has no password of its own
  // now takes the keyring's along.
  if (!before.empty() && !(transfer::PasswordKeyOf(before) == transfer::PasswordKeyOf(after))) {
    if (!own_password)
      keyring_->Move(transfer::PasswordKeyOf(before), transfer::PasswordKeyOf(after),
                     transfer::PasswordLabelOf(after));
    else
      keyring_->Remove(transfer::PasswordKeyOf(before));
  }
  Write(true);
}

bool ProfileKeeper::SessionOnlyPasswords() const {
  if (keyring_->Usable()) return false;
  const auto in_keyring = [this](const transfer::SecretKey& k, const std::string& p) {
    return InKeyring(k, p);
  };
  const std::vector<std::string>& lines = owner_.lines();
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return transfer::SessionOnly(line, in_keyring, file_lines_);
  });
}

void ProfileKeeper::Deleted(const std::string& line) {
  keyring_->Remove(transfer::PasswordKeyOf(line));
}

}  // namespace hemlo::transfer_ui
