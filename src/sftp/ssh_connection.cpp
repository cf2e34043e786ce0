#include "sftp/ssh_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libssh/libssh.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "ftp/id_exception.h"
#include "ftp/id_socket.h"

namespace hemlo::sftp {

namespace {

// Longest single poll: a missed wake-up costs at most this much.
constexpr int kPollSliceMs = 100;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { ssh_init(); });
}

// Ciphers fastest first where the processor helps (AES-GCM), so large
// files move at the speed of the disk rather than of the cipher.
constexpr const char* kCiphers =
    "aes128-gcm@openssh.com,aes256-gcm@openssh.com,chacha20-poly1305@openssh.com,"
    "aes128-ctr,aes192-ctr,aes256-ctr";

// Host key algorithms that yield the key types already trusted for a host,
// so the server shows the key we know rather than another of its keys.
std::string AlgorithmsFor(const std::string& key_type) {
  if (key_type == "ssh-rsa") return "rsa-sha2-512,rsa-sha2-256,ssh-rsa";
  return key_type;
}

}  // namespace

std::string LoginMethod::Text() const {
  switch (kind) {
    case Kind::kPassword:
      return "パスワードでログインしました";
    case Kind::kAgent:
      return "ssh-agent の鍵でログインしました";
    case Kind::kKeyFile:
      return "鍵ファイル " + key_file.string() + " でログインしました";
    case Kind::kNone:
      break;
  }
  return "認証なしでログインしました";
}

SshConnection::SshConnection() {
  InitLibrary();
  cancel_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

SshConnection::~SshConnection() {
  Close();
  if (cancel_fd_ >= 0) ::close(cancel_fd_);
}

void SshConnection::Cancel() {
  cancelled_.store(true);
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(cancel_fd_, &one, sizeof one);
}

void SshConnection::ClearCancel() {
  cancelled_.store(false);
  uint64_t count = 0;
  [[maybe_unused]] ssize_t n = ::read(cancel_fd_, &count, sizeof count);
}

void SshConnection::Close() {
  if (channel_) {
    ssh_channel_free(channel_);
    channel_ = nullptr;
  }
  if (session_) {
    // A non-blocking disconnect: it sends what it can and never waits.
    if (ssh_is_connected(session_)) ssh_disconnect(session_);
    ssh_free(session_);
    session_ = nullptr;
    // The library leaves a socket it was given open, except after some
    // failures: close it only while the number still names our socket.
    struct stat st {};
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || st.st_ino != fd_inode_)) fd_ = -1;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  output_.clear();
  input_.clear();
}

void SshConnection::RestartAuthClock() { auth_deadline_ms_ = NowMs() + connect_timeout_ms_; }

void SshConnection::Lost(const std::string& why) {
  Close();
  throw ftp::EIdConnectionLost("SFTP の接続が切れました: " + why);
}

void SshConnection::WaitSocket(int64_t deadline_ms, const char* what) {
  const int64_t left = deadline_ms - NowMs();
  if (left <= 0) {
    Close();
    throw ftp::EIdConnectionLost(std::string("サーバの応答がありません（") + what + "）");
  }
  short events = POLLIN;
  if (session_ && (ssh_get_poll_flags(session_) & SSH_WRITE_PENDING)) events |= POLLOUT;
  pollfd fds[2] = {{cancel_fd_, POLLIN, 0}, {fd_, events, 0}};
  const int n = ::poll(fds, 2, int(std::min<int64_t>(left, kPollSliceMs)));
  if (n > 0 && (fds[0].revents & POLLIN)) {
    ClearCancel();
    throw ftp::EIdOperationAborted();
  }
}

int SshConnection::Retry(const std::function<int()>& call, int again, int64_t deadline_ms,
                         const char* what) {
  for (;;) {
    const int rc = call();
    if (rc != again) return rc;
    WaitSocket(deadline_ms, what);
  }
}

