// The operations through the Ferrox window, as a new user would use them:
// connect to a local vsftpd, publish a site with ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ, set a
// file's permissions to 644 in the permission dialog, delete the remote
// tree. The server's disk is checked after each step.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "base/program_folder.h"
#include "ops_test_support.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp2_form.h"
#include "ftp_window_controls.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_wiring.h"
#include "support/real_servers.h"
#include "support/same_tree.h"
#include "support/scripted_prompts.h"
#include "support/test_watchdog.h"
#include "text/cp932.h"

namespace hemlo::transfer {
namespace {

using namespace testing;

// vsftpd with one local account ("ftp", any password) chrooted into its
// folder, so that SITE CHMOD is allowed; anonymous users may not chmod.
class LocalUserVsftpd {
 public:
  static constexpr const char* kPam = "/etc/pam.d/hemlo-ops-test";
  LocalUserVsftpd() {
    root_ = dir_.path() / "root";
    fs::create_directories(root_);
    ::chmod(dir_.path().c_str(), 0755);
    if (::chown(root_.c_str(), Uid("-u"), Uid("-g")) != 0) throw std::runtime_error("chown");
    if (!fs::exists(kPam)) {
      std::ofstream(kPam) << "auth required pam_permit.so\naccount required pam_permit.so\n"
                             "session required pam_permit.so\n";
      made_pam_ = true;
    }
    const fs::path conf = dir_.path() / "vsftpd.conf";
    std::ofstream(conf)
        << "listen=NO\nlisten_ipv6=NO\nanonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\n"
           "local_umask=022\nchmod_enable=YES\nlocal_root="
        << root_.string()
        << "\nchroot_local_user=YES\nallow_writeable_chroot=YES\ncheck_shell=NO\n"
           "userlist_enable=NO\npam_service_name=hemlo-ops-test\nseccomp_sandbox=NO\n"
           "isolate=NO\nisolate_network=NO\nconnect_from_port_20=NO\nforce_dot_files=YES\n"
           "secure_chroot_dir=/var/run/vsftpd/empty\nxferlog_enable=NO\n";
    fs::create_directories("/var/run/vsftpd/empty");
    ::chmod(conf.c_str(), 0600);
    server_ = ftp::testing::RunVsftpd(conf, dir_.path() / "vsftpd.log");
  }
  ~LocalUserVsftpd() {
    server_.reset();
    if (made_pam_) fs::remove(kPam);
  }
  uint16_t Port() const { return server_->port(); }
  const fs::path& Root() const { return root_; }

 private:
  static unsigned Uid(const char* flag) {
    unsigned v = 0;
    if (FILE* f = ::popen((std::string("id ") + flag + " ftp").c_str(), "r")) {
      if (std::fscanf(f, "%u", &v) != 1) v = 0;
      ::pclose(f);
    }
    return v;
  }
  TempDir dir_;
  fs::path root_;
  bool made_pam_ = false;
  std::unique_ptr<ftp::testing::InetdServer> server_;
};

TEST(WindowOperations, PublishSetPermissionsAndDeleteAsAUserWould) {
  ftp::testing::TestWatchdog watchdog;  // bounds the test and its server
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run vsftpd with a local account";
  LocalUserVsftpd server;
  TempDir program, local;
  SetProgramFolder(program.path());
  const fs::path site = local.path() / "site";
  WriteFile(site / "index.htm", "<html>\r\n<body>top</body>\r\n</html>\r\n");
  WriteFile(site / ".htaccess", "Options -Indexes\n");
  WriteFile(site / "img" / "logo.gif", std::string("GIF89a\0\x01\xff\r\n", 11));
  WriteFile(site / "img" / "icons" / "a.png", std::string(50000, '\x89'));
  WriteFile(site / "css" / "s.css", "body{}");
  ASSERT_TRUE(
      WriteProfileFile(program.path(),
                       {JoinCommaText({"local", "127.0.0.1:" + std::to_string(server.Port()), "ftp",
                                       "any", "/"})})
          .ok);

  ScriptedPrompts prompts;
  TFtp1 w(&prompts);
  TFtp2 permission;
  WireTransferOperations(w, &permission);
  w.show();
  ASSERT_TRUE(w.SetLocalFolder(QString::fromStdString(site.string())));
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  ASSERT_TRUE(w.Client().Connected());

  // Publish.
  QTest::mouseClick(Ui(w).Button11, Qt::LeftButton);
  ASSERT_TRUE(Settle(w));
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
  ftp::testing::ExpectSameTree(site, server.Root() / "site");
  EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));
  ASSERT_GE(hemlo::RemoteRow(Ui(w).ListView1, "site"), 0);
  EXPECT_TRUE(w.IdleFlag());

  // Permissions of one file: into the folder, pick the row, type 644.
  ::chmod((server.Root() / "site" / "index.htm").c_str(), 0600);
  SelectRemote(Ui(w).ListView1, "site");
  w.ListView1DblClick();
  ASSERT_TRUE(Settle(w));
  ASSERT_GE(hemlo::RemoteRow(Ui(w).ListView1, "index.htm"), 0);
  w.RefreshRemoteList();
  ASSERT_TRUE(Settle(w));
  SelectRemote(Ui(w).ListView1, "index.htm");
  QTimer::singleShot(0, &permission, [&] {
    EXPECT_EQ(Ui(permission).Edit1->text(), QStringLiteral("600"));
    Ui(permission).Edit1->setText(QStringLiteral("644"));
    QTest::mouseClick(Ui(permission).Button1, Qt::LeftButton);
  });
  emit w.permissionRequested();
  struct stat st {};
  ::stat((server.Root() / "site" / "index.htm").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  // Delete the whole remote tree from its parent.
  w.BitBtn1Click();
  ASSERT_TRUE(Settle(w));
  SelectRemote(Ui(w).ListView1, "site");
  prompts.answers = {Answer::Yes};
  emit w.remoteDeleteRequested();
  ASSERT_TRUE(Settle(w));
  EXPECT_FALSE(fs::exists(server.Root() / "site"));
  EXPECT_LT(hemlo::RemoteRow(Ui(w).ListView1, "site"), 0);
  EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].caption, "警告");
  w.Client().Disconnect();
}

