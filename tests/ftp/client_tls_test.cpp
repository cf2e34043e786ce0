// Explicit TLS against scripted servers that refuse it or answer it wrongly:
// the user name and password must never go out on a clear-text line.
#include <gtest/gtest.h>

#include "scripted_client.h"

namespace hemlo::ftp {
namespace {

using testing::Configure;
using testing::ScriptedServer;
using testing::ScriptSession;

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
