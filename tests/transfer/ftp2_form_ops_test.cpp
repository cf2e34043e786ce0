// The permission dialog as the user sees it: boxes, digits, Edit1, and
// "変更" sending chmod through SITE.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ftp_window_controls.h"
#include "ops_test_support.h"
#include "ferrox/ftp2_form.h"

namespace hemlo::transfer {
namespace {

using namespace testing;
using ::testing::ElementsAre;

TEST(TFtp2, ShowsTheRowAndFollowsClicks) {
  TFtp2 dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("パーミション設定"));
  dialog.Prepare("index.htm", "rwxr-xr-x");
  EXPECT_EQ(Ui(dialog).Label4->text(), QStringLiteral("index.htm"));
  EXPECT_EQ(Ui(dialog).Edit1->text(), QStringLiteral("755"));
  EXPECT_EQ(Ui(dialog).Label2->text(), QStringLiteral("5"));
  EXPECT_TRUE(Ui(dialog).CheckBoxes[3]->isChecked());
  EXPECT_FALSE(Ui(dialog).CheckBoxes[4]->isChecked());
  EXPECT_EQ(Ui(dialog).CheckBoxes[4]->property("tag").toInt(), 2);

  Ui(dialog).CheckBoxes[4]->click();  // group W
  EXPECT_EQ(Ui(dialog).Label2->text(), QStringLiteral("7"));
  EXPECT_EQ(Ui(dialog).Edit1->text(), QStringLiteral("775"));

  // A new row starts from scratch.
  dialog.Prepare("x", "---------");
  EXPECT_EQ(Ui(dialog).Edit1->text(), QString());
  EXPECT_EQ(Ui(dialog).Label1->text(), QStringLiteral("0"));
  EXPECT_FALSE(Ui(dialog).CheckBoxes[0]->isChecked());
}

TEST(TFtp2, ChangeSendsTypedModeThenRefreshesAndCloses) {
  FakeFtpServer server;
  server.Run();
  ftp::TIdFTP ftp;
  ConnectClient(ftp, server.port());
  ScriptedPrompts prompts;
  TFtp2 dialog;
  dialog.Prepare("a.cgi", "rwxr-xr-x");
  int refreshes = 0;
  QTimer::singleShot(0, &dialog, [&] {
    Ui(dialog).Edit1->setText("0644");
    Ui(dialog).Button1->click();  // four characters: nothing, still open
    EXPECT_TRUE(dialog.isVisible());
    Ui(dialog).Edit1->setText("644");
    Ui(dialog).Button1->click();
  });
  EXPECT_EQ(dialog.Run(ftp, prompts, [&] { ++refreshes; }), QDialog::Accepted);
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  EXPECT_THAT(server.CommandsAfterLogin(), ElementsAre("SITE chmod 644 a.cgi", "QUIT"));
  EXPECT_EQ(refreshes, 1);
}

TEST(TFtp2, CloseSendsNothing) {
  FakeFtpServer server;
  server.Run();
  ftp::TIdFTP ftp;
  ConnectClient(ftp, server.port());
  ScriptedPrompts prompts;
  TFtp2 dialog;
  dialog.Prepare("a.cgi", "rwxr-xr-x");
  QTimer::singleShot(0, &dialog, [&] { Ui(dialog).Button2->click(); });
  EXPECT_EQ(dialog.Run(ftp, prompts, nullptr), QDialog::Rejected);
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  EXPECT_THAT(server.CommandsAfterLogin(), ElementsAre("QUIT"));
}

}  // namespace
}  // namespace hemlo::transfer
