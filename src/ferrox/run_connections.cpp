#include "ferrox/run_connections.h"

#include "remote/ftp_errors.h"
#include "remote/ftp_remote_files.h"
#include "ferrox/ftp_window.h"

namespace hemlo::transfer_ui {

namespace {

// Uploads in the mode box's type (the connection's other calls as they
// are): TYPE goes out when it changes, as on the window's connection.
class TypedUploads : public transfer::FtpRemoteFiles {
 public:
  TypedUploads(std::unique_ptr<transfer::FtpRemoteFiles> owner, ftp::TIdFTP& client,
               ftp::TIdFTPTransferType type)
      : FtpRemoteFiles(client), owner_(std::move(owner)), type_(type) {}

  void Upload(const std::string& local_path, const std::string& remote_path,
              const transfer::ByteProgress& progress) override {
    ftp::TIdFTP& ftp = Client();
    const ftp::TWorkEvent saved = ftp.OnWork;
    if (progress)
      ftp.OnWork = [progress](ftp::TIdTCPConnection&, ftp::TWorkMode, int64_t count) {
        progress(count, 0);
      };
    try {
      ftp.SetTransferType(type_);
      ftp.Upload(local_path, remote_path);
    } catch (...) {
      ftp.OnWork = saved;
      transfer::RethrowAsRemoteError();
    }
    ftp.OnWork = saved;
  }

 private:
  std::unique_ptr<transfer::FtpRemoteFiles> owner_;  // an extra connection's client
  ftp::TIdFTPTransferType type_;
};

std::unique_ptr<transfer::RemoteFiles> Typed(std::unique_ptr<transfer::FtpRemoteFiles> remote,
                                             ftp::TIdFTPTransferType type) {
  if (type == ftp::TIdFTPTransferType::ftBinary) return remote;
  ftp::TIdFTP& client = remote->Client();
  return std::make_unique<TypedUploads>(std::move(remote), client, type);
}

}  // namespace

publish::RemoteFactory RunConnections(TFtp1& w, const std::string& start_folder,
                                      text::NameEncoding encoding,
                                      ftp::TIdFTPTransferType upload_type) {
  if (const sftp::ConnectOptions* sftp = w.SftpOptions()) {
    // Each slot logs in on its own; the window's connection stays as it is.
    return [&w, options = *sftp, start_folder](int, const publish::CancelRegistrar& cancel_with)
               -> std::unique_ptr<transfer::RemoteFiles> {
      return transfer::ConnectSftpRemoteFiles(options, w.SftpQuestions(), start_folder,
                                              cancel_with);
    };
  }
  const ftp::TIdFTP& client = w.Client();
  transfer::FtpEndpoint endpoint;
  endpoint.host_field = std::string(!client.UseTLS      ? ""
                                    : client.ImplicitTLS ? "ftps://"
                                                         : "ftpes://") +
                        client.Host +
                        ":" + std::to_string(client.Port);
  endpoint.user = client.Username;
  endpoint.password = client.Password;
  endpoint.start_folder = start_folder;
  endpoint.data_mode = w.Profiles().DataMode;
  // Names as the window's connection sends them.
  endpoint.encoding = encoding == text::NameEncoding::kUtf8 ? transfer::NameEncodingMode::kUtf8
                                                            : transfer::NameEncodingMode::kShiftJis;
  endpoint.configure = [verify = client.OnVerifyCertificate](ftp::TIdFTP& extra) {
    extra.OnVerifyCertificate = verify;
  };
  return [&w, endpoint, upload_type](int slot, const publish::CancelRegistrar& cancel_with)
             -> std::unique_ptr<transfer::RemoteFiles> {
    // The window's own connection is warm: it goes first. Once Escape has
    // cancelled it or the line has cut it, a fresh one stands in (to open
    // the slot again, or to clean up after the cancel).
    ftp::TIdFTP& own = w.Client();
    if (slot == 0 && own.Connected() && !own.CancelFired())
      return Typed(std::make_unique<transfer::FtpRemoteFiles>(own), upload_type);
    return Typed(transfer::ConnectFtpRemoteFiles(endpoint, cancel_with), upload_type);
  };
}

std::optional<transfer::ParallelFiles> FolderUploadConnections(TFtp1& w) {
  const transfer::ProfilePanel& p = w.Profiles();
  if (!p.FolderUploadParallel || p.Connections < 2 || !w.RemoteConnected() ||
      w.RemoteFolder().empty())
    return std::nullopt;
  transfer::ParallelFiles parallel;
  parallel.connections = p.Connections;
  parallel.remote_root = w.RemoteFolder();
  parallel.factory =
      RunConnections(w, parallel.remote_root, w.Session().Names.Encoding(), w.TransferMode());
  return parallel;
}

}  // namespace hemlo::transfer_ui
