#include "sftp/ssh_connection.h"

#include <arpa/inet.h>
#include <libssh2.h>
#include <libssh2_sftp.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>

#include "base/remote_errors.h"
#include "base/host_lookup.h"
#include "base/socket_errors.h"

namespace hemlo::sftp {

namespace {

// Longest single poll: a missed wake-up costs at most this much.
constexpr int kPollSliceMs = 100;
// How long a call cancelled midway may still run to leave the connection
// in order; past it the connection is closed.
constexpr int kCancelGraceMs = 400;
// How long Close() waits for the server to close handles a cut call left.
constexpr int kHandleCloseMs = 200;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { libssh2_init(0); });
}

// Host key algorithms that yield the key types already trusted for a host,
// so the server shows the key we know rather than another of its keys.
std::string AlgorithmsFor(const std::string& key_type) {
  if (key_type == "ssh-rsa") return "rsa-sha2-512,rsa-sha2-256,ssh-rsa";
  return key_type;
}

std::string KeyTypeName(int type) {
  switch (type) {
    case LIBSSH2_HOSTKEY_TYPE_RSA:
      return "ssh-rsa";
    case LIBSSH2_HOSTKEY_TYPE_DSS:
      return "ssh-dss";
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_256:
      return "ecdsa-sha2-nistp256";
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_384:
      return "ecdsa-sha2-nistp384";
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_521:
      return "ecdsa-sha2-nistp521";
    case LIBSSH2_HOSTKEY_TYPE_ED25519:
      return "ssh-ed25519";
    default:
      return "unknown";
  }
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

void SshConnection::Forget(_LIBSSH2_SFTP_HANDLE* handle) {
  std::erase(handles_, handle);
}

// A call cut short (a cancel, a timeout) leaves its handle open. Each gets a
// short while to close properly over a socket that still works.
void SshConnection::CloseHandlesWhileAlive() {
  const int64_t until = NowMs() + kHandleCloseMs;
  for (auto it = handles_.begin(); it != handles_.end();) {
    int rc = LIBSSH2_ERROR_EAGAIN;
    for (;;) {
      rc = libssh2_sftp_close_handle(*it);
      const int64_t now = NowMs();
      if (rc != LIBSSH2_ERROR_EAGAIN || now >= until) break;
      pollfd fd = {fd_, POLLIN, 0};
      if (libssh2_session_block_directions(session_) & LIBSSH2_SESSION_BLOCK_OUTBOUND)
        fd.events |= POLLOUT;
      ::poll(&fd, 1, int(until - now));
    }
    it = rc == LIBSSH2_ERROR_EAGAIN ? it + 1 : handles_.erase(it);
  }
}

// What is left waits for the server's answer; on the shut socket that wait
// fails, and the failed close frees the handle.
void SshConnection::FreeHandlesAfterShutdown() {
  for (auto* handle : handles_) {
    for (int i = 0; i < 10; ++i) {
      if (libssh2_sftp_close_handle(handle) != LIBSSH2_ERROR_EAGAIN) break;
    }
  }
  handles_.clear();
}

void SshConnection::Close() {
  if (session_) {
    if (sftp_ && fd_ >= 0) CloseHandlesWhileAlive();
    // A goodbye if it fits in the socket's buffer, then the socket is shut
    // so the library's own farewells fail at once instead of waiting.
    libssh2_session_disconnect(session_, "bye");
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
    if (sftp_) FreeHandlesAfterShutdown();
    for (int i = 0; sftp_ && i < 10; ++i) {
      if (libssh2_sftp_shutdown(sftp_) != LIBSSH2_ERROR_EAGAIN) break;
    }
    sftp_ = nullptr;
    for (int i = 0; i < 10; ++i) {
      if (libssh2_session_free(session_) != LIBSSH2_ERROR_EAGAIN) break;
    }
    session_ = nullptr;
  }
  handles_.clear();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void SshConnection::RestartAuthClock() { auth_deadline_ms_ = NowMs() + connect_timeout_ms_; }

void SshConnection::Lost(const std::string& why) {
  Close();
  throw remote::ConnectionLost("SFTP の接続が切れました: " + why);
}

bool SshConnection::Again() const {
  return session_ && libssh2_session_last_errno(session_) == LIBSSH2_ERROR_EAGAIN;
}

int SshConnection::LastErrno() const {
  return session_ ? libssh2_session_last_errno(session_) : LIBSSH2_ERROR_SOCKET_DISCONNECT;
}

std::string SshConnection::LastError() const {
  if (!session_) return "接続がありません";
  char* text = nullptr;
  libssh2_session_last_error(session_, &text, nullptr, 0);
  return text ? text : "";
}

void SshConnection::Drive(const std::function<bool()>& call, int timeout_ms, const char* what) {
  if (!session_) throw remote::ConnectionLost("SFTP の接続がありません");
  if (cancelled_.load()) {
    ClearCancel();
    if (!sftp_) Close();
    throw remote::Cancelled();
  }
  const int64_t deadline = NowMs() + timeout_ms;
  int64_t grace_end = 0;  // set once a cancel came during the call
  for (;;) {
    // A cancel that came during a finished call stays set: the caller's
    // next call raises, after the caller has kept what this one returned.
    if (call()) return;
    const int64_t now = NowMs();
    if (grace_end && now >= grace_end) {
      ClearCancel();
      Close();
      throw remote::Cancelled();
    }
    if (now >= deadline) {
      Close();
      throw remote::ConnectionLost(std::string("サーバの応答がありません（") + what + "）");
    }
    const int directions = libssh2_session_block_directions(session_);
    short events = 0;
    if (directions & LIBSSH2_SESSION_BLOCK_INBOUND) events |= POLLIN;
    if (directions & LIBSSH2_SESSION_BLOCK_OUTBOUND) events |= POLLOUT;
    if (!events) events = POLLIN;
    pollfd fds[2] = {{cancel_fd_, POLLIN, 0}, {fd_, events, 0}};
    const int64_t until = grace_end ? std::min(deadline, grace_end) : deadline;
    ::poll(fds, 2, int(std::clamp<int64_t>(until - now, 0, kPollSliceMs)));
    if (fds[0].revents & POLLIN) {
      uint64_t count = 0;
      [[maybe_unused]] ssize_t n = ::read(cancel_fd_, &count, sizeof count);
      // Before the login nothing is worth keeping; after it, a call left
      // halfway would confuse the next one, so it may finish first.
      if (!sftp_) {
        ClearCancel();
        Close();
        throw remote::Cancelled();
      }
      if (!grace_end) grace_end = NowMs() + kCancelGraceMs;
    }
  }
}

void SshConnection::TcpConnect(const ConnectOptions& options, int64_t deadline_ms) {
  std::unique_ptr<HostLookup> lookup;
  try {
    lookup = std::make_unique<HostLookup>(options.host);
  } catch (const std::system_error& e) {
    throw remote::ConnectionLost(SocketErrorMessage(WinsockErrorFromErrno(e.code().value())),
                                 /*quiet=*/false);
  }
  for (;;) {
    const int64_t left = deadline_ms - NowMs();
    if (left <= 0) throw remote::TimedOut("Connect timed out.");
    pollfd fds[2] = {{cancel_fd_, POLLIN, 0}, {lookup->fd(), POLLIN, 0}};
    ::poll(fds, 2, int(std::min<int64_t>(left, kPollSliceMs)));
    if (fds[0].revents & POLLIN) {
      ClearCancel();
      throw remote::Cancelled();
    }
    if (fds[1].revents) break;
  }
  const HostAddress address = lookup->Result();
  if (address.error != 0)  // the name is not known
    throw remote::ConnectionLost(SocketErrorMessage(address.error), /*quiet=*/false);
  const std::string& ip = address.ip;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(uint16_t(options.port));
  if (inet_pton(AF_INET, ip.c_str(), &to.sin_addr) != 1) throw remote::ConnectionLost("Socket Error # 11001\r\nHost not found.", false);
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw remote::RemoteError("Cannot allocate socket.");
  // Requests are small and many: none may wait for the last one's ack.
  const int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
    const int error = errno;
    Close();
    throw remote::RemoteError("接続できませんでした: " + std::string(std::strerror(error)));
  }
  for (;;) {
    const int64_t left = deadline_ms - NowMs();
    if (left <= 0) {
      Close();
      throw remote::TimedOut("Connect timed out.");
    }
    pollfd fds[2] = {{cancel_fd_, POLLIN, 0}, {fd_, POLLOUT, 0}};
    ::poll(fds, 2, int(std::min<int64_t>(left, kPollSliceMs)));
    if (fds[0].revents & POLLIN) {
      ClearCancel();
      Close();
      throw remote::Cancelled();
    }
    if (fds[1].revents) break;
  }
  int error = 0;
  socklen_t len = sizeof error;
  getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len);
  if (error != 0) {
    Close();
    throw remote::RemoteError("接続できませんでした: " + std::string(std::strerror(error)));
  }
}