// Japanese names published and fetched back through the window: the names
// on the server's disk are in the encoding the profile settled on, and a
// name that encoding lacks is reported, skipped and counted at the end.
TEST(WindowOperations, JapaneseNamesTravelInTheConnectionsEncoding) {
  ftp::testing::TestWatchdog watchdog;  // bounds the test and its server
  const std::string photo = "写真1.png", folder = "日本語", page = "索引.htm", hangul = "한.htm";
  struct Case {
    const char* server;
    const char* encoding_field;  // the profile's seventh field
    bool utf8_on_disk;
    bool stray_sjis;  // a Shift-JIS name is already there: not UTF-8
  } const cases[] = {
      {"pyftpdlib", "auto", true, false},  // announces UTF8
      {"vsftpd", "auto", false, false},    // does not: Shift-JIS as always
      {"vsftpd", "utf8", true, true},      // asked for UTF-8 all the same
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " " + c.encoding_field);
    auto server = std::string(c.server) == "vsftpd" ? ftp::testing::StartVsftpd()
                                                    : ftp::testing::StartPyftpdlib();
    TempDir program, local;
    SetProgramFolder(program.path());
    const fs::path site = local.path() / "site";
    WriteFile(site / photo, std::string("\x89PNG\r\n\x1a\n\0", 9));
    WriteFile(site / folder / page, "<html>索引</html>");
    WriteFile(site / hangul, "x");
    ASSERT_TRUE(WriteProfileFile(program.path(),
                                 {JoinCommaText({"s", "127.0.0.1:" + std::to_string(server->port),
                                                 server->user, server->password,
                                                 server->remote_work, "auto", c.encoding_field})})
                    .ok);
    ScriptedPrompts prompts;
    TFtp1 w(&prompts);
    WireTransferOperations(w, nullptr);
    w.show();
    ASSERT_TRUE(w.SetLocalFolder(QString::fromStdString(site.string())));
    w.Button1Click();
    ASSERT_TRUE(Settle(w));
    ASSERT_TRUE(w.Client().Connected());

    if (!c.utf8_on_disk) prompts.answers = {Answer::Ok};
    QTest::mouseClick(Ui(w).Button11, Qt::LeftButton);
    ASSERT_TRUE(Settle(w));
    const auto on_disk = [&](const std::string& utf8) {
      return c.utf8_on_disk ? utf8 : text::Utf8ToCp932(utf8).value();
    };
    const fs::path remote = server->files / "site";
    EXPECT_EQ(ReadFile(remote / on_disk(photo)), ReadFile(site / photo));
    EXPECT_EQ(ReadFile(remote / on_disk(folder) / on_disk(page)), ReadFile(site / folder / page));
    if (c.utf8_on_disk) {
      EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
      EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));
    } else {
      ASSERT_EQ(prompts.asked.size(), 1u);
      EXPECT_EQ(prompts.asked[0].text, "「site/" + hangul +
                                           "」\r\nの名前にはShift-JISで表せない文字「한」が"
                                           "あるため、スキップします");
      EXPECT_EQ(w.StatusText(), QStringLiteral("完了（1 件をスキップしました）"));
      fs::remove(site / hangul);  // what the download should bring back
    }

    // Back into an empty folder, byte for byte, from the decoded rows.
    if (c.stray_sjis) WriteFile(remote / "\x82\xA0.htm", "sjis");  // あ.htm
    SelectRemote(Ui(w).ListView1, "site");
    w.ListView1DblClick();
    ASSERT_TRUE(Settle(w));
    ASSERT_GE(hemlo::RemoteRow(Ui(w).ListView1, QString::fromStdString(photo)), 0);
    ASSERT_GE(hemlo::RemoteRow(Ui(w).ListView1, QString::fromStdString(folder)), 0);
    // Bytes that are not UTF-8 still show, as stand-ins that keep them.
    if (c.stray_sjis) {
      ASSERT_GE(hemlo::RemoteRow(Ui(w).ListView1, QString::fromUtf16(u"\uF782\uF7A0.htm")), 0);
    }
    Ui(w).ListView1->selectAll();
    const fs::path back = local.path() / "back";
    fs::create_directories(back);
    ASSERT_TRUE(w.SetLocalFolder(QString::fromStdString(back.string())));
    prompts.asked.clear();
    if (c.stray_sjis) prompts.answers = {Answer::Ok};
    emit w.downloadSelectedRequested();
    ASSERT_TRUE(Settle(w));
    if (c.stray_sjis) {
      ASSERT_EQ(prompts.asked.size(), 1u);
      EXPECT_EQ(prompts.asked[0].text,
                "「??.htm」\r\nの名前はUTF-8とファイル名の間で変換できないため、スキップします");
      EXPECT_EQ(w.StatusText(), QStringLiteral("完了（1 件をスキップしました）"));
    } else {
      EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
      EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));
    }
    ftp::testing::ExpectSameTree(site, back);
    w.Client().Disconnect();
  }
}

}  // namespace
}  // namespace hemlo::transfer
