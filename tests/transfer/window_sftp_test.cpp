// The Ferrox window over SFTP against Debian's OpenSSH server: a profile
// "sftp://127.0.0.1:PORT" asks about the host key (いいえ sends nothing; はい
// keeps the key, so the next connect does not ask), then publishes a site,
// fetches it back, renames, sets a mode, makes a folder and deletes the
// tree, checking the server's disk after each step.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "base/program_folder.h"
#include "ftp_window_controls.h"
#include "ops_test_support.h"
#include "support/same_tree.h"
#include "support/scripted_prompts.h"
#include "support/sshd_server.h"
#include "transfer/comma_text.h"
#include "transfer/ferrox_files.h"
#include "transfer/ftp2_form.h"
#include "transfer/ftp_window.h"
#include "transfer/ftp_window_wiring.h"

namespace hemlo::transfer {
namespace {

using namespace testing;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(WindowOverSftp, HostKeyOncePublishRenameChmodFetchAndDelete) {
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

  // The host key: declined, accepted, then known.
  struct Row {
    std::vector<Answer> answers;
    bool asked, connected;
    const char* status_part;
  } const rows[] = {
      {{Answer::No}, true, false, "接続を中止しました"},
      {{Answer::Yes}, true, true, "パスワードでログインしました"},
      {{}, false, true, "パスワードでログインしました"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.status_part);
    prompts.asked.clear();
    // The script's answers are taken in order across the whole test.
    prompts.answers.insert(prompts.answers.end(), r.answers.begin(), r.answers.end());
    w.Button1Click();
    ASSERT_TRUE(Settle(w));
    ASSERT_EQ(prompts.asked.size(), r.asked ? 1u : 0u)
        << prompts.asked.back().caption << ": " << prompts.asked.back().text;
    if (r.asked) {
      EXPECT_EQ(prompts.asked[0].caption, "ホスト鍵の確認");
      EXPECT_TRUE(Contains(prompts.asked[0].text, "ssh-ed25519")) << prompts.asked[0].text;
      EXPECT_TRUE(Contains(prompts.asked[0].text, "SHA256:")) << prompts.asked[0].text;
      EXPECT_EQ(prompts.asked[0].default_button, Answer::No);
    }
    EXPECT_EQ(w.RemoteConnected(), r.connected);
    EXPECT_TRUE(Contains(w.StatusText().toStdString(), r.status_part))
        << w.StatusText().toStdString();
    // Declined: the connection ended before any login was tried.
    if (!r.connected) {
      EXPECT_FALSE(Contains(ReadFile(server->log), "userauth-request"));
    }
    if (r.connected && r.asked) w.Button2Click();
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
  w.Button2Click();
  EXPECT_FALSE(w.RemoteConnected());
}

}  // namespace
}  // namespace hemlo::transfer