LoginMethod SshConnection::Open(const ConnectOptions& options, const ConnectQuestions& questions) {
  Close();
  const int64_t deadline = NowMs() + options.connect_timeout_ms;
  TcpConnect(options, deadline);

  session_ = libssh2_session_init();
  if (!session_) {
    Close();
    throw remote::RemoteError("SSH の準備に失敗しました");
  }
  libssh2_session_set_blocking(session_, 0);
  // Counter mode where the processor helps; the library has no GCM.
  const char* ciphers = "aes128-ctr,aes192-ctr,aes256-ctr";
  libssh2_session_method_pref(session_, LIBSSH2_METHOD_CRYPT_CS, ciphers);
  libssh2_session_method_pref(session_, LIBSSH2_METHOD_CRYPT_SC, ciphers);
  {
    const KnownHosts store(options.known_hosts);
    std::string algorithms;
    for (const std::string& type : store.KeyTypesFor(options.host, options.port))
      algorithms += (algorithms.empty() ? "" : ",") + AlgorithmsFor(type);
    if (!algorithms.empty())
      libssh2_session_method_pref(session_, LIBSSH2_METHOD_HOSTKEY, algorithms.c_str());
  }
  int rc = 0;
  Drive(
      [&] {
        rc = libssh2_session_handshake(session_, fd_);
        return rc != LIBSSH2_ERROR_EAGAIN;
      },
      int(std::max<int64_t>(deadline - NowMs(), 1)), "SSH の開始");
  if (rc != 0) {
    const std::string error = LastError();
    Close();
    throw remote::RemoteError("SSH で接続できませんでした: " + error);
  }
  CheckHostKey(options, questions);
  connect_timeout_ms_ = options.connect_timeout_ms;
  RestartAuthClock();
  const LoginMethod method = Authenticate(options, questions);

  LIBSSH2_SFTP* sftp = nullptr;
  Drive(
      [&] {
        sftp = libssh2_sftp_init(session_);
        return sftp || !Again();
      },
      options.connect_timeout_ms, "sftp");
  if (!sftp) {
    const std::string error = LastError();
    Close();
    throw remote::Refused("サーバが SFTP を受け付けません: " + error);
  }
  sftp_ = sftp;
  return method;
}

