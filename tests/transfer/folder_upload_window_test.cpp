// ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ through the Ferrox window with the profile's connections:
// by default one connection in the order it always had; ticked, the folders
// first on the window's connection and the files over three; against a
// server that takes only two, every file all the same.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <map>
#include <regex>
#include <set>

#include "base/program_folder.h"
#include "ftp_window_controls.h"
#include "ops_test_support.h"
#include "publish/publish_servers.h"
#include "support/same_tree.h"
#include "support/sshd_server.h"
#include "support/test_watchdog.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_wiring.h"

namespace hemlo::transfer {
namespace {

using namespace testing;

// Commands of vsftpd's protocol log, each with the session (process) it
// came in on.
std::vector<std::pair<std::string, std::string>> LoggedCommands(const fs::path& log) {
  static const std::regex line(R"re(\[pid (\d+)\].*FTP command: Client "[^"]*", "([^"]*)")re");
  std::vector<std::pair<std::string, std::string>> out;
  std::istringstream in(ReadFile(log));
  std::smatch m;
  for (std::string l; std::getline(in, l);)
    if (std::regex_search(l, m, line)) out.emplace_back(m[1], m[2]);
  return out;
}

bool Verb(const std::string& command, std::initializer_list<const char*> verbs) {
  for (const char* v : verbs)
    if (command == v || command.starts_with(std::string(v) + " ")) return true;
  return false;
}

enum class Server {
  kVsftpd,
  kLimited,  // pyftpdlib refusing a third connection from one address
  kSftp,     // OpenSSH's server: each connection a login of its own
};

struct Row {
  const char* name;
  bool ticked;  // "ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞにも同時接続を使う"
  Server server;
  size_t storing_sessions;  // vsftpd: sessions that sent files
  bool text_mode = false;   // the mode box on "ｱｽｷｰ": every file after TYPE A
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class FolderUploadWindow : public ::testing::TestWithParam<Row> {};

TEST_P(FolderUploadWindow, SendsTheTreeByteForByte) {
  const Row& row = GetParam();
  ftp::testing::TestWatchdog watchdog;
  TempDir program, local, logs, home;
  SetProgramFolder(program.path());
  const fs::path log = logs.path() / "protocol.log";
  std::unique_ptr<ftp::testing::RealServer> vsftpd;
  std::unique_ptr<ftp::testing::SshServer> sshd;
  std::string host, user, password, folder;
  fs::path files;
  if (row.server == Server::kSftp) {
    if (::geteuid() != 0) GTEST_SKIP() << "password logins need the test account (root)";
    sshd = ftp::testing::StartSshd();
    // Only the profile's password may log in: no user keys, no agent.
    ::setenv("HOME", home.path().c_str(), 1);
    ::unsetenv("SSH_AUTH_SOCK");
    host = "sftp://127.0.0.1:" + std::to_string(sshd->port);
    user = sshd->user;
    password = sshd->password;
    files = sshd->files;
  } else {
    ftp::testing::RealServer* server;
    if (row.server == Server::kLimited) {
      server = &publish::testing::ServerOf(publish::testing::Srv::kPyLimit2);
    } else {
      // Each session sends at most 200 kB/s, so the files take long enough
      // for every connection to log in and take its share.
      vsftpd = ftp::testing::StartVsftpd(
          "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\nsyslog_enable=NO\n"
          "vsftpd_log_file=" +
          log.string() + "\n" + (row.ticked ? "anon_max_rate=200000\n" : ""));
      server = vsftpd.get();
    }
    host = "127.0.0.1:" + std::to_string(server->port);
    user = server->user;
    password = server->password;
    folder = server->remote_work;
    files = server->files;
  }
  const fs::path site = local.path() / "site";
  WriteFile(site / "index.htm", "<html>top</html>\r\n");
  WriteFile(site / "img" / "a.gif", std::string("GIF89a\0\r\n\x1a\xff", 11));
  WriteFile(site / "img" / "deep" / "x.bin", std::string(70000, '\x80'));
  WriteFile(site / "css" / "s.css", "body{}");
  for (int i = 0; i < 12; ++i) {
    std::string bytes(40000, '\0');
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>((k * 7 + i) % 251);
    WriteFile(site / "files" / ("f" + std::to_string(i) + ".bin"), bytes);
  }
  const fs::path target = files / "site";
  fs::remove_all(target);
  ASSERT_TRUE(WriteProfileFile(program.path(),
                               {JoinCommaText({"s", host, user, password, folder, "auto", "auto",
                                               "", "3", "", row.ticked ? "parallel" : ""})})
                  .ok);
  ScriptedPrompts prompts;
  if (sshd) prompts.answers = {Answer::Yes};  // the host key, once
  TFtp1 w(&prompts);
  WireTransferOperations(w, nullptr);
  ASSERT_TRUE(w.SetLocalFolder(QString::fromStdString(site.string())));
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  ASSERT_TRUE(w.RemoteConnected());
  prompts.asked.clear();
  const bool protocol_log = row.server == Server::kVsftpd;
  const size_t before = protocol_log ? LoggedCommands(log).size() : 0;

  if (row.text_mode) Ui(w).ComboBox1->setCurrentIndex(0);
  QTest::mouseClick(Ui(w).Button11, Qt::LeftButton);
  ASSERT_TRUE(Settle(w));
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
  ftp::testing::ExpectSameTree(site, target);
  EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));
  EXPECT_TRUE(w.IdleFlag());
  if (!protocol_log) return;

