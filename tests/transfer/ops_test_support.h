#pragma once
// Servers and a recording window stand-in for the transfer operations'
// tests: vsftpd and pyftpdlib started on free loopback ports, and a small
// scripted FTP server with an in-memory tree whose listings a test can
// replace (hostile names) and whose command lines it records (wire order).
// Every wait is bounded.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/scripted_prompts.h"
#include "ftp/id_ftp.h"
#include "transfer/transfer_ops.h"

namespace hemlo::transfer::testing {

namespace fs = std::filesystem;

inline constexpr int kWaitMs = 10'000;

inline uint16_t FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

inline bool PortAnswers(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  if (ok) {
    // Wait for the greeting so the server is really serving.
    pollfd p{fd, POLLIN, 0};
    ok = ::poll(&p, 1, 2000) > 0;
  }
  ::close(fd);
  return ok;
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh folder below the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "hemlo-ops-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// A server process started by a test and ended by its destructor.
class ServerProcess {
 public:
  ~ServerProcess() { Stop(); }
  void Start(const std::vector<std::string>& argv, uint16_t port) {
    port_ = port;
    pid_ = ::fork();
    if (pid_ == 0) {
      int null_fd = ::open("/dev/null", O_RDWR);
      ::dup2(null_fd, 1);
      ::dup2(null_fd, 2);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      if (PortAnswers(port_)) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Stop();
    throw std::runtime_error("server did not start: " + argv[0]);
  }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  uint16_t port() const { return port_; }

 private:
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

// A real server with a folder the tests check on disk. `remote_dir` is
// where the client should change to after login; `disk` is that folder.
struct RealServer {
  virtual ~RealServer() = default;
  virtual std::string Name() const = 0;
  virtual uint16_t Port() const = 0;
  virtual std::string RemoteDir() const = 0;
  virtual fs::path Disk() const = 0;
  // Makes files the test put on disk usable by the server's user.
  virtual void Adopt() {}
};

// vsftpd, anonymous with full write rights into root/pub. Names travel
// byte for byte, so Shift-JIS names land on disk as Shift-JIS bytes.
class Vsftpd : public RealServer {
 public:
  Vsftpd() {
    root_ = dir_.path() / "root";
    fs::create_directories(root_ / "pub");
    ::chmod(root_.c_str(), 0755);
    ::chmod(dir_.path().c_str(), 0755);
    Adopt();
    const uint16_t port = FreePort();
    const fs::path conf = dir_.path() / "vsftpd.conf";
    std::ofstream(conf) << "listen=YES\nlisten_address=127.0.0.1\nlisten_port=" << port
                        << "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\n"
                           "anon_upload_enable=YES\nanon_mkdir_write_enable=YES\nanon_other_write_enable=YES\n"
                           "anon_world_readable_only=NO\nanon_umask=022\nno_anon_password=YES\n"
                           "anon_root="
                        << root_.string()
                        << "\nftp_username=ftp\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                           "connect_from_port_20=NO\nport_enable=YES\npasv_enable=YES\nxferlog_enable=NO\n"
                           "force_dot_files=YES\nsecure_chroot_dir=/var/run/vsftpd/empty\n"
                           "pam_service_name=vsftpd\nmax_per_ip=0\nmax_clients=0\n";
    fs::create_directories("/var/run/vsftpd/empty");
    process_.Start({"/usr/sbin/vsftpd", conf.string()}, port);
  }
  std::string Name() const override { return "vsftpd"; }
  uint16_t Port() const override { return process_.port(); }
  std::string RemoteDir() const override { return "pub"; }
  fs::path Disk() const override { return root_ / "pub"; }
  void Adopt() override {
    // The anonymous user writes as "ftp".
    for (auto it = fs::recursive_directory_iterator(root_ / "pub"); it != fs::recursive_directory_iterator(); ++it)
      ChownFtp(it->path());
    ChownFtp(root_ / "pub");
  }

 private:
  static void ChownFtp(const fs::path& p) {
    static const std::pair<int, int> ids = [] {
      std::pair<int, int> r{-1, -1};
      if (FILE* f = ::popen("id -u ftp; id -g ftp", "r")) {
        if (std::fscanf(f, "%d %d", &r.first, &r.second) != 2) r = {-1, -1};
        ::pclose(f);
      }
      return r;
    }();
    if (ids.first >= 0) (void)::lchown(p.c_str(), static_cast<uid_t>(ids.first), static_cast<gid_t>(ids.second));
  }

  TempDir dir_;
  fs::path root_;
  ServerProcess process_;
};

// pyftpdlib, anonymous with every right (chmod included) on its folder.
class Pyftpdlib : public RealServer {
 public:
  Pyftpdlib() {
    const uint16_t port = FreePort();
    process_.Start({"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", std::to_string(port), "-w",
                    "-d", dir_.path().string()},
                   port);
  }
  std::string Name() const override { return "pyftpdlib"; }
  uint16_t Port() const override { return process_.port(); }
  std::string RemoteDir() const override { return "/"; }
  fs::path Disk() const override { return dir_.path(); }

 private:
  TempDir dir_;
  ServerProcess process_;
};

inline void ConnectClient(ftp::TIdFTP& ftp, uint16_t port, const std::string& dir = {}) {
  ftp.Host = "127.0.0.1";
  ftp.Port = port;
  ftp.Username = "anonymous";
  ftp.Password = "test@example.com";
  ftp.DataConnectTimeout = kWaitMs;
  ftp.ReplyTimeout = kWaitMs;
  ftp.DataTimeout = kWaitMs;
  ftp.Connect(true, kWaitMs);
  if (!dir.empty()) ftp.ChangeDirectory(dir);
}

// The window's side as the operations see it, recorded.
class RecordingHost : public TransferHost {
 public:
  bool idle = true;
  std::vector<std::string> statuses;
  std::vector<std::pair<int, int>> file_progress;
  int64_t byte_reports = 0;
  int remote_refreshes = 0;
  int local_refreshes = 0;
  int select_all_cleared = 0;
  std::function<void()> on_refresh_remote;
  std::function<void(int, int)> on_file_progress;

  bool IdleFlag() const override { return idle; }
  void SetIdleFlag(bool value) override { idle = value; }
  void SetStatusText(const std::string& text) override { statuses.push_back(text); }
  void SetFileProgress(int n, int m) override {
    file_progress.emplace_back(n, m);
    if (on_file_progress) on_file_progress(n, m);
  }
  void SetByteProgress(int64_t, int64_t) override { ++byte_reports; }
  void RefreshRemoteList() override {
    ++remote_refreshes;
    if (on_refresh_remote) on_refresh_remote();
  }
  void RefreshLocalLists() override { ++local_refreshes; }
  void UncheckSelectAll() override { ++select_all_cleared; }
};

// The remote list as the window would show it after a listing.
inline std::vector<RemoteRow> ListRows(ftp::TIdFTP& ftp) {
  ftp.ListDirectory(nullptr, "", true);
  std::vector<RemoteRow> rows;
  for (const auto& item : ftp.DirectoryListing().Items()) {
    if (item.FileName == "." || item.FileName == "..") continue;
    rows.push_back({item.FileName, item.ItemType == ftp::TIdDirItemType::ditDirectory, false,
                    item.PermissionText()});
  }
  return rows;
}

inline void Select(std::vector<RemoteRow>& rows, const std::set<std::string>& names) {
  for (RemoteRow& r : rows) r.selected = names.count(r.name) > 0;
}

inline std::vector<std::string> Texts(const ScriptedPrompts& prompts, const std::string& kind = "message") {
  std::vector<std::string> out;
  for (const auto& a : prompts.asked)
    if (a.kind == kind) out.push_back(a.text);
  return out;
}

// ---------------------------------------------------------------------
// Scripted server: one control connection, active-mode data, an in-memory
// tree ("" is the login folder; paths are joined with "/"). Listings are
// generated from the tree unless `listings` holds fixed lines for the
// argument of LIST. Records every command line.
class FakeFtpServer {
 public:
  std::set<std::string> folders{""};
  std::map<std::string, std::string> files;
  std::map<std::string, std::vector<std::string>> listings;
  std::set<std::string> refuse_mkd;

  FakeFtpServer() {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_fd_, 4) != 0)
      throw std::runtime_error("fake server: cannot listen");
    socklen_t len = sizeof a;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~FakeFtpServer() {
    Join();
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
  std::string Join() {
    if (thread_.joinable()) thread_.join();
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
  void Send(const std::string& s) { ::send(fd_, s.data(), s.size(), MSG_NOSIGNAL); }
  std::string ReadLine() {
    for (;;) {
      size_t lf = pending_.find('\n');
      if (lf != std::string::npos) {
        std::string line = pending_.substr(0, lf);
        pending_.erase(0, lf + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, kWaitMs) <= 0) return {};
      char buf[4096];
      ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return {};
      pending_.append(buf, static_cast<size_t>(n));
    }
  }
  int ConnectData() {
    int v[6];
    if (std::sscanf(port_arg_.c_str(), "%d,%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
      return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(v[4] * 256 + v[5]));
    a.sin_addr.s_addr = htonl(static_cast<uint32_t>(v[0] << 24 | v[1] << 16 | v[2] << 8 | v[3]));
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd);
      return -1;
    }
    return fd;
  }
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
      if (!f.empty() && Parent(f) == dir) out += "drwxr-xr-x 2 u g 4096 Jan 01 2020 " + Base(f) + "\r\n";
    for (const auto& [f, body] : files)
      if (Parent(f) == dir)
        out += "-rw-r--r-- 1 u g " + std::to_string(body.size()) + " Jan 01 2020 " + Base(f) + "\r\n";
    return out;
  }
  void Serve() {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, kWaitMs) <= 0) throw std::runtime_error("fake server: no client");
    fd_ = ::accept(listen_fd_, nullptr, nullptr);
    Send("220 fake\r\n");
    for (;;) {
      const std::string line = ReadLine();
      if (line.empty()) break;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back(line);
      }
      const size_t sp = line.find(' ');
      const std::string verb = line.substr(0, sp);
      const std::string arg = sp == std::string::npos ? std::string() : line.substr(sp + 1);
      if (verb == "USER") Send("331 pass\r\n");
      else if (verb == "PASS") Send("230 in\r\n");
      else if (verb == "TYPE") Send("200 type\r\n");
      else if (verb == "SYST") Send("215 UNIX Type: L8\r\n");
      else if (verb == "PWD") Send("257 \"/\"\r\n");
      else if (verb == "PORT") {
        port_arg_ = arg;
        Send("200 port\r\n");
      } else if (verb == "MKD") {
        const std::string d = Norm(arg);
        if (refuse_mkd.count(d) || folders.count(d) || files.count(d) || !folders.count(Parent(d))) {
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
            if (::poll(&d, 1, kWaitMs) <= 0) break;
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
  std::vector<std::string> commands_;
};

}  // namespace hemlo::transfer::testing
