#pragma once
// Thin RAII layer over blocking IPv4 TCP sockets. Every failure is raised as
// the client's exception classes with Winsock numbering.
#include <cstdint>
#include <memory>
#include <string>

#include "base/host_lookup.h"

namespace hemlo::ftp {

struct SocketAddress {
  std::string ip;  // dotted IPv4
  uint16_t port = 0;
};

class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() { Close(); }

  int fd() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  // Shuts down the sending direction first, so the peer sees a clean end.
  void Close();
  // Closes with a reset (SO_LINGER 0): the peer sees the data as broken off,
  // never as a clean end.
  void Reset();
  void SetNonBlocking(bool on);

  static Socket CreateTcp();                        // EIdInvalidSocket
  void Bind(const std::string& ip, uint16_t port);  // EIdCouldNotBindSocket / EIdSocketError
  void Listen(int backlog);
  // timeout_ms < 0: one blocking connect. Otherwise EIdConnectTimeout when
  // the limit passes.
  void Connect(const SocketAddress& to, int timeout_ms);
  // Starts a non-blocking connect: true when already connected, false when
  // it is under way (wait for writability, then FinishConnect).
  bool StartConnect(const SocketAddress& to);
  // The outcome of a started connect: 0 or the errno it failed with.
  // Leaves the socket blocking again.
  int FinishConnect();
  SocketAddress LocalAddress() const;
  SocketAddress PeerAddress() const;
  // Limits on single blocking receives and sends (0 = none).
  void SetIoTimeouts(int timeout_ms);

 private:
  int fd_ = -1;
};

// "LOCALHOST" becomes 127.0.0.1, a dotted address stays, other names go to
// the resolver (first IPv4 address). EIdSocketError 11001 when not found.
std::string ResolveHost(const std::string& host);

using hemlo::IsDottedIPv4;

[[noreturn]] void RaiseLastSocketError();

}  // namespace hemlo::ftp
