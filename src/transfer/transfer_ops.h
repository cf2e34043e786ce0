#pragma once
// Transfers of the Ferrox tool: upload of selected or dropped local files,
// download of selected remote rows and whole remote folders, and the remote
// tree walk that the folder download and the folder deletion share.
//
// Core code (no Qt). The window hands each operation the FTP client, its
// prompts, a TransferHost for status, progress and the idle flag, and plain
// lists of names. Local names are UTF-8 paths with "/" separators; remote
// names are the server's bytes in the connection's name encoding (ctx.names).
// A name that cannot cross that boundary exactly is reported and skipped,
// never sent or written mangled, and the end status says how many were.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/prompts.h"
#include "ftp/id_ftp.h"
#include "text/remote_names.h"
#include "transfer/listed_name.h"
#include "remote/remote_files.h"
#include "remote/transfer_mode.h"
#include "transfer/transfer_host.h"

namespace hemlo::transfer {

// One row of the remote list as the window shows it.
struct RemoteRow {
  std::string name;     // the server's bytes, as listed
  bool folder = false;  // image 0
  bool selected = false;
  std::string permissions;  // the nine letters of the "属性" cell
  // The name the server deletes the entry itself by, when not `name` (a
  // VMS folder WWW is WWW.DIR;1); its contents are reached through `name`.
  std::string wire = {};
};

struct TransferContext {
  RemoteFiles& remote;
  Prompts& prompts;
  TransferHost& host;
  std::string local_folder;  // UTF-8 absolute path of the local pane
  // The mode box: item 0 ("ｱｽｷｰ") is kAscii, anything else kBinary.
  TransferMode mode = TransferMode::kBinary;
  // How names travel on this connection.
  text::RemoteNames names{};
  // Names reported and skipped so far; the end status counts them.
  int skipped = 0;
  // Listing lines of walked folders that could not be read (their entries
  // are missing from the walk); the end status counts them too.
  size_t unread = 0;
};

// A command's upload of `local_path` to `remote_path`, through a free
// temporary name beside it where the protocol goes through one.
void StoreFile(RemoteFiles& remote, const std::string& local_path,
               const std::string& remote_path);
// The host's byte progress, as the remote side reports it.
ByteProgress ProgressOf(TransferHost& host);

enum class OpOutcome {
  kNothing,  // preconditions not met; nothing was sent (apart from TYPE)
  kDone,
  kStopped,  // the user stopped it; the end steps ran
  kFailed,   // an error ended it; the message was shown
};

// Remote folders and files below a root, paths relative to the current
// remote folder joined with "/", each in every form it is used in, made
// when it was listed. FolderList starts with root.
struct RemoteTree {
  std::vector<ListedName> FolderList;
  std::vector<ListedName> FileList;
  std::vector<bool> FileIsLink;  // beside FileList: listed as a link
  bool Stopped = false;  // the stop test ended the walk; the lists are partial
};

// Selected local rows (names in the local folder) or the paths dropped from
// the desktop (full paths, in the order the desktop gave them).
struct LocalSelection {
  std::vector<std::string> names;
};
struct DroppedFiles {
  std::vector<std::string> paths;
};

OpOutcome UploadFiles(TransferContext& ctx, const LocalSelection& source);
OpOutcome UploadFiles(TransferContext& ctx, const DroppedFiles& source);

// Downloads the selected rows of `rows` (in list order): folders with
// everything in them, files into the local folder.
OpOutcome DownloadSelection(TransferContext& ctx, const std::vector<RemoteRow>& rows);

// Breadth-first walk below `root` (a remote name), hidden entries included.
// "." and ".." are skipped silently; names that could escape the tree ("/",
// "\\", control characters, empty) are reported and skipped; listing lines
// that cannot be read are counted in ctx.unread. Between folders events run
// and the stop test may end the walk. Client errors propagate.
RemoteTree CollectRemoteTree(TransferContext& ctx, const ListedName& root);

// Downloads a collected tree below the local folder. Returns kStopped when
// the stop test fired; errors propagate (the caller shows them), except
// that a link the server will not read as a file (a loop, a folder,
// nothing) is reported and skipped.
OpOutcome DownloadRemoteTree(TransferContext& ctx, const RemoteTree& tree);

// ---- helpers shared by the operations ----

// "中断しました！！" when the idle flag is set; true = stop.
bool StopTest(TransferContext& ctx);

// A local (UTF-8) name or relative path as wire bytes; nullopt after
// reporting (naming the file and the character) and counting the skip.
std::optional<std::string> WireNameOrSkip(TransferContext& ctx, std::string_view utf8);
// The name's local form; nullopt after reporting and counting the skip.
const std::optional<std::string>& LocalNameOrSkip(TransferContext& ctx, const ListedName& name);
// After a failed upload of `remote` (as the user reads it): says that the
// server's file is now incomplete, where the server had begun storing it.
void TellIfLeftPartial(TransferContext& ctx, std::string_view remote);
// "完了", or "完了" with the number of names skipped and of listing lines
// that could not be read.
std::string DoneText(const TransferContext& ctx);

// "name(n/m)"
std::string ProgressText(std::string_view name, int n, int m);

// Shows an error of the client in the standard error box (nothing for the
// silent ones, which mean the peer went away).
void ShowClientError(Prompts& prompts, const std::exception& e,
                     const text::RemoteNames& names = text::RemoteNames());

// An error after which the operation cannot go on: the connection is gone
// or the user aborted the wait. The caller rethrows it; whoever started
// the operation reports it once.
bool EndsOperation(TransferContext& ctx, const std::exception& e);
// Inside a catch block: rethrows an error that ends the operation, shows
// any other.
void ReportOrRethrow(TransferContext& ctx, const std::exception& e);
// Re-reads the remote list after an operation; false when that failed and
// was reported (an error that ends the operation is rethrown).
bool RefreshRemoteOrReport(TransferContext& ctx);

// Clears the idle flag for its lifetime and sets it again on every way out,
// so a failed operation never leaves the window unclosable.
class BusyScope {
 public:
  explicit BusyScope(TransferHost& host) : host_(host) { host_.SetIdleFlag(false); }
  ~BusyScope() { host_.SetIdleFlag(true); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  TransferHost& host_;
};

// Program texts shared by the operations (UTF-8).
namespace texts {
inline constexpr const char* kUploading = "ｱｯﾌﾟﾛｰﾄﾞ中...";
inline constexpr const char* kDownloading = "ﾀﾞｳﾝﾛｰﾄﾞ中...";
inline constexpr const char* kDeleting = "削除中...";
inline constexpr const char* kDone = "完了";
inline constexpr const char* kStopCaption = "中断";
inline constexpr const char* kStopText = "中断しました！！";
inline constexpr const char* kWarningCaption = "警告";
// "「" + name + "」\r\nがｱｯﾌﾟﾛｰﾄﾞできません\r\n\r\nｻｰﾊﾞによって拒否されます"
std::string UploadRefused(std::string_view name);
// name + "は作成できません"
std::string LocalFolderFailed(std::string_view path);
// A name the other side cannot represent exactly.
std::string NotConvertible(std::string_view name, std::string_view encoding = "Shift-JIS");
// A local name holding a character the connection's encoding lacks.
std::string NotRepresentable(std::string_view name, std::string_view encoding,
                             std::string_view character);
// `done` ("完了"), then what was left out: "（n 件をスキップしました）",
// "（n 件を読めませんでした）", or both in one bracket joined with "、".
std::string DoneWithCounts(std::string_view done, int skipped, size_t unread);
// A listed name that would leave the folder it was listed in.
std::string UnsafeName(std::string_view name);
// A remote file that an upload cut off left incomplete.
std::string RemoteIncomplete(std::string_view name);
// A listed link whose target cannot be fetched as a file.
std::string LinkUnreadable(std::string_view name);
// A remote path longer than the 255 bytes the tool allows.
std::string PathTooLong(std::string_view name);
}  // namespace texts

}  // namespace hemlo::transfer
