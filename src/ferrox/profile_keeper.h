#pragma once
// Where the profiles are kept between sessions: Ferrox.ini, written at
// once whatever the keyring does, and the desktop keyring, handed new
// passwords on its own thread. A keyring that cannot take them is said
// once, its passwords kept for the session. No widgets: the owner shows
// what it says.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "remote/keyring_session.h"
#include "transfer/ferrox_files.h"

namespace hemlo::transfer_ui {

class ProfileKeeper {
 public:
  struct Owner {
    transfer::KeyringSession::Post post;  // runs a function on the owner's thread
    std::function<void(const std::string&)> set_status;
    std::function<std::string()> status;
    std::function<void(const std::string&)> error;
    // The profile lines as they stand now.
    std::function<const std::vector<std::string>&()> lines;
  };
  ProfileKeeper(std::unique_ptr<transfer::SecretStore> store, Owner owner);

  transfer::KeyringSession& Keyring() { return *keyring_; }
  // Ferrox.ini as read, the passwords it holds in the clear marked as kept
  // there where no keyring is to ask.
  std::vector<std::string> Read();
  // Ferrox.ini written from the lines; `ask_keyring`: new passwords are
  // handed to the keyring (never at quit).
  void Write(bool ask_keyring);
  // Profile `before` has been saved as `after` (empty `before`: added):
  // a secret under its old name moves along or goes. Then written.
  void Saved(const std::string& before, const std::string& after, bool own_password);
  void Deleted(const std::string& line);
  // Once per session: why a password is kept for the session only.
  void NoteNotKept();
  // A password of the lines, as things stand, is kept for the session only.
  bool SessionOnlyPasswords() const;

 private:
  bool InKeyring(const transfer::SecretKey& key, const std::string& password) const;

  Owner owner_;
  std::unique_ptr<transfer::KeyringSession> keyring_;
  // Ferrox.ini as read: the passwords it held in the clear stay there
  // until the keyring has them.
  std::vector<std::string> file_lines_;
  bool note_given_ = false;
};

}  // namespace hemlo::transfer_ui
