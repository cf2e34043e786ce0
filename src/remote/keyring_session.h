#pragma once
// The desktop keyring asked on a thread of its own, so that no window waits
// for it: an unlock prompt nobody answers holds that thread only. The first
// call that fails, is declined or passes its bound ends the keyring's use for
// the session; every later call gives up at once, and nothing is asked twice.
// Core code (no Qt).
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "remote/secret_store.h"

namespace hemlo::transfer {

class KeyringSession {
 public:
  // `post` runs a function on the owner's thread: the results of the calls
  // queued from there come back that way.
  using Post = std::function<void(std::function<void()>)>;
  KeyringSession(std::unique_ptr<SecretStore> store, Post post, int wait_ms = 25'000);
  ~KeyringSession();
  // Gives up the call running and every one queued (waiting for the
  // keyring thread briefly, never for the keyring); later calls give up
  // at once.
  void Close();
  KeyringSession(const KeyringSession&) = delete;
  KeyringSession& operator=(const KeyringSession&) = delete;

  // Any thread.
  bool Present() const;  // there is a keyring to ask at all
  bool Usable() const;   // present and not (yet) out of use
  bool Pending() const;  // a call queued or running
  // The keyring is known to hold `secret` for `key` (stored or read back
  // this session).
  bool Holds(const SecretKey& key, const std::string& secret) const;

  // Queued, from any thread; `done` comes back on the owner's (true: taken).
  void Store(const SecretKey& key, const std::string& label, const std::string& secret,
             std::function<void(bool)> done = nullptr);
  void Remove(const SecretKey& key);
  // The secret kept under `from` kept under `to` instead (a renamed profile).
  void Move(const SecretKey& from, const SecretKey& to, const std::string& label);

  // From any thread but the owner's: waits for the answer (within the
  // keyring's bound, or until `stop` says so). Asked once per key and
  // session.
  std::optional<std::string> Lookup(const SecretKey& key,
                                    const std::function<bool()>& stop = nullptr);
  // Lookup and Store for callers on threads of their own (the SSH key
  // passphrases), with the same rules.
  SecretStore& Blocking();

  // Run on the owner's thread, once, when the keyring went out of use
  // after a call. Set before the first call.
  void SetOnOutOfUse(std::function<void()> fn);

 private:
  struct State;
  std::shared_ptr<State> state_;
  std::unique_ptr<SecretStore> blocking_;
};

}  // namespace hemlo::transfer
