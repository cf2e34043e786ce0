#pragma once
// SSH key passphrases kept like profile passwords: asked for once, then
// taken from the desktop keyring, or without one kept for the session.
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "sftp/ssh_connection.h"
#include "transfer/secret_store.h"

namespace hemlo::transfer {

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
