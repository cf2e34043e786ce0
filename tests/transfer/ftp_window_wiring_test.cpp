// The window's transfer controls reach the operations: ▲ uploads the
// selected local files, ▼ downloads the selected remote rows, and a second
// operation never starts inside a running one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "support/real_servers.h"
#include "base/program_folder.h"
#include "transfer/comma_text.h"
#include "transfer/ferrox_files.h"
#include "ftp_window_controls.h"
#include "transfer/ftp_window.h"
#include "transfer/ftp_window_wiring.h"
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
  ASSERT_TRUE(w.Client().Connected());
  EXPECT_EQ(w.Client().TransferType(),
            ftp::TIdFTPTransferType::ftASCII);  // what the login announced

  Row(Ui(w).ListView2, "index.htm")->setSelected(true);
  Row(Ui(w).ListView2, "style.css")->setSelected(true);
  QTest::mouseClick(Ui(w).Button10, Qt::LeftButton);
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
  EXPECT_EQ(ReadText(server->files / "index.htm"), "<html>index</html>");
  EXPECT_EQ(ReadText(server->files / "style.css"), "body{}");
  EXPECT_FALSE(fs::exists(server->files / "keep.txt"));
  EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));
  EXPECT_NE(Row(Ui(w).ListView1, "index.htm"), nullptr);  // the remote list was re-read
  EXPECT_TRUE(w.IdleFlag());
  EXPECT_FALSE(Ui(w).ProgressBar1->isVisible());

  Ui(w).ListView1->clearSelection();
  Row(Ui(w).ListView1, "remote.txt")->setSelected(true);
  QTest::mouseClick(Ui(w).Button16, Qt::LeftButton);
  EXPECT_EQ(ReadText(local.path() / "remote.txt"), std::string(70000, 'r'));
  EXPECT_NE(Row(Ui(w).ListView2, "remote.txt"), nullptr);
  EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));

  // While an operation runs, a double-click (let through between its
  // items) does not move the remote folder under it.
  Ui(w).ListView1->clearSelection();
  std::ofstream(local.path() / "x") << "x";
  fs::create_directories(server->files / "sub");
  w.RefreshRemoteList();
  Row(Ui(w).ListView1, "sub")->setSelected(true);
  w.RunOperation([&] { w.ListView1DblClick(); });
  EXPECT_EQ(w.RemoteFolder(), "/pub");
  w.ListView1DblClick();
  EXPECT_EQ(w.RemoteFolder(), "/pub/sub");

  // An operation started from inside a running one is refused.
  bool inner_ran = false;
  EXPECT_TRUE(w.RunOperation([&] { EXPECT_FALSE(w.RunOperation([&] { inner_ran = true; })); }));
  EXPECT_FALSE(inner_ran);
  EXPECT_FALSE(w.OperationRunning());
  w.Button2Click();
}

}  // namespace
}  // namespace hemlo
