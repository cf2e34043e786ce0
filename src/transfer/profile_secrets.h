#pragma once
// Profile passwords between Ferrox.ini and the desktop keyring. In memory a
// profile line holds its password as ever; the file gets a copy whose
// password field is empty once the keyring holds the password. Without a
// keyring the password stays in the file only where the user chose that
// (the "plain" field), else it lives for the session. Core code (no Qt).
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "transfer/secret_store.h"

namespace hemlo::transfer {

// The keyring's key and label of a profile line (Shift-JIS fields).
SecretKey PasswordKeyOf(const std::string& line);
std::string PasswordLabelOf(const std::string& line);

// After reading the file: empty password fields filled from the keyring. A
// password found in the file while no keyring answers is marked as kept in
// the file, as it always was, so nothing is lost at the next save.
void RestorePasswords(std::vector<std::string>& lines, SecretStore& store);

// The lines to write: each password moved to the keyring (its field left
// empty); without a keyring kept only where the line says so.
std::vector<std::string> LinesForFile(const std::vector<std::string>& lines, SecretStore& store);

// A profile removed, or renamed (its old key no longer used): its secret goes.
void ForgetPassword(const std::string& old_line, SecretStore& store);
// Forgets the old line's secret when `new_line` is kept under another key.
void ForgetReplacedPassword(const std::string& old_line, const std::string& new_line,
                            SecretStore& store);

// An SSH key file's passphrase.
SecretKey PassphraseKeyOf(const std::string& key_file);

// A user name that logs in without a password of its own (FTP's
// anonymous accounts).
bool AnonymousUser(const std::string& user);

// Passwords typed at connect for profiles that keep none, remembered for
// the rest of the session in memory only, by host field and user. Any thread.
class SessionPasswords {
 public:
  std::optional<std::string> Find(const std::string& host, const std::string& user) const;
  void Keep(const std::string& host, const std::string& user, const std::string& password);
  void Forget(const std::string& host, const std::string& user);

 private:
  mutable std::mutex mutex_;
  std::map<std::pair<std::string, std::string>, std::string> passwords_;
};

}  // namespace hemlo::transfer
