#pragma once
// Where secrets (profile passwords, SSH key passphrases) are kept when the
// desktop offers a keyring. Core code (no Qt): the desktop's Secret Service
// stands behind it in the program, a map in tests.
#include <optional>
#include <string>

namespace hemlo::transfer {

// What a secret belongs to. Texts are UTF-8.
struct SecretKey {
  std::string kind;     // "password" or "passphrase"
  std::string profile;  // registration name (passwords)
  std::string host;     // host name, or the key file's path (passphrases)
  std::string user;
  bool operator==(const SecretKey&) const = default;
};

class SecretStore {
 public:
  virtual ~SecretStore() = default;
  // Whether there is a keyring to ask at all, known without asking it.
  virtual bool Present() { return true; }
  // Whether a keyring answers at all; false means every secret lives in
  // the file (when the user chose so) or only for the session. Once a call
  // has failed it stays false.
  virtual bool Available() = 0;
  virtual std::optional<std::string> Lookup(const SecretKey& key) = 0;
  // False when the keyring refused or did not answer in time.
  virtual bool Store(const SecretKey& key, const std::string& label, const std::string& secret) = 0;
  virtual void Remove(const SecretKey& key) = 0;
  // From any thread: the call running now and every later one give up.
  virtual void Cancel() {}
};

}  // namespace hemlo::transfer
