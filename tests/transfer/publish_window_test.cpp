// Publishing what changed, through the Ferrox window against vsftpd: the
// first publish of a site, then two changed pages and a deleted one, each
// seen in the plan and then on the server exactly.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QThread>
#include <QTreeWidget>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/program_folder.h"
#include "ftp_window_controls.h"
#include "support/real_servers.h"
#include "support/same_tree.h"
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
using ftp::testing::WriteText;

using Rows = QSet<QPair<QString, QString>>;  // path, reason

Rows PlanRows(transfer_ui::PublishPlanDialog& d) {
  Rows rows;
  auto* list = d.findChild<QTreeWidget*>(QStringLiteral("lvPlan"));
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    rows.insert({list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1)});
  return rows;
}

TEST(PublishWindow, ChangedPagesAndADeletionGoExactlyAsPlanned) {
  ftp::testing::TestWatchdog watchdog;
  TempFolder program, site;
  SetProgramFolder(program.path());
  auto server = ftp::testing::StartVsftpd();
  WriteText(site.path() / "index.htm", "<html>top</html>\r\n");
  WriteText(site.path() / "about.htm", "<html>about us</html>\r\n");
  WriteText(site.path() / "news.htm", "<html>news</html>\r\n");
  fs::create_directories(site.path() / "img");
  WriteText(site.path() / "img" / "logo.gif", std::string("GIF89a\0\r\n\x1a\xff", 11));
  fs::create_directories(site.path() / "sub");
  WriteText(site.path() / "sub" / "page.htm", "<html>sub</html>\r\n");
  // A profile line of an earlier version: no site folder yet.
  ASSERT_TRUE(transfer::WriteProfileFile(
                  program.path(),
                  {transfer::JoinCommaText({"vs", "127.0.0.1:" + std::to_string(server->port),
                                            server->user, server->password, "/pub"})})
                  .ok);
  ScriptedPrompts prompts;
  TFtp1 w(&prompts);
  WireTransferOperations(w, nullptr);
  transfer_ui::PublishCommand* publish = PublishCommandOf(w);
  ASSERT_NE(publish, nullptr);
  int asked = 0;
  publish->ChooseFolder = [&](const std::string&) -> std::optional<std::string> {
    ++asked;
    return site.path().string();
  };
  // A problem count that takes as long as the test wants: the plan must
  // be there and runnable meanwhile, and a late count must not fill in a
  // plan already run.
  std::atomic<bool> release{false};
  std::atomic<int> counted{0};
  publish->CountProblems = [&](const std::string&, const std::vector<std::string>&) {
    for (int i = 0; i < 1000 && !release; ++i) QThread::msleep(10);
    ++counted;
    return 7;
  };
  auto& dialog = publish->Dialog();
  auto* button = w.findChild<QPushButton*>(QStringLiteral("btnPublishChanges"));
  ASSERT_NE(button, nullptr);
  auto* execute = dialog.findChild<QPushButton*>(QStringLiteral("btnExecute"));
  auto* problems = dialog.findChild<QLabel*>(QStringLiteral("lblProblems"));
  auto* remove = dialog.findChild<QCheckBox*>(QStringLiteral("cbDeleteServerOnly"));
  auto idle = [&] { return !publish->Running() && !w.ClientBusy(); };

  // Not connected yet: the command says so and asks nothing.
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(w.StatusText(),
            QStringLiteral("接続していません。接続してから↑変更分を公開を押してください"));
  EXPECT_EQ(asked, 0);

  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  ASSERT_TRUE(w.Client().Connected());

  // First publish: everything is new.
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible() || idle(); }));
  ASSERT_TRUE(dialog.isVisible()) << prompts.asked.size();
  auto* target = dialog.findChild<QLabel*>(QStringLiteral("lblTarget"));
  EXPECT_TRUE(target->text().contains(QStringLiteral(":/pub（このサイトフォルダからは初めて")))
      << target->text().toStdString();
  EXPECT_EQ(PlanRows(dialog), (Rows{{"img", "新規フォルダ"},
                                    {"sub", "新規フォルダ"},
                                    {"index.htm", "新規"},
                                    {"about.htm", "新規"},
                                    {"news.htm", "新規"},
                                    {"img/logo.gif", "新規"},
                                    {"sub/page.htm", "新規"}}));
  EXPECT_TRUE(problems->text().isEmpty());
  QTest::mouseClick(execute, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil(idle));
  release = true;
  ASSERT_TRUE(WaitUntil([&] { return counted == 1; }));
  QTest::qWait(50);  // the count's answer reaches the window, and is dropped
  EXPECT_TRUE(problems->text().isEmpty()) << problems->text().toStdString();
  release = false;
  EXPECT_TRUE(dialog.ShowingResult());
  EXPECT_EQ(publish->LastResult().files_sent, 5);
  EXPECT_TRUE(publish->LastResult().failures.empty());
  dialog.accept();
  ftp::testing::ExpectSameTree(site.path(), server->files);
  // The folder was asked for once and stays with the profile.
  EXPECT_EQ(asked, 1);
  const auto stored = transfer::ReadProfileFile(program.path());
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(transfer::SplitCommaText(stored[0]).at(7), site.path().string());
  auto* site_edit = w.findChild<QLineEdit*>(QStringLiteral("edSiteFolder"));
  EXPECT_EQ(site_edit->text().toStdString(), site.path().string());

  // Two pages change, one of them to the same size with an older date, and
  // one is deleted.
  WriteText(site.path() / "index.htm", "<html>new top page</html>\r\n");
  const auto about_time = fs::last_write_time(site.path() / "about.htm");
  WriteText(site.path() / "about.htm", "<html>ABOUT US</html>\r\n");
  fs::last_write_time(site.path() / "about.htm", about_time - std::chrono::hours(1));
  fs::remove(site.path() / "news.htm");
  // The author browses into a folder of the site: the site still goes to
  // its own folder, and the plan says so first.
  ASSERT_TRUE(SelectRemote(w, QStringLiteral("sub")));
  w.ListView1DblClick();
  ASSERT_TRUE(Settle(w));
  ASSERT_EQ(w.RemoteFolder(), "/pub/sub");

  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible() || idle(); }));
  ASSERT_TRUE(dialog.isVisible());
  EXPECT_FALSE(dialog.ShowingResult());
  EXPECT_TRUE(target->text().endsWith(QStringLiteral(":/pub"))) << target->text().toStdString();
  EXPECT_TRUE(target->text().startsWith(QStringLiteral("表示中のフォルダ「/pub/sub」ではなく")))
      << target->text().toStdString();
  EXPECT_EQ(PlanRows(dialog),
            (Rows{{"index.htm", "変更"}, {"about.htm", "変更"}, {"news.htm", "サーバにしかない"}}));
  EXPECT_FALSE(problems->isVisible());
  release = true;
  ASSERT_TRUE(WaitUntil([&] { return problems->isVisible(); }));
  EXPECT_EQ(problems->text(),
            QStringLiteral("送るページにサイトチェックの問題が 7 件あります（公開はできます）"));
  EXPECT_FALSE(remove->isChecked());
  remove->setChecked(true);
  QTest::mouseClick(execute, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil(idle));
  EXPECT_EQ(publish->LastResult().files_sent, 2);
  EXPECT_EQ(publish->LastResult().deleted, 1);
  EXPECT_TRUE(publish->LastResult().failures.empty());
  dialog.accept();
  ftp::testing::ExpectSameTree(site.path(), server->files);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;

  // Nothing changed: nothing to confirm.
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil(idle));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(w.StatusText(), QStringLiteral("公開する変更はありません"));
  w.Button2Click();
  ASSERT_TRUE(Settle(w));

  // The panel's fields go to the file with 保存.
  auto* connections = w.findChild<QSpinBox*>(QStringLiteral("spnConnections"));
  EXPECT_EQ(connections->value(), 2);
  connections->setValue(5);
  auto* folder_upload = w.findChild<QCheckBox*>(QStringLiteral("chkFolderUploadParallel"));
  EXPECT_FALSE(folder_upload->isChecked());
  folder_upload->setChecked(true);
  w.Button7Click();
  const auto saved = transfer::SplitCommaText(transfer::ReadProfileFile(program.path()).at(0));
  ASSERT_EQ(saved.size(), 12u);
  EXPECT_EQ(saved[7], site.path().string());
  EXPECT_EQ(saved[8], "5");
  EXPECT_EQ(saved[10], "parallel");
  EXPECT_EQ(saved[11], "/pub");  // set by the first publish, kept through 切断 and 保存
}

