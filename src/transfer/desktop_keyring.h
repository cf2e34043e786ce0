#pragma once
// The desktop's Secret Service (GNOME Keyring, KWallet) through libsecret.
// Every call is bounded: a keyring that waits for an unlock prompt nobody
// answers cannot hold the caller longer than the bound. A call that fails
// leaves the keyring unavailable from then on. One thread at a time calls
// it (KeyringSession's); Cancel comes from any.
#include <atomic>
#include <mutex>

#include "remote/secret_store.h"

typedef struct _GCancellable GCancellable;
typedef struct _GError GError;

namespace hemlo::transfer {

class DesktopKeyring : public SecretStore {
 public:
  explicit DesktopKeyring(int timeout_ms = 20'000) : timeout_ms_(timeout_ms) {}
  bool Present() override;
  bool Available() override;
  std::optional<std::string> Lookup(const SecretKey& key) override;
  bool Store(const SecretKey& key, const std::string& label, const std::string& secret) override;
  void Remove(const SecretKey& key) override;
  void Cancel() override;

 private:
  void Failed(GError* error);

  int timeout_ms_;
  int available_ = -1;  // unknown until asked
  std::atomic<bool> cancelled_ = false;
  std::mutex current_mutex_;
  GCancellable* current_ = nullptr;  // the call running now
};

}  // namespace hemlo::transfer
