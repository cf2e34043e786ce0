// ftps://: implicit TLS against vsftpd (implicit_ssl=YES, TLS session
// reuse on the data connections required) and pyftpdlib wrapped to speak
// TLS from the first byte: the certificate is asked about once, the
// password and the data go encrypted, and files travel byte for byte.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/real_servers.h"
#include "support/test_watchdog.h"
#include "remote/remote_session.h"

namespace hemlo::transfer {
namespace {

namespace fs = std::filesystem;
namespace ft = ftp::testing;

TEST(ImplicitTls, FtpsHostsSpeakTlsFromTheFirstByte) {
  ft::TestWatchdog watchdog;
  std::string page(3 << 20, '\0');
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<char>(i * 7 + i / 4099);
  for (const bool vsftpd : {true, false}) {
    SCOPED_TRACE(vsftpd ? "vsftpd" : "pyftpdlib");
    ft::TempFolder keys, local;
    const ft::TlsKeys tls =
        ft::MakeCertificate(keys.path() / "cert.pem", keys.path() / "key.pem", "tls.hemlo.test");
    auto server = vsftpd ? ft::StartVsftpd(ft::VsftpdTlsConf(tls) + ft::kVsftpdImplicitTls)
                         : ft::StartPyftpdlib(&tls, false, false, nullptr, true);
    const std::string host = "127.0.0.1:" + std::to_string(server->port);

    {  // Explicit TLS waits for a greeting in clear that never comes.
      ftp::TIdFTP ftp;
      ftp.ReplyTimeout = 1500;
      ftp.OnVerifyCertificate = [](const ftp::TIdCertificateInfo&) { return true; };
      RemoteSession session(ftp);
      EXPECT_THROW(session.Connect("ftpes://" + host, server->user, server->password, ""),
                   ftp::EIdException);
      EXPECT_FALSE(ftp.Connected());
    }
    ftp::TIdFTP ftp;
    ftp.TLSHostName = "tls.hemlo.test";
    int asked = 0;
    std::optional<std::string> seen;
    ftp.OnVerifyCertificate = [&](const ftp::TIdCertificateInfo& info) {
      ++asked;
      seen = info.Sha256;
      return true;
    };
    RemoteSession session(ftp);
    session.Connect("ftps://" + host + "/", server->user, server->password,
                    server->remote_work);
    ASSERT_TRUE(ftp.Connected());
    EXPECT_TRUE(ftp.Encrypted());
    EXPECT_EQ(ftp.Port, server->port);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(seen, tls.sha256);
    ftp.SetTransferType(ftp::TIdFTPTransferType::ftBinary);
    ft::WriteText(local.path() / "page.bin", page);
    // Several data connections, each reusing the control connection's
    // session (vsftpd refuses any that does not) under PROT P.
    ftp.Upload((local.path() / "page.bin").string(), "page.bin");
    ftp.ListDirectory(nullptr, {}, false);
    ftp.Download("page.bin", (local.path() / "back.bin").string(), true);
    EXPECT_TRUE(ft::ReadText(server->files / "page.bin") == page);
    EXPECT_TRUE(ft::ReadText(local.path() / "back.bin") == page);
    ftp.Disconnect();
  }
}

}  // namespace
}  // namespace hemlo::transfer
