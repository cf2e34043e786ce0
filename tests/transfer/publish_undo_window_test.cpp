// 前回の公開を取り消す through the Ferrox window against vsftpd: a site
// published twice (the second run changed two pages, added a page in a new
// folder, deleted a ticked server-only file and overwrote a ticked
// conflict) is taken back run by run, newest first, from the command on
// ↑変更分を公開's menu, and the server's bytes are each time those before
// the run.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/program_folder.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_wiring.h"
#include "ferrox/publish_command.h"
#include "ferrox/publish_plan_dialog.h"
#include "ferrox/publish_undo_command.h"
#include "ftp_window_controls.h"
#include "remote/comma_text.h"
#include "support/real_servers.h"
#include "support/scripted_prompts.h"
#include "support/test_bounds.h"
#include "support/test_watchdog.h"
#include "transfer/ferrox_files.h"

namespace hemlo {
namespace {
namespace fs = std::filesystem;
using ftp::testing::TempFolder;
using ftp::testing::WriteText;

// Every file's bytes and every folder ("/" after it) under `root`.
std::map<std::string, std::string> Bytes(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (e.is_directory()) {
      out[rel + "/"];
    } else {
      std::ifstream in(e.path(), std::ios::binary);
      out[rel] = std::string(std::istreambuf_iterator<char>(in), {});
    }
  }
  return out;
}

QSet<QString> Paths(transfer_ui::PublishPlanDialog& d) {
  QSet<QString> out;
  auto* list = d.findChild<QTreeWidget*>(QStringLiteral("lvPlan"));
  for (int i = 0; i < list->topLevelItemCount(); ++i) out.insert(list->topLevelItem(i)->text(0));
  return out;
}

TEST(PublishUndoWindow, TwoRunsTakenBackNewestFirst) {
  ftp::testing::TestWatchdog watchdog;
  TempFolder program, site;
  SetProgramFolder(program.path());
  auto server = ftp::testing::StartVsftpd();
  WriteText(server->files / "theirs.htm", "<html>put here by hand</html>\r\n");
  ftp::testing::AdoptForVsftpd(server->files);
  for (const char* name : {"index.htm", "about.htm", "news.htm", "shared.htm"})
    WriteText(site.path() / name, std::string("<html>") + name + "</html>\r\n");
  fs::create_directories(site.path() / "sub");
  WriteText(site.path() / "sub" / "page.htm", "<html>sub</html>\r\n");
  ASSERT_TRUE(transfer::WriteProfileFile(
                  program.path(),
                  {transfer::JoinCommaText({"vs", "127.0.0.1:" + std::to_string(server->port),
                                            server->user, server->password, "/pub", "auto", "auto",
                                            site.path().string(), "2"})})
                  .ok);
  ScriptedPrompts prompts;
  TFtp1 w(&prompts);
  WireTransferOperations(w, nullptr);
  transfer_ui::PublishCommand* publish = PublishCommandOf(w);
  auto* undo = w.findChild<transfer_ui::PublishUndoCommand*>();
  ASSERT_TRUE(publish && undo);
  auto* button = w.findChild<QPushButton*>(QStringLiteral("btnPublishChanges"));
  QAction* undo_action = nullptr;
  for (QAction* a : button->actions())
    if (a->text() == QStringLiteral("前回の公開を取り消す")) undo_action = a;
  ASSERT_NE(undo_action, nullptr);
  auto idle = [&] { return !publish->Running() && !undo->Running() && !w.ClientBusy(); };
  auto& dialog = publish->Dialog();
  auto run_publish = [&](bool delete_server_only, const QString& conflict) {
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible() || idle(); }));
    ASSERT_TRUE(dialog.isVisible()) << w.StatusText().toStdString();
    dialog.findChild<QCheckBox*>(QStringLiteral("cbDeleteServerOnly"))
        ->setChecked(delete_server_only);
    auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("lvPlan"));
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->text(0) == conflict)
        list->topLevelItem(i)->setCheckState(0, Qt::Checked);
    // Two of six server files go: the guard wants its own tick.
    auto* guard = dialog.findChild<QCheckBox*>(QStringLiteral("cbGuardConfirm"));
    if (guard->isVisibleTo(&dialog)) guard->setChecked(true);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnExecute")),
                      Qt::LeftButton);
    ASSERT_TRUE(WaitUntil(idle));
    EXPECT_TRUE(publish->LastResult().failures.empty());
    dialog.accept();
  };

  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  const auto before_first = Bytes(server->files);
  ASSERT_NO_FATAL_FAILURE(run_publish(false, {}));
  ASSERT_EQ(publish->LastResult().files_sent, 5);

  // Someone else changes a page on the server that the author changes too.
  WriteText(server->files / "shared.htm", "<html>edited on the server, longer</html>\r\n");
  ftp::testing::AdoptForVsftpd(server->files);
  const auto before_second = Bytes(server->files);
  WriteText(site.path() / "index.htm", "<html>new top page</html>\r\n");
  WriteText(site.path() / "about.htm", "<html>ABOUT</html>\r\n");
  WriteText(site.path() / "shared.htm", "<html>the author's own</html>\r\n");
  fs::remove(site.path() / "news.htm");
  fs::create_directories(site.path() / "img");
  WriteText(site.path() / "img" / "logo.gif", std::string("GIF89a\0\r\n\x1a\xff", 11));
  ASSERT_NO_FATAL_FAILURE(run_publish(true, QStringLiteral("shared.htm")));
  EXPECT_EQ(publish->LastResult().files_sent, 4);
  EXPECT_EQ(publish->LastResult().deleted, 2);  // news.htm and theirs.htm
  ASSERT_NE(Bytes(server->files), before_second);

  auto& undo_dialog = undo->Dialog();
  struct Step {
    std::map<std::string, std::string> server;  // bytes after the undo
    QSet<QString> rows;
    // Changed on the server since the run: offered unticked, ticked here.
    QString conflict;
  };
  const Step steps[] = {
      {before_second,
       {"index.htm", "about.htm", "shared.htm", "news.htm", "theirs.htm", "img/logo.gif", "img"},
       {}},
      // The first run added shared.htm, which the server's user edited.
      {before_first,
       {"index.htm", "about.htm", "shared.htm", "news.htm", "sub/page.htm", "sub"},
       QStringLiteral("shared.htm")},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.rows.size());
    undo_action->trigger();
    ASSERT_TRUE(WaitUntil([&] { return undo_dialog.isVisible() || idle(); }));
    ASSERT_TRUE(undo_dialog.isVisible()) << w.StatusText().toStdString();
    EXPECT_EQ(undo_dialog.windowTitle(), QStringLiteral("公開の取り消し"));
    EXPECT_EQ(Paths(undo_dialog), step.rows);
    auto* list = undo_dialog.findChild<QTreeWidget*>(QStringLiteral("lvPlan"));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      QTreeWidgetItem* row = list->topLevelItem(i);
      const bool conflict = row->text(0) == step.conflict;
      EXPECT_EQ(row->text(1) == QStringLiteral("サーバ側で変更（競合）"), conflict)
          << row->text(0).toStdString();
      if (!conflict) continue;
      EXPECT_EQ(row->checkState(0), Qt::Unchecked);
      row->setCheckState(0, Qt::Checked);
    }
    // Taking back what a run added deletes much of what it touched.
    auto* guard = undo_dialog.findChild<QCheckBox*>(QStringLiteral("cbGuardConfirm"));
    if (guard->isVisibleTo(&undo_dialog)) guard->setChecked(true);
    QTest::mouseClick(undo_dialog.findChild<QPushButton*>(QStringLiteral("btnExecute")),
                      Qt::LeftButton);
    ASSERT_TRUE(WaitUntil(idle)) << w.StatusText().toStdString();
    EXPECT_TRUE(undo_dialog.ShowingResult());
    EXPECT_TRUE(w.StatusText().startsWith(QStringLiteral("公開の取り消し: ")))
        << w.StatusText().toStdString();
    undo_dialog.accept();
    EXPECT_EQ(Bytes(server->files), step.server);
  }
  undo_action->trigger();
  ASSERT_TRUE(WaitUntil(idle));
  EXPECT_FALSE(undo_dialog.isVisible());
  EXPECT_EQ(w.StatusText(), QStringLiteral("取り消せる公開はありません"));
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
}

}  // namespace
}  // namespace hemlo
