#pragma once
// "↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ": mirrors the local folder, with everything below it, into
// the current remote folder. The remote side gets a folder of the local
// folder's name; missing folders are created level by level, existing ones
// reused, and every file is uploaded, replacing a remote file of that name.
#include <string>
#include <vector>

#include "transfer/folder_upload_parallel.h"
#include "transfer/transfer_ops.h"

namespace hemlo::transfer {

// The longest remote path the tool sends, in Shift-JIS bytes. Longer paths
// are reported and skipped: cutting them would name another remote file.
inline constexpr size_t kMaxRemotePath = 255;

// Local folders and files below a root (UTF-8, "/"-separated): folders
// breadth-first starting with root, files in the order their folders were
// visited, each folder's entries in name order. Hidden entries included;
// symbolic links are not followed into.
struct LocalTree {
  std::vector<std::string> FolderList;
  std::vector<std::string> FileList;
  std::vector<std::string> Unreadable;  // folders whose entries could not be read
};
LocalTree CollectUploadTree(const std::string& root);

// Everything up to and including the last "/" of a remote path (a trailing
// "/" is dropped first); empty when there is none. "/" never occurs inside
// a Shift-JIS double-byte character, so a byte search is exact.
std::string RemoteParentPath(const std::string& path);

// Button11's operation over ctx.local_folder; the files one after another
// on ctx's connection, unless `parallel` asks for more than one.
OpOutcome UploadFolderTree(TransferContext& ctx, const ParallelFiles* parallel = nullptr);

namespace texts {
// "ﾌｫﾙﾀﾞ「" + rel + "」\r\nが作成できません"
std::string FolderNotCreated(std::string_view rel);
std::string CannotUploadRoot();
std::string FolderUnreadable(std::string_view path);
// The end of an upload that left the program's preview copies at home.
std::string DoneWithoutPreviewCopies(int count);
}  // namespace texts

}  // namespace hemlo::transfer
