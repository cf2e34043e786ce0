// The Ferrox window over SFTP: a profile host "sftp://host[:port]" connects
// on the connection's worker, asks about the host key through the worker's
// prompts, and lists through the remote file system.
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>

#include "base/program_folder.h"
#include "text/cp932.h"
#include "base/remote_errors.h"
#include "transfer/certificate_check.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/profile_panel_widget.h"
#include "ferrox/remote_list_model.h"
#include "ferrox/remote_pane.h"

namespace hemlo {

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

// Seconds since 1970 (UTC) as the list's day number in local time.
double LocalDayNumber(int64_t utc) {
  const time_t t = time_t(utc);
  tm local{};
  if (!::localtime_r(&t, &local)) return 0;
  return double(utc + local.tm_gmtoff) / 86400.0 + 25569.0;
}

// A listing cut short at its bounds: the rows shown are not all there are.
std::string ListingCappedText(size_t shown) {
  return "フォルダの一覧が大きすぎるため、最初の " + std::to_string(shown) +
         " 件だけを表示しています";
}

transfer::RemoteListEntry EntryOfFact(const transfer::RemoteFact& f) {
  transfer::RemoteListEntry e;
  e.FileName = f.name;
  e.Size = f.size;
  if (f.modified_utc) e.ModifiedDate = LocalDayNumber(*f.modified_utc);
  e.Folder = f.kind == transfer::RemoteFact::Kind::kFolder;
  const size_t n = std::min(f.permissions.size(), e.Permissions.size());
  std::copy_n(f.permissions.begin(), n, e.Permissions.begin());
  e.PermissionLength = uint8_t(n);
  return e;
}

}  // namespace

std::string TFtp1::AccountName() const {
  const sftp::ConnectOptions* sftp = connection_->SftpOptions();
  if (!sftp) return IdFTP1.Username;
  // As the profile holds the name (the sync records made so far are filed
  // under those bytes); a name Shift-JIS lacks keeps its UTF-8.
  const auto sjis = transfer_ui::ToSjis(QString::fromStdString(sftp->user));
  return sjis ? *sjis : sftp->user;
}

sftp::ConnectQuestions TFtp1::SftpQuestions() {
  sftp::ConnectQuestions q;
  q.trust_host_key = [this](const sftp::HostKeyQuestion& k) {
    const bool yes = WorkerPrompts().Message(kHostKeyCaption, HostKeyText(k), Buttons::YesNo,
                                             Icon::Warning, Answer::No) == Answer::Yes;
    if (!yes) PostToWindow([this] { call_.ConnectDeclined(true); });
    return yes;
  };
  q.key_passphrase = [this](const std::filesystem::path& key) {
    return WorkerPrompts().Password("パスフレーズ",
                                    "鍵ファイル " + key.string() + " のパスフレーズ");
  };
  // A profile that keeps no password: the one given earlier in the session
  // first, then the user is asked (again while the server refuses).
  const std::string account = connection_->ServerText();
  const std::string user = connection_->SftpOptions()->user;
  const std::string question = account + " のユーザー「" + user + "」のパスワード";
  auto tries = std::make_shared<int>(0);
  q.password = [this, account, user, question, tries,
                key = sftp_password_key_]() -> std::optional<std::string> {
    if ((*tries)++ == 0) {
      if (auto kept = session_passwords_.Find(account, user)) return kept;
      // The keyring holds the profile's Shift-JIS bytes; SSH sends UTF-8.
      if (key && keyring_->Usable()) {
        PostToWindow([this] { SetStatusText("キーリングに問い合わせています..."); });
        if (auto held = keyring_->Lookup(*key))
          if (auto utf8 = text::Cp932ToUtf8(*held)) return utf8;
      }
    }
    auto answer = WorkerPrompts().Password("パスワード",
                                           (*tries > 1 ? "パスワードが違います。" : "") + question);
    if (!answer) PostToWindow([this] { call_.ConnectDeclined(true); });
    return answer;
  };
  q.password_accepted = [this, account, user](const std::string& password) {
    session_passwords_.Keep(account, user, password);
  };
  return passphrases_->Wrap(std::move(q));
}

void TFtp1::ConnectSftp(const transfer::HostPort& where, const std::string& user,
                        const std::string& password) {
  // Made here, once: the site sync's connections ask from threads of their own.
  if (!passphrases_) passphrases_ = std::make_unique<transfer::PassphraseKeeper>(keyring_->Blocking());
  sftp::ConnectOptions o;
  o.host = where.host;
  o.port = where.port;
  o.user = user;
  o.password = password;
  o.known_hosts = ProgramFolder() / "known_hosts";
  if (const char* home = std::getenv("HOME"); home && *home)
    o.key_folder = std::filesystem::path(home) / ".ssh";
  if (const char* agent = std::getenv("SSH_AUTH_SOCK")) o.agent_socket = agent;
  connection_->UseSftp(o);
  const bool sjis = profile_->NameEncoding() == transfer::NameEncodingMode::kShiftJis;
  RunClientCommand([this, folder = Profiles_.LastRemoteFolder, sjis] {
    const sftp::LoginMethod login = connection_->ConnectSftp(SftpQuestions(), folder, sjis);
    PostToWindow([this, text = login.Text()] {
      OnClientConnected();
      SetStatusText("接続成功（" + text + "）");
    });
    ListRemoteFolder();
  });
}

void TFtp1::ListSftpFolder() {
  transfer::SftpRemoteFiles& files = *connection_->SftpFiles();
  const std::string folder = files.CurrentFolder();
  PostToWindow([this, folder, names = Session_.Names] {
    ShowRemoteFolder(folder, names);
    transfer_ui::RemoteListModel* model = remote_->model;
    model->SetNames(names);
    model->Clear();
    call_.ListingStarted();
    // Listing order until the next header click.
    remote_->HideSortIndicator();
  });
  size_t listed = 0;
  const bool whole = files.ListInBatches(
      "", transfer_ui::RemoteListModel::kBatchRows, [&](std::vector<transfer::RemoteFact>&& facts) {
        listed += facts.size();
        std::vector<transfer::RemoteListEntry> rows;
        rows.reserve(facts.size());
        std::map<std::string, std::string> links;
        for (transfer::RemoteFact& f : facts) {
          rows.push_back(EntryOfFact(f));
          if (!f.link_target.empty()) links.emplace(f.name, std::move(f.link_target));
        }
        PostToWindow([this, rows = std::move(rows), links = std::move(links)]() mutable {
          // A stopped listing's last batches are not worth showing.
          if (call_.StopAsked()) return;
          remote_->model->Append(std::move(rows));
          remote_->model->AddLinkTargets(std::move(links));
        });
      });
  PostToWindow([this, whole, listed] {
    if (EndRemoteListing(0) && !whole) SetStatusText(ListingCappedText(listed));
  });
}

void TFtp1::DisconnectRemote() {
  // The FTP client says so itself, through the connection's events.
  if (connection_->Disconnect() && connected_) OnClientDisconnected();
}

}  // namespace hemlo
