// The Ferrox window over SFTP against Debian's OpenSSH server: a profile
// "sftp://127.0.0.1:PORT" asks about the host key (いいえ sends nothing; はい
// keeps the key, so the next connect does not ask), then publishes a site,
// fetches it back, renames, sets a mode, makes a folder, deletes the tree
// and syncs the site twice over two connections, checking the server's disk
// after each step; Escape ends a download, leaving no part of it behind.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTest>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "base/program_folder.h"
#include "ftp_window_controls.h"
#include "ops_test_support.h"
#include "support/same_tree.h"
#include "support/scripted_prompts.h"
#include "support/sshd_server.h"
#include "support/test_watchdog.h"
#include "text/cp932.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp2_form.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/ftp_window_wiring.h"
#include "ferrox/publish_command.h"
#include "ferrox/publish_plan_dialog.h"
#include "remote/sftp_remote_files.h"

namespace hemlo::transfer {
namespace {

using namespace testing;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(WindowOverSftp, HostKeyOncePublishRenameChmodFetchAndDelete) {
  ftp::testing::TestWatchdog watchdog;  // bounds the test and its server
  if (::geteuid() != 0) GTEST_SKIP() << "password logins need the test account (root)";
  auto server = ftp::testing::StartSshd();
  TempDir program, local, home;
  SetProgramFolder(program.path());
  // Only the profile's password may log in: no user keys, no agent.
  ::setenv("HOME", home.path().c_str(), 1);
  ::unsetenv("SSH_AUTH_SOCK");
  const fs::path site = local.path() / "site";
  WriteFile(site / "index.htm", "<html>\r\n<body>top</body>\r\n</html>\r\n");
  WriteFile(site / ".htaccess", "Options -Indexes\n");
  WriteFile(site / "img" / "logo.gif", std::string("GIF89a\0\x01\xff\r\n", 11));
  WriteFile(site / "img" / "icons" / "a.png", std::string(300000, '\x89'));
  ASSERT_TRUE(
      WriteProfileFile(program.path(),
                       {JoinCommaText({"s", "sftp://127.0.0.1:" + std::to_string(server->port),
                                       server->user, server->password, ""})})
          .ok);

  ScriptedPrompts prompts;
  TFtp1 w(&prompts);
  TFtp2 permission;
  WireTransferOperations(w, &permission);
  w.show();
  ASSERT_TRUE(w.SetLocalFolder(QString::fromStdString(site.string())));

  // The host key: declined, accepted, known; then changed on the server,
  // where the question names the old and the new key.
  struct Row {
    bool change_key;  // a new host key on the server first
    std::vector<Answer> answers;
    bool asked, asked_changed, connected;
    const char* status_part;
  } const rows[] = {
      {false, {Answer::No}, true, false, false, "接続を中止しました"},
      {false, {Answer::Yes}, true, false, true, "パスワードでログインしました"},
      {false, {}, false, false, true, "パスワードでログインしました"},
      {true, {Answer::No}, true, true, false, "接続を中止しました"},
      {false, {Answer::Yes}, true, true, true, "パスワードでログインしました"},
  };
  const auto fingerprint_in = [](const std::string& text) {
    const size_t at = text.rfind("SHA256:");
    return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
  };
  std::string trusted;  // the fingerprint accepted last
  for (const Row& r : rows) {
    SCOPED_TRACE(r.status_part);
    if (r.change_key) server->ChangeHostKey();
    prompts.asked.clear();
    // The script's answers are taken in order across the whole test.
    prompts.answers.insert(prompts.answers.end(), r.answers.begin(), r.answers.end());
    const size_t log_before = ReadFile(server->log).size();
    w.Button1Click();
    ASSERT_TRUE(Settle(w));
    ASSERT_EQ(prompts.asked.size(), r.asked ? 1u : 0u)
        << prompts.asked.back().caption << ": " << prompts.asked.back().text;
    if (r.asked) {
      const std::string& text = prompts.asked[0].text;
      EXPECT_EQ(prompts.asked[0].caption, "ホスト鍵の確認");
      EXPECT_TRUE(Contains(text, "ssh-ed25519")) << text;
      EXPECT_FALSE(fingerprint_in(text).empty()) << text;
      EXPECT_EQ(prompts.asked[0].default_button, Answer::No);
      // A changed key: the warning names the one trusted before.
      EXPECT_EQ(Contains(text, "記憶している鍵：ssh-ed25519 " + trusted), r.asked_changed) << text;
      if (r.connected) trusted = fingerprint_in(text);
    }
    EXPECT_EQ(w.RemoteConnected(), r.connected);
    EXPECT_TRUE(Contains(w.StatusText().toStdString(), r.status_part))
        << w.StatusText().toStdString();
    // Declined: the connection ended before any login was tried.
    if (!r.connected) {
      EXPECT_FALSE(Contains(ReadFile(server->log).substr(log_before), "userauth-request"));
    }
    if (r.connected && &r != &rows[std::size(rows) - 1]) w.Button2Click();
  }
  ASSERT_TRUE(w.RemoteConnected());

  // Publish with ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ.
  prompts.asked.clear();
  QTest::mouseClick(Ui(w).Button11, Qt::LeftButton);
  ASSERT_TRUE(Settle(w));
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
  ftp::testing::ExpectSameTree(site, server->files / "site");
  EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));

