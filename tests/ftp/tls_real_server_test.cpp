// Explicit TLS against real servers that refuse plain logins and plain
// data: vsftpd (which also requires data connections to reuse the TLS
// session) in both data modes, and pyftpdlib's TLS server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ftp/id_ftp.h"
#include "scripted_client.h"
#include "support/real_servers.h"
#include "support/test_watchdog.h"

namespace hemlo::ftp {
namespace {

namespace fs = std::filesystem;
using testing::ReadText;
using testing::TempFolder;
using testing::WriteText;

TEST(FtpTlsRealServers, PublishAndFetchBackByteExactOverTls) {
  testing::TestWatchdog watchdog;  // bounds the test and its server
  struct Case {
    const char* server;
    TIdDataMode mode;
  } cases[] = {
      {"vsftpd", TIdDataMode::dmPassive},
      {"vsftpd", TIdDataMode::dmActive},
      {"pyftpdlib", TIdDataMode::dmAuto},
  };
  std::string big(64 << 20, '\0');
  std::mt19937_64 rng(16);
  for (size_t i = 0; i < big.size(); i += 8) {
    const uint64_t v = rng();
    std::memcpy(&big[i], &v, 8);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + (c.mode == TIdDataMode::dmActive ? " active" : ""));
    TempFolder keys, local;
    const testing::TlsKeys tls = testing::MakeCertificate(
        keys.path() / "cert.pem", keys.path() / "key.pem", "tls.hemlo.test");
    const bool vsftpd = std::string(c.server) == "vsftpd";
    // vsftpd's protocol log shows which commands each session received.
    const fs::path protocol = keys.path() / "protocol.log";
    auto server = vsftpd ? testing::StartVsftpd(testing::VsftpdTlsConf(tls) +
                                                "xferlog_enable=YES\nlog_ftp_protocol=YES\n"
                                                "vsftpd_log_file=" +
                                                protocol.string() + "\n")
                         : testing::StartPyftpdlib(&tls);

    {  // Without TLS the server takes no login.
      TIdFTP plain;
      testing::Configure(plain, *server);
      EXPECT_THROW(plain.Connect(), EIdProtocolReplyError);
      EXPECT_FALSE(plain.Connected());
    }
    // Certificates that must not pass unasked: another name, the profile's
    // IP address (the certificate names a host), no one to ask at all.
    const struct {
      const char* checked_name;  // "" = the host, 127.0.0.1
      bool handler;
      std::vector<std::string> faults;
    } refused[] = {
        {"other.hemlo.test", true, {"self-signed", "hostname mismatch"}},
        {"", true, {"self-signed", "IP address mismatch"}},
        {"tls.hemlo.test", false, {}},
    };
    for (const auto& r : refused) {
      SCOPED_TRACE(r.checked_name);
      TIdFTP other;
      testing::Configure(other, *server);
      other.UseTLS = true;
      other.TLSHostName = r.checked_name;
      std::string problem;
      if (r.handler) {
        other.OnVerifyCertificate = [&](const TIdCertificateInfo& info) {
          problem = info.Problem;
          return false;
        };
      }
      EXPECT_THROW(other.Connect(), EIdCertificateRejected);
      EXPECT_FALSE(other.Connected());
      for (const std::string& fault : r.faults)
        EXPECT_NE(problem.find(fault), std::string::npos) << problem;
    }

    TIdFTP ftp;
    testing::Configure(ftp, *server);
    ftp.UseTLS = true;
    ftp.TLSHostName = "tls.hemlo.test";
    ftp.DataMode = c.mode;
    std::optional<TIdCertificateInfo> asked;
    ftp.OnVerifyCertificate = [&](const TIdCertificateInfo& info) {
      asked = info;
      return true;
    };
    ftp.Connect();
    ASSERT_TRUE(ftp.Connected());
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(asked->Sha256, tls.sha256);
    EXPECT_EQ(asked->Subject, "O=Hemlo Test, CN=tls.hemlo.test");
    EXPECT_EQ(asked->Problem.find("mismatch"), std::string::npos) << asked->Problem;
    EXPECT_TRUE(ftp.Encrypted());
    ftp.ChangeDirectory(server->remote_work);
    ftp.SetTransferType(TIdFTPTransferType::ftBinary);

    WriteText(local.path() / "big.bin", big);
    WriteText(local.path() / "small.htm", "<p>\x93\xfa\x96\x7b</p>\r\n");
    ftp.Upload((local.path() / "big.bin").string(), "big.bin");
    ftp.Upload((local.path() / "small.htm").string(), "small.htm");
    EXPECT_TRUE(ReadText(server->files / "big.bin") == big);
    EXPECT_EQ(ReadText(server->files / "small.htm"), ReadText(local.path() / "small.htm"));
    ftp.Download("big.bin", (local.path() / "back.bin").string(), true);
    EXPECT_TRUE(ReadText(local.path() / "back.bin") == big);
    ftp.ListDirectory(nullptr, {}, false);
    std::vector<std::string> names = ftp.ListingText();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"big.bin", "small.htm"}));
    ftp.Disconnect();
    if (vsftpd) {  // USER came from the plain attempt and the accepted one only.
      const std::string log = ReadText(protocol);
      size_t users = 0;
      for (size_t at = log.find("\"USER "); at != std::string::npos;
           at = log.find("\"USER ", at + 1)) {
        ++users;
      }
      EXPECT_EQ(users, 2u) << log;
    }
  }
}