  auto logged = LoggedCommands(log);
  // The type each session was in at the click (the window's listings set one).
  std::map<std::string, std::string> type;  // session -> its last TYPE
  for (size_t i = 0; i < before; ++i)
    if (Verb(logged[i].second, {"TYPE"})) type[logged[i].first] = logged[i].second;
  logged.erase(logged.begin(), logged.begin() + static_cast<std::ptrdiff_t>(before));
  std::set<std::string> storing, making;
  size_t last_mkd = 0, first_stor = logged.size();
  std::vector<std::string> order;  // folders, files and listings, as sent
  int stored_as_text = 0;
  for (size_t i = 0; i < logged.size(); ++i) {
    const auto& [session, command] = logged[i];
    if (Verb(command, {"TYPE"})) type[session] = command;
    if (Verb(command, {"STOR"})) {
      storing.insert(session);
      first_stor = std::min(first_stor, i);
      stored_as_text += type[session] == "TYPE A";
    }
    if (Verb(command, {"MKD"})) {
      making.insert(session);
      last_mkd = i;
    }
    if (Verb(command, {"LIST", "MKD", "STOR"})) order.push_back(command);
  }
  EXPECT_EQ(storing.size(), row.storing_sessions);
  EXPECT_EQ(stored_as_text, row.text_mode ? 16 : 0);
  EXPECT_EQ(making.size(), 1u);
  EXPECT_LT(last_mkd, first_stor);  // every folder before the first file
  if (!row.ticked) {
    std::vector<std::string> expected = {"LIST",
                                         "MKD site",
                                         "LIST site/",
                                         "MKD site/css",
                                         "MKD site/files",
                                         "MKD site/img",
                                         "LIST site/img/",
                                         "MKD site/img/deep",
                                         "STOR site/index.htm",
                                         "STOR site/css/s.css"};
    for (int i : {0, 1, 10, 11, 2, 3, 4, 5, 6, 7, 8, 9})
      expected.push_back("STOR site/files/f" + std::to_string(i) + ".bin");
    for (const char* f : {"STOR site/img/a.gif", "STOR site/img/deep/x.bin", "LIST -a"})
      expected.push_back(f);
    EXPECT_EQ(order, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FolderUploadWindow,
    ::testing::Values(Row{"by_default_one_connection_in_its_order", false, Server::kVsftpd, 1},
                      Row{"ticked_three_connections", true, Server::kVsftpd, 3},
                      Row{"ticked_three_in_text_mode", true, Server::kVsftpd, 3, true},
                      Row{"ticked_three_against_a_limit_of_two", true, Server::kLimited, 0},
                      Row{"ticked_three_over_sftp", true, Server::kSftp, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Every connection slowed to a crawl: Escape stops all three at once, with
// one message, and names no file as refused. Where the window's own
// connection outlives the stop, the folder is listed again after it.
TEST(FolderUploadWindowStop, EscapeStopsEveryConnection) {
  ftp::testing::TestWatchdog watchdog;
  for (const bool py : {false, true}) {
    SCOPED_TRACE(py ? "pyftpdlib" : "vsftpd");
    TempDir program, local;
    SetProgramFolder(program.path());
    std::unique_ptr<ftp::testing::RealServer> own;
    ftp::testing::RealServer* server = nullptr;
    if (py) {
      server = &publish::testing::ServerOf(publish::testing::Srv::kPySlow);
    } else {
      own = ftp::testing::StartVsftpd("anon_max_rate=20000\n");
      server = own.get();
    }
    const fs::path site = local.path() / "site";
    for (int i = 0; i < 6; ++i)
      WriteFile(site / ("f" + std::to_string(i) + ".bin"), std::string(100000, 'x'));
    ASSERT_TRUE(
        WriteProfileFile(program.path(),
                         {JoinCommaText({"s", "127.0.0.1:" + std::to_string(server->port),
                                         server->user, server->password, server->remote_work,
                                         "auto", "auto", "", "3", "", "parallel"})})
            .ok);
    ScriptedPrompts prompts;
    prompts.answers = {Answer::Ok};  // 中断しました！！
    TFtp1 w(&prompts);
    WireTransferOperations(w, nullptr);
    ASSERT_TRUE(w.SetLocalFolder(QString::fromStdString(site.string())));
    w.Button1Click();
    ASSERT_TRUE(Settle(w));
    QTest::mouseClick(Ui(w).Button11, Qt::LeftButton);
    // All three are sending.
    const fs::path target = server->files / "site";
    auto sending = [&] {
      std::error_code ec;
      int n = 0;
      for (const auto& e : fs::directory_iterator(target, ec)) n += e.is_regular_file();
      return n;
    };
    QElapsedTimer clock;
    clock.start();
    while (sending() < 3 && w.ClientBusy() && clock.elapsed() < 20'000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_GE(sending(), 3);
    ASSERT_TRUE(w.ClientBusy());
    const int at_escape = sending();
    clock.restart();
    QTest::keyClick(&w, Qt::Key_Escape);
    // At this rate the files would need 10 s more.
    ASSERT_TRUE(Settle(w, 5000));
    std::printf("Escape to every connection stopped: %lld ms\n",
                static_cast<long long>(clock.elapsed()));
    ASSERT_EQ(prompts.asked.size(), 1u) << prompts.asked.back().text;
    EXPECT_EQ(prompts.asked[0].text, "中断しました！！");
    EXPECT_EQ(sending(), at_escape);  // no file started after the stop
    EXPECT_TRUE(w.IdleFlag());
    if (py) {
      // pyftpdlib answers the ABOR and the window's connection goes on.
      ASSERT_TRUE(w.RemoteConnected()) << w.StatusText().toStdString();
      EXPECT_GE(hemlo::RemoteRow(Ui(w).ListView1, QStringLiteral("site")), 0);
    }
  }
}

}  // namespace
}  // namespace hemlo::transfer