// Uploads slowed to a crawl, two files on two connections: Escape stops
// both at once, and the server keeps its old pages whole, with no
// temporary file left.
TEST(PublishWindow, EscapeStopsEveryConnectionAndLeavesTheOldPages) {
  ftp::testing::TestWatchdog watchdog;
  TempFolder program, site;
  SetProgramFolder(program.path());
  auto server = ftp::testing::StartVsftpd("anon_max_rate=50000\n");
  const std::string big(1 << 20, 'n');
  for (const char* name : {"a.bin", "b.bin"}) {
    WriteText(site.path() / name, big);
    WriteText(server->files / name, "old page");
  }
  ftp::testing::AdoptForVsftpd(server->files);
  ASSERT_TRUE(transfer::WriteProfileFile(
                  program.path(),
                  {transfer::JoinCommaText({"vs", "127.0.0.1:" + std::to_string(server->port),
                                            server->user, server->password, "/pub", "auto", "auto",
                                            site.path().string(), "2"})})
                  .ok);
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Ok};  // 中断しました！！
  TFtp1 w(&prompts);
  WireTransferOperations(w, nullptr);
  transfer_ui::PublishCommand* publish = PublishCommandOf(w);
  auto& dialog = publish->Dialog();
  auto idle = [&] { return !publish->Running() && !w.ClientBusy(); };
  auto temporaries = [&] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(server->files))
      n += e.path().filename().string().starts_with("~hemlo2-publish-");
    return n;
  };
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("btnPublishChanges")), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible() || idle(); }));
  ASSERT_TRUE(dialog.isVisible());
  EXPECT_EQ(PlanRows(dialog), (Rows{{"a.bin", "変更"}, {"b.bin", "変更"}}));
  QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnExecute")), Qt::LeftButton);
  // Both connections are sending.
  ASSERT_TRUE(WaitUntil([&] { return temporaries() == 2 || idle(); }));
  ASSERT_FALSE(idle());
  EXPECT_TRUE(w.StatusText().startsWith(QStringLiteral("公開中"))) << w.StatusText().toStdString();
  QElapsedTimer clock;
  clock.start();
  QTest::keyClick(&w, Qt::Key_Escape);
  // At this rate the uploads would need 20 s more.
  ASSERT_TRUE(WaitUntil(idle, 8000));
  std::printf("Escape to every connection stopped: %lld ms\n",
              static_cast<long long>(clock.elapsed()));
  EXPECT_TRUE(publish->LastResult().stopped);
  EXPECT_EQ(publish->LastResult().files_sent, 0);
  EXPECT_EQ(publish->LastResult().failures.size(), 2u);
  EXPECT_TRUE(dialog.ShowingResult());
  dialog.accept();
  EXPECT_EQ(temporaries(), 0);
  EXPECT_EQ(ftp::testing::ReadText(server->files / "a.bin"), "old page");
  EXPECT_EQ(ftp::testing::ReadText(server->files / "b.bin"), "old page");
}

