#pragma once
// A scripted FTP server with an in-memory tree whose listings a test can
// replace (hostile names) and whose command lines it records (wire order):
// one control connection, active-mode data. Every wait is bounded, and so
// is the test that holds it.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/ftp_test_net.h"
#include "support/test_watchdog.h"

namespace hemlo::ftp::testing {

// Scripted server: one control connection, active-mode data, an in-memory
// tree ("" is the login folder; paths are joined with "/"). Listings are
// generated from the tree unless `listings` holds fixed lines for the
// argument of LIST. Records every command line.
class FakeFtpServer {
  TestWatchdog watchdog_;  // first: bounds everything after it

 public:
  std::set<std::string> folders{""};
  std::map<std::string, std::string> files;
  std::map<std::string, std::vector<std::string>> listings;
  std::set<std::string> refuse_mkd;

  FakeFtpServer() { listen_fd_ = ListenLoopback(port_); }
  // A test that never asked for the verdict still fails on a server error.
  ~FakeFtpServer() {
    const bool taken = verdict_taken_;
    const std::string error = Join();
    if (!taken && !error.empty()) ADD_FAILURE() << "fake server: " << error;
    if (listen_fd_ >= 0) ::close(listen_fd_);
  }
  uint16_t port() const { return port_; }

  // Starts serving; call after filling the tree.
  void Run() {
    thread_ = std::thread([this] {
      try {
        Serve();
      } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = e.what();
      }
    });
  }
  // Waits for the server to end; returns its error text ("" = none), which
  // the caller must check.
  [[nodiscard]] std::string Join() {
    if (thread_.joinable()) thread_.join();
    verdict_taken_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
  }
  std::vector<std::string> Commands() {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
  }
  // Commands after login, without the data-connection set-up (EPSV, PASV,
  // PORT: how the client reaches the data is not what these tests check).
  std::vector<std::string> CommandsAfterLogin() {
    std::vector<std::string> out;
    bool in = false;
    for (const std::string& c : Commands()) {
      const bool setup = c.rfind("PORT ", 0) == 0 || c == "EPSV" || c == "PASV";
      if (in && !setup) out.push_back(c);
      if (c.rfind("SYST", 0) == 0) in = true;
    }
    return out;
  }

 private:
  void Send(const std::string& s) { SendAll(fd_, s); }
  std::string ReadCommand() {
    std::string line;
    return ReadLine(fd_, pending_, kScriptWaitMs, line) ? line : std::string();
  }
  int ConnectData() { return ConnectPortArgument(port_arg_); }
  static std::string Parent(const std::string& p) {
    size_t s = p.rfind('/');
    return s == std::string::npos ? std::string() : p.substr(0, s);
  }
  static std::string Base(const std::string& p) {
    size_t s = p.rfind('/');
    return s == std::string::npos ? p : p.substr(s + 1);
  }
  std::string Norm(std::string p) const {
    while (!p.empty() && p.back() == '/') p.pop_back();
    return p;
  }
  std::string Listing(std::string arg) {
    if (arg.rfind("-a ", 0) == 0) arg.erase(0, 3);  // hidden entries: none here beyond the others
    auto fixed = listings.find(arg);
    if (fixed != listings.end()) {
      std::string out;
      for (const std::string& l : fixed->second) out += l + "\r\n";
      return out;
    }
    const std::string dir = Norm(arg);
    std::string out;
    for (const std::string& f : folders)
      if (!f.empty() && Parent(f) == dir)
        out += "drwxr-xr-x 2 u g 4096 Jan 01 2020 " + Base(f) + "\r\n";
    for (const auto& [f, body] : files)
      if (Parent(f) == dir)
        out +=
            "-rw-r--r-- 1 u g " + std::to_string(body.size()) + " Jan 01 2020 " + Base(f) + "\r\n";
    return out;
  }
  void Serve() {
    fd_ = AcceptWithin(listen_fd_, kScriptWaitMs);
    if (fd_ < 0) throw std::runtime_error("fake server: no client");
    Send("220 fake\r\n");
    for (;;) {
      const std::string line = ReadCommand();
      if (line.empty()) break;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back(line);
      }
      const size_t sp = line.find(' ');
      const std::string verb = line.substr(0, sp);
      const std::string arg = sp == std::string::npos ? std::string() : line.substr(sp + 1);
      if (verb == "USER")
        Send("331 pass\r\n");
      else if (verb == "PASS")
        Send("230 in\r\n");
      else if (verb == "TYPE")
        Send("200 type\r\n");
      else if (verb == "SYST")
        Send("215 UNIX Type: L8\r\n");
      else if (verb == "PWD")
        Send("257 \"/\"\r\n");
      else if (verb == "PORT") {
        port_arg_ = arg;
        Send("200 port\r\n");
      } else if (verb == "MKD") {
        const std::string d = Norm(arg);
        if (refuse_mkd.count(d) || folders.count(d) || files.count(d) ||
            !folders.count(Parent(d))) {
          Send("550 cannot\r\n");
        } else {
          folders.insert(d);
          Send("257 \"" + d + "\" created\r\n");
        }
      } else if (verb == "RMD") {
        const std::string d = Norm(arg);
        bool empty = folders.count(d) > 0;
        for (const auto& f : folders)
          if (Parent(f) == d && f != d) empty = false;
        for (const auto& [f, b] : files)
          if (Parent(f) == d) empty = false;
        if (empty && !d.empty()) {
          folders.erase(d);
          Send("250 removed\r\n");
        } else {
          Send("550 not empty\r\n");
        }
      } else if (verb == "DELE") {
        Send(files.erase(arg) ? "250 deleted\r\n" : "550 no\r\n");
      } else if (verb == "LIST" || verb == "RETR" || verb == "STOR") {
        if (verb == "RETR" && !files.count(arg)) {
          Send("550 no such file\r\n");
          continue;
        }
        if (verb == "STOR" && !folders.count(Parent(arg))) {
          Send("553 no folder\r\n");
          continue;
        }
        Send("150 data\r\n");
        int data = ConnectData();
        if (data < 0) {
          Send("425 no data\r\n");
          continue;
        }
        if (verb == "STOR") {
          std::string body;
          char buf[65536];
          for (;;) {
            pollfd d{data, POLLIN, 0};
            if (::poll(&d, 1, kScriptWaitMs) <= 0) break;
            ssize_t n = ::recv(data, buf, sizeof buf, 0);
            if (n <= 0) break;
            body.append(buf, static_cast<size_t>(n));
          }
          files[arg] = body;
        } else {
          const std::string out = verb == "LIST" ? Listing(arg) : files[arg];
          ::send(data, out.data(), out.size(), MSG_NOSIGNAL);
        }
        ::close(data);
        Send("226 done\r\n");
      } else if (verb == "SITE") {
        Send("200 done\r\n");
      } else if (verb == "QUIT") {
        Send("221 bye\r\n");
        break;
      } else {
        Send("502 not here\r\n");
      }
    }
    ::close(fd_);
  }

  int listen_fd_ = -1;
  int fd_ = -1;
  uint16_t port_ = 0;
  std::string pending_;
  std::string port_arg_;
  std::thread thread_;
  std::mutex mutex_;
  std::string error_;
  bool verdict_taken_ = false;
  std::vector<std::string> commands_;
};

}  // namespace hemlo::ftp::testing
