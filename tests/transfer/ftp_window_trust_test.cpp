// The Ferrox window's answer to the client's certificate question, driven
// through the client's own hook as the client's TLS connect calls it: いいえ
// keeps nothing and ends quietly, はい keeps the fingerprint owner-only, the
// same certificate then passes silently, a changed one asks again with a
// warning; the client's TLS failures reach the user in plain Japanese.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>

#include "base/program_folder.h"
#include "ftp/id_exception.h"
#include "support/ftp_test_net.h"
#include "support/scripted_prompts.h"
#include "ftp_window_controls.h"
#include "ferrox/ftp_window.h"
#include "transfer/trusted_certificates.h"

#include "fingerprint_text.h"

namespace hemlo {
namespace {
namespace fs = std::filesystem;

using transfer::testing::Print;

ftp::TIdCertificateInfo Certificate(char print) {
  ftp::TIdCertificateInfo info;
  info.Subject = "CN=ftp.example.jp, O=Example";
  info.Issuer = "CN=ftp.example.jp, O=Example";
  info.NotBefore = "2026-01-01 00:00:00 UTC";
  info.NotAfter = "2027-01-01 00:00:00 UTC";
  info.Sha256 = Print(print);
  info.Host = "ftp.example.jp";
  info.Problem = "self-signed certificate; Hostname mismatch";
  return info;
}

TEST(FtpWindowTrust, CertificateQuestionAndTlsFailures) {
  ftp::testing::TempFolder program;
  SetProgramFolder(program.path());
  ScriptedPrompts prompts;
  TFtp1 w(&prompts);
  auto& client = w.Client();
  client.Host = "ftp.example.jp";
  client.Port = 2121;
  ASSERT_TRUE(client.OnVerifyCertificate);
  // What the client does with the answer: いいえ ends the connect.
  const auto connect = [&](char print) {
    w.RunClientCommand([&] {
      if (!client.OnVerifyCertificate(Certificate(print))) throw ftp::EIdCertificateRejected();
    });
    ASSERT_TRUE(Settle(w));
  };
  const fs::path store = program.path() / transfer::kCertificateFileName;

  prompts.answers.push_back(Answer::No);
  connect('a');
  ASSERT_EQ(prompts.asked.size(), 1u);  // the question only, no error box
  const auto& q = prompts.asked[0];
  EXPECT_EQ(q.caption, "証明書の確認");
  EXPECT_EQ(q.buttons, Buttons::YesNo);
  EXPECT_EQ(q.default_button, Answer::No);
  for (const std::string& part :
       {std::string("ftp.example.jp:2121"), std::string("・自己署名"),
        std::string("・証明書の名前が接続先のホスト名と違います"),
        std::string("発行先：CN=ftp.example.jp, O=Example"),
        std::string("有効期間：2026-01-01 00:00:00 UTC ～ 2027-01-01 00:00:00 UTC"),
        "SHA-256：" + Print('A')})  // shown in upper case
    EXPECT_NE(q.text.find(part), std::string::npos) << part << "\n" << q.text;
  EXPECT_EQ(q.text.find("警告"), std::string::npos);
  EXPECT_EQ(w.StatusText(), QStringLiteral("接続を中止しました"));
  EXPECT_FALSE(fs::exists(store));

  prompts.answers.push_back(Answer::Yes);
  connect('a');
  EXPECT_EQ(prompts.asked.size(), 2u);
  EXPECT_EQ(transfer::TrustedCertificates::Load(program.path()).Fingerprint("ftp.example.jp", 2121),
            Print('A'));
  struct stat st {};
  ASSERT_EQ(::stat(store.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  connect('a');  // trusted: no question
  EXPECT_EQ(prompts.asked.size(), 2u);

  prompts.answers.push_back(Answer::No);
  connect('b');
  ASSERT_EQ(prompts.asked.size(), 3u);
  EXPECT_EQ(prompts.asked[2].text.rfind("警告", 0), 0u) << prompts.asked[2].text;
  EXPECT_NE(prompts.asked[2].text.find("SHA-256：" + Print('B')), std::string::npos);
  EXPECT_EQ(transfer::TrustedCertificates::Load(program.path()).Fingerprint("ftp.example.jp", 2121),
            Print('A'));

  // The client's TLS failures, each one error box in plain Japanese.
  const struct {
    std::function<void()> fail;
    const char* words;
  } failures[] = {
      {[] { throw ftp::EIdTLSRefused(); }, "パスワードは送信していません"},
      {[] { throw ftp::EIdTLSHandshakeFailed("handshake failure"); },
       "暗号化した接続を確立できませんでした。\nhandshake failure"},
      {[] { throw ftp::EIdCertificateRejected(); }, "証明書を信頼できないため"},
  };
  for (const auto& f : failures) {
    prompts.asked.clear();
    w.RunClientCommand(f.fail);
    ASSERT_TRUE(Settle(w));
    ASSERT_EQ(prompts.asked.size(), 1u) << f.words;
    EXPECT_EQ(prompts.asked[0].kind, "error");
    EXPECT_NE(prompts.asked[0].text.find(f.words), std::string::npos) << prompts.asked[0].text;
  }
}

}  // namespace
}  // namespace hemlo
