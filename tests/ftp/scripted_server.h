#pragma once
// A one-connection FTP server driven by a script, for exact replies and
// faults. The script runs on its own thread; every wait in it is bounded so
// a broken client cannot hang the test.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace hemlo::ftp::testing {

inline constexpr int kScriptWaitMs = 10'000;

class ScriptSession {
 public:
  explicit ScriptSession(int fd) : fd_(fd) {}
  ~ScriptSession() { CloseControl(); }

  void Send(const std::string& bytes) {
    size_t off = 0;
    while (off < bytes.size()) {
      ssize_t n = ::send(fd_, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
      if (n <= 0) throw std::runtime_error("script: send failed");
      off += static_cast<size_t>(n);
    }
  }
  // Next command line without CR LF; "" once the client has closed.
  std::string ReadCommand() {
    for (;;) {
      size_t lf = pending_.find('\n');
      if (lf != std::string::npos) {
        std::string line = pending_.substr(0, lf);
        pending_.erase(0, lf + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back(line);
        return line;
      }
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, kScriptWaitMs) <= 0) throw std::runtime_error("script: no command in time");
      char buf[4096];
      ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return {};
      pending_.append(buf, static_cast<size_t>(n));
    }
  }
  // Reads a command and checks it starts with `prefix`.
  std::string Expect(const std::string& prefix) {
    std::string c = ReadCommand();
    if (c.rfind(prefix, 0) != 0) throw std::runtime_error("script: expected " + prefix + ", got " + c);
    return c;
  }
  // Connects to the address of a "PORT a,b,c,d,p1,p2" command, from
  // `from` when given (any loopback address works on Linux).
  int ConnectData(const std::string& port_command, const char* from = nullptr) {
    std::string arg = port_command.substr(port_command.find(' ') + 1);
    int v[6];
    if (std::sscanf(arg.c_str(), "%d,%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
      throw std::runtime_error("script: bad PORT " + arg);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(v[4] * 256 + v[5]));
    a.sin_addr.s_addr = htonl(static_cast<uint32_t>(v[0] << 24 | v[1] << 16 | v[2] << 8 | v[3]));
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (from) {
      sockaddr_in b{};
      b.sin_family = AF_INET;
      ::inet_pton(AF_INET, from, &b.sin_addr);
      ::bind(fd, reinterpret_cast<sockaddr*>(&b), sizeof b);
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd);
      throw std::runtime_error("script: data connect failed");
    }
    return fd;
  }
  static void SendAll(int fd, const std::string& bytes) {
    size_t off = 0;
    while (off < bytes.size()) {
      ssize_t n = ::send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
      if (n <= 0) return;
      off += static_cast<size_t>(n);
    }
  }
  static std::string ReceiveAll(int fd) {
    std::string out;
    char buf[65536];
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, kScriptWaitMs) <= 0) throw std::runtime_error("script: data stalled");
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return out;
      out.append(buf, static_cast<size_t>(n));
    }
  }
  // Waits until the client closes the control connection (or time passes).
  void WaitForClose() {
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, kScriptWaitMs) <= 0) return;
      char buf[4096];
      ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return;
      pending_.append(buf, static_cast<size_t>(n));
    }
  }
  // Breaks a socket off with a reset instead of a clean close.
  static void Reset(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
  }
  // Receives until the client ends the data: true for a clean close, false
  // for a reset (or silence).
  static bool ReceiveUntilEnd(int fd, std::string& out) {
    char buf[65536];
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, kScriptWaitMs) <= 0) return false;
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n == 0) return true;
      if (n < 0) return false;
      out.append(buf, static_cast<size_t>(n));
    }
  }
  void ResetControl() {
    if (fd_ >= 0) Reset(fd_);
    fd_ = -1;
  }
  void CloseControl() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  std::vector<std::string> Commands() {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
  }
  const std::string& Unparsed() const { return pending_; }

 private:
  int fd_;
  std::string pending_;
  std::mutex mutex_;
  std::vector<std::string> commands_;
};

class ScriptedServer {
 public:
  using Script = std::function<void(ScriptSession&)>;

  explicit ScriptedServer(Script script, int accept_wait_ms = kScriptWaitMs) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_fd_, 4) != 0)
      throw std::runtime_error("scripted server: cannot listen");
    socklen_t len = sizeof a;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this, accept_wait_ms, script = std::move(script)] {
      try {
        pollfd p{listen_fd_, POLLIN, 0};
        if (::poll(&p, 1, accept_wait_ms) <= 0) throw std::runtime_error("script: no client");
        int fd = ::accept(listen_fd_, nullptr, nullptr);
        ScriptSession session(fd);
        try {
          script(session);
        } catch (...) {
          commands_ = session.Commands();
          throw;
        }
        commands_ = session.Commands();
      } catch (const std::exception& e) {
        error_ = e.what();
      }
      done_ = true;
    });
  }
  ~ScriptedServer() { Join(); }

  uint16_t port() const { return port_; }
  // Waits for the script to finish; returns its error text ("" = none).
  std::string Join() {
    if (thread_.joinable()) thread_.join();
    if (listen_fd_ >= 0) ::close(listen_fd_);
    listen_fd_ = -1;
    return error_;
  }
  // Every command line the client sent (valid after Join).
  const std::vector<std::string>& Commands() const { return commands_; }

 private:
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> done_{false};
  std::string error_;
  std::vector<std::string> commands_;
};

}  // namespace hemlo::ftp::testing
