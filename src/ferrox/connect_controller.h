#pragma once
// The Ferrox window's connect and disconnect: the profile shown becomes an
// FTP or SFTP login (with the session's and the keyring's passwords), the
// certificate question, the connection's connected/disconnected events and
// the report of a command that failed or was stopped.
#include <exception>
#include <optional>
#include <string>

#include "ferrox/window_layout.h"
#include "ftp/id_ftp.h"
#include "remote/connection.h"
#include "transfer/profiles.h"

namespace hemlo::transfer_ui {

class ProfileController;
class RemotePaneController;

class ConnectController {
 public:
  ConnectController(const WindowViews& views, transfer::Connection& connection,
                    transfer::ProfilePanel& profiles, ProfileController& profile,
                    RemotePaneController& remote);

  // 接続: logs in with the profile shown, as a command; nothing while a
  // connection stands or a command runs.
  void ConnectShownProfile();
  // 切断: closes the connection and keeps the folder it ended in.
  void DisconnectShownProfile();
  // Closes whichever connection stands (the disconnected layout follows).
  void CloseConnection();
  // Whether a connection stands, as the last connect/disconnect event said.
  bool Connected() const { return connected_; }
  // The account of the connection, for records and titles.
  std::string AccountName() const;

  // The connection's events.
  void OnConnected();
  void OnDisconnected();
  // The client's question about a certificate the system refused.
  bool VerifyCertificate(const ftp::TIdCertificateInfo& info);

  // What escaped a command: a stop, a lost connection, a declined trust
  // question or an error shown in the standard box.
  void ReportFailure(const std::exception& e, bool was_connected, bool cancelled);
  void ReportCancelled();
  // Shows a client error (or any other) in the standard error box.
  void ShowError(const std::exception& e);

 private:
  void ReportConnectionLost();
  void ApplyDataMode(transfer::DataConnectionMode mode);
  // `user` and `password` in UTF-8.
  void ConnectSftp(const transfer::HostPort& where, const std::string& user,
                   const std::string& password, std::optional<transfer::SecretKey> password_key);

  const WindowViews& v_;
  transfer::Connection& connection_;
  transfer::ProfilePanel& profiles_;
  ProfileController& profile_;
  RemotePaneController& remote_;
  bool connected_ = false;
};

}  // namespace hemlo::transfer_ui
