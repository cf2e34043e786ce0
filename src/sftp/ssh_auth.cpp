// Logging in once the host key is trusted: the profile's password, then the
// agent's keys, then the user's key files, then a password asked for.
#include <libssh2.h>

#include <chrono>
#include <cstring>
#include <filesystem>

#include "base/remote_errors.h"
#include "sftp/ssh_connection.h"

namespace hemlo::sftp {

namespace {

constexpr int kPassphraseTries = 3;
constexpr int kPasswordTries = 3;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A refusal by the server, as against a broken connection.
bool Refusal(int rc) {
  return rc == LIBSSH2_ERROR_AUTHENTICATION_FAILED || rc == LIBSSH2_ERROR_PUBLICKEY_UNVERIFIED ||
         rc == LIBSSH2_ERROR_PASSWORD_EXPIRED || rc == LIBSSH2_ERROR_METHOD_NOT_SUPPORTED;
}

}  // namespace

void SshConnection::DriveAuth(const std::function<bool()>& call, const char* what) {
  Drive(call, int(std::max<int64_t>(auth_deadline_ms_ - NowMs(), 1)), what);
}

bool SshConnection::TryPassword(const ConnectOptions& options, const std::string& password) {
  int rc = 0;
  DriveAuth(
      [&] {
        rc = libssh2_userauth_password_ex(session_, options.user.data(),
                                          unsigned(options.user.size()), password.data(),
                                          unsigned(password.size()), nullptr);
        return rc != LIBSSH2_ERROR_EAGAIN;
      },
      "パスワード認証");
  if (rc != 0 && !Refusal(rc)) Lost(LastError());
  return rc == 0;
}

bool SshConnection::TryAgent(const ConnectOptions& options) {
  LIBSSH2_AGENT* agent = libssh2_agent_init(session_);
  if (!agent) return false;
  libssh2_agent_set_identity_path(agent, options.agent_socket.c_str());
  bool done = false;
  // An agent that cannot be reached is no reason to give up the login.
  if (libssh2_agent_connect(agent) == 0 && libssh2_agent_list_identities(agent) == 0) {
    libssh2_agent_publickey* identity = nullptr;
    libssh2_agent_publickey* previous = nullptr;
    while (!done && libssh2_agent_get_identity(agent, &identity, previous) == 0) {
      int rc = 0;
      DriveAuth(
          [&] {
            rc = libssh2_agent_userauth(agent, options.user.c_str(), identity);
            return rc != LIBSSH2_ERROR_EAGAIN;
          },
          "ssh-agent");
      done = rc == 0;
      previous = identity;
    }
    libssh2_agent_disconnect(agent);
  }
  libssh2_agent_free(agent);
  return done;
}

bool SshConnection::TryKeyFile(const ConnectOptions& options, const ConnectQuestions& questions,
                               const std::filesystem::path& file) {
  const auto attempt = [&](const std::string& passphrase) {
    int rc = 0;
    DriveAuth(
        [&] {
          rc = libssh2_userauth_publickey_fromfile_ex(session_, options.user.data(),
                                                      unsigned(options.user.size()), nullptr,
                                                      file.c_str(), passphrase.c_str());
          return rc != LIBSSH2_ERROR_EAGAIN;
        },
        "鍵認証");
    if (rc != 0 && !Refusal(rc) && rc != LIBSSH2_ERROR_FILE) Lost(LastError());
    return rc;
  };
  // Without a passphrase first: most keys have none. The public half is
  // taken from the private file, so a key that cannot be opened answers
  // "file" before anything is sent.
  int rc = attempt("");
  if (rc != LIBSSH2_ERROR_FILE) return rc == 0;
  for (int i = 0; i < kPassphraseTries; ++i) {
    const std::optional<std::string> passphrase =
        questions.key_passphrase ? questions.key_passphrase(file) : std::nullopt;
    RestartAuthClock();
    if (!passphrase) return false;
    rc = attempt(*passphrase);
    if (rc == 0) {
      if (questions.passphrase_accepted) questions.passphrase_accepted(file, *passphrase);
      return true;
    }
    if (rc != LIBSSH2_ERROR_FILE) return false;  // opened, but refused
  }
  return false;
}

LoginMethod SshConnection::Authenticate(const ConnectOptions& options,
                                        const ConnectQuestions& questions) {
  LoginMethod method;
  const char* list = nullptr;
  DriveAuth(
      [&] {
        list = libssh2_userauth_list(session_, options.user.data(), unsigned(options.user.size()));
        return list || !Again();
      },
      "認証");
  if (!list) {
    if (libssh2_userauth_authenticated(session_)) return method;
    Lost(LastError());
  }
  const std::string offered = list;
  const auto offers = [&offered](const char* name) {
    for (size_t at = 0; at <= offered.size();) {
      const size_t end = std::min(offered.find(',', at), offered.size());
      if (offered.compare(at, end - at, name) == 0) return true;
      at = end + 1;
    }
    return false;
  };
  std::string tried;
  const auto note = [&tried](const std::string& what) {
    tried += (tried.empty() ? "" : "、") + what;
  };

  if (offers("password") && !options.password.empty()) {
    note("パスワード");
    if (TryPassword(options, options.password)) return {LoginMethod::Kind::kPassword, {}};
  }
  if (offers("publickey")) {
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
  if (offers("password") && options.password.empty() && questions.password) {
    for (int i = 0; i < kPasswordTries; ++i) {
      const std::optional<std::string> password = questions.password();
      RestartAuthClock();
      if (!password) break;
      if (i == 0) note("パスワード");
      if (TryPassword(options, *password)) {
        if (questions.password_accepted) questions.password_accepted(*password);
        return {LoginMethod::Kind::kPassword, {}};
      }
    }
  }
  Close();
  if (tried.empty()) {
    throw remote::Refused("ログインできませんでした: サーバが受け付ける認証方法がありません");
  }
  throw remote::Refused(
      "ログインできませんでした: ユーザー名かパスワードが違うか、鍵が受け入れられませんでした（"
      "試した方法: " +
      tried + "）");
}

}  // namespace hemlo::sftp
