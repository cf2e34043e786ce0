#pragma once
// The file phase of ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ over several connections, through the
// site sync's run in place (SendInParallel is internal to folder_upload*.cpp).
#include <string>
#include <vector>

#include "publish/publish_run.h"
#include "transfer/transfer_ops.h"

namespace hemlo::transfer {

// The files of a folder upload over several connections, when the profile
// asks for it; the folders are made first, as always, on ctx's connection.
struct ParallelFiles {
  int connections = 1;      // 2-8 to take effect
  std::string remote_root;  // the current remote folder, absolute, wire bytes
  // Opens connection `slot` on a worker thread of the run (slot 0 may be
  // the window's own); throws when the server refuses it.
  publish::RemoteFactory factory;
};

namespace detail {

struct FileToSend {
  std::string local;  // full local path (UTF-8)
  std::string rel;    // relative path as the user reads it (UTF-8)
  std::string wire;   // relative remote path, wire bytes
};

// Sends `files` over the connections `parallel` opens, showing progress
// and naming every file that did not go; true when Escape stopped it (the
// stop message shown). Throws ftp::EIdOperationAborted when the stop cost
// the window's connection (the window reports it).
bool SendInParallel(TransferContext& ctx, const std::vector<FileToSend>& files,
                    const std::string& base, const ParallelFiles& parallel);

}  // namespace detail
}  // namespace hemlo::transfer
