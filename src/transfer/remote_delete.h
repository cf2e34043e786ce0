#pragma once
// Commands of the remote list's context menu that change the server:
// "フォルダ作成", "削除" of files, and the deletion of a remote folder tree.
#include <string>
#include <vector>

#include "transfer/transfer_ops.h"

namespace hemlo::transfer {

// The folders of a collected tree in the order they can be removed: deepest
// first by the number of "/" in the path (any depth), each depth in
// descending case-insensitive order.
std::vector<ListedName> FoldersDeepestFirst(std::vector<ListedName> folders);

// "削除" (Delete1): the first selected row decides. A folder goes to
// DeleteRemoteFolder; otherwise, after the 警告 box, every selected row is
// deleted as a file, with the stop test before each row.
OpOutcome DeleteSelection(TransferContext& ctx, const std::vector<RemoteRow>& rows);

// Deletes the first selected row's folder with everything in it: files
// first, then folders deepest first. No stop test; leaves the idle flag.
OpOutcome DeleteRemoteFolder(TransferContext& ctx, const std::vector<RemoteRow>& rows);

// "フォルダ作成": asks for a name and creates it in the current remote
// folder. `current_remote_folder` is Label5; nothing happens when empty.
OpOutcome CreateRemoteFolder(TransferContext& ctx, const std::string& current_remote_folder);

namespace texts {
// name + "を削除します。\n\n   よろしいですか？"
std::string ConfirmDelete(std::string_view name);
inline constexpr const char* kCreateFolderCaption = "ﾌｫﾙﾀﾞ作成";
inline constexpr const char* kCreateFolderPrompt = "新しいﾌｫﾙﾀﾞ名を指定してください";
}  // namespace texts

}  // namespace hemlo::transfer