  // Into the folder: sizes, dates, modes and a link's target.
  fs::create_symlink("index.htm", server->files / "site" / "home.htm");
  ::chmod((server->files / "site" / "index.htm").c_str(), 0600);
  ASSERT_TRUE(SelectRemote(Ui(w).ListView1, "site"));
  w.ListView1DblClick();
  ASSERT_TRUE(Settle(w));
  QAbstractItemView* list = Ui(w).ListView1;
  const int index_row = hemlo::RemoteRow(list, "index.htm");
  ASSERT_GE(index_row, 0);
  EXPECT_EQ(RemoteCell(list, index_row, 2).trimmed(), QStringLiteral("35"));
  EXPECT_FALSE(RemoteCell(list, index_row, 1).isEmpty());
  EXPECT_EQ(RemoteCell(list, index_row, 3), QStringLiteral("rw-------"));
  const int link_row = hemlo::RemoteRow(list, "home.htm");
  ASSERT_GE(link_row, 0);
  EXPECT_EQ(list->model()->index(link_row, 0).data(Qt::ToolTipRole).toString(),
            QStringLiteral("→ index.htm"));

  // 属性: 644 typed in the dialog.
  ASSERT_TRUE(SelectRemote(list, "index.htm"));
  QTimer::singleShot(0, &permission, [&] {
    EXPECT_EQ(Ui(permission).Edit1->text(), QStringLiteral("600"));
    Ui(permission).Edit1->setText(QStringLiteral("644"));
    QTest::mouseClick(Ui(permission).Button1, Qt::LeftButton);
  });
  emit w.permissionRequested();
  struct stat st {};
  ASSERT_EQ(::stat((server->files / "site" / "index.htm").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  // Rename in place.
  w.BeginRename(hemlo::RemoteRow(list, "index.htm"));
  ASSERT_TRUE(w.EndRename(hemlo::RemoteRow(list, "index.htm"), QStringLiteral("top.htm")));
  ASSERT_TRUE(Settle(w));
  EXPECT_TRUE(fs::exists(server->files / "site" / "top.htm"));
  EXPECT_GE(hemlo::RemoteRow(list, "top.htm"), 0);

  // Everything back into an empty folder, byte for byte.
  fs::remove(server->files / "site" / "home.htm");
  w.RefreshRemoteList();
  ASSERT_TRUE(Settle(w));
  list->selectAll();
  const fs::path back = local.path() / "back";
  fs::create_directories(back);
  ASSERT_TRUE(w.SetLocalFolder(QString::fromStdString(back.string())));
  emit w.downloadSelectedRequested();
  ASSERT_TRUE(Settle(w));
  fs::rename(site / "index.htm", site / "top.htm");
  ftp::testing::ExpectSameTree(site, back);

  // A new folder, then the whole tree deleted from its parent.
  prompts.inputs = {std::string("new")};
  emit w.remoteCreateFolderRequested();
  ASSERT_TRUE(Settle(w));
  EXPECT_TRUE(fs::is_directory(server->files / "site" / "new"));
  w.BitBtn1Click();
  ASSERT_TRUE(Settle(w));
  ASSERT_TRUE(SelectRemote(list, "site"));
  prompts.asked.clear();
  prompts.answers.push_back(Answer::Yes);
  emit w.remoteDeleteRequested();
  ASSERT_TRUE(Settle(w));
  EXPECT_FALSE(fs::exists(server->files / "site"));
  EXPECT_LT(hemlo::RemoteRow(list, "site"), 0);
  EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));

