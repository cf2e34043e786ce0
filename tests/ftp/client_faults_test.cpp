// The client against scripted faults: broken and stalled transfers,
// cancels, lost connections, endless replies, and the data-connection and
// listing rules that keep it working behind routers and odd servers.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/real_servers.h"
#include "scripted_client.h"

namespace hemlo::ftp {
namespace {

using namespace std::chrono_literals;
using testing::Configure;
using testing::Login;
using testing::ScriptedServer;
using testing::ScriptSession;
using testing::TempFolder;
using testing::WriteFile;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// PORT, the transfer command, 150 and the connection back to the client.
int OpenActiveTransfer(ScriptSession& s, const std::string& command) {
  std::string port = s.Expect("PORT ");
  s.Send("200 ok\r\n");
  s.Expect(command);
  s.Send("150 go\r\n");
  return s.ConnectData(port);
}

// The server's side of the exchange that shows replies are in step.
void ServeInStep(ScriptSession& s) {
  s.Expect("PWD");
  s.Send("257 \"/next\"\r\n");
  s.Expect("QUIT");
}

void AnswerAbortAndNoop(ScriptSession& s, const std::string& replies) {
  s.Expect("ABOR");
  s.Expect("NOOP");
  s.Send(replies);
}

struct FaultCase {
  const char* name;
  std::function<void(ScriptSession&)> serve;  // after login
  std::function<void(TIdFTP&)> run;
  std::function<bool(const std::exception&)> expected;
  bool stays_connected;
};

template <class E>
std::function<bool(const std::exception&)> Is() {
  return [](const std::exception& e) { return dynamic_cast<const E*>(&e) != nullptr; };
}

void RunFaultCase(const FaultCase& c, TempFolder& temp) {
  ScriptedServer server([&](ScriptSession& s) {
    Login(s);
    c.serve(s);
    if (c.stays_connected) ServeInStep(s);
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.DataTimeout = test_support::BoundMs(300);
  ftp.ReplyTimeout = test_support::BoundMs(300);
  ftp.Connect();
  try {
    c.run(ftp);
    ADD_FAILURE() << c.name << ": no failure";
  } catch (const std::exception& e) {
    EXPECT_TRUE(c.expected(e)) << c.name << ": " << e.what();
  }
  EXPECT_EQ(ftp.Connected(), c.stays_connected) << c.name;
  if (c.stays_connected) {
    EXPECT_EQ(ftp.CurrentDirectory(), "/next") << c.name;
  }
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "") << c.name;
  // A failed download never leaves a partial file behind.
  EXPECT_FALSE(fs::exists(temp.path() / "f")) << c.name;
}

TEST(FtpFaults, FailedTransfersKeepRepliesInStepOrClose) {
  TempFolder temp;
  const std::string target = (temp.path() / "f").string();
  auto download = [&](TIdFTP& ftp) { ftp.Download("f", target, true); };
  const FaultCase cases[] = {
      {"data connection reset",
       [](ScriptSession& s) {
         int fd = OpenActiveTransfer(s, "RETR f");
         ScriptSession::SendAll(fd, "part");
         ScriptSession::Reset(fd);
         s.Send("426 Connection reset\r\n");
         AnswerAbortAndNoop(s, "225 No transfer to ABOR.\r\n200 NOOP ok.\r\n");
       },
       download, Is<EIdSocketError>(), true},
      {"data stalls",
       [](ScriptSession& s) {
         int fd = OpenActiveTransfer(s, "RETR f");
         ScriptSession::SendAll(fd, "part");
         AnswerAbortAndNoop(s, "426 aborted\r\n226 ABOR ok\r\n200 ok\r\n");
         ::close(fd);
       },
       download, Is<EIdDataTimeout>(), true},
      {"progress handler aborts the transfer",
       [](ScriptSession& s) {
         int fd = OpenActiveTransfer(s, "RETR f");
         ScriptSession::SendAll(fd, "part");
         s.Expect("ABOR");
         ::close(fd);
         s.Send("426 aborted\r\n226 ABOR ok\r\n");
         s.Expect("NOOP");
         s.Send("200 ok\r\n");
       },
       [&](TIdFTP& ftp) {
         ftp.OnWork = [](TIdTCPConnection& c, TWorkMode, int64_t) {
           static_cast<TIdFTP&>(c).AbortTransfer();
         };
         download(ftp);
       },
       Is<EIdFTPTransferAbortedHere>(), true},
      {"end reply never comes",
       [](ScriptSession& s) {
         ::close(OpenActiveTransfer(s, "RETR f"));
         s.WaitForClose();
       },
       download, Is<EIdReplyTimeout>(), false},
      {"server closes the control connection",
       [](ScriptSession& s) {
         int fd = OpenActiveTransfer(s, "RETR f");
         ScriptSession::SendAll(fd, "part");
         ::close(fd);
         s.CloseControl();
       },
       download, Is<EIdConnectionLost>(), false},
      {"control connection reset",
       [](ScriptSession& s) {
         int fd = OpenActiveTransfer(s, "RETR f");
         ::close(fd);
         s.ResetControl();
       },
       download, Is<EIdConnectionLost>(), false},
      {"listing without end",
       [](ScriptSession& s) {
         int fd = OpenActiveTransfer(s, "LIST");
         std::string block;
         for (int i = 0; i < 4096; ++i) block += "-rw-r--r-- 1 o g 1 Jan 1 2001 name\r\n";
         // Until the client breaks the connection off.
         while (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) > 0) {
         }
         ::close(fd);
         s.Send("426 Failure writing network stream.\r\n");
         AnswerAbortAndNoop(s, "225 No transfer to ABOR.\r\n200 NOOP ok.\r\n");
       },
       [](TIdFTP& ftp) {
         ftp.MaxListingBytes = 1 << 20;
         ftp.ListDirectory();
       },
       Is<EIdListingTooLarge>(), true},
      {"listing of too many lines",
       [](ScriptSession& s) {
         int fd = OpenActiveTransfer(s, "LIST");
         std::string block;
         for (int i = 0; i < 20'000; ++i) block += "-rw-r--r-- 1 o g 1 Jan 1 2001 name\r\n";
         // Far below the byte cap; the client breaks off at the line cap.
         [[maybe_unused]] ssize_t sent = ::send(fd, block.data(), block.size(), MSG_NOSIGNAL);
         ::close(fd);
         s.Send("226 done\r\n");
         AnswerAbortAndNoop(s, "225 No transfer to ABOR.\r\n200 NOOP ok.\r\n");
       },
       [](TIdFTP& ftp) {
         ftp.MaxListingLines = 10'000;
         ftp.ListDirectory();
       },
       Is<EIdListingTooLarge>(), true},
  };
  for (const FaultCase& c : cases) RunFaultCase(c, temp);
}

TEST(FtpFaults, CancelEndsAnyWaitWithinASecond) {
  TempFolder temp;
  const std::string target = (temp.path() / "f").string();
  struct Case {
    const char* name;
    std::function<void(ScriptSession&)> serve;
    std::function<void(TIdFTP&)> run;
    bool stays_connected;
  } cases[] = {
      {"stalled data, ABOR answered",
       [](ScriptSession& s) {
         int fd = OpenActiveTransfer(s, "RETR f");
         ScriptSession::SendAll(fd, "part");
         AnswerAbortAndNoop(s, "426 aborted\r\n226 ABOR ok\r\n200 ok\r\n");
         ::close(fd);
         ServeInStep(s);
       },
       [&](TIdFTP& ftp) { ftp.Download("f", target, true); }, true},
      {"stalled data, ABOR ignored",
       [](ScriptSession& s) {
         int fd = OpenActiveTransfer(s, "RETR f");
         s.Expect("ABOR");
         s.WaitForClose();
         ::close(fd);
       },
       [&](TIdFTP& ftp) { ftp.Download("f", target, true); }, false},
      {"server never connects back",
       [](ScriptSession& s) {
         s.Expect("PORT ");
         s.Send("200 ok\r\n");
         s.Expect("LIST");
         s.Send("150 go\r\n");
         AnswerAbortAndNoop(s, "225 No transfer to ABOR.\r\n200 ok\r\n");
         ServeInStep(s);
       },
       [](TIdFTP& ftp) { ftp.ListDirectory(); }, true},
      {"silent reply",
       [](ScriptSession& s) {
         s.Expect("CWD x");
         s.WaitForClose();
       },
       [](TIdFTP& ftp) { ftp.ChangeDirectory("x"); }, false},
  };
  for (const Case& c : cases) {
    ScriptedServer server([&](ScriptSession& s) {
      Login(s);
      c.serve(s);
    });
    TIdFTP ftp;
    Configure(ftp, server.port());
    ftp.Connect();
    const auto start = Clock::now();
    Clock::time_point cancelled_at{};
    int calls = 0;
    ftp.SetWaitHook([&] {
      ++calls;
      if (Clock::now() - start < test_support::Bound(300ms)) return true;
      if (cancelled_at == Clock::time_point{}) cancelled_at = Clock::now();
      return false;
    });
    EXPECT_THROW(c.run(ftp), EIdOperationAborted) << c.name;
    const auto latency = Clock::now() - cancelled_at;
    EXPECT_LT(latency, test_support::Bound(1s)) << c.name;
    EXPECT_GT(calls, 5) << c.name;  // events ran while it waited
    ::testing::Test::RecordProperty(
        std::string("cancel_ms_") + std::to_string(&c - cases),
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(latency).count()));
    EXPECT_EQ(ftp.Connected(), c.stays_connected) << c.name;
    ftp.SetWaitHook(nullptr);
    if (c.stays_connected) {
      EXPECT_EQ(ftp.CurrentDirectory(), "/next") << c.name;
    }
    ftp.Disconnect();
    EXPECT_EQ(server.Join(), "") << c.name;
    EXPECT_FALSE(fs::exists(temp.path() / "f")) << c.name;
  }
}

TEST(FtpFaults, CallsFromInsideTheHookCannotStartASecondCommand) {
  ScriptedServer server([](ScriptSession& s) {
    Login(s);
    int fd = OpenActiveTransfer(s, "RETR f");
    s.Expect("QUIT");  // Disconnect from the hook: the transfer stops, then QUIT
    ::close(fd);
  });
  TempFolder temp;
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  bool refused = false;
  ftp.SetWaitHook([&] {
    try {
      ftp.ChangeDirectory("elsewhere");
    } catch (const EIdClientBusy&) {
      refused = true;
    }
    ftp.Disconnect();
    return true;
  });
  EXPECT_THROW(ftp.Download("f", (temp.path() / "f").string(), true), EIdOperationAborted);
  EXPECT_TRUE(refused);
  EXPECT_FALSE(ftp.Connected());
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpFaults, EndlessRepliesHitTheirCapsAndClose) {
  struct Case {
    size_t line_length;
    std::function<bool(const std::exception&)> expected;
  } cases[] = {{1, Is<EIdReplyTooManyLines>()}, {1000, Is<EIdReplyTooLarge>()}};
  for (const Case& c : cases) {
    ScriptedServer server([&](ScriptSession& s) {
      Login(s);
      s.Expect("CWD x");
      s.Send("250-start\r\n");
      std::string block;
      for (int i = 0; i < 1000; ++i) block += "250-" + std::string(c.line_length, 'x') + "\r\n";
      try {
        for (;;) s.Send(block);
      } catch (const std::runtime_error&) {
        // the client has gone
      }
    });
    TIdFTP ftp;
    Configure(ftp, server.port());
    ftp.Connect();
    try {
      ftp.ChangeDirectory("x");
      ADD_FAILURE() << "an endless reply ended";
    } catch (const std::exception& e) {
      EXPECT_TRUE(c.expected(e)) << e.what();
    }
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(server.Join(), "");
  }
}

TEST(FtpFaults, ActiveModeTakesTheDataOnlyFromTheControlPeer) {
  TempFolder temp;
  ScriptedServer server([](ScriptSession& s) {
    std::string port;
    Login(s);
    port = s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("RETR f");
    s.Send("150 go\r\n");
    int intruder = s.ConnectData(port, "127.0.0.2");
    ScriptSession::SendAll(intruder, "forged");
    int fd = s.ConnectData(port);
    ScriptSession::SendAll(fd, "genuine");
    ::close(fd);
    ::close(intruder);
    s.Send("226 done\r\n");
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  ftp.Download("f", (temp.path() / "f").string(), true);
  EXPECT_EQ(testing::ReadText(temp.path() / "f"), "genuine");
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
}

TEST(FtpFaults, AutomaticModeFallsBackToActiveAndKeepsTo) {
  struct Case {
    const char* name;
    std::function<void(ScriptSession&)> passive;  // the server's side of the passive attempt
  } const cases[] = {
      {"nobody listens",
       [](ScriptSession& s) {
         s.Expect("EPSV");
         s.Send("229 Entering Extended Passive Mode (|||" +
                std::to_string(testing::FreeLoopbackPort()) + "|)\r\n");
       }},
      {"malformed PASV",
       [](ScriptSession& s) {
         s.Expect("EPSV");
         s.Send("500 EPSV not understood\r\n");
         s.Expect("PASV");
         s.Send("227 Entering Passive Mode (127,0,0,1,xx,yy)\r\n");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server([&](ScriptSession& s) {
      Login(s);
      c.passive(s);
      for (int i = 0; i < 2; ++i) {
        ::close(OpenActiveTransfer(s, "LIST"));
        s.Send("226 ok\r\n");
      }
      s.Expect("QUIT");
    });
    TIdFTP ftp;
    Configure(ftp, server.port());
    ftp.DataMode = TIdDataMode::dmAuto;
    ftp.Connect();
    ftp.ListDirectory();
    EXPECT_EQ(ftp.DataModeInUse(), TIdDataMode::dmActive);
    ftp.ListDirectory();  // straight to PORT
    ftp.Disconnect();
    EXPECT_EQ(server.Join(), "");
  }
}

// Only an answer showing the server does not take the option turns "-a"
// off; a failed data connection is reported and the next list tries again.
TEST(FtpFaults, HiddenListingIsDroppedOnlyWhenTheServerTakesNoOptions) {
  const std::string kDot = "-rw-r--r-- 1 o g 10 Jan 5 2001 .htaccess\r\n";
  const std::string kPlain = "-rw-r--r-- 1 o g 10 Jan 5 2001 a\r\n";
  struct Case {
    const char* name;
    const char* refusal;  // the reply to "LIST -a"; nullptr: it lists `hidden`
    std::string hidden;
    bool plain_now;     // a plain LIST follows at once
    int raised;         // the code the first listing fails with, 0 none
    bool still_hidden;  // the next listing asks "LIST -a" again
  } const cases[] = {
      {"not understood", "501 Unknown option\r\n", "", true, 0, false},
      {"not implemented", "504 Not implemented for that parameter\r\n", "", true, 0, false},
      {"data connection failed", "425 Can't open data connection\r\n", "", false, 425, true},
      {"busy", "450 Try later\r\n", "", false, 450, true},
      {"no such file", "550 -a: No such file\r\n", "", true, 0, true},
      {"empty: taken for a name", nullptr, "", true, 0, false},
      {"a file named -a", nullptr, "total 1\r\n-rw-r--r-- 1 o g 1 Jan 5 2001 -a\r\n", true, 0,
       false},
      {"dot files", nullptr, "drwxr-xr-x 2 o g 512 Jan 5 2001 .\r\n" + kDot, false, 0, true},
  };
  auto serve = [](ScriptSession& s, const std::string& bytes) {
    int fd = OpenActiveTransfer(s, "LIST");
    ScriptSession::SendAll(fd, bytes);
    ::close(fd);
    s.Send("226 ok\r\n");
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server([&](ScriptSession& s) {
      Login(s);
      if (c.refusal) {
        s.Expect("PORT ");
        s.Send("200 ok\r\n");
        s.Expect("LIST -a ./-old");
        s.Send(c.refusal);
      } else {
        serve(s, c.hidden);
      }
      if (c.plain_now) serve(s, kPlain);
      serve(s, kDot);
      s.Expect("QUIT");
    });
    TIdFTP ftp;
    Configure(ftp, server.port());
    ftp.Connect();
    try {
      ftp.ListDirectory(nullptr, "-old", true, true);
      EXPECT_EQ(c.raised, 0);
      ASSERT_EQ(ftp.DirectoryListing().Count(), 1u);  // "." left out
      EXPECT_EQ(ftp.DirectoryListing()[0].FileName, c.plain_now ? "a" : ".htaccess");
    } catch (const EIdProtocolReplyError& e) {
      EXPECT_EQ(e.ErrorCode(), c.raised);
    }
    EXPECT_EQ(ftp.HiddenListingSupported(), c.still_hidden);
    ftp.ListDirectory(nullptr, "", true, true);
    ftp.Disconnect();
    EXPECT_EQ(server.Join(), "");
    std::vector<std::string> lists;
    for (const std::string& command : server.Commands())
      if (command.rfind("LIST", 0) == 0) lists.push_back(command);
    std::vector<std::string> expected = {"LIST -a ./-old"};
    if (c.plain_now) expected.push_back("LIST ./-old");
    expected.push_back(c.still_hidden ? "LIST -a" : "LIST");
    EXPECT_EQ(lists, expected);
  }
}

TEST(FtpFaults, UploadChecksItsSourceAndBreaksOffOnALocalFailure) {
  TempFolder temp;
  const fs::path source = temp.path() / "page.htm";
  WriteFile(source, std::string(1 << 20, 'p'));
  bool reset_seen = false;
  std::string received;
  ScriptedServer server([&](ScriptSession& s) {
    Login(s);
    int fd = OpenActiveTransfer(s, "STOR page.htm");
    reset_seen = !ScriptSession::ReceiveUntilEnd(fd, received);
    ::close(fd);
    s.Send("426 Failure reading network stream.\r\n");
    AnswerAbortAndNoop(s, "225 No transfer to ABOR.\r\n200 ok\r\n");
    ServeInStep(s);
  });
  TIdFTP ftp;
  Configure(ftp, server.port());
  ftp.Connect();
  // A folder opens but cannot be read: refused before anything is sent.
  EXPECT_THROW(ftp.Upload(temp.path().string(), "folder"), EIdFTPLocalFileError);
  EXPECT_THROW(ftp.Upload((temp.path() / "missing").string(), "missing"), EIdFTPLocalFileError);
  // The file shrinks while it is sent: the server must not keep a cut-off copy.
  ftp.OnWork = [&](TIdTCPConnection&, TWorkMode, int64_t) { fs::resize_file(source, 1000); };
  EXPECT_THROW(ftp.Upload(source.string(), "page.htm"), EIdNoDataToRead);
  EXPECT_TRUE(reset_seen);
  EXPECT_EQ(ftp.CurrentDirectory(), "/next");
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
}

}  // namespace
}  // namespace hemlo::ftp
