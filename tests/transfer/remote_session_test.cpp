// How a connection settles its name encoding, against
// a scripted server: one FEAT, "OPTS UTF8 ON" only where UTF-8 is chosen,
// and a first listing that shows unannounced UTF-8 names.
#include "remote/remote_session.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// In automatic mode a server that sends UTF-8 names without announcing UTF8
// gets them read as UTF-8 from the first listing that shows it.
TEST(RemoteSessionNames, UnannouncedUtf8NamesSwitchAutomaticMode) {
  const std::string utf8 = "索引.htm", sjis = "\x8D\xF5\x88\xF8.htm";  // 索引.htm both ways
  const auto line = [](const std::string& name) {
    return "-rw-r--r-- 1 o g 1 Jan 5 2001 " + name + "\r\n";
  };
  struct Case {
    const char* name;
    NameEncodingMode mode;
    std::string listing;
    NameEncoding after;
  } const cases[] = {
      {"UTF-8 names", NameEncodingMode::kAutomatic, line("a.htm") + line(utf8),
       NameEncoding::kUtf8},
      {"Shift-JIS names", NameEncodingMode::kAutomatic, line(sjis), NameEncoding::kShiftJis},
      {"ASCII only", NameEncodingMode::kAutomatic, line("a.htm"), NameEncoding::kShiftJis},
      {"mixed", NameEncodingMode::kAutomatic, line(utf8) + line(sjis), NameEncoding::kShiftJis},
      {"UTF-8 that reads as Shift-JIS too", NameEncodingMode::kAutomatic, line("\xE3\x82\xA2"),
       NameEncoding::kShiftJis},
      {"Shift-JIS chosen", NameEncodingMode::kShiftJis, line(utf8), NameEncoding::kShiftJis},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server([&](ScriptSession& s) {
      ftp::testing::Login(s);
      s.Expect("FEAT");
      s.Send("211-Features:\r\n MDTM\r\n211 End\r\n");
      s.Expect("PWD");
      s.Send("257 \"/\"\r\n");
      const std::string port = s.Expect("PORT ");
      s.Send("200 ok\r\n");
      s.Expect("LIST -a");
      s.Send("150 here\r\n");
      const int fd = s.ConnectData(port);
      ScriptSession::SendAll(fd, c.listing);
      ::close(fd);
      s.Send("226 done\r\n");
      s.Expect("QUIT");
    });
    ftp::TIdFTP ftp;
    ftp::testing::Configure(ftp, server.port());
    RemoteSession session(ftp);
    session.Connect("127.0.0.1:" + std::to_string(server.port()), "user", "secret", {}, c.mode);
    EXPECT_EQ(session.ListEntries().Count(), std::count(c.listing.begin(), c.listing.end(), '\n'));
    EXPECT_EQ(session.Names.Encoding(), c.after);
    ftp.Disconnect();
    EXPECT_EQ(server.Join(), "");
  }
}

}  // namespace
}  // namespace hemlo::transfer