// Many small files: the status keeps up with the run, so Escape ends it
// (result shown) at once rather than after the queued progress lines.
TEST(PublishWindow, EscapeAmongManySmallFilesEndsTheRunAtOnce) {
  ftp::testing::TestWatchdog watchdog;
  TempFolder program, site;
  SetProgramFolder(program.path());
  auto server = ftp::testing::StartVsftpd();
  constexpr int kFiles = 1500;
  fs::create_directories(site.path() / "many");
  for (int i = 0; i < kFiles; ++i)
    WriteText(site.path() / "many" / ("f" + std::to_string(i) + ".htm"), "<p>small page</p>\r\n");
  ASSERT_TRUE(transfer::WriteProfileFile(
                  program.path(),
                  {transfer::JoinCommaText({"vs", "127.0.0.1:" + std::to_string(server->port),
                                            server->user, server->password, "/pub", "auto", "auto",
                                            site.path().string(), "2"})})
                  .ok);
  ScriptedPrompts prompts;
  TFtp1 w(&prompts);
  w.show();
  WireTransferOperations(w, nullptr);
  transfer_ui::PublishCommand* publish = PublishCommandOf(w);
  auto& dialog = publish->Dialog();
  auto idle = [&] { return !publish->Running() && !w.ClientBusy(); };
  auto sent = [&] {
    std::error_code ec;
    int n = 0;
    for (auto it = fs::directory_iterator(server->files / "many", ec);
         !ec && it != fs::directory_iterator(); ++it)
      ++n;
    return n;
  };
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("btnPublishChanges")), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible() || idle(); }));
  ASSERT_TRUE(dialog.isVisible());
  QSignalSpy lines(publish, &transfer_ui::PublishCommand::statusText);
  QElapsedTimer clock;
  clock.start();
  QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnExecute")), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return sent() >= kFiles / 5 || idle(); }));
  ASSERT_FALSE(idle()) << "the run ended before Escape";
  // Progress lines come at the pace a reader can follow, not one per file.
  EXPECT_LE(lines.count(), clock.elapsed() / 50 + 10) << sent() << " files sent";
  clock.restart();
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_TRUE(WaitUntil(idle, 1000)) << "result still not shown";
  std::printf("Escape among %d small files to the result: %lld ms\n", kFiles,
              static_cast<long long>(clock.elapsed()));
  ASSERT_TRUE(WaitUntil(idle));
  EXPECT_TRUE(publish->LastResult().stopped);
  EXPECT_LT(publish->LastResult().files_sent, kFiles);
}

