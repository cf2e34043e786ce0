// Explicit TLS against scripted servers that refuse it or answer it wrongly:
// the user name and password must never go out on a clear-text line.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <thread>
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
  enum class Then { kStop, kClose, kStall };
  enum class Ends { kRefused, kHandshake, kCancelled };
  struct Case {
    const char* name;
    const char* answer;  // the server's reply to AUTH TLS and what follows
    Then then;           // what the server does after that
    bool cancel;         // the wait hook cancels after a short while
    Ends ends;
  } cases[] = {
      {"unknown command", "500 AUTH not understood\r\n", Then::kStop, false, Ends::kRefused},
      {"refused", "534 Policy requires SSL\r\n", Then::kStop, false, Ends::kRefused},
      {"plain text with the reply", "234 go\r\n220 plain text here\r\n", Then::kStop, false,
       Ends::kHandshake},
      {"plain text after the hello", "234 go\r\n", Then::kStop, false, Ends::kHandshake},
      {"closes during the handshake", "234 go\r\n", Then::kClose, false, Ends::kHandshake},
      {"stalls: bounded", "234 go\r\n", Then::kStall, false, Ends::kHandshake},
      {"stalls: cancelled", "234 go\r\n", Then::kStall, true, Ends::kCancelled},
  };
  for (const Case& c : cases) {
    ScriptedServer server([&](ScriptSession& s) {
      s.Send("220 ready\r\n");
      s.Expect("AUTH TLS");
      s.Send(c.answer);
      if (c.then == Then::kClose) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        s.CloseControl();
      } else if (c.then == Then::kStall) {
        s.WaitForClose();
      } else if (std::string(c.name) == "plain text after the hello") {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        s.Send("220 plain text here\r\n");
        s.WaitForClose();
      }
    });
    TIdFTP ftp;
    Configure(ftp, server.port());
    ftp.UseTLS = true;
    ftp.ReplyTimeout = 500;
    const auto start = std::chrono::steady_clock::now();
    if (c.cancel) {
      ftp.SetWaitHook([start] {
        return std::chrono::steady_clock::now() - start < std::chrono::milliseconds(100);
      });
    }
    Ends ended = Ends::kRefused;
    try {
      ftp.Connect();
      ADD_FAILURE() << c.name << ": connected";
    } catch (const EIdTLSRefused&) {
      ended = Ends::kRefused;
    } catch (const EIdTLSHandshakeFailed& e) {
      ended = Ends::kHandshake;
      EXPECT_STRNE(e.what(), "") << c.name;
    } catch (const EIdOperationAborted&) {
      ended = Ends::kCancelled;
    }
    EXPECT_EQ(ended, c.ends) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << c.name;
    EXPECT_FALSE(ftp.Connected()) << c.name;
    EXPECT_FALSE(ftp.PeerCertificate().has_value()) << c.name;
    EXPECT_EQ(server.Join(), "") << c.name;
    EXPECT_EQ(server.Commands(), std::vector<std::string>{"AUTH TLS"}) << c.name;
  }
}

}  // namespace
}  // namespace hemlo::ftp
