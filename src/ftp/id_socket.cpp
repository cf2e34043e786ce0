#include "ftp/id_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>

#include "base/ascii_case.h"
#include "ftp/id_exception.h"

namespace hemlo::ftp {

void RaiseLastSocketError() { throw EIdSocketError(WinsockErrorFromErrno(errno)); }

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void Socket::Close() {
  if (fd_ < 0) return;
  ::shutdown(fd_, SHUT_WR);
  ::close(fd_);
  fd_ = -1;
}

void Socket::Reset() {
  if (fd_ < 0) return;
  linger l{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(fd_);
  fd_ = -1;
}

void Socket::SetNonBlocking(bool on) {
  int flags = ::fcntl(fd_, F_GETFL);
  ::fcntl(fd_, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

Socket Socket::CreateTcp() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) throw EIdInvalidSocket();
  return Socket(fd);
}

namespace {
sockaddr_in MakeAddress(const std::string& ip, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  if (ip.empty()) {
    a.sin_addr.s_addr = htonl(INADDR_ANY);
  } else if (::inet_pton(AF_INET, ip.c_str(), &a.sin_addr) != 1) {
    throw EIdSocketError(10022);
  }
  return a;
}

SocketAddress FromSockaddr(const sockaddr_in& a) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
  return {text, ntohs(a.sin_port)};
}
}  // namespace

void Socket::Bind(const std::string& ip, uint16_t port) {
  sockaddr_in a = MakeAddress(ip, port);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (errno == EADDRINUSE) throw EIdCouldNotBindSocket();
    RaiseLastSocketError();
  }
}

void Socket::Listen(int backlog) {
  if (::listen(fd_, backlog) != 0) RaiseLastSocketError();
}

void Socket::Connect(const SocketAddress& to, int timeout_ms) {
  sockaddr_in a = MakeAddress(to.ip, to.port);
  if (timeout_ms < 0) {
    int rc;
    do rc = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) RaiseLastSocketError();
    return;
  }
  // Non-blocking connect watched by poll: same effect as a connect thread
  // checked by the caller, without the thread.
  int flags = ::fcntl(fd_, F_GETFL);
  ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
  int rc = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  if (rc != 0 && errno != EINPROGRESS) {
    int err = errno;
    ::fcntl(fd_, F_SETFL, flags);
    throw EIdConnectException(EIdSocketError(WinsockErrorFromErrno(err)).Message());
  }
  if (rc != 0) {
    pollfd p{fd_, POLLOUT, 0};
    int n;
    do n = ::poll(&p, 1, timeout_ms);
    while (n < 0 && errno == EINTR);
    if (n == 0) {
      Close();
      throw EIdConnectTimeout();
    }
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
    if (err != 0) {
      ::fcntl(fd_, F_SETFL, flags);
      throw EIdConnectException(EIdSocketError(WinsockErrorFromErrno(err)).Message());
    }
  }
  ::fcntl(fd_, F_SETFL, flags);
}

bool Socket::StartConnect(const SocketAddress& to) {
  sockaddr_in a = MakeAddress(to.ip, to.port);
  SetNonBlocking(true);
  int rc;
  do rc = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  while (rc != 0 && errno == EINTR);
  if (rc == 0) {
    SetNonBlocking(false);
    return true;
  }
  if (errno == EINPROGRESS) return false;
  int err = errno;
  SetNonBlocking(false);
  throw EIdSocketError(WinsockErrorFromErrno(err));
}

int Socket::FinishConnect() {
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  SetNonBlocking(false);
  return err;
}

SocketAddress Socket::LocalAddress() const {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) RaiseLastSocketError();
  return FromSockaddr(a);
}

SocketAddress Socket::PeerAddress() const {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) RaiseLastSocketError();
  return FromSockaddr(a);
}

void Socket::SetIoTimeouts(int timeout_ms) {
  timeval tv{};
  if (timeout_ms > 0) {
    tv.tv_sec = timeout_ms / 1000;
    tv.tv_usec = (timeout_ms % 1000) * 1000;
  }
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool IsDottedIPv4(const std::string& host) {
  in_addr a{};
  return ::inet_pton(AF_INET, host.c_str(), &a) == 1;
}

std::string ResolveHost(const std::string& host) {
  if (AsciiEqualNoCase(host, "localhost")) return "127.0.0.1";
  if (IsDottedIPv4(host)) return host;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
  if (rc != 0 || result == nullptr)
    throw EIdSocketError(rc != 0 ? WinsockErrorFromResolver(rc) : 11001);
  SocketAddress first = FromSockaddr(*reinterpret_cast<sockaddr_in*>(result->ai_addr));
  ::freeaddrinfo(result);
  return first.ip;
}

struct PendingLookup::State {
  std::mutex mutex;
  int event_fd = -1;
  bool done = false;
  std::string ip;
  int error = 0;
  ~State() {
    if (event_fd >= 0) ::close(event_fd);
  }
};

PendingLookup::PendingLookup(const std::string& host) : state_(std::make_shared<State>()) {
  state_->event_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (state_->event_fd < 0) RaiseLastSocketError();
  std::thread([state = state_, host] {
    std::string ip;
    int error = 0;
    try {
      ip = ResolveHost(host);
    } catch (const EIdSocketError& e) {
      error = e.LastError();
    }
    std::lock_guard<std::mutex> lock(state->mutex);
    state->ip = ip;
    state->error = error;
    state->done = true;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(state->event_fd, &one, sizeof one);
  }).detach();
}

PendingLookup::~PendingLookup() = default;

int PendingLookup::fd() const { return state_->event_fd; }

std::string PendingLookup::Result() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->done) throw EIdSocketError(10036);
  if (state_->error != 0) throw EIdSocketError(state_->error);
  return state_->ip;
}

}  // namespace hemlo::ftp