  // The site sync: the whole site at first, then only the page that changed.
  transfer_ui::PublishCommand* publish = PublishCommandOf(w);
  ASSERT_NE(publish, nullptr);
  publish->ChooseFolder = [&](const std::string&) -> std::optional<std::string> {
    return site.string();
  };
  auto& dialog = publish->Dialog();
  auto* sync = w.findChild<QPushButton*>(QStringLiteral("btnPublishChanges"));
  auto* execute = dialog.findChild<QPushButton*>(QStringLiteral("btnExecute"));
  const auto wait = [&](auto done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < test_support::BoundMs(60'000)) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      if (!done()) QThread::msleep(1);
    }
    return done();
  };
  const auto idle = [&] { return !publish->Running() && !w.ClientBusy(); };
  // The profile's two connections: each logs in on its own, as many as
  // there are files to send.
  const auto logins = [&](size_t from) {
    const std::string log = ReadFile(server->log).substr(from);
    int n = 0;
    for (size_t at = log.find("Accepted password"); at != std::string::npos;
         at = log.find("Accepted password", at + 1))
      ++n;
    return n;
  };
  struct Sync {
    const char* changed;  // "" for the first publish
    int sent;
    int logins;
  } const syncs[] = {{"", 4, 2}, {"top.htm", 1, 1}};
  for (const Sync& s : syncs) {
    SCOPED_TRACE(s.sent);
    const size_t log_before = ReadFile(server->log).size();
    if (*s.changed) WriteFile(site / s.changed, "<html>changed</html>\r\n");
    QTest::mouseClick(sync, Qt::LeftButton);
    ASSERT_TRUE(wait([&] { return dialog.isVisible() || idle(); }));
    ASSERT_TRUE(dialog.isVisible());
    QTest::mouseClick(execute, Qt::LeftButton);
    ASSERT_TRUE(wait(idle));
    EXPECT_EQ(publish->LastResult().files_sent, s.sent);
    EXPECT_TRUE(publish->LastResult().failures.empty());
    dialog.accept();
    ftp::testing::ExpectSameTree(site, server->files);
    EXPECT_EQ(logins(log_before), s.logins);
  }

