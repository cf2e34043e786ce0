#include "ftp/id_ftp.h"
#include "ftp/id_ftp_internal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hemlo::ftp {

TIdFTP::TIdFTP() = default;
TIdFTP::~TIdFTP() = default;

void TIdFTP::SetTransferType(TIdFTPTransferType type) {
  if (type == transfer_type_ || data_) return;
  transfer_type_ = type;
  if (Connected()) SendTransferType();
}

void TIdFTP::SendTransferType() {
  SendCmd(transfer_type_ == TIdFTPTransferType::ftASCII ? "TYPE A" : "TYPE I", {200});
}

void TIdFTP::Connect(bool auto_login, int timeout_ms) {
  CheckNotReentered();
  try {
    if (Connected()) throw EIdAlreadyConnected();
    if (HasLineBreak(Username) || HasLineBreak(Password)) throw EIdIllegalCommandText();
    mode_in_use_ = TIdDataMode::dmAuto;
    epsv_refused_ = false;
    list_hidden_ok_ = true;
    mlst_ = -1;
    features_.reset();
    disconnect_requested_ = false;
    TIdTCPClient::Connect(timeout_ms);
    peer_certificate_.reset();
    data_session_.reset();
    // Implicit TLS: even the greeting comes encrypted.
    if (UseTLS && ImplicitTLS) SecureControl();
    GetResponse({220});
    GreetingReply = LastReply;
    if (UseTLS && !ImplicitTLS) StartTLS();
    if (auto_login) {
      Login();
      if (OnAfterClientLogin) OnAfterClientLogin(*this);
      SendTransferType();
      if (SendCmd("SYST", {200, 215, 500}) == 500) {
        SystemDescription = kUnknownSystem;
      } else {
        SystemDescription = LastReply.Text.empty() ? std::string() : LastReply.Text.front();
      }
      DoStatus(TIdStatus::hsStatusText, "Connection established");
    }
  } catch (const EIdClientBusy&) {
    throw;
  } catch (...) {
    CloseWithoutQuit();
    throw;
  }
}

void TIdFTP::StartTLS() {
  // Anything but 234 leaves the line in clear text: stop before USER/PASS.
  try {
    SendCmd("AUTH TLS", {234});
  } catch (const EIdProtocolReplyError&) {
    throw EIdTLSRefused();
  }
  SecureControl();
}

void TIdFTP::SecureControl() {
  if (!tls_context_) tls_context_ = std::make_unique<TIdTLSContext>();
  const std::string host = TLSHostName.empty() ? Host : TLSHostName;
  StartControlTLS(*tls_context_, host, ReadTimeout > 0 ? ReadTimeout : ReplyTimeout);
  TIdCertificateInfo info = ControlTLS()->Certificate();
  peer_certificate_ = info;
  if (info.Problem.empty()) return;
  if (!OnVerifyCertificate || !OnVerifyCertificate(info)) throw EIdCertificateRejected();
}

void TIdFTP::ProtectData() {
  SendCmd("PBSZ 0", {200});
  // A server that will not encrypt data connections gets no data from us.
  SendCmd("PROT P", {200});
}

void TIdFTP::Login() {
  if (UseTLS && !Encrypted()) throw EIdTLSRefused();  // never a password in clear
  if (SendCmd("USER " + Username, {230, 331}) == 331) SendCmd("PASS " + Password, {230});
  LoginReply = LastReply;
  if (Encrypted()) {
    ProtectData();
    LastReply = LoginReply;
  }
}

void TIdFTP::CloseWithoutQuit() {
  DoStatus(TIdStatus::hsDisconnecting, "Disconnecting.");
  if (data_) data_->Reset();
  disconnect_requested_ = false;
  DisconnectSocket();
  DoStatus(TIdStatus::hsDisconnected, "Disconnected.");
}

void TIdFTP::Disconnect() {
  if (InWaitHook()) {
    // A call is under way below us: stop it; it closes on its way out.
    disconnect_requested_ = true;
    abort_requested_ = true;
    return;
  }
  if (Connected()) {
    try {
      WriteLn("QUIT");
    } catch (const EIdException&) {
      // The connection is going away anyway.
    }
  }
  CloseWithoutQuit();
}

void TIdFTP::AbortTransfer() {
  if (InWaitHook()) {
    abort_requested_ = true;
    return;
  }
  struct CloseData {
    TIdFTP& f;
    ~CloseData() {
      if (f.data_) f.data_->Reset();
    }
  } close_data{*this};
  if (Connected()) WriteLn("ABOR");
}

void TIdFTP::ChangeDirectory(const std::string& path) { SendCmd("CWD " + path, {200, 250}); }
void TIdFTP::ParentDirectory() { SendCmd("CDUP", {200, 250}); }
void TIdFTP::CreateDirectory(const std::string& name) { SendCmd("MKD " + name, {257}); }
void TIdFTP::RemoveDirectory(const std::string& name) { SendCmd("RMD " + name, {250}); }
void TIdFTP::DeleteFile(const std::string& name) { SendCmd("DELE " + name, {250}); }
void TIdFTP::SiteCommand(const std::string& text) { SendCmd("SITE " + text, {200}); }

void TIdFTP::RenameFile(const std::string& old_name, const std::string& new_name) {
  // Both names are checked before RNFR goes out, so a bad new name cannot
  // leave the server waiting for RNTO.
  if (HasLineBreak(old_name) || HasLineBreak(new_name)) throw EIdIllegalCommandText();
  SendCmd("RNFR " + old_name, {350});
  SendCmd("RNTO " + new_name, {250});
}

std::string TIdFTP::CurrentDirectory() {
  SendCmd("PWD", {257});
  if (LastReply.Text.empty()) return {};
  const std::string& line = LastReply.Text.front();
  size_t open = line.find('"');
  if (open == std::string::npos) return {};
  size_t close = line.find('"', open + 1);
  return line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

bool TIdFTP::ResumeSupported() {
  if (resume_probe_ < 0) {
    resume_probe_ = SendCmd("REST 1", {}) == 350 ? 1 : 0;
    SendCmd("REST 0", {});
  }
  return resume_probe_ == 1;
}

}  // namespace hemlo::ftp
