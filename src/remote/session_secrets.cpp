#include "remote/session_secrets.h"

#include <memory>
#include <set>

namespace hemlo::transfer {

SecretKey PassphraseKeyOf(const std::string& key_file) { return {"passphrase", "", key_file, ""}; }

std::optional<std::string> SessionPasswords::Find(const std::string& host,
                                                  const std::string& user) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = passwords_.find({host, user});
  return it == passwords_.end() ? std::nullopt : std::optional(it->second);
}

void SessionPasswords::Keep(const std::string& host, const std::string& user,
                            const std::string& password) {
  std::lock_guard<std::mutex> lock(mutex_);
  passwords_[{host, user}] = password;
}

void SessionPasswords::Forget(const std::string& host, const std::string& user) {
  std::lock_guard<std::mutex> lock(mutex_);
  passwords_.erase({host, user});
}

std::optional<std::string> PassphraseKeeper::Kept(const std::string& key_file) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto it = session_.find(key_file); it != session_.end()) return it->second;
  }
  return store_.Available() ? store_.Lookup(PassphraseKeyOf(key_file)) : std::nullopt;
}

void PassphraseKeeper::Keep(const std::string& key_file, const std::string& passphrase) {
  if (store_.Available() &&
      store_.Store(PassphraseKeyOf(key_file), "Ferrox: SSH の鍵 " + key_file, passphrase))
    return;
  std::lock_guard<std::mutex> lock(mutex_);
  session_[key_file] = passphrase;
}

sftp::ConnectQuestions PassphraseKeeper::Wrap(sftp::ConnectQuestions questions) {
  auto offered = std::make_shared<std::set<std::string>>();
  auto ask = questions.key_passphrase;
  questions.key_passphrase =
      [this, ask, offered](const std::filesystem::path& file) -> std::optional<std::string> {
    if (offered->insert(file.string()).second) {
      if (auto kept = Kept(file.string())) return kept;
    }
    return ask ? ask(file) : std::nullopt;
  };
  auto told = questions.passphrase_accepted;
  questions.passphrase_accepted = [this, told](const std::filesystem::path& file,
                                               const std::string& passphrase) {
    Keep(file.string(), passphrase);
    if (told) told(file, passphrase);
  };
  return questions;
}

}  // namespace hemlo::transfer
