#pragma once
// The file phase of ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ over several connections, through the
// site sync's run in place. Internal to folder_upload*.cpp.
#include <string>
#include <vector>

#include "transfer/folder_upload.h"

namespace hemlo::transfer::detail {

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

}  // namespace hemlo::transfer::detail