void SshConnection::TcpConnect(const ConnectOptions& options, int64_t deadline_ms) {
  ftp::PendingLookup lookup(options.host);
  for (;;) {
    const int64_t left = deadline_ms - NowMs();
    if (left <= 0) throw ftp::EIdConnectTimeout();
    pollfd fds[2] = {{cancel_fd_, POLLIN, 0}, {lookup.fd(), POLLIN, 0}};
    ::poll(fds, 2, int(std::min<int64_t>(left, kPollSliceMs)));
    if (fds[0].revents & POLLIN) {
      ClearCancel();
      throw ftp::EIdOperationAborted();
    }
    if (fds[1].revents) break;
  }
  const std::string ip = lookup.Result();
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(uint16_t(options.port));
  if (inet_pton(AF_INET, ip.c_str(), &to.sin_addr) != 1) throw ftp::EIdSocketError(11001);
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw ftp::EIdInvalidSocket();
  // Requests are small and many: none may wait for the last one's ack.
  const int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
    const int error = errno;
    Close();
    throw ftp::EIdException("接続できませんでした: " + std::string(std::strerror(error)));
  }
  for (;;) {
    const int64_t left = deadline_ms - NowMs();
    if (left <= 0) {
      Close();
      throw ftp::EIdConnectTimeout();
    }
    pollfd fds[2] = {{cancel_fd_, POLLIN, 0}, {fd_, POLLOUT, 0}};
    ::poll(fds, 2, int(std::min<int64_t>(left, kPollSliceMs)));
    if (fds[0].revents & POLLIN) {
      ClearCancel();
      Close();
      throw ftp::EIdOperationAborted();
    }
    if (fds[1].revents) break;
  }
  struct stat st {};
  ::fstat(fd_, &st);
  fd_inode_ = st.st_ino;
  int error = 0;
  socklen_t len = sizeof error;
  getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len);
  if (error != 0) {
    Close();
    throw ftp::EIdException("接続できませんでした: " + std::string(std::strerror(error)));
  }
}

LoginMethod SshConnection::Open(const ConnectOptions& options, const ConnectQuestions& questions) {
  Close();
  const int64_t deadline = NowMs() + options.connect_timeout_ms;
  TcpConnect(options, deadline);

  session_ = ssh_new();
  if (!session_) throw ftp::EIdException("SSH の準備に失敗しました");
  const int port = options.port;
  const int no = 0;
  ssh_options_set(session_, SSH_OPTIONS_PROCESS_CONFIG, &no);
  ssh_options_set(session_, SSH_OPTIONS_HOST, options.host.c_str());
  ssh_options_set(session_, SSH_OPTIONS_PORT, &port);
  ssh_options_set(session_, SSH_OPTIONS_USER, options.user.c_str());
  ssh_options_set(session_, SSH_OPTIONS_CIPHERS_C_S, kCiphers);
  ssh_options_set(session_, SSH_OPTIONS_CIPHERS_S_C, kCiphers);
  const std::vector<HostKey> known = KnownHosts(options.known_hosts).KeysFor(options.host, port);
  if (!known.empty()) {
    std::string algorithms;
    for (const HostKey& k : known)
      algorithms += (algorithms.empty() ? "" : ",") + AlgorithmsFor(k.type);
    ssh_options_set(session_, SSH_OPTIONS_HOSTKEYS, algorithms.c_str());
  }
  ssh_options_set(session_, SSH_OPTIONS_FD, &fd_);
  ssh_set_blocking(session_, 0);

  const int rc = Retry([&] { return ssh_connect(session_); }, SSH_AGAIN, deadline, "SSH の開始");
  if (rc != SSH_OK) {
    const std::string error = ssh_get_error(session_);
    Close();
    throw ftp::EIdException("SSH で接続できませんでした: " + error);
  }
  CheckHostKey(options, questions);
  connect_timeout_ms_ = options.connect_timeout_ms;
  RestartAuthClock();
  const LoginMethod method = Authenticate(options, questions);

  const int64_t open_deadline = NowMs() + options.connect_timeout_ms;
  channel_ = ssh_channel_new(session_);
  if (!channel_ ||
      Retry([&] { return ssh_channel_open_session(channel_); }, SSH_AGAIN, open_deadline,
            "チャネル") != SSH_OK ||
      Retry([&] { return ssh_channel_request_subsystem(channel_, "sftp"); }, SSH_AGAIN,
            open_deadline, "sftp") != SSH_OK) {
    const std::string error = ssh_get_error(session_);
    Close();
    throw ftp::EIdException("サーバが SFTP を受け付けません: " + error);
  }
  return method;
}

