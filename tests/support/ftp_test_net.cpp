#include "support/ftp_test_net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace hemlo::ftp::testing {

namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

}  // namespace

int ListenLoopback(uint16_t& port, int backlog) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(fd, backlog) != 0) {
    if (fd >= 0) ::close(fd);
    throw std::runtime_error("test server: cannot listen on loopback");
  }
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

int AcceptWithin(int listen_fd, int ms) {
  pollfd p{listen_fd, POLLIN, 0};
  if (::poll(&p, 1, ms) <= 0) return -1;
  return ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
}

bool SendAll(int fd, const std::string& bytes) {
  size_t off = 0;
  while (off < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

bool ReadLine(int fd, std::string& pending, int ms, std::string& line, bool* timed_out) {
  if (timed_out) *timed_out = false;
  for (;;) {
    size_t lf = pending.find('\n');
    if (lf != std::string::npos) {
      line = pending.substr(0, lf);
      pending.erase(0, lf + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) {
      if (timed_out) *timed_out = true;
      return false;
    }
    char buf[4096];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    pending.append(buf, static_cast<size_t>(n));
  }
}

int ConnectPortArgument(const std::string& argument, const char* from) {
  int v[6];
  if (std::sscanf(argument.c_str(), "%d,%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3], &v[4],
                  &v[5]) != 6)
    return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(v[4] * 256 + v[5]));
  a.sin_addr.s_addr = htonl(static_cast<uint32_t>(v[0] << 24 | v[1] << 16 | v[2] << 8 | v[3]));
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (from) {
    sockaddr_in b{};
    b.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &b.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&b), sizeof b);
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

uint16_t FreeLoopbackPort() {
  uint16_t port = 0;
  ::close(ListenLoopback(port));
  return port;
}

bool GreetsOn(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(port);
  bool ok = false;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    pollfd p{fd, POLLIN, 0};
    char buf[64] = {};
    if (::poll(&p, 1, 2000) > 0 && ::recv(fd, buf, 3, 0) == 3) ok = std::string(buf, 3) == "220";
    ::send(fd, "QUIT\r\n", 6, MSG_NOSIGNAL);
  }
  ::close(fd);
  return ok;
}

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteText(const fs::path& p, const std::string& bytes) {
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

TempFolder::TempFolder() {
  std::string tmpl = (fs::temp_directory_path() / "hemlo-ftp-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

ServerProcess::ServerProcess(std::vector<std::string> argv, const fs::path& log, int stdio_fd) {
  // Everything the child needs is prepared before fork: the tests run
  // threads, so the child may only make async-signal-safe calls.
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  const std::string log_path = log.string();
  pid_ = ::fork();
  if (pid_ == 0) {
    int fd = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (stdio_fd >= 0) {
      ::dup2(stdio_fd, 0);
      ::dup2(stdio_fd, 1);
    } else {
      ::dup2(fd, 1);
    }
    ::dup2(fd, 2);
    ::setpgid(0, 0);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  if (pid_ < 0) throw std::runtime_error("test server: fork failed");
}

bool ServerProcess::Running() {
  if (pid_ <= 0) return false;
  int status;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

void ServerProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGTERM);
  ::kill(pid_, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    int status;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(-pid_, SIGKILL);
  ::kill(pid_, SIGKILL);
  int status;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace hemlo::ftp::testing
