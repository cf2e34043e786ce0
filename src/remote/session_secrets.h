#pragma once
// What a connection keeps of its logins' secrets for the session: the
// passwords typed at connect, and SSH key passphrases kept like profile
// passwords (asked for once, then taken from the desktop keyring, or
// without one kept for the session).
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "sftp/ssh_connection.h"
#include "remote/secret_store.h"

namespace hemlo::transfer {

// An SSH key file's passphrase.
SecretKey PassphraseKeyOf(const std::string& key_file);

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

class PassphraseKeeper {
 public:
  explicit PassphraseKeeper(SecretStore& store) : store_(store) {}
  // `questions` with its passphrase question answered from what is kept
  // first (once per key and connect; a kept passphrase that no longer opens
  // the key leads to the question), and accepted passphrases kept.
  sftp::ConnectQuestions Wrap(sftp::ConnectQuestions questions);

 private:
  std::optional<std::string> Kept(const std::string& key_file);
  void Keep(const std::string& key_file, const std::string& passphrase);

  SecretStore& store_;
  std::mutex mutex_;  // connects may run on several workers
  std::map<std::string, std::string> session_;
};

}  // namespace hemlo::transfer
