#include "transfer/profile_secrets.h"

#include "text/cp932.h"
#include "remote/profile.h"

namespace hemlo::transfer {

namespace {

std::string Utf8(const std::string& sjis) {
  auto text = text::Cp932ToUtf8(sjis);
  return text ? *text : sjis;
}

}  // namespace

SecretKey PasswordKeyOf(const std::string& line) {
  const Profile p = Profile::Parse(line);
  return {"password", Utf8(p.Name()), Utf8(p.Host()), Utf8(p.User())};
}

std::string PasswordLabelOf(const std::string& line) {
  const Profile p = Profile::Parse(line);
  return "Ferrox: " + Utf8(p.Name()) + " (" + Utf8(p.Host()) + ")";
}

bool AnonymousUser(const std::string& user) {
  std::string lower = user;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return lower == "anonymous" || lower == "ftp";
}

void RestorePasswords(std::vector<std::string>& lines, bool keyring_present) {
  if (keyring_present) return;
  for (std::string& line : lines) {
    Profile p = Profile::Parse(line);
    if (p.Password().empty() || p.PasswordInFile()) continue;
    // The modes before it as the panel writes them when later fields are set.
    for (Profile::Field mode : {Profile::kDataMode, Profile::kNameEncoding})
      if (p.Text(mode).empty()) p.Set(mode, "auto");
    p.Set(Profile::kPasswordInFile, Profile::kPasswordInFileWord);
    line = p.Line();
  }
}

namespace {

// Whether the file as read held this line's password in the clear already.
bool FileHeld(const std::vector<std::string>& file_lines, const SecretKey& key,
              const std::string& password) {
  for (const std::string& line : file_lines)
    if (Profile::Parse(line).Password() == password && PasswordKeyOf(line) == key) return true;
  return false;
}

}  // namespace

std::vector<std::string> LinesForFile(const std::vector<std::string>& lines,
                                      const InKeyring& in_keyring,
                                      const std::vector<std::string>& file_lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    Profile p = Profile::Parse(line);
    const std::string password = p.Password();
    if (password.empty()) {
      out.push_back(line);
      continue;
    }
    const SecretKey key = PasswordKeyOf(line);
    const bool moved = in_keyring(key, password);
    // Written in the clear only where the user chose it, or where the file
    // already held it (it moves once the keyring has it); else the password
    // lives for the session.
    if (!moved && (p.PasswordInFile() || FileHeld(file_lines, key, password))) {
      out.push_back(line);
      continue;
    }
    p.Set(Profile::kPassword, "");
    if (moved && p.PasswordInFile()) p.Set(Profile::kPasswordInFile, "");
    p.DropEmptyTail();
    out.push_back(p.Line());
  }
  return out;
}

std::vector<SecretToStore> SecretsToStore(const std::vector<std::string>& lines,
                                          const InKeyring& in_keyring) {
  std::vector<SecretToStore> out;
  for (const std::string& line : lines) {
    const std::string password = Profile::Parse(line).Password();
    const SecretKey key = PasswordKeyOf(line);
    if (!password.empty() && !in_keyring(key, password))
      out.push_back({key, PasswordLabelOf(line), password});
  }
  return out;
}

bool SessionOnly(const std::string& line, const InKeyring& in_keyring,
                 const std::vector<std::string>& file_lines) {
  const std::string password = Profile::Parse(line).Password();
  return !password.empty() && !in_keyring(PasswordKeyOf(line), password) &&
         Profile::Parse(LinesForFile({line}, in_keyring, file_lines)[0]).Password().empty();
}

}  // namespace hemlo::transfer