void SshConnection::CheckHostKey(const ConnectOptions& options, const ConnectQuestions& questions) {
  size_t length = 0;
  int type = 0;
  const char* raw = libssh2_session_hostkey(session_, &length, &type);
  if (!raw) {
    Close();
    throw remote::RemoteError("サーバのホスト鍵を受け取れませんでした");
  }
  const HostKey shown{KeyTypeName(type), std::string(raw, length)};

  KnownHosts store(options.known_hosts);
  HostKey old;
  const KnownHosts::Verdict verdict = store.Check(options.host, options.port, shown, &old);
  if (verdict == KnownHosts::Verdict::kTrusted) return;
  HostKeyQuestion q;
  q.host = HostPattern(options.host, options.port);
  q.key_type = shown.type;
  q.fingerprint = Sha256Fingerprint(shown.blob);
  if (verdict == KnownHosts::Verdict::kChanged) {
    q.changed = true;
    q.old_key_type = old.type;
    q.old_fingerprint = Sha256Fingerprint(old.blob);
  }
  if (!questions.trust_host_key || !questions.trust_host_key(q)) {
    Close();
    if (q.changed) {
      throw remote::TrustDeclined("ホスト鍵が変わっているため接続を中止しました。以前の鍵: " +
                                      q.old_key_type + " " + q.old_fingerprint +
                                      "、今回の鍵: " + q.key_type + " " + q.fingerprint,
                                  remote::TrustDeclined::Of::kHostKey);
    }
    throw remote::TrustDeclined(
        "ホスト鍵を信頼しなかったため接続を中止しました (" + q.key_type + " " + q.fingerprint + ")",
        remote::TrustDeclined::Of::kHostKey);
  }
  try {
    store.Trust(options.host, options.port, shown);
  } catch (const std::exception& e) {
    Close();
    throw remote::LocalFileError("ホスト鍵を保存できませんでした: " + std::string(e.what()));
  }
}

}  // namespace hemlo::sftp
