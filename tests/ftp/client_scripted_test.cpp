// The client against a scripted server: exact replies, login rules and
// faults that real servers rarely produce on demand.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "ftp/id_ftp.h"
#include "support/real_servers.h"
#include "scripted_client.h"
#include "support/scripted_server.h"

namespace hemlo::ftp {
namespace {

using testing::Configure;
using testing::Login;
using testing::ReadText;
using testing::ScriptedServer;
using testing::ScriptSession;
using testing::TempFolder;
using testing::WriteFile;
namespace fs = std::filesystem;

std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FtpScripted, GreetingAndContinuationLinesFormOneReply) {
  ScriptedServer server([](ScriptSession& s) {
    s.Send("\r\n   \r\n220-Welcome\r\n220-more\r\n220 ready\r\n");
    s.Expect("USER");
    s.Send("230 no password needed\r\n");
    s.Expect("TYPE I");
    s.Send("200 ok\r\n");
    s.Expect("SYST");
    s.Send("215 UNIX Type: L8\r\n");
    s.Expect("CWD docs");
    s.Send("250-Features:\r\n MDTM\r\n250 End\r\n");
    s.Expect("CWD early");
    // A short line is text: the reply ends only at "250 ".
    s.Send("250-first\r\nok\r\n257 \"/not\" the end\r\n250 real end\r\n");
    s.Expect("PWD");
    s.Send("257 \"/real\" is current\r\n");
    s.ReadCommand();
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Host = "LocalHost";  // any case, without asking the resolver
  ftp.Connect();
  EXPECT_EQ(ftp.GreetingReply.NumericCode, 220);
  EXPECT_EQ(ftp.GreetingReply.Text, (std::vector<std::string>{"Welcome", "more", "ready"}));
  EXPECT_EQ(ftp.LoginReply.NumericCode, 230);
  EXPECT_EQ(ftp.SystemDescription, "UNIX Type: L8");

  ftp.ChangeDirectory("docs");
  EXPECT_EQ(ftp.LastReply.NumericCode, 250);
  EXPECT_EQ(ftp.LastReply.Text, (std::vector<std::string>{"Features:", "", "End"}));

  ftp.ChangeDirectory("early");
  EXPECT_EQ(ftp.LastReply.Text,
            (std::vector<std::string>{"first", "", "\"/not\" the end", "real end"}));
  EXPECT_EQ(ftp.CurrentDirectory(), "/real");
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  // USER answered with 230: no PASS was sent.
  for (const auto& c : server.Commands()) EXPECT_NE(c.rfind("PASS", 0), 0u) << c;
}

TEST(FtpScripted, LoginRefusedClosesAndFiresDisconnected) {
  ScriptedServer server([](ScriptSession& s) {
    s.Send("220 ready\r\n");
    s.Expect("USER");
    s.Send("530 Login incorrect.\r\n");
    s.WaitForClose();
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  int disconnected = 0;
  ftp.OnDisconnected = [&](TIdTCPConnection&) { ++disconnected; };
  try {
    ftp.Connect();
    FAIL() << "Connect succeeded";
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ErrorCode(), 530);
    EXPECT_STREQ(e.what(), "Login incorrect.\r\n");
  }
  EXPECT_FALSE(ftp.Connected());
  EXPECT_EQ(disconnected, 1);
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, Greeting421FailsConnect) {
  ScriptedServer server([](ScriptSession& s) {
    s.Send("421 Too many users\r\n");
    s.WaitForClose();
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  int disconnected = 0;
  ftp.OnDisconnected = [&](TIdTCPConnection&) { ++disconnected; };
  EXPECT_THROW(ftp.Connect(), EIdProtocolReplyError);
  EXPECT_FALSE(ftp.Connected());
  EXPECT_EQ(disconnected, 1);
  EXPECT_TRUE(server.Commands().empty());
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, Syst500GivesUnknownSystemAndTypeIsSentOnlyOnChange) {
  ScriptedServer server([](ScriptSession& s) {
    s.Send("220 ready\r\n");
    s.Expect("USER");
    s.Send("331 pw\r\n");
    s.Expect("PASS");
    s.Send("230 ok\r\n");
    s.Expect("TYPE I");
    s.Send("200 ok\r\n");
    s.Expect("SYST");
    s.Send("500 unknown command\r\n");
    s.Expect("TYPE A");
    s.Send("200 ascii\r\n");
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  std::vector<std::string> statuses;
  ftp.OnStatus = [&](TIdTCPConnection&, TIdStatus, const std::string& t) { statuses.push_back(t); };
  ftp.Connect();
  EXPECT_EQ(ftp.SystemDescription, "\x95\x73\x96\xBE");
  ftp.SetTransferType(TIdFTPTransferType::ftBinary);  // unchanged: nothing sent
  ftp.SetTransferType(TIdFTPTransferType::ftASCII);
  ftp.SetTransferType(TIdFTPTransferType::ftASCII);
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  EXPECT_EQ(server.Commands().size(), 6u);
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Connection established"), statuses.end());
  EXPECT_EQ(statuses.back(), "Disconnected.");
}

TEST(FtpScripted, TypeSetWhileDisconnectedIsAnnouncedAtNextLogin) {
  ScriptedServer server([](ScriptSession& s) {
    s.Send("220 ready\r\n");
    s.Expect("USER");
    s.Send("230 ok\r\n");
    s.Expect("TYPE A");
    s.Send("200 ok\r\n");
    s.Expect("SYST");
    s.Send("215 UNIX\r\n");
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.SetTransferType(TIdFTPTransferType::ftASCII);  // not connected: nothing to send
  ftp.Connect();
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, DirectoryCommandsCheckTheirCodes) {
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    s.Expect("CDUP");
    s.Send("200 ok\r\n");
    s.Expect("CDUP");
    s.Send("250 ok\r\n");
    s.Expect("RMD old");
    s.Send("200 removed, but the wrong code\r\n");
    s.Expect("PWD");
    s.Send("257 no quotes here\r\n");
    s.Expect("PWD");
    s.Send("257 \"/a \"\"b\" is current\r\n");
    s.Expect("RNFR a");
    s.Send("350 ready\r\n");
    s.Expect("RNTO b");
    s.Send("250 renamed\r\n");
    s.Expect("SITE CHMOD 644 a");
    s.Send("200 ok\r\n");
    s.Expect("MKD d");
    s.Send("257 \"d\" created\r\n");
    s.Expect("DELE gone");
    s.Send("550 No such file\r\n");
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  ftp.ParentDirectory();
  ftp.ParentDirectory();
  try {
    ftp.RemoveDirectory("old");
    FAIL() << "RMD accepted 200";
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ErrorCode(), 200);
  }
  EXPECT_TRUE(ftp.Connected());
  EXPECT_EQ(ftp.CurrentDirectory(), "");
  EXPECT_EQ(ftp.CurrentDirectory(), "/a ");  // a doubled quote ends the name
  ftp.RenameFile("a", "b");
  ftp.SiteCommand("CHMOD 644 a");
  ftp.CreateDirectory("d");
  try {
    ftp.DeleteFile("gone");
    FAIL();
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ErrorCode(), 550);
    EXPECT_STREQ(e.what(), "No such file\r\n");
  }
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, ConnectTwiceClosesAndDisconnectAlwaysFires) {
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    s.WaitForClose();
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  int disconnected = 0;
  ftp.OnDisconnected = [&](TIdTCPConnection&) { ++disconnected; };
  ftp.Disconnect();  // never connected: nothing written, event still fires
  EXPECT_EQ(disconnected, 1);
  ftp.Connect();
  try {
    ftp.Connect();
    FAIL();
  } catch (const EIdAlreadyConnected& e) {
    EXPECT_STREQ(e.what(), "Already connected.");
  }
  EXPECT_FALSE(ftp.Connected());
  EXPECT_EQ(disconnected, 2);
  EXPECT_EQ(server.Join(), "");
  EXPECT_EQ(server.Commands().size(), 4u);  // no QUIT after the failed Connect
  EXPECT_THROW(ftp.ChangeDirectory("x"), EIdNotConnected);
}

TEST(FtpScripted, OverlongLongAndOddReplyLines) {
  // With its CR, "250 " and these make exactly the longest line taken, and
  // one byte more.
  const std::string longest(16384 - 5, 'x'), long_line(16384 - 4, 'x');
  ScriptedServer server([&](ScriptSession& s) {
    Login(s);
    s.Expect("CWD many");
    std::string reply = "250-start\r\n";
    for (int i = 0; i < 300; ++i)
      reply += "250-" + std::string(8000, static_cast<char>('a' + i % 26)) + "\r\n";
    reply += "250 end\r\n";
    s.Send(reply);
    s.Expect("CWD nul");
    s.Send(std::string("250 a\0b\r\n", 9));
    s.Expect("CWD longest");
    s.Send("250 " + longest + "\r\n");
    s.Expect("CWD long");
    s.Send("250 " + long_line + "\r\n");
    s.WaitForClose();
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  ftp.ChangeDirectory("many");
  ASSERT_EQ(ftp.LastReply.Text.size(), 302u);
  EXPECT_EQ(ftp.LastReply.Text[150], std::string(8000, static_cast<char>('a' + 149 % 26)));
  ftp.ChangeDirectory("nul");
  EXPECT_EQ(ftp.LastReply.Text[0], std::string("a\0b", 3));
  ftp.ChangeDirectory("longest");
  EXPECT_EQ(ftp.LastReply.Text[0], longest);
  try {
    ftp.ChangeDirectory("long");
    FAIL();
  } catch (const EIdReadLnMaxLineLengthExceeded& e) {
    EXPECT_STREQ(e.what(), "Max line length exceeded.");
  }
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, ServerClosingMidReplyEndsTheConnection) {
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    s.Expect("CWD x");
    s.Send("250-partial\r\n250-more");
    s.CloseControl();
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  int disconnected = 0;
  ftp.OnDisconnected = [&](TIdTCPConnection&) { ++disconnected; };
  ftp.Connect();
  try {
    ftp.ChangeDirectory("x");
    FAIL();
  } catch (const EIdConnClosedGracefully& e) {
    EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
  }
  EXPECT_FALSE(ftp.Connected());
  EXPECT_EQ(disconnected, 1);
  // A write after the close was noticed says so, rather than "Not Connected".
  EXPECT_THROW(ftp.ChangeDirectory("y"), EIdConnClosedGracefully);
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, SilentServerHitsTheReplyAndReadLimitsAndIsLeft) {
  // A reply that comes too late would be taken for the next command's, so
  // the client closes instead of carrying on out of step.
  struct Case {
    int reply_timeout, read_timeout;
    const char* message;
  } cases[] = {{300, 0, "サーバから時間内に応答がありませんでした"}, {5000, 200, "Read Timeout"}};
  for (const Case& c : cases) {
    ScriptedServer server([](ScriptSession& s) {
      Login(s);
      s.Expect("CWD slow");
      s.WaitForClose();
    });
    TIdFTP ftp;
    Configure(ftp, server.port());
    ftp.Connect();
    ftp.ReplyTimeout = c.reply_timeout;
    ftp.ReadTimeout = c.read_timeout;
    auto start = std::chrono::steady_clock::now();
    try {
      ftp.ChangeDirectory("slow");
      FAIL();
    } catch (const EIdException& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_FALSE(ftp.Connected()) << c.message;
    EXPECT_EQ(server.Join(), "");
  }
}

TEST(FtpScripted, LineBreaksInNamesAreNeverSent) {
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    s.Expect("PWD");
    s.Send("257 \"/\"\r\n");
    s.Expect("QUIT");
  });
  TempFolder temp;
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  EXPECT_THROW(ftp.ChangeDirectory("a\r\nDELE index.html"), EIdIllegalCommandText);
  EXPECT_THROW(ftp.RenameFile("fine", "bad\nname"), EIdIllegalCommandText);
  EXPECT_THROW(ftp.DeleteFile("x\ry"), EIdIllegalCommandText);
  EXPECT_THROW(ftp.Download("a\nb", (temp.path() / "f").string(), true), EIdIllegalCommandText);
  WriteFile(temp.path() / "up", "data");
  EXPECT_THROW(ftp.Upload((temp.path() / "up").string(), "a\r\nb"), EIdIllegalCommandText);
  EXPECT_THROW(ftp.ListDirectory(nullptr, "dir\nDELE x"), EIdIllegalCommandText);
  EXPECT_EQ(ftp.CurrentDirectory(), "/");  // the next command is still in step
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  EXPECT_EQ(server.Commands().size(), 6u);  // login, PWD, QUIT: nothing injected
  EXPECT_FALSE(fs::exists(temp.path() / "f"));
}

TEST(FtpScripted, LineBreakInUserNameRefusedBeforeConnecting) {
  ScriptedServer server([](ScriptSession&) {}, 500);  // must never see a client
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Username = "anonymous\r\nDELE x";
  EXPECT_THROW(ftp.Connect(), EIdIllegalCommandText);
  EXPECT_FALSE(ftp.Connected());
  EXPECT_EQ(server.Join(), "script: no client");
}

// A download script: PORT, RETR, connect back, send `data`, then `end`.
void ServeRetr(ScriptSession& s, const std::string& data, const std::string& end) {
  std::string port = s.Expect("PORT ");
  s.Send("200 PORT ok\r\n");
  s.Expect("RETR");
  s.Send("150 opening\r\n");
  int fd = s.ConnectData(port);
  ScriptSession::SendAll(fd, data);
  ::close(fd);
  s.Send(end);
}

TEST(FtpScripted, DownloadReplacesOnlyAfterSuccess) {
  TempFolder temp;
  const fs::path target = temp.path() / "page.htm";
  WriteFile(target, "good old contents");
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    ServeRetr(s, "new contents", "226 done\r\n");
    ServeRetr(s, "partial", "426 connection closed; transfer aborted\r\n226 closing\r\n");
    s.Expect("NOOP");
    s.Send("200 ok\r\n");
    ServeRetr(s, "cut short", "");
    s.CloseControl();  // dies before the end reply
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  std::vector<std::string> statuses;
  ftp.OnStatus = [&](TIdTCPConnection&, TIdStatus, const std::string& t) { statuses.push_back(t); };
  ftp.Connect();
  std::string got_path;
  ftp.OnAfterGet = [&](TIdFTP&, const std::string& p) { got_path = p; };
  // The tool's arguments replace an existing file.
  ftp.Download("page.htm", target.string(), true, false);
  EXPECT_EQ(ReadText(target), "new contents");
  EXPECT_EQ(got_path, target.string());

  statuses.clear();
  EXPECT_THROW(ftp.Download("page.htm", target.string(), true, false), EIdFTPTransferAborted);
  EXPECT_TRUE(ftp.Connected());
  EXPECT_EQ(ReadText(target), "new contents");
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Transfer aborted"), statuses.end());

  EXPECT_THROW(ftp.Download("page.htm", target.string(), true, false), EIdConnClosedGracefully);
  EXPECT_EQ(ReadText(target), "new contents");
  EXPECT_EQ(FilesIn(temp.path()), std::vector<std::string>{"page.htm"});  // no temporary left
  EXPECT_EQ(server.Join(), "");
  EXPECT_EQ(server.Commands()[4].rfind("PORT 127,0,0,1,", 0), 0u);
}

TEST(FtpScripted, EndReplyArrivingBeforeTheAcceptIsKept) {
  TempFolder temp;
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    std::string port = s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("RETR quick");
    // Connect, send everything and close before the client sees any reply.
    int fd = s.ConnectData(port);
    ScriptSession::SendAll(fd, "fast");
    ::close(fd);
    s.Send("125 already open\r\n226 done\r\n");
    s.Expect("PWD");
    s.Send("257 \"/\"\r\n");
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  ftp.Download("quick", (temp.path() / "q").string(), true);
  EXPECT_EQ(ReadText(temp.path() / "q"), "fast");
  EXPECT_EQ(ftp.CurrentDirectory(), "/");
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, LocalWriteFailureKeepsRepliesInStep) {
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    ServeRetr(s, std::string(100000, 'd'), "426 Failure writing network stream.\r\n");
    s.Expect("ABOR");
    s.Expect("NOOP");
    s.Send("225 No transfer to ABOR.\r\n200 NOOP ok.\r\n");
    s.Expect("PWD");
    s.Send("257 \"/mine\"\r\n");
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  EXPECT_THROW(ftp.Download("big", "/dev/full", true), EIdFTPLocalFileError);  // disk full
  EXPECT_EQ(ftp.CurrentDirectory(), "/mine");
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, ExistingFileIsRefusedBeforeAnythingIsSent) {
  TempFolder temp;
  const fs::path target = temp.path() / "keep";
  WriteFile(target, "keep me");
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  try {
    ftp.Download("keep", target.string(), false, false);
    FAIL();
  } catch (const EIdFTPFileAlreadyExists& e) {
    EXPECT_STREQ(e.what(), "Destination file already exists.");
  }
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  EXPECT_EQ(ReadText(target), "keep me");
}

TEST(FtpScripted, ResumedDownloadAppendsFromTheLocalLength) {
  TempFolder temp;
  const fs::path target = temp.path() / "big";
  WriteFile(target, "01234");
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    s.Expect("REST 1");
    s.Send("350 Restarting at 1\r\n");
    s.Expect("REST 0");
    s.Send("350 Restarting at 0\r\n");
    std::string port = s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("REST 5");
    s.Send("350 ok\r\n");
    s.Expect("RETR big");
    s.Send("150 opening\r\n");
    int fd = s.ConnectData(port);
    ScriptSession::SendAll(fd, "56789");
    ::close(fd);
    s.Send("226 done\r\n");
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  ftp.Download("big", target.string(), false, true);
  EXPECT_EQ(ReadText(target), "0123456789");
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, RefusedPortAndRefusedTransferKeepTheClientReady) {
  TempFolder temp;
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    s.Expect("PORT ");
    s.Send("425 Can't build data connection\r\n");
    s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("RETR missing");
    s.Send("550 missing: No such file\r\n");
    s.Expect("PWD");
    s.Send("257 \"/\"\r\n");
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  try {
    ftp.ListDirectory();
    FAIL();
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ErrorCode(), 425);
  }
  try {
    ftp.Download("missing", (temp.path() / "m").string(), true);
    FAIL();
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ErrorCode(), 550);
    EXPECT_STREQ(e.what(), "missing: No such file\r\n");
  }
  EXPECT_FALSE(ftp.DataChannelOpen());
  EXPECT_EQ(ftp.CurrentDirectory(), "/");
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  EXPECT_FALSE(fs::exists(temp.path() / "m"));
}

TEST(FtpScripted, ServerThatNeverConnectsBackIsBounded) {
  TempFolder temp;
  const fs::path target = temp.path() / "f";
  WriteFile(target, "old");
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("RETR f");
    s.Send("150 opening\r\n");  // and never connects
    s.Expect("ABOR");
    s.Expect("NOOP");
    s.Send("226 ABOR ok\r\n200 ok\r\n");
    s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("LIST");
    s.Send("150 opening\r\n425 Can't open data connection\r\n");
    s.WaitForClose();
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.DataConnectTimeout = 400;
  ftp.Connect();
  auto start = std::chrono::steady_clock::now();
  try {
    ftp.Download("f", target.string(), true);
    FAIL();
  } catch (const EIdDataConnectTimeout& e) {
    EXPECT_STREQ(e.what(), "サーバが時間内にデータ接続を開きませんでした");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(ReadText(target), "old");
  // A 425 arriving while we wait is reported at once, not after the limit.
  ftp.DataConnectTimeout = 20000;
  start = std::chrono::steady_clock::now();
  EXPECT_THROW(ftp.ListDirectory(), EIdProtocolReplyError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_TRUE(ftp.Connected());
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, ListingEndedBy426IsAnErrorAndRepliesStayInStep) {
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    std::string port = s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("LIST");
    s.Send("150 here\r\n");
    int fd = s.ConnectData(port);
    ScriptSession::SendAll(fd, "a\r\nb\rc\nd");
    ::close(fd);
    s.Send("426 aborted\r\n226 ok\r\n");
    s.Expect("NOOP");
    s.Send("200 ok\r\n");
    s.Expect("PWD");
    s.Send("257 \"/in step\"\r\n");
    port = s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("NLST sub");
    s.Send("150 here\r\n");
    fd = s.ConnectData(port);
    ::close(fd);
    s.Send("450 aborted\r\n");  // and nothing more, not even to NOOP
    s.Expect("NOOP");
    s.WaitForClose();
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.AbortReplyTimeout = 300;
  ftp.Connect();
  std::vector<std::string> lines{"stale"};
  // A listing cut off is not a short listing.
  EXPECT_THROW(ftp.ListDirectory(&lines), EIdFTPTransferAborted);
  EXPECT_EQ(lines, std::vector<std::string>{"stale"});
  EXPECT_EQ(ftp.CurrentDirectory(), "/in step");
  EXPECT_THROW(ftp.ListDirectory(nullptr, "sub", false), EIdFTPTransferAborted);
  EXPECT_FALSE(ftp.Connected());  // could not get back in step within the bound
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpScripted, UploadOfAnEmptyFileSendsNothingAndCloses) {
  TempFolder temp;
  WriteFile(temp.path() / "empty", "");
  WriteFile(temp.path() / "small", std::string("\x95\x5C\r\n\0z", 6));
  std::string received_empty = "unset", received_small;
  ScriptedServer server([&](ScriptSession& s) {
    Login(s);
    std::string port = s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("STOR empty");
    s.Send("150 go\r\n");
    int fd = s.ConnectData(port);
    received_empty = ScriptSession::ReceiveAll(fd);
    ::close(fd);
    s.Send("226 stored\r\n");
    port = s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("APPE \x95\x5C");
    s.Send("125 go\r\n");
    fd = s.ConnectData(port);
    received_small = ScriptSession::ReceiveAll(fd);
    ::close(fd);
    s.Send("226 stored\r\n");
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  ftp.Upload((temp.path() / "empty").string(), "empty");
  ftp.Upload((temp.path() / "small").string(), "\x95\x5C", true);
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  EXPECT_EQ(received_empty, "");
  EXPECT_EQ(received_small, std::string("\x95\x5C\r\n\0z", 6));
}

// Listens on a loopback port for a passive data connection.
struct PassiveListener {
  uint16_t port = 0;
  int fd = testing::ListenLoopback(port, 1);
  ~PassiveListener() { ::close(fd); }
  int Accept() {
    int c = testing::AcceptWithin(fd, 5000);
    if (c < 0) throw std::runtime_error("no passive connection");
    return c;
  }
};

TEST(FtpScripted, PassiveModesReachTheControlPeerWhateverTheReplySays) {
  // EPSV when the server has it; PASV otherwise, its private address ignored.
  for (bool epsv : {true, false}) {
    ScriptedServer server([epsv](ScriptSession& s) {
      Login(s);
      s.Expect("EPSV");
      PassiveListener l;
      if (epsv) {
        s.Send("229 Entering Extended Passive Mode (|||" + std::to_string(l.port) + "|)\r\n");
      } else {
        s.Send("502 EPSV not implemented\r\n");
        s.Expect("PASV");
        s.Send("227 Entering Passive Mode (10,9,8,7," + std::to_string(l.port / 256) + "," +
               std::to_string(l.port % 256) + ").\r\n");
      }
      s.Expect("LIST");
      s.Send("150 here\r\n");
      int fd = l.Accept();
      ScriptSession::SendAll(fd, "drwxr-xr-x 2 o g 512 Jan 5 2001 www\r\n");
      ::close(fd);
      s.Send("226 ok\r\n");
      s.Expect("QUIT");
    });
    TIdFTP ftp;
    Configure(ftp, server.port());
    ftp.DataMode = TIdDataMode::dmPassive;
    ftp.Connect();
    ftp.ListDirectory();
    ASSERT_EQ(ftp.DirectoryListing().Count(), 1u) << epsv;
    EXPECT_EQ(ftp.DirectoryListing()[0].FileName, "www");
    EXPECT_EQ(ftp.DataModeInUse(), TIdDataMode::dmPassive);
    ftp.Disconnect();
    EXPECT_EQ(server.Join(), "") << epsv;
  }
}

TEST(FtpScripted, RefusedConnectionIsASocketError) {
  TIdFTP ftp;
  ftp.Host = "127.0.0.1";
  ftp.Port = testing::FreeLoopbackPort();
  int disconnected = 0;
  ftp.OnDisconnected = [&](TIdTCPConnection&) { ++disconnected; };
  try {
    ftp.Connect();
    FAIL();
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), 10061);
    EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
  }
  EXPECT_EQ(disconnected, 1);
  EXPECT_EQ(EIdSocketError(12345).Message(), "Socket Error # 12345\r\n");
}

}  // namespace
}  // namespace hemlo::ftp
