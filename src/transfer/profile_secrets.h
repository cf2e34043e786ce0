#pragma once
// Profile passwords between Ferrox.ini and the desktop keyring. In memory a
// profile line holds its password as ever; the file gets a copy whose
// password field is empty once the keyring holds the password. Without a
// keyring (or one that declined) the password stays in the file only where
// the user chose that (the "plain" field), else it lives for the session.
// Core code (no Qt).
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "remote/secret_store.h"
#include "remote/session_secrets.h"

namespace hemlo::transfer {

// The keyring's key and label of a profile line (Shift-JIS fields).
SecretKey PasswordKeyOf(const std::string& line);
std::string PasswordLabelOf(const std::string& line);

// After reading the file, where no keyring is there to ask: a password
// found in the file is marked as kept in the file, as it always was, so
// nothing is lost at the next save. (Where one is, an empty field means the
// keyring's password, asked for at connect.)
void RestorePasswords(std::vector<std::string>& lines, bool keyring_present);

// Whether the keyring is known to hold `password` for `key`.
using InKeyring = std::function<bool(const SecretKey& key, const std::string& password)>;

// The lines to write, without asking the keyring: a password it holds
// leaves its field empty; one it does not is written only where the line
// says so or where `file_lines` (the file as read) held it already, else it
// lives for the session only.
std::vector<std::string> LinesForFile(const std::vector<std::string>& lines,
                                      const InKeyring& in_keyring,
                                      const std::vector<std::string>& file_lines);

// The passwords of `lines` the keyring does not hold yet.
struct SecretToStore {
  SecretKey key;
  std::string label;
  std::string secret;
};
std::vector<SecretToStore> SecretsToStore(const std::vector<std::string>& lines,
                                          const InKeyring& in_keyring);

// Whether the line's password, written as things stand, is kept for the
// session only (neither in the keyring nor chosen for the file).
bool SessionOnly(const std::string& line, const InKeyring& in_keyring,
                 const std::vector<std::string>& file_lines);

// A user name that logs in without a password of its own (FTP's
// anonymous accounts).
bool AnonymousUser(const std::string& user);

}  // namespace hemlo::transfer