void SshConnection::CheckHostKey(const ConnectOptions& options, const ConnectQuestions& questions) {
  ssh_key key = nullptr;
  if (ssh_get_server_publickey(session_, &key) != SSH_OK) {
    Close();
    throw ftp::EIdException("サーバのホスト鍵を受け取れませんでした");
  }
  HostKey shown;
  shown.type = ssh_key_type_to_char(ssh_key_type(key));
  char* base64 = nullptr;
  if (ssh_pki_export_pubkey_base64(key, &base64) == SSH_OK) shown.base64 = base64;
  ssh_string_free_char(base64);
  ssh_key_free(key);

  const KnownHosts store(options.known_hosts);
  const KnownHosts::Verdict verdict = store.Check(options.host, options.port, shown);
  if (verdict == KnownHosts::Verdict::kTrusted) return;
  HostKeyQuestion q;
  q.host = HostPattern(options.host, options.port);
  q.key_type = shown.type;
  q.fingerprint = Sha256Fingerprint(shown);
  if (verdict == KnownHosts::Verdict::kChanged) {
    const HostKey old = store.KeysFor(options.host, options.port).front();
    q.changed = true;
    q.old_key_type = old.type;
    q.old_fingerprint = Sha256Fingerprint(old);
  }
  if (!questions.trust_host_key || !questions.trust_host_key(q)) {
    Close();
    if (q.changed) {
      throw ftp::EIdException(
          "ホスト鍵が変わっているため接続を中止しました。以前の鍵: " + q.old_key_type + " " +
          q.old_fingerprint + "、今回の鍵: " + q.key_type + " " + q.fingerprint);
    }
    throw ftp::EIdException("ホスト鍵を信頼しなかったため接続を中止しました (" + q.key_type + " " +
                            q.fingerprint + ")");
  }
  try {
    store.Trust(options.host, options.port, shown);
  } catch (const std::exception& e) {
    Close();
    throw ftp::EIdException("ホスト鍵を保存できませんでした: " + std::string(e.what()));
  }
}

}  // namespace hemlo::sftp

namespace hemlo::sftp {

void SshConnection::Exchange(const std::function<bool()>& enough, int timeout_ms) {
  if (!channel_) throw ftp::EIdConnectionLost("SFTP の接続がありません");
  if (read_buffer_.empty()) read_buffer_.resize(256 * 1024);
  int64_t deadline = NowMs() + timeout_ms;
  for (;;) {
    // Checked on every turn: a steady stream never waits, yet must stop.
    if (cancelled_.load()) {
      ClearCancel();
      throw ftp::EIdOperationAborted();
    }
    bool progress = false;
    while (output_sent_ < output_.size()) {
      const uint32_t chunk = uint32_t(std::min<size_t>(output_.size() - output_sent_, 1 << 20));
      const int n = ssh_channel_write(channel_, output_.data() + output_sent_, chunk);
      if (n == SSH_ERROR) Lost(ssh_get_error(session_));
      if (n <= 0) break;  // the peer's window is full for now
      output_sent_ += size_t(n);
      progress = true;
      if (uint32_t(n) < chunk) break;
    }
    if (output_sent_ == output_.size()) {
      output_.clear();
      output_sent_ = 0;
    }
    for (;;) {
      const int n = ssh_channel_read_nonblocking(channel_, read_buffer_.data(),
                                                 uint32_t(read_buffer_.size()), 0);
      if (n == SSH_EOF) Lost("サーバが接続を閉じました");
      if (n == SSH_AGAIN || n == 0) break;
      if (n < 0) Lost(ssh_get_error(session_));
      input_.append(read_buffer_.data(), size_t(n));
      progress = true;
    }
    if (enough()) return;
    if (progress) {
      deadline = NowMs() + timeout_ms;
      continue;
    }
    if (!ssh_channel_is_open(channel_)) Lost("サーバが接続を閉じました");
    WaitSocket(deadline, "SFTP");
  }
}

}  // namespace hemlo::sftp
