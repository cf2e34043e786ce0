// A site published over FTP over explicit TLS through the Ferrox window, as
// a user would: vsftpd refuses plain logins and shows a self-signed
// certificate; the first question is answered いいえ (nothing connects,
// nothing is kept), the second はい (kept, connected, published byte-exact);
// the next connection asks nothing; a new certificate on the same port asks
// again with the warning that it changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "ftp_window_controls.h"
#include "support/real_servers.h"
#include "support/same_tree.h"
#include "support/scripted_prompts.h"
#include "support/test_watchdog.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_wiring.h"
#include "transfer/trusted_certificates.h"

namespace hemlo {
namespace {
namespace fs = std::filesystem;
using ftp::testing::ReadText;
using ftp::testing::TempFolder;
using ftp::testing::WriteText;

TEST(FtpWindowTls, PublishAfterTrustingTheCertificateOnce) {
  ftp::testing::TestWatchdog watchdog;  // bounds the test and its server
  TempFolder program, local, keys;
  SetProgramFolder(program.path());
  const fs::path cert = keys.path() / "cert.pem", key = keys.path() / "key.pem";
  const ftp::testing::TlsKeys first = ftp::testing::MakeCertificate(cert, key, "first.hemlo.test");
  const std::string& first_print = first.sha256;
  ASSERT_EQ(transfer::NormalFingerprint(first_print), first_print) << first_print;
  auto server = ftp::testing::StartVsftpd(ftp::testing::VsftpdTlsConf(first));
  const std::string server_name = "127.0.0.1:" + std::to_string(server->port);

  const fs::path site = local.path() / "site";
  WriteText(site / "index.htm", "<html>\r\n<body>top</body>\r\n</html>\r\n");
  WriteText(site / "img" / "logo.gif", std::string("GIF89a\0\x01\xff\r\n", 11));
  WriteText(site / "img" / "photo.jpg", std::string(300000, '\xd8'));
  WriteText(site / "css" / "s.css", "body{}");
  ASSERT_TRUE(
      transfer::WriteProfileFile(
          program.path(),
          {transfer::JoinCommaText({"plain", server_name, server->user, server->password, "/pub"}),
           transfer::JoinCommaText(
               {"tls", "ftpes://" + server_name, server->user, server->password, "/pub"})})
          .ok);

  ScriptedPrompts prompts;
  TFtp1 w(&prompts);
  WireTransferOperations(w, nullptr);
  w.show();
  ASSERT_TRUE(w.SetLocalFolder(QString::fromStdString(site.string())));
  const fs::path store = program.path() / transfer::kCertificateFileName;

  // Profile 1, without ftpes://: the server refuses the plain login.
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  EXPECT_FALSE(w.Client().Connected());
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].kind, "error");

  // Profile 2: the question, answered いいえ.
  w.Button5Click();
  prompts.answers.push_back(Answer::No);
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  EXPECT_FALSE(w.Client().Connected());
  ASSERT_EQ(prompts.asked.size(), 2u);
  const auto& question = prompts.asked[1];
  EXPECT_EQ(question.caption, "証明書の確認");
  EXPECT_EQ(question.buttons, Buttons::YesNo);
  EXPECT_EQ(question.default_button, Answer::No);
  for (const std::string& part :
       {std::string("CN=first.hemlo.test"), std::string("自己署名"),
        std::string("SHA-256：") + first_print, std::string("有効期間："), server_name})
    EXPECT_NE(question.text.find(part), std::string::npos) << part << "\n" << question.text;
  EXPECT_EQ(question.text.find("警告"), std::string::npos);
  EXPECT_EQ(w.StatusText(), QStringLiteral("接続を中止しました"));
  EXPECT_FALSE(fs::exists(store));

  // はい: kept, owner-only, connected over TLS.
  prompts.answers.push_back(Answer::Yes);
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  ASSERT_TRUE(w.Client().Connected()) << prompts.asked.back().text;
  ASSERT_EQ(prompts.asked.size(), 3u);
  EXPECT_EQ(
      transfer::TrustedCertificates::Load(program.path()).Fingerprint("127.0.0.1", server->port),
      first_print);
  struct stat st {};
  ASSERT_EQ(::stat(store.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(w.StatusText(), QStringLiteral("接続成功（暗号化）"));

  // Publish: every file and folder byte for byte, no message.
  QTest::mouseClick(Ui(w).Button11, Qt::LeftButton);
  ASSERT_TRUE(Settle(w));
  EXPECT_EQ(prompts.asked.size(), 3u) << prompts.asked.back().text;
  ftp::testing::ExpectSameTree(site, server->files / "site");
  EXPECT_EQ(w.StatusText(), QStringLiteral("完了"));

  // Again: the trusted certificate passes without a question.
  w.Button2Click();
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  EXPECT_TRUE(w.Client().Connected());
  EXPECT_EQ(prompts.asked.size(), 3u) << prompts.asked.back().text;
  w.Button2Click();

  // A new certificate on the same host and port: asked again, with the
  // warning first; いいえ keeps the old trust.
  const std::string second_print =
      ftp::testing::MakeCertificate(cert, key, "second.hemlo.test").sha256;
  ASSERT_NE(second_print, first_print);
  prompts.answers.push_back(Answer::No);
  w.Button1Click();
  ASSERT_TRUE(Settle(w));
  EXPECT_FALSE(w.Client().Connected());
  ASSERT_EQ(prompts.asked.size(), 4u);
  EXPECT_EQ(prompts.asked[3].text.rfind("警告", 0), 0u) << prompts.asked[3].text;
  EXPECT_NE(prompts.asked[3].text.find(second_print), std::string::npos);
  EXPECT_EQ(
      transfer::TrustedCertificates::Load(program.path()).Fingerprint("127.0.0.1", server->port),
      first_print);
}

}  // namespace
}  // namespace hemlo
