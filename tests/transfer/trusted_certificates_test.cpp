// The trusted-certificate file (round trip, replacement, foreign lines kept,
// owner-only mode, an unreadable file reported) and the reasons in words.
#include "transfer/trusted_certificates.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/atomic_file.h"
#include "ftp/id_exception.h"
#include "transfer/certificate_check.h"

#include "fingerprint_text.h"

namespace hemlo::transfer {
namespace {
namespace fs = std::filesystem;

using testing::Print;

class TrustedCertificatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("trusted_certs_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string FileText() const {
    std::string bytes;
    ReadWholeFile(dir_ / kCertificateFileName, bytes);
    return bytes;
  }
  fs::path dir_;
};

TEST(Fingerprint, NormalForm) {
  EXPECT_EQ(NormalFingerprint(Print('a')), Print('A'));
  std::string bare(64, 'b');
  EXPECT_EQ(NormalFingerprint(bare), Print('B'));
  for (const std::string& bad :
       {std::string(), Print('A').substr(3), Print('A') + ":00", Print('G'), std::string("AB CD")})
    EXPECT_FALSE(NormalFingerprint(bad)) << bad;
}

TEST_F(TrustedCertificatesTest, RoundTripReplaceAndOwnerOnly) {
  auto store = TrustedCertificates::Load(dir_);
  EXPECT_FALSE(store.Fingerprint("ftp.example.jp", 21));
  store.Trust("ftp.example.jp", 21, Print('a'));
  store.Trust("ftp.example.jp", 2121, Print('b'));
  ASSERT_TRUE(store.Save().ok);
  struct stat st {};
  ASSERT_EQ(::stat((dir_ / kCertificateFileName).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  auto again = TrustedCertificates::Load(dir_);
  EXPECT_EQ(again.Fingerprint("FTP.example.JP", 21), Print('A'));  // host names ignore case
  EXPECT_EQ(again.Fingerprint("ftp.example.jp", 2121), Print('B'));
  EXPECT_FALSE(again.Fingerprint("ftp.example.jp", 990));
  again.Trust("ftp.example.jp", 21, Print('c'));
  ASSERT_TRUE(again.Save().ok);
  const std::string text = FileText();
  EXPECT_EQ(text.find(Print('A')), std::string::npos) << text;
  EXPECT_EQ(TrustedCertificates::Load(dir_).Fingerprint("ftp.example.jp", 21), Print('C'));
}

TEST_F(TrustedCertificatesTest, ForeignLinesSurviveARewrite) {
  const std::string foreign[] = {"# my note", "broken line", "host:99999 " + Print('D'),
                                 "host:21 not-a-print"};
  std::string bytes;
  for (const auto& l : foreign) bytes += l + "\r\n";
  bytes += "old.example.jp:21 " + Print('E') + "\r\n";
  ASSERT_TRUE(WriteFileAtomically(dir_ / kCertificateFileName, bytes));
  auto store = TrustedCertificates::Load(dir_);
  EXPECT_FALSE(store.Fingerprint("host", 21));
  store.Trust("old.example.jp", 21, Print('f'));
  store.Trust("new.example.jp", 21, Print('0'));
  ASSERT_TRUE(store.Save().ok);
  std::string expected;
  for (const auto& l : foreign) expected += l + "\r\n";
  expected += "old.example.jp:21 " + Print('F') + "\r\nnew.example.jp:21 " + Print('0') + "\r\n";
  EXPECT_EQ(FileText(), expected);
}

TEST_F(TrustedCertificatesTest, UnreadableFileIsReportedNotReplaced) {
  // Something that exists and cannot be read (root reads any plain file).
  fs::create_directory(dir_ / kCertificateFileName);
  FileOutcome read;
  auto store = TrustedCertificates::Load(dir_, &read);
  EXPECT_FALSE(read.ok);
  store.Trust("h", 21, Print('1'));
  EXPECT_FALSE(store.Save().ok);
  EXPECT_TRUE(fs::is_directory(dir_ / kCertificateFileName));
}

TEST(CertificateProblem, InPlainWords) {
  const struct {
    const char* problem;
    std::vector<std::string> words;  // one entry per reason given, in order
  } cases[] = {
      {"self-signed certificate", {"自己署名"}},
      {"self signed certificate in certificate chain", {"自己署名"}},
      {"certificate has expired", {"期限切れ"}},
      {"certificate is not yet valid", {"まだ始まっていない"}},
      {"Hostname mismatch", {"ホスト名と違います"}},
      {"IP address mismatch", {"ホスト名と違います"}},
      {"unable to get local issuer certificate", {"発行元を確認できない"}},
      {"The server sent no certificate.", {"証明書を送ってきませんでした"}},
      {"certificate revoked", {"（certificate revoked）"}},
      {"self-signed certificate; Hostname mismatch", {"自己署名", "ホスト名と違います"}},
      {"certificate has expired; self-signed certificate; self signed certificate in certificate "
       "chain",
       {"期限切れ", "自己署名"}},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> words = ProblemInWords(c.problem);
    ASSERT_EQ(words.size(), c.words.size()) << c.problem;
    for (size_t i = 0; i < words.size(); ++i)
      EXPECT_NE(words[i].find(c.words[i]), std::string::npos) << c.problem;
  }
}

// The client's own messages are Japanese and reach the user unmangled on a
// Shift-JIS connection; a server's refusal is read in the connection's
// encoding; TLS failures get their explanation.
TEST(ClientErrorText, OwnTextsInJapaneseRepliesInTheirEncoding) {
  const text::RemoteNames sjis(text::NameEncoding::kShiftJis);
  const std::exception_ptr own[] = {
      std::make_exception_ptr(ftp::EIdConnectionLost()),
      std::make_exception_ptr(ftp::EIdReplyTimeout()),
      std::make_exception_ptr(ftp::EIdDataConnectTimeout()),
      std::make_exception_ptr(ftp::EIdAbortReplyTimeout()),
      std::make_exception_ptr(ftp::EIdDataTimeout()),
      std::make_exception_ptr(ftp::EIdIllegalCommandText()),
      std::make_exception_ptr(ftp::EIdFTPTransferAborted()),
      std::make_exception_ptr(ftp::EIdOperationAborted()),
      std::make_exception_ptr(ftp::EIdClientBusy()),
      std::make_exception_ptr(ftp::EIdReplyTooManyLines()),
      std::make_exception_ptr(ftp::EIdReplyTooLarge()),
      std::make_exception_ptr(ftp::EIdListingTooLarge()),
  };
  for (const std::exception_ptr& p : own) {
    try {
      std::rethrow_exception(p);
    } catch (const std::exception& e) {
      const std::string text = ClientErrorText(e, sjis);
      EXPECT_EQ(text, e.what());
      EXPECT_NE(text.find('\xE3'), std::string::npos) << text;  // kana: Japanese
    }
  }
  const ftp::EIdProtocolReplyError refusal(550, "\x83\x74\x83\x40\x83\x43\x83\x8B\r\n");
  EXPECT_EQ(ClientErrorText(refusal, sjis), "ファイル\r\n");
  for (const std::exception_ptr& p : {std::make_exception_ptr(ftp::EIdTLSRefused()),
                                      std::make_exception_ptr(ftp::EIdTLSHandshakeFailed(
                                          "TLS で応答するはずのサーバが平文で応答しました")),
                                      std::make_exception_ptr(ftp::EIdCertificateRejected())}) {
    try {
      std::rethrow_exception(p);
    } catch (const std::exception& e) {
      EXPECT_EQ(ClientErrorText(e, sjis), *TlsFailureText(e));
    }
  }
}

}  // namespace
}  // namespace hemlo::transfer
