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

void RestorePasswords(std::vector<std::string>& lines, SecretStore& store) {
  const bool keyring = store.Available();
  for (std::string& line : lines) {
    std::vector<std::string> f = Fields(line);
    if (!f[kPasswordIndex].empty()) {
      if (keyring || KeptInFile(f)) continue;
      if (f.size() <= kPasswordInFileIndex) f.resize(kPasswordInFileIndex + 1);
      // The modes before it as the panel writes them when later fields are set.
      for (size_t i : {kProfileFields, kProfileFields + 1})
        if (f[i].empty()) f[i] = "auto";
      f[kPasswordInFileIndex] = kPasswordInFileField;
      line = JoinCommaText(f);
    } else if (keyring) {
      if (auto password = store.Lookup(PasswordKeyOf(line))) {
        f[kPasswordIndex] = *password;
        line = JoinCommaText(f);
      }
    }
  }
}

std::vector<std::string> LinesForFile(const std::vector<std::string>& lines, SecretStore& store) {
  std::vector<std::string> out;
  const bool keyring = store.Available();
  for (const std::string& line : lines) {
    std::vector<std::string> f = Fields(line);
    if (f[kPasswordIndex].empty()) {
      out.push_back(line);
      continue;
    }
    const bool moved =
        keyring && store.Store(PasswordKeyOf(line), PasswordLabelOf(line), f[kPasswordIndex]);
    // A keyring that refused leaves the line as it was: losing a password
    // is worse than keeping it where it always was.
    if (moved || (!keyring && !KeptInFile(f))) {
      f[kPasswordIndex].clear();
      if (moved && KeptInFile(f)) f[kPasswordInFileIndex].clear();
      while (f.size() > kProfileFields && f.back().empty()) f.pop_back();
      out.push_back(JoinCommaText(f));
    } else {
      out.push_back(line);
    }
  }
  return out;
}

void ForgetPassword(const std::string& old_line, SecretStore& store) {
  if (store.Available()) store.Remove(PasswordKeyOf(old_line));
}

void ForgetReplacedPassword(const std::string& old_line, const std::string& new_line,
                            SecretStore& store) {
  if (!(PasswordKeyOf(old_line) == PasswordKeyOf(new_line))) ForgetPassword(old_line, store);
}

}  // namespace hemlo::transfer