// A large site takes seconds to hash before anything is listed: Escape in
// the middle of a file ends the plan at once, and nothing is sent.
TEST(PublishWindow, EscapeWhileTheSiteIsHashedEndsThePlanAtOnce) {
  ftp::testing::TestWatchdog watchdog;
  TempFolder program, site;
  SetProgramFolder(program.path());
  auto server = ftp::testing::StartVsftpd();
  const fs::path big = site.path() / "movie.bin";
  std::ofstream(big).close();
  fs::resize_file(big, std::uintmax_t{2} << 30);  // sparse: seconds to hash, no disk
  WriteText(site.path() / "index.htm", "<html>top</html>\r\n");
  ASSERT_TRUE(transfer::WriteProfileFile(
                  program.path(),
                  {transfer::JoinCommaText({"vs", "127.0.0.1:" + std::to_string(server->port),
                                            server->user, server->password, "/pub", "auto", "auto",
                                            site.path().string()})})
                  .ok);
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Ok};  // 中断しました！！
  TFtp1 w(&prompts);
  WireTransferOperations(w, nullptr);
  transfer_ui::PublishCommand* publish = PublishCommandOf(w);
  auto idle = [&] { return !publish->Running() && !w.ClientBusy(); };
  // The plan has the big file open.
  auto hashing = [&] {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec))
      if (fs::read_symlink(fd.path(), ec) == big) return true;
    return false;
  };
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("btnPublishChanges")), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return hashing() || idle(); }));
  ASSERT_FALSE(idle());
  QElapsedTimer clock;
  clock.start();
  QTest::keyClick(&w, Qt::Key_Escape);
  ASSERT_TRUE(WaitUntil(idle, 1500)) << "still planning after Escape";
  std::printf("Escape to the plan's end: %lld ms\n", static_cast<long long>(clock.elapsed()));
  EXPECT_FALSE(publish->Dialog().isVisible());
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].text, "中断しました！！");
  EXPECT_EQ(w.StatusText(), QStringLiteral("中断しました（接続はそのまま使えます）"));
  EXPECT_TRUE(fs::is_empty(server->files));
}