  // Escape during a download: it ends within a second and leaves no part
  // of the file behind. The server's file is sparse: it costs no disk.
  const fs::path huge = server->files / "huge.bin";
  std::ofstream(huge).close();
  fs::resize_file(huge, uintmax_t(1) << 30);
  w.RefreshRemoteList();
  ASSERT_TRUE(Settle(w));
  ASSERT_TRUE(SelectRemote(list, "huge.bin"));
  const fs::path fetch = local.path() / "fetch";
  fs::create_directories(fetch);
  ASSERT_TRUE(w.SetLocalFolder(QString::fromStdString(fetch.string())));
  const auto arrived = [&] {
    std::error_code error;
    for (const auto& f : fs::directory_iterator(fetch, error))
      if (f.file_size(error) > 0) return true;
    return false;
  };
  prompts.answers.push_back(Answer::Ok);  // "中断しました"
  emit w.downloadSelectedRequested();
  ASSERT_TRUE(wait([&] { return arrived() || !w.ClientBusy(); }));
  ASSERT_TRUE(w.ClientBusy());
  QElapsedTimer clock;
  clock.start();
  QTest::keyClick(&w, Qt::Key_Escape);
  ASSERT_TRUE(Settle(w, 5'000));
  EXPECT_LT(clock.elapsed(), test_support::BoundMs(1'000));
  EXPECT_TRUE(fs::is_empty(fetch));
  w.Button2Click();
  EXPECT_FALSE(w.RemoteConnected());
}

// A profile that keeps no password (no keyring, the box unticked): the
// password is asked for in a masked field once the server wants one, asked
// again while refused, kept for the session only, and never reaches a file.
TEST(WindowOverSftp, PasswordNotKeptIsAskedAtConnectForTheSessionOnly) {
  ftp::testing::TestWatchdog watchdog;  // bounds the test and its server
  if (::geteuid() != 0) GTEST_SKIP() << "password logins need the test account (root)";
  auto server = ftp::testing::StartSshd();
  TempDir program, home;
  SetProgramFolder(program.path());
  ::setenv("HOME", home.path().c_str(), 1);
  ::unsetenv("SSH_AUTH_SOCK");
  ASSERT_TRUE(
      WriteProfileFile(program.path(),
                       {JoinCommaText({"s", "sftp://127.0.0.1:" + std::to_string(server->port),
                                       server->user, "", ""})})
          .ok);
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Yes};  // the host key, first time only
  TFtp1 w(&prompts);
  w.show();
  using Input = std::optional<std::string>;
  struct Row {
    const char* name;
    std::vector<Input> typed;  // answers to the password question, in order
    bool connected;
    const char* status_part;
  } const rows[] = {
      {"cancelled", {std::nullopt}, false, "接続を中止しました"},
      {"wrong, then right", {Input("wrong"), Input(server->password)}, true, "パスワードで"},
      {"kept for the session", {}, true, "パスワードで"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    prompts.asked.clear();
    // The script's inputs are taken in order across the whole test.
    prompts.inputs.insert(prompts.inputs.end(), r.typed.begin(), r.typed.end());
    w.Button1Click();
    ASSERT_TRUE(Settle(w));
    size_t asked = 0;
    for (const ScriptedPrompts::Asked& a : prompts.asked) {
      if (a.caption == "ホスト鍵の確認") continue;
      EXPECT_EQ(a.kind, "password") << a.caption << ": " << a.text;
      EXPECT_TRUE(Contains(a.text, server->user)) << a.text;
      // Asked again, the user learns the last one was refused.
      EXPECT_EQ(Contains(a.text, "パスワードが違います"), asked > 0) << a.text;
      ++asked;
    }
    EXPECT_EQ(asked, r.typed.size());
    EXPECT_EQ(w.RemoteConnected(), r.connected);
    EXPECT_TRUE(Contains(w.StatusText().toStdString(), r.status_part))
        << w.StatusText().toStdString();
    if (r.connected) w.Button2Click();
  }
  // Saved without a password: nothing in the state folder holds it.
  w.Button7Click();
  ASSERT_TRUE(fs::exists(program.path() / "Ferrox.ini"));
  for (const auto& f : fs::recursive_directory_iterator(program.path())) {
    if (f.is_regular_file()) {
      EXPECT_FALSE(Contains(ReadFile(f.path()), server->password)) << f.path();
    }
  }
}

// A password in Japanese logs in the same whether the profile holds it
// (kept in Ferrox.ini as Shift-JIS) or it is typed at connect.
TEST(WindowOverSftp, JapanesePasswordLogsInFromTheProfileAsWhenTyped) {
  ftp::testing::TestWatchdog watchdog;  // bounds the test and its server
  if (::geteuid() != 0) GTEST_SKIP() << "password logins need the test account (root)";
  auto server = ftp::testing::StartSshd();
  TempDir program, home;
  SetProgramFolder(program.path());
  ::setenv("HOME", home.path().c_str(), 1);
  ::unsetenv("SSH_AUTH_SOCK");
  const std::string password = ftp::testing::kJapanesePassword;
  struct Row {
    const char* name;
    bool in_profile;
  } const rows[] = {{"in the profile", true}, {"typed", false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ASSERT_TRUE(
        WriteProfileFile(program.path(),
                         {JoinCommaText({"s", "sftp://127.0.0.1:" + std::to_string(server->port),
                                         server->japanese_user,
                                         r.in_profile ? *text::Utf8ToCp932(password) : "", ""})})
            .ok);
    ScriptedPrompts prompts;
    prompts.answers = {Answer::Yes};  // the host key, if asked
    if (!r.in_profile) prompts.inputs = {std::optional<std::string>(password)};
    TFtp1 w(&prompts);
    w.show();
    w.Button1Click();
    ASSERT_TRUE(Settle(w));
    EXPECT_TRUE(w.RemoteConnected()) << prompts.asked.back().text;
    EXPECT_TRUE(Contains(w.StatusText().toStdString(), "パスワードでログインしました"))
        << w.StatusText().toStdString();
    size_t asked = 0;
    for (const ScriptedPrompts::Asked& a : prompts.asked) asked += a.kind == "password";
    EXPECT_EQ(asked, r.in_profile ? 0u : 1u);
    w.Button2Click();
  }
}

// A folder of 30,000 links, each a round trip for its target: the rows
// arrive in batches while it is read, and Escape while the targets are
// read ends the listing within a second leaving none of it shown; the
// bounds on one listing (entries; bytes of names and targets) stop the
// reading: the window shows the rows read and says so, the listing the
// site sync takes refuses.
TEST(WindowOverSftp, LongListingComesInBatchesStopsOnEscapeAndAtItsBounds) {
  ftp::testing::TestWatchdog watchdog;  // bounds the test and its server
  if (::geteuid() != 0) GTEST_SKIP() << "password logins need the test account (root)";
  auto server = ftp::testing::StartSshd();
  TempDir program, home;
  SetProgramFolder(program.path());
  ::setenv("HOME", home.path().c_str(), 1);
  ::unsetenv("SSH_AUTH_SOCK");
  // Links are made 100 times faster in memory than on a busy disk.
  std::string root = fs::is_directory("/dev/shm") ? "/dev/shm/hemlo-links-XXXXXX"
                                                  : (server->files / "links-XXXXXX").string();
  ASSERT_NE(::mkdtemp(root.data()), nullptr);
  const struct Remove {
    fs::path path;
    ~Remove() { fs::remove_all(path); }
  } remove{root};
  ::chmod(root.c_str(), 0755);
  constexpr int kLinks = 30'000;
  const fs::path many = fs::path(root) / "many";
  fs::create_directory(many);
  for (int i = 0; i < kLinks; ++i)
    fs::create_symlink("t" + std::to_string(i), many / ("link" + std::to_string(i)));
  ASSERT_TRUE(
      WriteProfileFile(program.path(),
                       {JoinCommaText({"s", "sftp://127.0.0.1:" + std::to_string(server->port),
                                       server->user, server->password, root})})
          .ok);
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Yes, Answer::Ok};  // the host key; "中断しました！！"
  TFtp1 w(&prompts);
  w.show();
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  ASSERT_TRUE(w.RemoteConnected());
  QAbstractItemView* list = Ui(w).ListView1;

  // The list empties, shows the first batch while the rest is read, then
  // the next batch; Escape comes while the last one's targets are read.
  ASSERT_TRUE(SelectRemote(list, "many"));
  w.ListView1DblClick();
  QElapsedTimer clock;
  clock.start();
  const auto wait_rows = [&](auto enough) {
    while (w.ClientBusy() && !enough(RemoteCount(list)) &&
           clock.elapsed() < test_support::BoundMs(60'000))
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  };
  wait_rows([](int rows) { return rows == 0; });
  wait_rows([](int rows) { return rows > 0; });
  ASSERT_TRUE(w.ClientBusy()) << "no rows shown before the listing's end";
  const int first = RemoteCount(list);
  wait_rows([first](int rows) { return rows > first; });
  ASSERT_TRUE(w.ClientBusy()) << "the second batch ended the listing";
  clock.restart();
  QTest::keyClick(&w, Qt::Key_Escape);
  ASSERT_TRUE(Settle(w, 5'000));
  EXPECT_LT(clock.elapsed(), test_support::BoundMs(1'000));
  EXPECT_EQ(RemoteCount(list), 0);
  EXPECT_EQ(w.StatusText(), QString::fromUtf8(transfer_ui::kCancelledConnected));
  ASSERT_TRUE(w.RemoteConnected());

  auto* files = dynamic_cast<SftpRemoteFiles*>(&w.Remote());
  ASSERT_NE(files, nullptr);
  struct Row {
    const char* name;
    size_t entries;
    uint64_t bytes;
    int shown;  // -1: as many as the bytes allow, not all
  } const rows[] = {
      {"entries", 12'000, UINT64_MAX, 12'000},
      {"bytes", SIZE_MAX, 50'000, -1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    files->Limits() = {r.entries, r.bytes};
    w.RefreshRemoteList();
    ASSERT_TRUE(Settle(w));
    const int shown = RemoteCount(list);
    EXPECT_EQ(shown, r.shown >= 0 ? r.shown : std::clamp(shown, 1, kLinks - 1));
    // The rows are whole: each link with its target.
    for (int row : {0, shown / 2, shown - 1}) {
      const std::string name = RemoteCell(list, row, 0).toStdString();
      EXPECT_EQ(list->model()->index(row, 0).data(Qt::ToolTipRole).toString().toStdString(),
                "→ t" + name.substr(4));
    }
    EXPECT_EQ(w.StatusText().toStdString(), "フォルダの一覧が大きすぎるため、最初の " +
                                                std::to_string(shown) + " 件だけを表示しています");
  }
  EXPECT_THROW(files->List(""), remote::RemoteError);
  w.Button2Click();
}

// A server that takes the connection and never says a word: Escape ends
// the connect within a second and the window is left disconnected.
TEST(WindowOverSftp, EscapeEndsTheConnectToASilentServer) {
  ftp::testing::TestWatchdog watchdog;  // bounds the test and its server
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len), 0);
  TempDir program;
  SetProgramFolder(program.path());
  ASSERT_TRUE(
      WriteProfileFile(program.path(),
                       {JoinCommaText({"s", "sftp://127.0.0.1:" + std::to_string(ntohs(a.sin_port)),
                                       "u", "p", ""})})
          .ok);
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Ok};  // "中断しました"
  TFtp1 w(&prompts);
  w.show();
  w.Button1Click();
  ASSERT_TRUE(w.ClientBusy());
  // The connect has reached the server, which says nothing.
  pollfd knock{listener, POLLIN, 0};
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return ::poll(&knock, 1, 0) > 0; }, test_support::BoundMs(5'000)));
  // Meanwhile the profile being connected cannot be browsed away or deleted.
  auto* name = w.findChild<QLineEdit*>(QStringLiteral("Edit1"));
  EXPECT_FALSE(name->isEnabled());
  EXPECT_FALSE(w.findChild<QPushButton*>(QStringLiteral("Button9"))->isEnabled());
  QElapsedTimer clock;
  clock.start();
  QTest::keyClick(&w, Qt::Key_Escape);
  ASSERT_TRUE(Settle(w, 5'000));
  EXPECT_LT(clock.elapsed(), test_support::BoundMs(1'000));
  EXPECT_FALSE(w.RemoteConnected());
  EXPECT_EQ(w.StatusText(), QString::fromUtf8(transfer_ui::kCancelledClosed));
  EXPECT_TRUE(name->isEnabled());
  ::close(listener);
}

}  // namespace
}  // namespace hemlo::transfer
