// Through the Ferrox window on a D-Bus session of its own where GNOME
// Keyring runs locked and its prompt is never answered: saving a password,
// connecting and publishing a site for the first time go on while the
// keyring's call waits; the password never reaches Ferrox.ini; the keyring
// giving up is said once, and nothing asks it again; the quit never asks it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/program_folder.h"
#include "ftp_window_controls.h"
#include "support/real_servers.h"
#include "support/scripted_prompts.h"
#include "support/test_watchdog.h"
#include "support/test_bounds.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_wiring.h"
#include "ferrox/publish_command.h"
#include "ferrox/publish_plan_dialog.h"

namespace hemlo {
namespace {
namespace fs = std::filesystem;
using ftp::testing::TempFolder;

std::string FileText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Runs the test named again on a D-Bus session of its own with GNOME
// Keyring started by `daemon` (unlocked, or locked with a prompt nobody
// answers), in a home folder of its own. False inside that session.
bool RanInKeyringSession(const std::string& daemon, const std::string& test) {
  if (std::getenv("HEMLO_TEST_KEYRING_SESSION")) return false;
  TempFolder home;
  const std::string h = home.path().string();
  const std::string command =
      "cd '" + h + "' && mkdir -m 700 run && HOME='" + h + "' XDG_RUNTIME_DIR='" + h +
      "/run' XDG_DATA_HOME='" + h +
      "/data' HEMLO_TEST_KEYRING_SESSION=1 timeout 300 dbus-run-session -- sh -c '" + daemon +
      " --components=secrets >/dev/null && exec \"$0\" --gtest_filter=KeyringWindow." + test +
      "' '" + fs::read_symlink("/proc/self/exe").string() + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return true;
}

TEST(KeyringWindow, AKeyringNobodyAnswersCostsTheWindowNothing) {
  if (RanInKeyringSession("gnome-keyring-daemon --start",
                          "AKeyringNobodyAnswersCostsTheWindowNothing"))
    return;
  ::unsetenv("HEMLO_KEYRING");  // this test is the one that asks it
  ftp::testing::TestWatchdog watchdog;
  TempFolder program, site;
  SetProgramFolder(program.path());
  auto server = ftp::testing::StartVsftpd();
  ftp::testing::WriteText(site.path() / "index.htm", "<html>top</html>\r\n");
  ASSERT_TRUE(transfer::WriteProfileFile(
                  program.path(), {transfer::JoinCommaText(
                                      {"vs", "127.0.0.1:" + std::to_string(server->port),
                                       server->user, "", "/pub"})})
                  .ok);
  ScriptedPrompts prompts;
  TFtp1 w(&prompts);
  WireTransferOperations(w, nullptr);
  transfer_ui::PublishCommand* publish = PublishCommandOf(w);
  publish->ChooseFolder = [&](const std::string&) { return std::optional(site.path().string()); };
  FtpControls ui(w);
  // A timer the window must keep serving all along.
  qint64 longest_gap = 0;
  QElapsedTimer since;
  since.start();
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] { longest_gap = std::max(longest_gap, since.restart()); });
  tick.start(20);

  // 保存 with a typed password: the keyring's prompt comes up, nobody answers.
  QElapsedTimer clock;
  clock.start();
  ui.Edit4->setText(QString::fromStdString(server->password));
  ui.Button7->click();
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  ASSERT_TRUE(w.Client().Connected());
  // ↑変更分を公開 asks for the site folder and plans while the call waits.
  auto& dialog = publish->Dialog();
  w.findChild<QPushButton*>(QStringLiteral("btnPublishChanges"))->click();
  ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible(); }, 60'000));
  EXPECT_LT(clock.elapsed(), 10'000);  // well inside the keyring's bound
  dialog.findChild<QPushButton*>(QStringLiteral("btnExecute"))->click();
  ASSERT_TRUE(WaitUntil([&] { return !publish->Running() && !w.ClientBusy(); }, 60'000));
  EXPECT_EQ(publish->LastResult().files_sent, 1);
  dialog.accept();
  EXPECT_EQ(FileText(program.path() / "Ferrox.ini").find(server->password), std::string::npos);

  // The keyring gives up: said once; the password stays for the session.
  const QString note = QStringLiteral(
      "キーリングが応答しないか保存を断ったため、パスワードはFerrox.iniに書かず、終了するまで覚えて"
      "おきます");
  ASSERT_TRUE(WaitUntil([&] { return w.StatusText() == note; }, 60'000));
  EXPECT_LT(longest_gap, 1'000);
  w.SetStatusText("");
  ui.Button7->click();
  EXPECT_EQ(w.StatusText(), QString());  // not again, and nothing asked
  EXPECT_EQ(FileText(program.path() / "Ferrox.ini").find(server->password), std::string::npos);
  EXPECT_EQ(ui.Edit4->text(), QString::fromStdString(server->password));

  // The next start, with a password an older version left in the file: the
  // quit asks the keyring nothing, and the password stays where it was.
  const std::string old_line = "old,127.0.0.1,taro,pw-old,/www";
  ASSERT_TRUE(transfer::WriteProfileFile(program.path(), {old_line}).ok);
  clock.restart();
  {
    TFtp1 next(&prompts);
    next.show();
    next.close();
  }
  EXPECT_LT(clock.elapsed(), 3'000);
  EXPECT_EQ(transfer::ReadProfileFile(program.path()), std::vector<std::string>{old_line});
}

TEST(KeyringWindow, ASavedPasswordComesBackFromTheKeyringAtConnect) {
  if (RanInKeyringSession("printf hemlo-test | gnome-keyring-daemon --unlock",
                          "ASavedPasswordComesBackFromTheKeyringAtConnect"))
    return;
  ::unsetenv("HEMLO_KEYRING");
  ftp::testing::TestWatchdog watchdog;
  TempFolder program;
  SetProgramFolder(program.path());
  // An account with a password of its own (anonymous logins need none).
  auto server = ftp::testing::StartPyftpdlib(nullptr, false, true);
  ASSERT_TRUE(transfer::WriteProfileFile(
                  program.path(), {transfer::JoinCommaText(
                                      {"vs", "127.0.0.1:" + std::to_string(server->port),
                                       server->user, "", "/pub"})})
                  .ok);
  ScriptedPrompts prompts;
  {
    TFtp1 w(&prompts);
    FtpControls(w).Edit4->setText(QString::fromStdString(server->password));
    FtpControls(w).Button7->click();
    ASSERT_TRUE(WaitUntil(
        [&] { return w.StatusText() == QStringLiteral("パスワードをキーリングに保存しました"); },
        30'000))
        << w.StatusText().toStdString();
  }
  EXPECT_EQ(FileText(program.path() / "Ferrox.ini").find(server->password), std::string::npos);
  TFtp1 next(&prompts);  // the next start: the field is empty, the keyring answers
  EXPECT_EQ(FtpControls(next).Edit4->text(), QString());
  next.Button1Click();
  ASSERT_TRUE(Settle(next));
  EXPECT_TRUE(next.Client().Connected());
  EXPECT_TRUE(prompts.asked.empty());
}

}  // namespace
}  // namespace hemlo
