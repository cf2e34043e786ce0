#pragma once
// One SSH connection carrying the "sftp" subsystem, both spoken by libssh2
// in non-blocking mode: every wait polls the socket together with an
// eventfd, so Cancel from any thread ends it at once, and every wait has a
// bound.
//
// No password or key leaves the program before the server's host key is
// trusted: the host key is checked right after the key exchange, before any
// authentication request.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sftp/known_hosts.h"

struct _LIBSSH2_SESSION;
struct _LIBSSH2_SFTP;
struct _LIBSSH2_SFTP_HANDLE;

namespace hemlo::sftp {

struct ConnectOptions {
  std::string host;
  int port = 22;
  std::string user;
  std::string password;  // the profile's; empty: none given
  int connect_timeout_ms = 30'000;
  int reply_timeout_ms = 120'000;
  std::filesystem::path known_hosts;  // the program's own trusted keys
  // Where the user's key files lie (normally ~/.ssh); empty: none tried.
  std::filesystem::path key_folder;
  // The agent's socket (normally $SSH_AUTH_SOCK); empty: no agent.
  std::string agent_socket;
};

struct HostKeyQuestion {
  std::string host;  // as the file names it: "name" or "[name]:port"
  std::string key_type;
  std::string fingerprint;  // "SHA256:..."
  bool changed = false;
  std::string old_key_type;  // when changed
  std::string old_fingerprint;
};

// Questions asked on the connection's thread while it waits; none of them
// counts against the connect bound.
struct ConnectQuestions {
  // True to trust (and store) the key.
  std::function<bool(const HostKeyQuestion&)> trust_host_key;
  // The passphrase of the key file, nothing to skip the key.
  std::function<std::optional<std::string>(const std::filesystem::path& key_file)> key_passphrase;
  // Told the passphrase that opened a key the server then accepted.
  std::function<void(const std::filesystem::path& key_file, const std::string& passphrase)>
      passphrase_accepted;
  // A password when the profile holds none; nothing to give up. Asked
  // again (a few times) while the server refuses the answers.
  std::function<std::optional<std::string>()> password;
  // Told the answer to `password` that the server accepted.
  std::function<void(const std::string& password)> password_accepted;
};

// How the login succeeded, for the status bar.
struct LoginMethod {
  enum class Kind { kNone, kPassword, kAgent, kKeyFile };
  Kind kind = Kind::kNone;
  std::filesystem::path key_file;  // kKeyFile
  std::string Text() const;        // Japanese, for the user
};

class SshConnection {
 public:
  SshConnection();
  ~SshConnection();
  SshConnection(const SshConnection&) = delete;
  SshConnection& operator=(const SshConnection&) = delete;

  // Connects, checks the host key, logs in and opens the sftp subsystem.
  // Failures raise the remote errors (Japanese messages).
  LoginMethod Open(const ConnectOptions& options, const ConnectQuestions& questions);
  void Close();
  bool IsOpen() const { return sftp_ != nullptr; }

  // Any thread: the running wait (or the next one) ends with
  // remote::Cancelled.
  void Cancel();
  void ClearCancel();

  _LIBSSH2_SFTP* Sftp() const { return sftp_; }
  // Repeats a library call while it answers "again" (`call` true when it
  // has finished), waiting on the socket at most `timeout_ms` each time.
  // A cancel before the call raises at once; one during it lets the call
  // finish for a moment so the connection stays usable, else closes it.
  void Drive(const std::function<bool()>& call, int timeout_ms, const char* what);
  // True while the library's last call answered "again".
  bool Again() const;
  // The library's code and text for its last failure.
  int LastErrno() const;
  std::string LastError() const;
  [[noreturn]] void Lost(const std::string& why);
  // The file and folder handles open on the connection: the library frees
  // a handle only in its close, so Close() closes what is still open.
  void Opened(_LIBSSH2_SFTP_HANDLE* handle) { handles_.push_back(handle); }
  void Forget(_LIBSSH2_SFTP_HANDLE* handle);

 private:
  void TcpConnect(const ConnectOptions& options, int64_t deadline_ms);
  void CheckHostKey(const ConnectOptions& options, const ConnectQuestions& questions);
  LoginMethod Authenticate(const ConnectOptions& options, const ConnectQuestions& questions);
  bool TryPassword(const ConnectOptions& options, const std::string& password);
  bool TryAgent(const ConnectOptions& options);
  bool TryKeyFile(const ConnectOptions& options, const ConnectQuestions& questions,
                  const std::filesystem::path& file);
  // Drive with the login's bound.
  void DriveAuth(const std::function<bool()>& call, const char* what);
  // The time the user took to answer a question is not the server's.
  void RestartAuthClock();
  void CloseHandlesWhileAlive();
  void FreeHandlesAfterShutdown();

  _LIBSSH2_SESSION* session_ = nullptr;
  _LIBSSH2_SFTP* sftp_ = nullptr;
  int fd_ = -1;         // the connection's socket, ours to close
  int cancel_fd_ = -1;  // readable once Cancel was called: wakes a poll
  std::atomic<bool> cancelled_{false};
  int64_t auth_deadline_ms_ = 0;
  int connect_timeout_ms_ = 0;
  std::vector<_LIBSSH2_SFTP_HANDLE*> handles_;
};

}  // namespace hemlo::sftp
