#pragma once
// Profile passwords between Ferrox.ini and the desktop keyring. In memory a
// profile line holds its password as ever; the file gets a copy whose
// password field is empty once the keyring holds the password. Without a
// keyring the password stays in the file only where the user chose that
// (the "plain" field), else it lives for the session. Core code (no Qt).
#include <string>
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

}  // namespace hemlo::transfer
