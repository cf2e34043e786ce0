// Explicit TLS against scripted servers that refuse it or answer it wrongly:
// the user name and password must never go out on a clear-text line.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <openssl/pem.h>

#include "scripted_client.h"

namespace hemlo::ftp {
namespace {

using testing::Configure;
using testing::ScriptedServer;
using testing::ScriptSession;
using testing::TempFolder;

std::string Shell(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  ::pclose(p);
  return out;
}

TEST(FtpTls, CertificateDescriptionMatchesTheOpensslTool) {
  TempFolder temp;
  const std::string pem = (temp.path() / "cert.pem").string();
  Shell("openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj '/O=Test/CN=localhost' -keyout " +
        (temp.path() / "key.pem").string() + " -out " + pem + " 2>/dev/null");
  std::string tool = Shell("openssl x509 -noout -fingerprint -sha256 -in " + pem);
  ASSERT_NE(tool.find('='), std::string::npos) << tool;
  std::string expected_sha = tool.substr(tool.find('=') + 1);
  expected_sha.erase(expected_sha.find_last_not_of("\r\n") + 1);

  FILE* f = std::fopen(pem.c_str(), "r");
  ASSERT_NE(f, nullptr);
  X509* cert = PEM_read_X509(f, nullptr, nullptr, nullptr);
  std::fclose(f);
  ASSERT_NE(cert, nullptr);
  TIdCertificateInfo info = DescribeCertificate(cert);
  X509_free(cert);

  EXPECT_EQ(info.Sha256, expected_sha);
  EXPECT_EQ(info.Subject, "CN=localhost, O=Test");
  EXPECT_EQ(info.Issuer, info.Subject);
  // "YYYY-MM-DD HH:MM:SS UTC": digits everywhere but the fixed separators.
  const std::string shape = "0000-00-00 00:00:00 UTC";
  for (const std::string& stamp : {info.NotBefore, info.NotAfter}) {
    bool ok = stamp.size() == shape.size();
    for (size_t i = 0; ok && i < shape.size(); ++i)
      ok = shape[i] == '0' ? std::isdigit(static_cast<unsigned char>(stamp[i])) != 0
                           : stamp[i] == shape[i];
    EXPECT_TRUE(ok) << stamp;
  }
  EXPECT_LT(info.NotBefore, info.NotAfter);
}

TEST(FtpTls, ServerThatWillNotSpeakTlsGetsNoCredentials) {
  struct Case {
    const char* name;
    const char* answer;  // the server's reply to AUTH TLS and what follows
    bool handshake;      // true: the failure is the handshake's, not a refusal
  } cases[] = {
      {"unknown command", "500 AUTH not understood\r\n", false},
      {"refused", "534 Policy requires SSL\r\n", false},
      {"plain text instead of a handshake", "234 go\r\n220 plain text here\r\n", true},
  };
  for (const Case& c : cases) {
    ScriptedServer server([&](ScriptSession& s) {
      s.Send("220 ready\r\n");
      s.Expect("AUTH TLS");
      s.Send(c.answer);
    });
    TIdFTP ftp;
    Configure(ftp, server.port());
    ftp.UseTLS = true;
    try {
      ftp.Connect();
      ADD_FAILURE() << c.name << ": connected";
    } catch (const EIdTLSRefused& e) {
      EXPECT_FALSE(c.handshake) << c.name << ": " << e.what();
    } catch (const EIdTLSHandshakeFailed& e) {
      EXPECT_TRUE(c.handshake) << c.name << ": " << e.what();
    }
    EXPECT_FALSE(ftp.Connected()) << c.name;
    EXPECT_FALSE(ftp.PeerCertificate().has_value()) << c.name;
    EXPECT_EQ(server.Join(), "") << c.name;
    EXPECT_EQ(server.Commands(), std::vector<std::string>{"AUTH TLS"}) << c.name;
  }
}

}  // namespace
}  // namespace hemlo::ftp