// A server that will not encrypt the data connections gets no listing or
// file from us: the refused PROT P ends the connect.
TEST(FtpTlsRealServers, RefusedProtPEndsTheConnect) {
  testing::TestWatchdog watchdog;  // bounds the test and its server
  TempFolder keys;
  const testing::TlsKeys tls =
      testing::MakeCertificate(keys.path() / "cert.pem", keys.path() / "key.pem", "tls.hemlo.test");
  auto server = testing::StartPyftpdlib(&tls, /*refuse_prot_p=*/true);
  TIdFTP ftp;
  testing::Configure(ftp, *server);
  ftp.UseTLS = true;
  ftp.TLSHostName = "tls.hemlo.test";
  ftp.OnVerifyCertificate = [](const TIdCertificateInfo&) { return true; };
  try {
    ftp.Connect();
    ADD_FAILURE() << "connected";
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ErrorCode(), 534);
  }
  EXPECT_FALSE(ftp.Connected());
}

// Data must come from the server whose certificate the user accepted: a
// data connection showing another one carries nothing.
TEST(FtpTlsRealServers, DataConnectionWithAnotherCertificateIsRefused) {
  TempFolder keys;
  const testing::TlsKeys tls =
      testing::MakeCertificate(keys.path() / "cert.pem", keys.path() / "key.pem", "tls.hemlo.test");
  const testing::TlsKeys other = testing::MakeCertificate(
      keys.path() / "other.pem", keys.path() / "other-key.pem", "tls.hemlo.test");
  auto server = testing::StartPyftpdlib(&tls, false, false, &other);
  WriteText(server->files / "secret.htm", "data");
  TIdFTP ftp;
  testing::Configure(ftp, *server);
  ftp.UseTLS = true;
  ftp.TLSHostName = "tls.hemlo.test";
  ftp.OnVerifyCertificate = [](const TIdCertificateInfo&) { return true; };
  ftp.Connect();
  const fs::path local = keys.path() / "fetched.htm";
  EXPECT_THROW(ftp.ListDirectory(nullptr, "", true), EIdTLSHandshakeFailed);
  EXPECT_THROW(ftp.Download("secret.htm", local.string(), true), EIdException);
  EXPECT_FALSE(fs::exists(local));
}

}  // namespace
}  // namespace hemlo::ftp
