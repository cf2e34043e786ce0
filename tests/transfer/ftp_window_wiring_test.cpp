// The window's transfer controls reach the operations: ▲ uploads the
// selected local files, ▼ downloads the selected remote rows, and a second
// operation never starts inside a running one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <fstream>

#include "support/real_servers.h"
#include "base/program_folder.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "ftp_window_controls.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_wiring.h"
#include "support/scripted_prompts.h"

namespace hemlo {
namespace {
namespace fs = std::filesystem;
using ftp::testing::ReadText;
using ftp::testing::TempFolder;

QTreeWidgetItem* Row(QTreeWidget* list, const QString& name) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->text(0) == name) return list->topLevelItem(i);
  return nullptr;
}

TEST(FtpWindowWiring, ArrowsUploadAndDownloadThroughTheWindow) {
  TempFolder program, local;
  SetProgramFolder(program.path());
  auto server = ftp::testing::StartVsftpd();
  std::ofstream(local.path() / "index.htm") << "<html>index</html>";
  std::ofstream(local.path() / "style.css") << "body{}";
  std::ofstream(local.path() / "keep.txt") << "not selected";
  std::ofstream(server->files / "remote.txt", std::ios::binary) << std::string(70000, 'r');
  ASSERT_TRUE(transfer::WriteProfileFile(
                  program.path(),
                  {transfer::JoinCommaText({"vs", "127.0.0.1:" + std::to_string(server->port),
                                            server->user, server->password, "/pub"})})
                  .ok);
  ScriptedPrompts prompts;
  TFtp1 w(&prompts);
  WireTransferOperations(w, nullptr);
  ASSERT_TRUE(w.SetLocalFolder(QString::fromStdString(local.path().string())));
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  ASSERT_TRUE(w.Client().Connected());
  EXPECT_EQ(w.Client().TransferType(),
            ftp::TIdFTPTransferType::ftASCII);  // what the login announced

  Row(Ui(w).ListView2, "index.htm")->setSelected(true);
  Row(Ui(w).ListView2, "style.css")->setSelected(true);
  QTest::mouseClick(Ui(w).Button10, Qt::LeftButton);
  ASSERT_TRUE(Settle(w));
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
  EXPECT_EQ(ReadText(server->files / "index.htm"), "<html>index</html>");
  EXPECT_EQ(ReadText(server->files / "style.css"), "body{}");
  EXPECT_FALSE(fs::exists(server->files / "keep.txt"));
  EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));
  EXPECT_GE(RemoteRow(Ui(w).ListView1, "index.htm"), 0);  // the remote list was re-read
  EXPECT_TRUE(w.IdleFlag());
  EXPECT_FALSE(Ui(w).ProgressBar1->isVisible());

  ASSERT_TRUE(SelectRemote(w, "remote.txt"));
  QTest::mouseClick(Ui(w).Button16, Qt::LeftButton);
  ASSERT_TRUE(Settle(w));
  EXPECT_EQ(ReadText(local.path() / "remote.txt"), std::string(70000, 'r'));
  EXPECT_NE(Row(Ui(w).ListView2, "remote.txt"), nullptr);
  EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));

  // While an operation runs, a double-click does not move the remote
  // folder under it, and a second operation is refused.
  Ui(w).ListView1->clearSelection();
  fs::create_directories(server->files / "sub");
  w.RefreshRemoteList();
  ASSERT_TRUE(Settle(w));
  ASSERT_TRUE(SelectRemote(w, "sub"));
  std::atomic<bool> release{false};
  ASSERT_TRUE(w.RunOperation([&] {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }));
  w.ListView1DblClick();
  bool second_ran = false;
  EXPECT_FALSE(w.RunOperation([&] { second_ran = true; }));
  release = true;
  ASSERT_TRUE(Settle(w));
  EXPECT_FALSE(second_ran);
  EXPECT_EQ(w.RemoteFolder(), "/pub");
  EXPECT_FALSE(w.OperationRunning());
  w.ListView1DblClick();
  ASSERT_TRUE(Settle(w));
  EXPECT_EQ(w.RemoteFolder(), "/pub/sub");
  w.Button2Click();
}

}  // namespace
}  // namespace hemlo
