#include "ferrox/run_connections.h"

#include "remote/connection.h"
#include "ferrox/sync_place.h"

namespace hemlo::transfer_ui {

publish::RemoteFactory RunConnections(SyncPlace& place, const std::string& start_folder,
                                      text::NameEncoding encoding,
                                      transfer::TransferMode upload_type) {
  transfer::Connection& link = place.Link();
  // Names as the place's connection sends them.
  const transfer::NameEncodingMode names = encoding == text::NameEncoding::kUtf8
                                               ? transfer::NameEncodingMode::kUtf8
                                               : transfer::NameEncodingMode::kShiftJis;
  return
      [&link, like = link.LoginLikeThis(), start_folder, names, upload_type](
          int slot,
          const publish::CancelRegistrar& cancel_with) -> std::unique_ptr<transfer::RemoteFiles> {
        // FTP: the place's own connection is warm, it goes first. SFTP: each
        // slot logs in on its own; the place's connection stays as it is.
        return transfer::Connection::SlotFiles(link, like, slot,
                                               {start_folder, names, cancel_with, {}}, upload_type);
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
