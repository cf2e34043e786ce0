#pragma once
// The desktop's Secret Service (GNOME Keyring, KWallet) through libsecret.
// Every call is bounded: a keyring that waits for an unlock prompt nobody
// answers cannot hold the caller longer than the bound.
#include "transfer/secret_store.h"

namespace hemlo::transfer {

class DesktopKeyring : public SecretStore {
 public:
  explicit DesktopKeyring(int timeout_ms = 20'000) : timeout_ms_(timeout_ms) {}
  bool Available() override;
  std::optional<std::string> Lookup(const SecretKey& key) override;
  bool Store(const SecretKey& key, const std::string& label, const std::string& secret) override;
  void Remove(const SecretKey& key) override;

 private:
  int timeout_ms_;
  int available_ = -1;  // unknown until asked
};

}  // namespace hemlo::transfer
