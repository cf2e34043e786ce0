#pragma once
// A one-connection FTP server driven by a script, for exact replies and
// faults. The script runs on its own thread; every wait in it is bounded so
// a broken client cannot hang the test, and a watchdog bounds the test
// itself (the client side may wait where the script cannot see it).
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/ftp_test_net.h"
#include "support/test_watchdog.h"

namespace hemlo::ftp::testing {

class ScriptSession {
 public:
  explicit ScriptSession(int fd) : fd_(fd) {}
  ~ScriptSession() { CloseControl(); }

  void Send(const std::string& bytes) {
    if (!testing::SendAll(fd_, bytes)) throw std::runtime_error("script: send failed");
  }
  // Next command line without CR LF; "" once the client has closed.
  std::string ReadCommand() {
    std::string line;
    bool timed_out = false;
    if (!ReadLine(fd_, pending_, kScriptWaitMs, line, &timed_out)) {
      if (timed_out) throw std::runtime_error("script: no command in time");
      return {};
    }
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.push_back(line);
    return line;
  }
  // Reads a command and checks it starts with `prefix`.
  std::string Expect(const std::string& prefix) {
    std::string c = ReadCommand();
    if (c.rfind(prefix, 0) != 0)
      throw std::runtime_error("script: expected " + prefix + ", got " + c);
    return c;
  }
  // Connects to the address of a "PORT a,b,c,d,p1,p2" command, from
  // `from` when given (any loopback address works on Linux).
  int ConnectData(const std::string& port_command, const char* from = nullptr) {
    std::string arg = port_command.substr(port_command.find(' ') + 1);
    int fd = ConnectPortArgument(arg, from);
    if (fd < 0) throw std::runtime_error("script: data connect failed to " + arg);
    return fd;
  }
  static void SendAll(int fd, const std::string& bytes) { testing::SendAll(fd, bytes); }
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
  // Waits for the client to send anything (kept unread, as for
  // WaitForClose); false when it closed or kept silent.
  bool AwaitBytes() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, kScriptWaitMs) <= 0) return false;
    char buf[4096];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return false;
    pending_.append(buf, static_cast<size_t>(n));
    return true;
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
  TestWatchdog watchdog_;  // first: bounds everything after it

 public:
  using Script = std::function<void(ScriptSession&)>;

  explicit ScriptedServer(Script script, int accept_wait_ms = kScriptWaitMs,
                          int bound_ms = kScriptTestBoundMs)
      : watchdog_(bound_ms) {
    listen_fd_ = ListenLoopback(port_);
    thread_ = std::thread([this, accept_wait_ms, script = std::move(script)] {
      try {
        int fd = AcceptWithin(listen_fd_, accept_wait_ms);
        if (fd < 0) throw std::runtime_error("script: no client");
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
  // A test that never asked for the verdict still fails on a script error.
  ~ScriptedServer() {
    const bool taken = verdict_taken_;
    const std::string error = Join();
    if (!taken && !error.empty()) ADD_FAILURE() << "scripted server: " << error;
  }

  uint16_t port() const { return port_; }
  // Waits for the script to finish; returns its error text ("" = none),
  // which the caller must check.
  [[nodiscard]] std::string Join() {
    if (thread_.joinable()) thread_.join();
    if (listen_fd_ >= 0) ::close(listen_fd_);
    listen_fd_ = -1;
    verdict_taken_ = true;
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
  bool verdict_taken_ = false;
  std::vector<std::string> commands_;
};

}  // namespace hemlo::ftp::testing
