#pragma once
// Real FTP servers started for the tests on loopback ports chosen at run
// time, each with its configuration and files in a temporary folder. A
// missing server program is a failure, not a skip: CI installs them.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <pwd.h>
#include <poll.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace hemlo::ftp::testing {

namespace fs = std::filesystem;

inline std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class TempFolder {
 public:
  TempFolder() {
    std::string tmpl = (fs::temp_directory_path() / "hemlo-ftp-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// A free loopback port (the server binds it a moment later).
inline uint16_t FreeLoopbackPort() {
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

// True once something on `port` sends a line starting with "220".
inline bool GreetsOn(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

class ServerProcess {
 public:
  ServerProcess(std::vector<std::string> argv, const fs::path& log) {
    pid_ = ::fork();
    if (pid_ == 0) {
      int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      ::setpgid(0, 0);
      std::vector<char*> args;
      for (auto& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
  }
  ~ServerProcess() { Stop(); }
  bool Running() {
    if (pid_ <= 0) return false;
    int status;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    return true;
  }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGTERM);
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 50; ++i) {
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

 private:
  pid_t pid_ = -1;
};

struct RealServer {
  std::string name;
  uint16_t port = 0;
  std::string user;
  std::string password;
  fs::path files;           // local folder that is the remote work folder
  std::string remote_work;  // the remote path of that folder
  bool names_as_bytes = false;
  std::unique_ptr<TempFolder> temp;
  std::unique_ptr<ServerProcess> process;
};

inline void RequireProgram(const char* path) {
  if (::access(path, X_OK) != 0)
    throw std::runtime_error(std::string("FTP server program missing: ") + path +
                             " (install the Debian package before running the tests)");
}

// vsftpd with a writable anonymous area: the anonymous root itself must not
// be writable (vsftpd refuses that), so uploads go to its "pub" folder.
// `extra_conf` lines come last and win (such as "port_enable=NO\n").
inline std::unique_ptr<RealServer> StartVsftpd(const std::string& extra_conf = {}) {
  RequireProgram("/usr/sbin/vsftpd");
  auto s = std::make_unique<RealServer>();
  s->name = "vsftpd";
  s->temp = std::make_unique<TempFolder>();
  const fs::path base = s->temp->path();
  ::chmod(base.c_str(), 0755);
  fs::create_directories(base / "empty");
  fs::create_directories(base / "root" / "pub");
  ::chmod((base / "root").c_str(), 0755);
  ::chmod((base / "empty").c_str(), 0755);
  // Anonymous sessions run as the "ftp" account the Debian package creates.
  const passwd* ftp_account = ::getpwnam("ftp");
  if (!ftp_account) throw std::runtime_error("vsftpd: the \"ftp\" account is missing (reinstall vsftpd)");
  ::chown((base / "root" / "pub").c_str(), ftp_account->pw_uid, ftp_account->pw_gid);
  ::chmod((base / "root" / "pub").c_str(), 0777);
  s->files = base / "root" / "pub";
  s->remote_work = "/pub";
  s->user = "anonymous";
  s->password = "test@example.invalid";
  s->names_as_bytes = true;
  for (int attempt = 0; attempt < 5; ++attempt) {
    s->port = FreeLoopbackPort();
    std::ofstream conf(base / "vsftpd.conf");
    conf << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << s->port
         << "\nbackground=NO\nsecure_chroot_dir=" << (base / "empty").string()
         << "\nanonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\nanon_root="
         << (base / "root").string()
         << "\nftp_username=ftp\nnopriv_user=nobody\nwrite_enable=YES\nanon_upload_enable=YES\n"
            "anon_mkdir_write_enable=YES\nanon_other_write_enable=YES\nanon_world_readable_only=NO\n"
            "anon_umask=022\nport_enable=YES\nconnect_from_port_20=NO\npasv_enable=YES\n"
            "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\nxferlog_enable=NO\n"
            "dirmessage_enable=NO\nuse_localtime=NO\nmax_clients=0\nmax_per_ip=0\n"
         << extra_conf;
    conf.close();
    ::chmod((base / "vsftpd.conf").c_str(), 0600);
    s->process = std::make_unique<ServerProcess>(
        std::vector<std::string>{"/usr/sbin/vsftpd", (base / "vsftpd.conf").string()}, base / "vsftpd.log");
    for (int i = 0; i < 100 && s->process->Running(); ++i) {
      if (GreetsOn(s->port)) return s;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    s->process->Stop();
  }
  throw std::runtime_error("vsftpd did not start: " + ReadText(base / "vsftpd.log"));
}

// pyftpdlib with a writable anonymous user; it announces the port it chose.
inline std::unique_ptr<RealServer> StartPyftpdlib() {
  RequireProgram("/usr/bin/python3");
  auto s = std::make_unique<RealServer>();
  s->name = "pyftpdlib";
  s->temp = std::make_unique<TempFolder>();
  const fs::path base = s->temp->path();
  fs::create_directories(base / "root");
  s->files = base / "root";
  s->remote_work = "/";
  s->user = "anonymous";
  s->password = "test@example.invalid";
  s->names_as_bytes = false;  // decodes names as UTF-8, replacing other bytes
  s->process = std::make_unique<ServerProcess>(
      std::vector<std::string>{"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", "0", "-w", "-d",
                               (base / "root").string()},
      base / "pyftpdlib.log");
  for (int i = 0; i < 200 && s->process->Running(); ++i) {
    std::string log = ReadText(base / "pyftpdlib.log");
    const std::string marker = "starting FTP server on 127.0.0.1:";
    size_t at = log.find(marker);
    if (at != std::string::npos) {
      s->port = static_cast<uint16_t>(std::stoi(log.substr(at + marker.size())));
      for (int j = 0; j < 100; ++j) {
        if (GreetsOn(s->port)) return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::string log = ReadText(base / "pyftpdlib.log");
  if (log.find("No module named pyftpdlib") != std::string::npos)
    throw std::runtime_error("pyftpdlib missing: install python3-pyftpdlib for /usr/bin/python3");
  throw std::runtime_error("pyftpdlib did not start: " + log);
}

}  // namespace hemlo::ftp::testing
