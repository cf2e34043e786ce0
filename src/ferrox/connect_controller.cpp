#include "ferrox/connect_controller.h"

#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>

#include "base/program_folder.h"
#include "base/prompts.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/profile_controller.h"
#include "ferrox/profile_panel_widget.h"
#include "ferrox/remote_list_model.h"
#include "ferrox/remote_pane_controller.h"
#include "remote/ftp_errors.h"
#include "transfer/certificate_check.h"
#include "transfer/ferrox_files.h"
#include "transfer/profile_secrets.h"

namespace hemlo::transfer_ui {

ConnectController::ConnectController(const WindowViews& views, transfer::Connection& connection,
                                     transfer::ProfilePanel& profiles, ProfileController& profile,
                                     RemotePaneController& remote)
    : v_(views), connection_(connection), profiles_(profiles), profile_(profile), remote_(remote) {}

void ConnectController::OnConnected() {
  connected_ = true;
  v_.profile->connect_button->setEnabled(false);
  v_.profile->disconnect_button->setEnabled(!connection_.Call().Active());
  v_.profile->SetEditable(false);
  v_.SetStatus("接続成功");
}

void ConnectController::OnDisconnected() {
  connected_ = false;
  v_.SetStatus("切断成功");
  v_.profile->connect_button->setEnabled(!connection_.Call().Active());
  v_.profile->disconnect_button->setEnabled(false);
  v_.profile->SetEditable(true);
}

void ConnectController::ApplyDataMode(transfer::DataConnectionMode mode) {
  using transfer::DataConnectionMode;
  ftp::TIdFTP& ftp = connection_.Ftp();
  ftp.Passive = false;  // the mode alone decides
  ftp.DataMode = mode == DataConnectionMode::kPassive  ? ftp::TIdDataMode::dmPassive
                 : mode == DataConnectionMode::kActive ? ftp::TIdDataMode::dmActive
                                                       : ftp::TIdDataMode::dmAuto;
}

void ConnectController::ConnectShownProfile() {
  if (connected_ || connection_.Call().Active()) return;
  const ProfilePanelWidget& p = *v_.profile;
  v_.SetStatus("接続中...");
  const auto host = ToSjis(p.host_edit->text());
  // SSH carries the user name and password as UTF-8, as a typed password
  // already goes; only FTP sends the profile's Shift-JIS bytes.
  if (const auto sftp_host = host ? transfer::ParseSftpHost(*host) : std::nullopt) {
    // An empty password field: the keyring's, where it holds one.
    std::optional<transfer::SecretKey> key;
    if (p.password_edit->text().isEmpty()) key = profile_.ShownPasswordKey();
    ConnectSftp(*sftp_host, p.user_edit->text().toStdString(),
                p.password_edit->text().toStdString(), std::move(key));
    return;
  }
  const auto user = ToSjis(p.user_edit->text());
  const auto password = ToSjis(p.password_edit->text());
  if (!host || !user || !password) {
    v_.ShowPlain(QStringLiteral("Shift-JISで表せない文字が含まれているため接続できません"));
    return;
  }
  // A profile that keeps no password here: the one given earlier in the
  // session, else the keyring's (asked on the worker: the window never
  // waits for it), else the user is asked.
  transfer::FtpLogin login;
  login.host = *host;
  login.user = *user;
  login.password = *password;
  login.key = profile_.ShownPasswordKey();
  login.question = "ユーザー「" + p.user_edit->text().toStdString() + "」（" +
                   p.host_edit->text().toStdString() + "）のパスワード";
  login.folder = profiles_.LastRemoteFolder;
  login.encoding = p.NameEncoding();
  if (login.password.empty() && !transfer::AnonymousUser(*user)) {
    if (auto kept = connection_.Passwords().Find(*host, *user)) {
      login.password = *kept;
    } else if (profile_.Keyring().Usable()) {
      login.ask_keyring = true;
    } else {
      const auto answer = v_.prompts->Password("パスワード", login.question);
      const auto sjis = answer ? ToSjis(QString::fromStdString(*answer)) : std::nullopt;
      if (!answer || !sjis) {
        v_.SetStatus(answer ? transfer::kUnsayablePassword : transfer::kConnectionDeclined);
        return;
      }
      login.password = *sjis;
    }
    login.remember = !login.password.empty();
  }
  connection_.UseFtp();
  ApplyDataMode(p.DataMode());
  connection_.Run(
      false, [this, login] { connection_.ConnectFtp(login, RemoteListModel::kBatchRows); },
      nullptr);
}

void ConnectController::ConnectSftp(const transfer::HostPort& where, const std::string& user,
                                    const std::string& password,
                                    std::optional<transfer::SecretKey> password_key) {
  sftp::ConnectOptions o;
  o.host = where.host;
  o.port = where.port;
  o.user = user;
  o.password = password;
  o.known_hosts = ProgramFolder() / "known_hosts";
  if (const char* home = std::getenv("HOME"); home && *home)
    o.key_folder = std::filesystem::path(home) / ".ssh";
  if (const char* agent = std::getenv("SSH_AUTH_SOCK")) o.agent_socket = agent;
  connection_.UseSftp(o, std::move(password_key));
  const bool sjis = v_.profile->NameEncoding() == transfer::NameEncodingMode::kShiftJis;
  connection_.Run(
      false,
      [this, folder = profiles_.LastRemoteFolder, sjis] {
        const sftp::LoginMethod login = connection_.ConnectSftp(folder, sjis);
        connection_.Post([this, text = login.Text()] {
          OnConnected();
          v_.SetStatus("接続成功（" + text + "）");
        });
        remote_.ListFolder();
      },
      nullptr);
}

std::string ConnectController::AccountName() const {
  const sftp::ConnectOptions* sftp = connection_.SftpOptions();
  if (!sftp) return connection_.Ftp().Username;
  // As the profile holds the name (the sync records made so far are filed
  // under those bytes); a name Shift-JIS lacks keeps its UTF-8.
  const auto sjis = ToSjis(QString::fromStdString(sftp->user));
  return sjis ? *sjis : sftp->user;
}

bool ConnectController::VerifyCertificate(const ftp::TIdCertificateInfo& info) {
  const ftp::TIdFTP& ftp = connection_.Ftp();
  const transfer::CertificateVerdict v =
      transfer::CheckCertificate(info, ftp.Host, ftp.Port, ProgramFolder(), *v_.prompts);
  if (!v.storage_error.empty()) v_.prompts->Error(v.storage_error);
  connection_.Call().ConnectDeclined(v.asked && !v.accept);
  return v.accept;
}

void ConnectController::DisconnectShownProfile() {
  if (connection_.Call().Active()) return;  // the client is the worker's until its command ends
  remote_.Clear();
  CloseConnection();
  // The profile remembers the folder the connection ended in.
  if (profile_.Take()) profiles_.WriteBack();
}

void ConnectController::CloseConnection() {
  // The FTP client says so itself, through the connection's events.
  if (connection_.Disconnect() && connected_) OnDisconnected();
}

void ConnectController::ShowError(const std::exception& e) {
  v_.prompts->Error(transfer::ClientErrorText(e, connection_.Session().Names));
}

void ConnectController::ReportFailure(const std::exception& e, bool was_connected,
                                      bool cancelled) {
  const transfer::RunningCall& call = connection_.Call();
  if (cancelled || transfer::IsCancelled(e)) {
    ReportCancelled();
    return;
  }
  if (call.ConnectWasDeclined() &&
      (connection_.SftpOptions() ||
       dynamic_cast<const remote::TrustDeclined*>(transfer::RemoteErrorOf(e).get()))) {
    // The user said いいえ: that was the answer, not an error to show.
    v_.SetStatus(transfer::kConnectionDeclined);
    return;
  }
  // A connection that was there and is gone: one plain message, whatever
  // the client's error was (reset, closed, timed out on a dead link). One
  // lost while connecting (after the greeting, during the login or the
  // first listing) is lost all the same.
  if (transfer::IsQuietLoss(e) || (was_connected && !connection_.Connected())) {
    ReportConnectionLost();
    return;
  }
  if (call.Quiet()) return;
  if (const auto tls = transfer::TlsFailureText(e)) {
    v_.prompts->Error(*tls);
    return;
  }
  if (transfer::IsQuietLoss(e)) return;
  ShowError(e);
}

void ConnectController::ReportCancelled() {
  if (!connection_.Call().Quiet())
    v_.prompts->Message(kStopCaption, kStopText, Buttons::Ok, Icon::None);
  if (connection_.Connected()) {
    v_.SetStatus(kCancelledConnected);
    return;
  }
  remote_.Clear();
  CloseConnection();  // the disconnected layout
  v_.SetStatus(kCancelledClosed);
}

void ConnectController::ReportConnectionLost() {
  remote_.Clear();
  CloseConnection();  // the disconnected layout
  v_.SetStatus(kConnectionLost);
  if (!connection_.Call().Quiet()) v_.prompts->Error(kConnectionLost);
}

}  // namespace hemlo::transfer_ui
