#include "ferrox/run_connections.h"

#include "remote/ftp_errors.h"
#include "remote/ftp_remote_files.h"
#include "ferrox/sync_place.h"

namespace hemlo::transfer_ui {

namespace {

// Uploads in the mode box's type (the connection's other calls as they
// are): TYPE goes out when it changes, as on the window's connection.
class TypedUploads : public transfer::FtpRemoteFiles {
 public:
  TypedUploads(std::unique_ptr<transfer::FtpRemoteFiles> owner, ftp::TIdFTP& client,
               transfer::TransferMode type)
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
      ftp.SetTransferType(transfer::FtpTransferType(type_));
      ftp.Upload(local_path, remote_path);
    } catch (...) {
      ftp.OnWork = saved;
      transfer::RethrowAsRemoteError();
    }
    ftp.OnWork = saved;
  }

 private:
  std::unique_ptr<transfer::FtpRemoteFiles> owner_;  // an extra connection's client
  transfer::TransferMode type_;
};

std::unique_ptr<transfer::RemoteFiles> Typed(std::unique_ptr<transfer::FtpRemoteFiles> remote,
                                             transfer::TransferMode type) {
  if (type == transfer::TransferMode::kBinary) return remote;
  ftp::TIdFTP& client = remote->Client();
  return std::make_unique<TypedUploads>(std::move(remote), client, type);
}

}  // namespace

publish::RemoteFactory RunConnections(SyncPlace& place, const std::string& start_folder,
                                      text::NameEncoding encoding,
                                      transfer::TransferMode upload_type) {
  transfer::Connection& link = place.Link();
  if (const sftp::ConnectOptions* sftp = link.SftpOptions()) {
    // Each slot logs in on its own; the place's connection stays as it is.
    return [&link, options = *sftp, start_folder](int, const publish::CancelRegistrar& cancel_with)
               -> std::unique_ptr<transfer::RemoteFiles> {
      return transfer::ConnectSftpRemoteFiles(options, link.SftpQuestions(), start_folder,
                                              cancel_with);
    };
  }
  const ftp::TIdFTP& client = link.Ftp();
  transfer::FtpEndpoint endpoint;
  endpoint.host_field = std::string(!client.UseTLS      ? ""
                                    : client.ImplicitTLS ? "ftps://"
                                                         : "ftpes://") +
                        client.Host +
                        ":" + std::to_string(client.Port);
  endpoint.user = client.Username;
  endpoint.password = client.Password;
  endpoint.start_folder = start_folder;
  endpoint.data_mode = place.Profiles().DataMode;
  // Names as the place's connection sends them.
  endpoint.encoding = encoding == text::NameEncoding::kUtf8 ? transfer::NameEncodingMode::kUtf8
                                                            : transfer::NameEncodingMode::kShiftJis;
  endpoint.configure = [verify = client.OnVerifyCertificate](ftp::TIdFTP& extra) {
    extra.OnVerifyCertificate = verify;
  };
  return [&link, endpoint, upload_type](int slot, const publish::CancelRegistrar& cancel_with)
             -> std::unique_ptr<transfer::RemoteFiles> {
    // The place's own connection is warm: it goes first. Once Escape has
    // cancelled it or the line has cut it, a fresh one stands in (to open
    // the slot again, or to clean up after the cancel).
    ftp::TIdFTP& own = link.Ftp();
    if (slot == 0 && own.Connected() && !own.CancelFired())
      return Typed(std::make_unique<transfer::FtpRemoteFiles>(own), upload_type);
    return Typed(transfer::ConnectFtpRemoteFiles(endpoint, cancel_with), upload_type);
  };
}

std::optional<transfer::ParallelFiles> FolderUploadConnections(SyncPlace& place,
                                                               transfer::TransferMode upload_type) {
  const transfer::ProfilePanel& p = place.Profiles();
  if (!p.FolderUploadParallel || p.Connections < 2 || !place.Link().Connected() ||
      place.RemoteFolder().empty())
    return std::nullopt;
  transfer::ParallelFiles parallel;
  parallel.connections = p.Connections;
  parallel.remote_root = place.RemoteFolder();
  parallel.factory = RunConnections(place, parallel.remote_root,
                                    place.Link().Session().Names.Encoding(), upload_type);
  return parallel;
}

}  // namespace hemlo::transfer_ui
