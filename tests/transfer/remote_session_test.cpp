// The connect sequence that settles a connection's name encoding, against
// a scripted server: one FEAT, "OPTS UTF8 ON" only where UTF-8 is chosen.
#include "transfer/remote_session.h"

#include <gtest/gtest.h>

#include "ftp/scripted_client.h"

namespace hemlo::transfer {
namespace {

using ftp::testing::ScriptedServer;
using ftp::testing::ScriptSession;
using text::NameEncoding;

TEST(RemoteSessionNames, FeatAndProfileChooseTheEncoding) {
  const std::string with_utf8 = "211-Features:\r\n MDTM\r\n UTF8\r\n211 End\r\n";
  const std::string lower_utf8 = "211-Features:\r\n utf8\r\n211 End\r\n";
  const std::string without = "211-Features:\r\n MDTM\r\n SIZE\r\n211 End\r\n";
  const std::string no_feat = "500 FEAT not understood\r\n";
  struct Case {
    NameEncodingMode mode;
    std::string feat;
    const char* opts_reply;  // nullptr: OPTS must not be sent
    NameEncoding chosen;
  } const cases[] = {
      {NameEncodingMode::kAutomatic, with_utf8, "200 UTF8 set to on\r\n", NameEncoding::kUtf8},
      {NameEncodingMode::kAutomatic, lower_utf8, "202 already on\r\n", NameEncoding::kUtf8},
      // Refused, yet announced: the server speaks UTF-8 regardless.
      {NameEncodingMode::kAutomatic, with_utf8, "501 not understood\r\n", NameEncoding::kUtf8},
      {NameEncodingMode::kAutomatic, without, nullptr, NameEncoding::kShiftJis},
      {NameEncodingMode::kAutomatic, no_feat, nullptr, NameEncoding::kShiftJis},
      {NameEncodingMode::kUtf8, no_feat, "500 what\r\n", NameEncoding::kUtf8},
      {NameEncodingMode::kShiftJis, with_utf8, nullptr, NameEncoding::kShiftJis},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.feat + (c.opts_reply ? c.opts_reply : "no OPTS"));
    ScriptedServer server([&](ScriptSession& s) {
      ftp::testing::Login(s);
      s.Expect("FEAT");
      s.Send(c.feat);
      if (c.opts_reply) {
        s.Expect("OPTS UTF8 ON");
        s.Send(c.opts_reply);
      }
      s.Expect("PWD");
      s.Send("257 \"/\" is the current directory\r\n");
      s.Expect("QUIT");
    });
    ftp::TIdFTP ftp;
    ftp::testing::Configure(ftp, server.port());
    RemoteSession session(ftp);
    session.Connect("127.0.0.1:" + std::to_string(server.port()), "user", "secret", {}, c.mode);
    EXPECT_EQ(session.Names.Encoding(), c.chosen);
    ftp.Disconnect();
    EXPECT_EQ(server.Join(), "");
  }
}

}  // namespace
}  // namespace hemlo::transfer
