#include "transfer/certificate_check.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "ftp/id_exception.h"
#include "remote/ftp_errors.h"
#include "text/utf8.h"
#include "transfer/trusted_certificates.h"

namespace hemlo::transfer {

namespace {

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace

namespace {

std::string OneProblemInWords(const std::string& problem) {
  const std::string p = AsciiLowered(problem);
  if (Has(p, "self signed") || Has(p, "self-signed"))
    return "自己署名の証明書です（信頼された認証局が発行したものではありません）";
  if (Has(p, "expired")) return "期限切れの証明書です";
  if (Has(p, "not yet valid")) return "有効期間がまだ始まっていない証明書です";
  if (Has(p, "mismatch")) return "証明書の名前が接続先のホスト名と違います";
  if (Has(p, "issuer"))
    return "発行元を確認できない証明書です（信頼された認証局のものではありません）";
  if (Has(p, "no certificate")) return "サーバが証明書を送ってきませんでした";
  return "証明書を確認できませんでした（" + problem + "）";
}

}  // namespace

std::vector<std::string> ProblemInWords(const std::string& problem) {
  std::vector<std::string> words;
  for (size_t start = 0; start <= problem.size();) {
    size_t end = problem.find("; ", start);
    if (end == std::string::npos) end = problem.size();
    if (end > start) {
      std::string w = OneProblemInWords(problem.substr(start, end - start));
      // Two reasons can come to the same words (a self-signed leaf and a
      // self-signed chain): say it once.
      if (std::find(words.begin(), words.end(), w) == words.end()) words.push_back(std::move(w));
    }
    start = end + 2;
  }
  if (words.empty()) words.push_back(OneProblemInWords(problem));
  return words;
}

std::string CertificateQuestion(const ftp::TIdCertificateInfo& info, const std::string& host,
                                int port, bool changed) {
  std::string text;
  if (changed)
    text +=
        "警告：このサーバの証明書は、以前「はい」で信頼したものから変わっています。\n"
        "別のサーバがなりすましているおそれがあります。"
        "サーバの管理者から証明書を更新したと知らされていなければ「いいえ」を選んでください。\n\n";
  text += "サーバ " + host + ":" + std::to_string(port) + " の証明書を確認できませんでした。\n";
  const std::vector<std::string> reasons = ProblemInWords(info.Problem);
  if (reasons.size() == 1) {
    text += "理由：" + reasons.front() + "\n\n";
  } else {
    text += "理由：\n";
    for (const std::string& r : reasons) text += "・" + r + "\n";
    text += "\n";
  }
  text += "発行先：" + info.Subject + "\n";
  text += "発行者：" + info.Issuer + "\n";
  text += "有効期間：" + info.NotBefore + " ～ " + info.NotAfter + "\n";
  text += "SHA-256：" + NormalFingerprint(info.Sha256).value_or(info.Sha256) + "\n\n";
  text +=
      "この証明書を信頼して接続しますか？\n"
      "「はい」…このホストの証明書として記憶し、次回からは確認しません。\n"
      "「いいえ」…接続しません。";
  return text;
}

CertificateVerdict CheckCertificate(const ftp::TIdCertificateInfo& info, const std::string& host,
                                    int port, const std::filesystem::path& folder,
                                    Prompts& prompts) {
  CertificateVerdict verdict;
  FileOutcome read;
  TrustedCertificates store = TrustedCertificates::Load(folder, &read);
  const auto presented = NormalFingerprint(info.Sha256);
  const auto trusted = store.Fingerprint(host, port);
  if (presented && trusted == presented) {
    verdict.accept = true;
    return verdict;
  }
  verdict.asked = true;
  const Answer a = prompts.Message(kCertificateCaption,
                                   CertificateQuestion(info, host, port, trusted.has_value()),
                                   Buttons::YesNo, Icon::Warning, Answer::No);
  if (a != Answer::Yes) return verdict;
  verdict.accept = true;
  if (!presented) {
    verdict.storage_error = "証明書のフィンガープリントを読み取れないため、記憶できませんでした";
    return verdict;
  }
  store.Trust(host, port, *presented);
  if (const FileOutcome saved = store.Save(); !saved.ok)
    verdict.storage_error = "信頼した証明書を記憶できませんでした\n" + saved.error;
  return verdict;
}

std::optional<std::string> TlsFailureText(const std::exception& e) {
  const auto error = RemoteErrorOf(e);
  if (const auto* channel = dynamic_cast<const remote::SecureChannelFailed*>(error.get())) {
    if (channel->ServerDeclined())
      return std::string(
          "サーバが暗号化した接続（FTP over TLS）を受け付けませんでした。\n"
          "パスワードは送信していません。"
          "サーバが FTPS に対応しているか、サーバの管理者に確かめてください。");
    return "暗号化した接続を確立できませんでした。\n" + std::string(e.what());
  }
  const auto* declined = dynamic_cast<const remote::TrustDeclined*>(error.get());
  if (declined && declined->What() == remote::TrustDeclined::Of::kCertificate)
    return std::string("サーバの証明書を信頼できないため、接続を中止しました。");
  return std::nullopt;
}

std::string ClientErrorText(const std::exception& e, const text::RemoteNames& names) {
  if (auto tls = TlsFailureText(e)) return *std::move(tls);
  const std::string_view text = e.what();
  // The translated error is held while it is read: a temporary would be gone.
  const auto error = RemoteErrorOf(e);
  const auto* refusal = dynamic_cast<const remote::Refused*>(error.get());
  const bool from_server = refusal && refusal->FromServer();
  return !from_server && text::IsValidUtf8(text) ? std::string(text) : names.Display(text);
}

}  // namespace hemlo::transfer
