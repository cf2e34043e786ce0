// What a connection asks the user while it logs in over SFTP.
#include <memory>

#include "remote/connection.h"
#include "text/cp932.h"

namespace hemlo::transfer {

namespace {

constexpr const char* kHostKeyCaption = "ホスト鍵の確認";

std::string HostKeyText(const sftp::HostKeyQuestion& q) {
  std::string text;
  if (q.changed) {
    text += "警告：サーバ " + q.host + " のホスト鍵が、記憶している鍵と違います。\n";
    text += "通信が横取りされている可能性があります。\n\n";
    text += "記憶している鍵：" + q.old_key_type + " " + q.old_fingerprint + "\n";
    text += "今回の鍵：" + q.key_type + " " + q.fingerprint + "\n\n";
    text +=
        "鍵が変わったことを確かめた場合だけ「はい」を選んでください。\n"
        "「はい」…今回の鍵で置き換えて接続します。\n"
        "「いいえ」…接続しません。";
    return text;
  }
  text += "サーバ " + q.host + " のホスト鍵はまだ信頼されていません。\n\n";
  text += "種類：" + q.key_type + "\n";
  text += "SHA-256：" + q.fingerprint + "\n\n";
  text +=
      "この鍵を信頼して接続しますか？\n"
      "「はい」…このホストの鍵として記憶し、次回からは確認しません。\n"
      "「いいえ」…接続しません（パスワードは送信しません）。";
  return text;
}

}  // namespace

sftp::ConnectQuestions Connection::SftpQuestions() {
  sftp::ConnectQuestions q;
  q.trust_host_key = [this](const sftp::HostKeyQuestion& k) {
    Question ask;
    ask.kind = Question::Kind::kHostKey;
    ask.caption = kHostKeyCaption;
    ask.text = HostKeyText(k);
    ask.buttons = Buttons::YesNo;
    ask.icon = Icon::Warning;
    ask.default_button = Answer::No;
    const bool yes = Ask(ask).answer == Answer::Yes;
    if (!yes) Post([this] { call_.ConnectDeclined(true); });
    return yes;
  };
  q.key_passphrase = [this](const std::filesystem::path& key) {
    return WorkerPrompts().Password("パスフレーズ",
                                    "鍵ファイル " + key.string() + " のパスフレーズ");
  };
  // A profile that keeps no password: the one given earlier in the session
  // first, then the keyring's, then the user is asked (again while the
  // server refuses).
  const SftpSide& side = *sftp_side_;  // asked only while it logs in
  const std::string account = side.ServerText();
  const std::string user = side.SftpOptions()->user;
  const std::string question = account + " のユーザー「" + user + "」のパスワード";
  auto tries = std::make_shared<int>(0);
  q.password = [this, account, user, question, tries,
                key = sftp_password_key_]() -> std::optional<std::string> {
    if ((*tries)++ == 0) {
      if (auto kept = passwords_.Find(account, user)) return kept;
      // The keyring holds the profile's Shift-JIS bytes; SSH sends UTF-8.
      if (key && keyring_ && keyring_->Usable()) {
        Post([this] {
          if (events_.status) events_.status("キーリングに問い合わせています...");
        });
        if (auto held = keyring_->Lookup(*key))
          if (auto utf8 = text::Cp932ToUtf8(*held)) return utf8;
      }
    }
    auto answer = WorkerPrompts().Password("パスワード",
                                           (*tries > 1 ? "パスワードが違います。" : "") + question);
    if (!answer) Post([this] { call_.ConnectDeclined(true); });
    return answer;
  };
  q.password_accepted = [this, account, user](const std::string& password) {
    passwords_.Keep(account, user, password);
  };
  return passphrases_ ? passphrases_->Wrap(std::move(q)) : q;
}

}  // namespace hemlo::transfer
