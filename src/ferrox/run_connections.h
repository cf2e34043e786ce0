#pragma once
// The connections of a run over several connections (the site sync, the
// folder upload when the profile asks for it), opened like the window's
// own: FTP with its TLS, account, data mode and certificate check, the
// place's connection first while it stands; SFTP each with a login of its
// own. Made on the owner's thread at the click; the factory runs on the
// run's workers.
#include <optional>
#include <string>

#include "publish/publish_run.h"
#include "remote/transfer_mode.h"
#include "text/remote_names.h"
#include "transfer/folder_upload.h"

namespace hemlo::transfer_ui {

class SyncPlace;

// Connections that start in `start_folder` (wire bytes) and name files in
// `encoding`; FTP uploads go in `upload_type`.
publish::RemoteFactory RunConnections(
    SyncPlace& place, const std::string& start_folder, text::NameEncoding encoding,
    transfer::TransferMode upload_type = transfer::TransferMode::kBinary);

// What ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ sends its files over: nullopt (the window's one
// connection, as always) unless the shown profile asks for its
// connections and has more than one.
// `upload_type` is the mode box's.
std::optional<transfer::ParallelFiles> FolderUploadConnections(SyncPlace& place,
                                                               transfer::TransferMode upload_type);

}  // namespace hemlo::transfer_ui
