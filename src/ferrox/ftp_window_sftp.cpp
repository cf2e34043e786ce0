// The Ferrox window over SFTP: a profile host "sftp://host[:port]" connects
// on the connection's worker, which asks its questions through the
// worker's prompts.
#include <cstdlib>

#include "base/program_folder.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/profile_panel_widget.h"

namespace hemlo {

std::string TFtp1::AccountName() const {
  const sftp::ConnectOptions* sftp = connection_->SftpOptions();
  if (!sftp) return IdFTP1.Username;
  // As the profile holds the name (the sync records made so far are filed
  // under those bytes); a name Shift-JIS lacks keeps its UTF-8.
  const auto sjis = transfer_ui::ToSjis(QString::fromStdString(sftp->user));
  return sjis ? *sjis : sftp->user;
}

void TFtp1::ConnectSftp(const transfer::HostPort& where, const std::string& user,
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
  connection_->UseSftp(o, std::move(password_key));
  const bool sjis = profile_->NameEncoding() == transfer::NameEncodingMode::kShiftJis;
  RunClientCommand([this, folder = Profiles_.LastRemoteFolder, sjis] {
    const sftp::LoginMethod login = connection_->ConnectSftp(folder, sjis);
    PostToWindow([this, text = login.Text()] {
      OnClientConnected();
      SetStatusText("接続成功（" + text + "）");
    });
    ListRemoteFolder();
  });
}

void TFtp1::DisconnectRemote() {
  // The FTP client says so itself, through the connection's events.
  if (connection_->Disconnect() && connected_) OnClientDisconnected();
}

}  // namespace hemlo
