#pragma once
// Real FTP servers started for the tests on loopback ports the kernel
// chooses, each with its configuration and files in a temporary folder. A
// missing server program is a failure, not a skip: CI installs them.
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/ftp_test_net.h"

namespace hemlo::ftp::testing {

// Listens on a kernel-chosen loopback port and runs `argv` once per
// connection with the connection as its standard input and output (how
// inetd runs a server), so the server never has to be told a port.
class InetdServer {
 public:
  InetdServer(std::vector<std::string> argv, fs::path log);
  ~InetdServer();
  InetdServer(const InetdServer&) = delete;
  InetdServer& operator=(const InetdServer&) = delete;
  uint16_t port() const { return port_; }

 private:
  void Serve();

  std::vector<std::string> argv_;
  fs::path log_;
  int listen_fd_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::thread thread_;
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
  // Declared after `temp`: the server stops before its folder goes.
  std::unique_ptr<InetdServer> sessions;
  std::unique_ptr<ServerProcess> process;
};

// vsftpd run per connection with the configuration `conf` (which must say
// "listen=NO"); throws with its log when it does not greet.
std::unique_ptr<InetdServer> RunVsftpd(const fs::path& conf, const fs::path& log);
// vsftpd with a writable anonymous area: the anonymous root itself must not
// be writable (vsftpd refuses that), so uploads go to its "pub" folder.
// `extra_conf` lines come last and win (such as "port_enable=NO\n").
std::unique_ptr<RealServer> StartVsftpd(const std::string& extra_conf = {});
// A self-signed certificate for `common_name` and its key, made with the
// openssl command line; the fingerprint is SHA-256, "AB:CD:...".
struct TlsKeys {
  fs::path cert;
  fs::path key;
  std::string sha256;
};
TlsKeys MakeCertificate(const fs::path& cert, const fs::path& key, const std::string& common_name);
// vsftpd configuration lines for explicit TLS that refuses plain logins and
// plain data and requires the data connections to reuse the TLS session.
std::string VsftpdTlsConf(const TlsKeys& keys);
// The line that makes such a vsftpd speak TLS from the first byte.
inline constexpr const char* kVsftpdImplicitTls = "implicit_ssl=YES\n";
// pyftpdlib with a writable anonymous user, on the port it reports; with
// `tls`, explicit TLS required on control and data connections (and with
// `refuse_prot_p`, PROT P refused; with `data_tls`, the data connections
// show that certificate instead). With `named_account`, one named user
// with a password and no anonymous login. With `implicit_tls`, TLS from
// the first byte instead of AUTH TLS.
std::unique_ptr<RealServer> StartPyftpdlib(const TlsKeys* tls = nullptr, bool refuse_prot_p = false,
                                           bool named_account = false,
                                           const TlsKeys* data_tls = nullptr,
                                           bool implicit_tls = false);
// Gives `path` and everything below it to the account vsftpd's anonymous
// sessions write as, so files a test put there can be changed remotely.
void AdoptForVsftpd(const fs::path& path);

}  // namespace hemlo::ftp::testing