// A site folder on a disk that is not mounted looks empty or is missing:
// with the deletion tick the plan shows the guard in red, Enter deletes
// nothing, and only the guard's own tick lets a large deletion run.
TEST(PublishWindow, GuardStopsEnterFromWipingTheServer) {
  ftp::testing::TestWatchdog watchdog;
  struct Case {
    const char* name;
    bool missing;
    std::vector<const char*> local;  // files in the site folder
    std::vector<QString> guard;      // the red lines
  };
  const Case cases[] = {
      {"empty", false, {}, {QStringLiteral("にファイルがありません"),
                            QStringLiteral("サーバのファイルの 100% (4 件) を削除します")}},
      {"missing", true, {}, {QStringLiteral("が見つかりません")}},
      {"most gone", false, {"index.htm"}, {QStringLiteral("サーバのファイルの 75% (3 件) を削除します")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder program, parent;
    SetProgramFolder(program.path());
    auto server = ftp::testing::StartVsftpd();
    for (const char* name : {"index.htm", "a.htm", "b.htm", "c.htm"})
      WriteText(server->files / name, "<html>on the server</html>\r\n");
    ftp::testing::AdoptForVsftpd(server->files);
    const fs::path site = parent.path() / "site";
    if (!c.missing) fs::create_directories(site);
    for (const char* name : c.local) WriteText(site / name, "<html>here</html>\r\n");
    ASSERT_TRUE(transfer::WriteProfileFile(
                    program.path(),
                    {transfer::JoinCommaText({"vs", "127.0.0.1:" + std::to_string(server->port),
                                              server->user, server->password, "/pub", "auto",
                                              "auto", site.string()})})
                    .ok);
    ScriptedPrompts prompts;
    TFtp1 w(&prompts);
    WireTransferOperations(w, nullptr);
    transfer_ui::PublishCommand* publish = PublishCommandOf(w);
    auto& dialog = publish->Dialog();
    publish->ChooseFolder = [](const std::string&) -> std::optional<std::string> {
      ADD_FAILURE() << "asked for another site folder";
      return std::nullopt;
    };
    auto idle = [&] { return !publish->Running() && !w.ClientBusy(); };
    w.Button1Click();
    ASSERT_TRUE(Settle(w));
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("btnPublishChanges")),
                      Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible() || idle(); }));
    ASSERT_TRUE(dialog.isVisible());
    dialog.findChild<QCheckBox*>(QStringLiteral("cbDeleteServerOnly"))->setChecked(true);
    auto* guard = dialog.findChild<QLabel*>(QStringLiteral("lblGuard"));
    auto* confirm = dialog.findChild<QCheckBox*>(QStringLiteral("cbGuardConfirm"));
    auto* execute = dialog.findChild<QPushButton*>(QStringLiteral("btnExecute"));
    ASSERT_TRUE(guard && confirm && execute);
    EXPECT_TRUE(guard->isVisibleTo(&dialog));
    const QStringList lines = guard->text().split('\n');
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(c.guard.size())) << guard->text().toStdString();
    for (size_t i = 0; i < c.guard.size(); ++i)
      EXPECT_TRUE(lines[static_cast<qsizetype>(i)].contains(c.guard[i])) << lines[i].toStdString();
    for (int round = 0; round < 2; ++round) {
      // Enter on the dialog and on whatever has the focus, before and
      // after the guard's tick.
      QTest::keyClick(&dialog, Qt::Key_Return);
      if (QWidget* focus = dialog.focusWidget()) QTest::keyClick(focus, Qt::Key_Return);
      QTest::qWait(200);
      EXPECT_TRUE(dialog.isVisible() && !dialog.ShowingResult());
      confirm->setChecked(true);
    }
    for (const char* name : {"index.htm", "a.htm", "b.htm", "c.htm"})
      EXPECT_TRUE(fs::exists(server->files / name)) << name;
    // The tick set, 実行 runs what the plan says.
    QTest::mouseClick(execute, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil(idle));
    dialog.accept();
    if (c.missing)
      EXPECT_EQ(publish->LastResult().deleted, 0);
    else
      ftp::testing::ExpectSameTree(site, server->files);
  }
}

}  // namespace
}  // namespace hemlo
