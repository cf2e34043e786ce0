#include "support/real_servers.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace hemlo::ftp::testing {

namespace {

void RequireProgram(const char* path) {
  if (::access(path, X_OK) != 0)
    throw std::runtime_error(std::string("FTP server program missing: ") + path +
                             " (install the Debian package before running the tests)");
}

const passwd& FtpAccount() {
  // Anonymous sessions run as the "ftp" account the Debian package creates.
  const passwd* account = ::getpwnam("ftp");
  if (!account)
    throw std::runtime_error("vsftpd: the \"ftp\" account is missing (reinstall vsftpd)");
  return *account;
}

}  // namespace

InetdServer::InetdServer(std::vector<std::string> argv, fs::path log)
    : argv_(std::move(argv)), log_(std::move(log)) {
  listen_fd_ = ListenLoopback(port_, 16);
  if (::pipe2(wake_, O_CLOEXEC) != 0) {
    ::close(listen_fd_);
    throw std::runtime_error("test server: pipe failed");
  }
  thread_ = std::thread([this] { Serve(); });
}

InetdServer::~InetdServer() {
  // A full pipe already wakes the thread.
  if (::write(wake_[1], "x", 1) < 0) {
  }
  if (thread_.joinable()) thread_.join();
  ::close(listen_fd_);
  ::close(wake_[0]);
  ::close(wake_[1]);
}

void InetdServer::Serve() {
  std::vector<std::unique_ptr<ServerProcess>> sessions;
  for (;;) {
    pollfd p[2] = {{listen_fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(p, 2, -1) < 0) break;
    if (p[1].revents) break;
    int fd = AcceptWithin(listen_fd_, 0);
    if (fd < 0) continue;
    try {
      sessions.push_back(std::make_unique<ServerProcess>(argv_, log_, fd));
    } catch (const std::exception&) {
    }
    ::close(fd);
    std::erase_if(sessions, [](const auto& s) { return !s->Running(); });
  }
  // Destroying the sessions ends every server process still running.
}

std::unique_ptr<InetdServer> RunVsftpd(const fs::path& conf, const fs::path& log) {
  RequireProgram("/usr/sbin/vsftpd");
  auto server = std::make_unique<InetdServer>(
      std::vector<std::string>{"/usr/sbin/vsftpd", conf.string()}, log);
  // Over implicit TLS the greeting is not in clear: the test's login shows it.
  if (ReadText(conf).find(kVsftpdImplicitTls) == std::string::npos && !GreetsOn(server->port()))
    throw std::runtime_error("vsftpd did not start: " + ReadText(log));
  return server;
}

std::unique_ptr<RealServer> StartVsftpd(const std::string& extra_conf) {
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
  const passwd& ftp_account = FtpAccount();
  if (::chown((base / "root" / "pub").c_str(), ftp_account.pw_uid, ftp_account.pw_gid) != 0)
    throw std::system_error(errno, std::generic_category(), "chown of the FTP root");
  ::chmod((base / "root" / "pub").c_str(), 0777);
  s->files = base / "root" / "pub";
  s->remote_work = "/pub";
  s->user = "anonymous";
  s->password = "test@example.invalid";
  s->names_as_bytes = true;
  {
    std::ofstream conf(base / "vsftpd.conf");
    conf
        << "listen=NO\nlisten_ipv6=NO\nsecure_chroot_dir=" << (base / "empty").string()
        << "\nanonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\nanon_root="
        << (base / "root").string()
        << "\nftp_username=ftp\nnopriv_user=nobody\nwrite_enable=YES\nanon_upload_enable=YES\n"
           "anon_mkdir_write_enable=YES\nanon_other_write_enable=YES\nanon_world_readable_only=NO\n"
           "anon_umask=022\nport_enable=YES\nconnect_from_port_20=NO\npasv_enable=YES\n"
           "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\nxferlog_enable=NO\n"
           "dirmessage_enable=NO\nuse_localtime=NO\n"
        << extra_conf;
  }
  ::chmod((base / "vsftpd.conf").c_str(), 0600);
  s->sessions = RunVsftpd(base / "vsftpd.conf", base / "vsftpd.log");
  s->port = s->sessions->port();
  return s;
}

TlsKeys MakeCertificate(const fs::path& cert, const fs::path& key, const std::string& common_name) {
  const std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=" + common_name +
      "/O=Hemlo Test' -keyout '" + key.string() + "' -out '" + cert.string() +
      "' 2>/dev/null && openssl x509 -noout -fingerprint -sha256 -in '" + cert.string() + "'";
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[512];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    if (::pclose(p) != 0) out.clear();
  }
  const size_t eq = out.find('=');
  if (eq == std::string::npos) throw std::runtime_error("openssl could not make a certificate");
  std::string print = out.substr(eq + 1);
  while (!print.empty() && (print.back() == '\n' || print.back() == '\r')) print.pop_back();
  // vsftpd reads them as its own unprivileged account.
  ::chmod(cert.parent_path().c_str(), 0755);
  ::chmod(key.c_str(), 0644);
  return {cert, key, print};
}

std::string VsftpdTlsConf(const TlsKeys& keys) {
  return "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
         "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\nrsa_cert_file=" +
         keys.cert.string() + "\nrsa_private_key_file=" + keys.key.string() + "\n";
}

std::unique_ptr<RealServer> StartPyftpdlib(const TlsKeys* tls, bool refuse_prot_p,
                                           bool named_account, const TlsKeys* data_tls,
                                           bool implicit_tls) {
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
  // Port 0: pyftpdlib binds a port the kernel picks and logs it.
  std::vector<std::string> argv = {
      "/usr/bin/python3",      "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", "0", "-w", "-d",
      (base / "root").string()};
  if (named_account) {
    s->user = "hemlo";
    s->password = "pw-" + std::to_string(::getpid());
    argv.insert(argv.end(), {"-u", s->user, "-P", s->password});
  }
  if (tls) {
    argv = {"/usr/bin/python3", HEMLO_TEST_SUPPORT_DIR "/pyftpdlib_tls.py",
            (base / "root").string(), tls->cert.string(), tls->key.string()};
    if (refuse_prot_p) argv.push_back("refuse-prot-p");
    if (implicit_tls) argv.push_back("implicit");
    if (data_tls) argv.insert(argv.end(), {"data-cert", data_tls->cert.string(), data_tls->key.string()});
  }
  s->process = std::make_unique<ServerProcess>(argv, base / "pyftpdlib.log");
  const std::string marker = "starting FTP server on 127.0.0.1:";
  for (int i = 0; i < 200 && s->process->Running(); ++i) {
    std::string log = ReadText(base / "pyftpdlib.log");
    size_t at = log.find(marker);
    if (at != std::string::npos) {
      s->port = static_cast<uint16_t>(std::stoi(log.substr(at + marker.size())));
      for (int j = 0; j < 100; ++j) {
        // Over implicit TLS nothing comes in clear: the logged port is enough.
        if (implicit_tls || GreetsOn(s->port)) return s;

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

void AdoptForVsftpd(const fs::path& path) {
  const passwd& account = FtpAccount();
  // Best effort: a name vsftpd cannot own is reported by the test using it.
  if (::lchown(path.c_str(), account.pw_uid, account.pw_gid) != 0) {
  }
  if (!fs::is_directory(path)) return;
  for (auto it = fs::recursive_directory_iterator(path); it != fs::recursive_directory_iterator();
       ++it)
    if (::lchown(it->path().c_str(), account.pw_uid, account.pw_gid) != 0) {
    }
}

}  // namespace hemlo::ftp::testing
