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
#include <sys/socket.h>
#include <unistd.h>

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

std::string ResolveHost(const std::string& host) {
  const HostAddress address = ResolveHostAddress(host);
  if (address.error != 0) throw EIdSocketError(address.error);
  return address.ip;
}

}  // namespace hemlo::ftp
