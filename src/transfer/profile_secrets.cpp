#include "transfer/profile_secrets.h"

#include "text/cp932.h"
#include "transfer/comma_text.h"
#include "transfer/profiles.h"

namespace hemlo::transfer {

namespace {

constexpr size_t kPasswordIndex = 3;

std::string Utf8(const std::string& sjis) {
  auto text = text::Cp932ToUtf8(sjis);
  return text ? *text : sjis;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> f = SplitCommaText(line);
  if (f.size() < kProfileFields) f.resize(kProfileFields);
  return f;
}

bool KeptInFile(const std::vector<std::string>& f) {
  return f.size() > kPasswordInFileIndex && f[kPasswordInFileIndex] == kPasswordInFileField;
}

}  // namespace

SecretKey PasswordKeyOf(const std::string& line) {
  const std::vector<std::string> f = Fields(line);
  return {"password", Utf8(f[0]), Utf8(f[1]), Utf8(f[2])};
}

std::string PasswordLabelOf(const std::string& line) {
  const std::vector<std::string> f = Fields(line);
  return "Ferrox: " + Utf8(f[0]) + " (" + Utf8(f[1]) + ")";
}

SecretKey PassphraseKeyOf(const std::string& key_file) { return {"passphrase", "", key_file, ""}; }

bool AnonymousUser(const std::string& user) {
  std::string lower = user;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return lower == "anonymous" || lower == "ftp";
}

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

void RestorePasswords(std::vector<std::string>& lines, bool keyring_present) {
  if (keyring_present) return;
  for (std::string& line : lines) {
    std::vector<std::string> f = Fields(line);
    if (f[kPasswordIndex].empty() || KeptInFile(f)) continue;
    if (f.size() <= kPasswordInFileIndex) f.resize(kPasswordInFileIndex + 1);
    // The modes before it as the panel writes them when later fields are set.
    for (size_t i : {kProfileFields, kProfileFields + 1})
      if (f[i].empty()) f[i] = "auto";
    f[kPasswordInFileIndex] = kPasswordInFileField;
    line = JoinCommaText(f);
  }
}

namespace {

// Whether the file as read held this line's password in the clear already.
bool FileHeld(const std::vector<std::string>& file_lines, const SecretKey& key,
              const std::string& password) {
  for (const std::string& line : file_lines)
    if (Fields(line)[kPasswordIndex] == password && PasswordKeyOf(line) == key) return true;
  return false;
}

}  // namespace

std::vector<std::string> LinesForFile(const std::vector<std::string>& lines,
                                      const InKeyring& in_keyring,
                                      const std::vector<std::string>& file_lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    std::vector<std::string> f = Fields(line);
    const std::string& password = f[kPasswordIndex];
    if (password.empty()) {
      out.push_back(line);
      continue;
    }
    const SecretKey key = PasswordKeyOf(line);
    const bool moved = in_keyring(key, password);
    // Written in the clear only where the user chose it, or where the file
    // already held it (it moves once the keyring has it); else the password
    // lives for the session.
    if (!moved && (KeptInFile(f) || FileHeld(file_lines, key, password))) {
      out.push_back(line);
      continue;
    }
    f[kPasswordIndex].clear();
    if (moved && KeptInFile(f)) f[kPasswordInFileIndex].clear();
    while (f.size() > kProfileFields && f.back().empty()) f.pop_back();
    out.push_back(JoinCommaText(f));
  }
  return out;
}

std::vector<SecretToStore> SecretsToStore(const std::vector<std::string>& lines,
                                          const InKeyring& in_keyring) {
  std::vector<SecretToStore> out;
  for (const std::string& line : lines) {
    const std::string password = Fields(line)[kPasswordIndex];
    const SecretKey key = PasswordKeyOf(line);
    if (!password.empty() && !in_keyring(key, password))
      out.push_back({key, PasswordLabelOf(line), password});
  }
  return out;
}

bool SessionOnly(const std::string& line, const InKeyring& in_keyring,
                 const std::vector<std::string>& file_lines) {
  const std::string password = Fields(line)[kPasswordIndex];
  return !password.empty() && !in_keyring(PasswordKeyOf(line), password) &&
         Fields(LinesForFile({line}, in_keyring, file_lines)[0])[kPasswordIndex].empty();
}

}  // namespace hemlo::transfer
