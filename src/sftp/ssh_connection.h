#pragma once
// One SSH connection carrying the "sftp" subsystem, driven by libssh in
// non-blocking mode: every wait polls the socket together with an eventfd,
// so Cancel from any thread ends it at once, and every wait has a bound.
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

#include "sftp/known_hosts.h"

struct ssh_session_struct;
struct ssh_channel_struct;

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
  // A password when the profile holds none; nothing to give up.
  std::function<std::optional<std::string>()> password;
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
  // Failures raise the FTP client's exception types (Japanese messages).
  LoginMethod Open(const ConnectOptions& options, const ConnectQuestions& questions);
  void Close();
  bool IsOpen() const { return channel_ != nullptr; }

  // Any thread: the running wait (or the next one) ends with
  // ftp::EIdOperationAborted.
  void Cancel();
  void ClearCancel();

  // Queues bytes for the subsystem; they leave during Exchange.
  void Send(std::string_view bytes) { output_ += bytes; }
  // Sends queued bytes and reads into `Input()` until `enough()` holds,
  // waiting at most `timeout_ms` for each stretch without progress.
  void Exchange(const std::function<bool()>& enough, int timeout_ms);
  std::string& Input() { return input_; }
  size_t QueuedOutput() const { return output_.size() - output_sent_; }

 private:
  // Polls the socket (and the cancel eventfd) once, at most until
  // `deadline_ms`; raises on cancel or when the deadline has passed.
  void WaitSocket(int64_t deadline_ms, const char* what);
  // Repeats a libssh call while it answers "again".
  int Retry(const std::function<int()>& call, int again, int64_t deadline_ms, const char* what);
  void TcpConnect(const ConnectOptions& options, int64_t deadline_ms);
  void CheckHostKey(const ConnectOptions& options, const ConnectQuestions& questions);
  LoginMethod Authenticate(const ConnectOptions& options, const ConnectQuestions& questions);
  bool TryPassword(const ConnectOptions& options, const std::string& password);
  bool TryAgent(const ConnectOptions& options);
  bool TryKeyFile(const ConnectOptions& options, const ConnectQuestions& questions,
                  const std::filesystem::path& file);
  [[noreturn]] void Lost(const std::string& why);
  // The time the user took to answer a question is not the server's.
  void RestartAuthClock();

  ssh_session_struct* session_ = nullptr;
  ssh_channel_struct* channel_ = nullptr;
  int fd_ = -1;                 // the connection's socket
  unsigned long fd_inode_ = 0;  // which socket fd_ names
  int cancel_fd_ = -1;          // readable once Cancel was called: wakes a poll
  std::atomic<bool> cancelled_{false};
  int64_t auth_deadline_ms_ = 0;
  int connect_timeout_ms_ = 0;
  std::string output_;
  size_t output_sent_ = 0;  // bytes of output_ libssh has taken
  std::string read_buffer_;
  std::string input_;
};

}  // namespace hemlo::sftp
