// Logging in once the host key is trusted: the profile's password, then the
// agent's keys, then the user's key files, then a password asked for.
#include <libssh/libssh.h>

#include <filesystem>

#include "ftp/id_exception.h"
#include "sftp/ssh_connection.h"

namespace hemlo::sftp {

namespace {
constexpr int AuthAgain = SSH_AUTH_AGAIN;
constexpr int kPassphraseTries = 3;
}  // namespace

bool SshConnection::TryPassword(const ConnectOptions&, const std::string& password) {
  const int rc = Retry([&] { return ssh_userauth_password(session_, nullptr, password.c_str()); },
                       AuthAgain, auth_deadline_ms_, "パスワード認証");
  if (rc == SSH_AUTH_ERROR) Lost(ssh_get_error(session_));
  return rc == SSH_AUTH_SUCCESS;
}

bool SshConnection::TryAgent(const ConnectOptions& options) {
  ssh_options_set(session_, SSH_OPTIONS_IDENTITY_AGENT, options.agent_socket.c_str());
  const int rc = Retry([&] { return ssh_userauth_agent(session_, nullptr); }, AuthAgain,
                       auth_deadline_ms_, "ssh-agent");
  // An agent that cannot be reached is no reason to give up the login.
  return rc == SSH_AUTH_SUCCESS;
}

bool SshConnection::TryKeyFile(const ConnectOptions&, const ConnectQuestions& questions,
                               const std::filesystem::path& file) {
  ssh_key pub = nullptr;
  ssh_key priv = nullptr;
  // The public half is offered first, so a passphrase is asked for only for
  // a key the server would accept.
  if (ssh_pki_import_pubkey_file((file.string() + ".pub").c_str(), &pub) != SSH_OK) {
    if (ssh_pki_import_privkey_file(file.c_str(), nullptr, nullptr, nullptr, &priv) != SSH_OK ||
        ssh_pki_export_privkey_to_pubkey(priv, &pub) != SSH_OK) {
      ssh_key_free(priv);
      return false;  // no public half and an encrypted private one: skipped
    }
  }
  const int offered = Retry([&] { return ssh_userauth_try_publickey(session_, nullptr, pub); },
                            AuthAgain, auth_deadline_ms_, "鍵認証");
  ssh_key_free(pub);
  if (offered == SSH_AUTH_ERROR) {
    ssh_key_free(priv);
    Lost(ssh_get_error(session_));
  }
  if (offered != SSH_AUTH_SUCCESS) {
    ssh_key_free(priv);
    return false;
  }
  std::optional<std::string> opened_with;  // the passphrase, when the key needed one
  if (!priv &&
      ssh_pki_import_privkey_file(file.c_str(), nullptr, nullptr, nullptr, &priv) != SSH_OK) {
    priv = nullptr;
    for (int i = 0; i < kPassphraseTries && !priv; ++i) {
      const std::optional<std::string> passphrase =
          questions.key_passphrase ? questions.key_passphrase(file) : std::nullopt;
      RestartAuthClock();
      if (!passphrase) return false;
      if (ssh_pki_import_privkey_file(file.c_str(), passphrase->c_str(), nullptr, nullptr, &priv) !=
          SSH_OK) {
        priv = nullptr;
      } else {
        opened_with = passphrase;
      }
    }
    if (!priv) return false;
  }
  const int rc = Retry([&] { return ssh_userauth_publickey(session_, nullptr, priv); }, AuthAgain,
                       auth_deadline_ms_, "鍵認証");
  ssh_key_free(priv);
  if (rc == SSH_AUTH_ERROR) Lost(ssh_get_error(session_));
  if (rc == SSH_AUTH_SUCCESS && opened_with && questions.passphrase_accepted)
    questions.passphrase_accepted(file, *opened_with);
  return rc == SSH_AUTH_SUCCESS;
}

LoginMethod SshConnection::Authenticate(const ConnectOptions& options,
                                        const ConnectQuestions& questions) {
  LoginMethod method;
  int rc = Retry([&] { return ssh_userauth_none(session_, nullptr); }, AuthAgain, auth_deadline_ms_,
                 "認証");
  if (rc == SSH_AUTH_SUCCESS) return method;
  if (rc == SSH_AUTH_ERROR) Lost(ssh_get_error(session_));
  const int offered = ssh_userauth_list(session_, nullptr);
  std::string tried;
  const auto note = [&tried](const std::string& what) {
    tried += (tried.empty() ? "" : "、") + what;
  };

  if ((offered & SSH_AUTH_METHOD_PASSWORD) && !options.password.empty()) {
    note("パスワード");
    if (TryPassword(options, options.password)) return {LoginMethod::Kind::kPassword, {}};
  }
  if (offered & SSH_AUTH_METHOD_PUBLICKEY) {
    if (!options.agent_socket.empty()) {
      note("ssh-agent");
      if (TryAgent(options)) return {LoginMethod::Kind::kAgent, {}};
    }
    if (!options.key_folder.empty()) {
      for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        const std::filesystem::path file = options.key_folder / name;
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) continue;
        note(file.string());
        if (TryKeyFile(options, questions, file)) return {LoginMethod::Kind::kKeyFile, file};
      }
    }
  }
  if ((offered & SSH_AUTH_METHOD_PASSWORD) && options.password.empty() && questions.password) {
    if (const std::optional<std::string> password = questions.password()) {
      note("パスワード");
      RestartAuthClock();
      if (TryPassword(options, *password)) return {LoginMethod::Kind::kPassword, {}};
    }
  }
  Close();
  if (tried.empty()) {
    throw ftp::EIdException("ログインできませんでした: サーバが受け付ける認証方法がありません");
  }
  throw ftp::EIdException(
      "ログインできませんでした: ユーザー名かパスワードが違うか、鍵が受け入れられませんでした（"
      "試した方法: " +
      tried + "）");
}

}  // namespace hemlo::sftp
