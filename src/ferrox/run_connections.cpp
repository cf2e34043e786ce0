#include "ferrox/run_connections.h"

#include "remote/connection.h"
#include "remote/ftp_errors.h"
#include "remote/ftp_remote_files.h"
#include "ferrox/sync_place.h"

namespace hemlo::transfer_ui {

namespace {

// A slot's files over an FTP connection: its own (kept while the files
// live) or the place's. Uploads go in the mode box's type: TYPE goes out
// when it changes, as on the window's connection; the other calls as they
// are.
class SlotFtpFiles : public transfer::FtpRemoteFiles {
 public:
  SlotFtpFiles(ftp::TIdFTP& client, std::unique_ptr<transfer::Connection> own,
               transfer::TransferMode type)
      : FtpRemoteFiles(client), own_(std::move(own)), type_(type) {}

  void Upload(const std::string& local_path, const std::string& remote_path,
              const transfer::ByteProgress& progress) override {
    if (type_ == transfer::TransferMode::kBinary) {
      FtpRemoteFiles::Upload(local_path, remote_path, progress);
      return;
    }
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
  std::unique_ptr<transfer::Connection> own_;  // null: the place's connection
  transfer::TransferMode type_;
};

// A slot's files over an SFTP connection of its own, in the folder its
// login changed into.
class SlotSftpFiles : public transfer::SftpRemoteFiles {
 public:
  explicit SlotSftpFiles(std::unique_ptr<transfer::Connection> own)
      : SftpRemoteFiles(*own->SftpFiles()), own_(std::move(own)) {}

 private:
  std::unique_ptr<transfer::Connection> own_;
};

}  // namespace

publish::RemoteFactory RunConnections(SyncPlace& place, const std::string& start_folder,
                                      text::NameEncoding encoding,
                                      transfer::TransferMode upload_type) {
  transfer::Connection& link = place.Link();
  // Names as the place's connection sends them.
  const transfer::NameEncodingMode names = encoding == text::NameEncoding::kUtf8
                                               ? transfer::NameEncodingMode::kUtf8
                                               : transfer::NameEncodingMode::kShiftJis;
  return [&link, like = link.LoginLikeThis(), start_folder, names, upload_type](
             int slot,
             const publish::CancelRegistrar& cancel_with) -> std::unique_ptr<transfer::RemoteFiles> {
    // FTP: the place's own connection is warm, it goes first. Once Escape
    // has cancelled it or the line has cut it, a fresh one stands in (to
    // open the slot again, or to clean up after the cancel). SFTP: each
    // slot logs in on its own; the place's connection stays as it is.
    ftp::TIdFTP& own = link.Ftp();
    if (!like.sftp && slot == 0 && own.Connected() && !own.CancelFired())
      return std::make_unique<SlotFtpFiles>(own, nullptr, upload_type);
    auto extra = transfer::Connection::Like(link, like);
    extra->ConnectHere(start_folder, names, cancel_with);
    if (like.sftp) return std::make_unique<SlotSftpFiles>(std::move(extra));
    ftp::TIdFTP& client = extra->Ftp();
    return std::make_unique<SlotFtpFiles>(client, std::move(extra), upload_type);
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
