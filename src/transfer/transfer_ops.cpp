#include "transfer/transfer_ops.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "base/version_store.h"
#include "ftp/id_exception.h"
#include "transfer/certificate_check.h"

namespace hemlo::transfer {

namespace fs = std::filesystem;
using ftp::TIdDirItemType;

namespace {

// What the versions window names as having written over a local file.
constexpr const char* kDownloadWriter = "Ferroxのダウンロード";


// A local failure that ends an operation with its own message, shown in the
// standard error box like a client error.
class LocalFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string WithSlash(const std::string& folder) {
  if (!folder.empty() && folder.back() == '/') return folder;
  return folder + "/";
}

void Plain(Prompts& prompts, const std::string& text) {
  prompts.Message("", text, Buttons::Ok, Icon::None);
}

}  // namespace

namespace texts {
std::string UploadRefused(std::string_view name) {
  return "「" + std::string(name) + "」\r\nがｱｯﾌﾟﾛｰﾄﾞできません\r\n\r\nｻｰﾊﾞによって拒否されます";
}
std::string LocalFolderFailed(std::string_view path) {
  return std::string(path) + "は作成できません";
}
std::string NotConvertible(std::string_view name, std::string_view encoding) {
  return "「" + std::string(name) + "」\r\nの名前は" + std::string(encoding) +
         "とファイル名の間で変換できないため、スキップします";
}
std::string NotRepresentable(std::string_view name, std::string_view encoding,
                             std::string_view character) {
  return "「" + std::string(name) + "」\r\nの名前には" + std::string(encoding) +
         "で表せない文字「" + std::string(character) + "」があるため、スキップします";
}
std::string DoneWithCounts(std::string_view done, int skipped, size_t unread) {
  std::string out(done);
  if (skipped == 0 && unread == 0) return out;
  out += "（";
  if (skipped) out += std::to_string(skipped) + " 件をスキップしました";
  if (skipped && unread) out += "、";
  if (unread) out += std::to_string(unread) + " 件を読めませんでした";
  return out + "）";
}
std::string UnsafeName(std::string_view name) {
  return "「" + std::string(name) + "」\r\nはフォルダの外を指す名前のため、スキップします";
}
std::string RemoteIncomplete(std::string_view name) {
  return "サーバの「" + std::string(name) +
         "」は途中までしか送られていないため、不完全です（もう一度アップロードしてください）";
}
std::string LinkUnreadable(std::string_view name) {
  return "「" + std::string(name) + "」\r\nはリンク先をファイルとして読めないため、スキップします";
}
std::string PathTooLong(std::string_view name) {
  return "「" + std::string(name) + "」\r\nはパスが255バイトを超えるため、スキップします";
}
}  // namespace texts

std::optional<std::string> WireNameOrSkip(TransferContext& ctx, std::string_view utf8) {
  if (auto wire = ctx.names.ToWire(utf8)) return wire;
  const std::string c = ctx.names.FirstUnrepresentable(utf8);
  ctx.prompts.Message("",
                      c.empty() ? texts::NotConvertible(utf8, ctx.names.EncodingName())
                                : texts::NotRepresentable(utf8, ctx.names.EncodingName(), c),
                      Buttons::Ok, Icon::None);
  ++ctx.skipped;
  return std::nullopt;
}

const std::optional<std::string>& LocalNameOrSkip(TransferContext& ctx, const ListedName& name) {
  if (!name.Local()) {
    ctx.prompts.Message("", texts::NotConvertible(name.Display(), ctx.names.EncodingName()),
                        Buttons::Ok, Icon::None);
    ++ctx.skipped;
  }
  return name.Local();
}

void TellIfLeftPartial(TransferContext& ctx, std::string_view remote) {
  if (ctx.remote->UploadLeftPartial()) Plain(ctx.prompts, texts::RemoteIncomplete(remote));
}

std::string DoneText(const TransferContext& ctx) {
  return texts::DoneWithCounts(texts::kDone, ctx.skipped, ctx.unread);
}

std::string ProgressText(std::string_view name, int n, int m) {
  return std::string(name) + "(" + std::to_string(n) + "/" + std::to_string(m) + ")";
}

void ShowClientError(Prompts& prompts, const std::exception& e, const text::RemoteNames& names) {
  if (IsQuietLoss(e)) return;
  prompts.Error(ClientErrorText(e, names));
}

bool StopTest(TransferContext& ctx) {
  if (!ctx.host.IdleFlag()) return false;
  ctx.host.StopHonoured();
  ctx.prompts.Message(texts::kStopCaption, texts::kStopText, Buttons::Ok, Icon::None);
  return true;
}

bool EndsOperation(TransferContext& ctx, const std::exception& e) {
  return ctx.host.WaitCancelled() || !ctx.remote->Connected() || IsQuietLoss(e) ||
         IsCancelled(e);
}

void ReportOrRethrow(TransferContext& ctx, const std::exception& e) {
  if (EndsOperation(ctx, e)) throw;
  ShowClientError(ctx.prompts, e, ctx.names);
}

bool RefreshRemoteOrReport(TransferContext& ctx) {
  try {
    ctx.host.RefreshRemoteList();
    return true;
  } catch (const std::exception& e) {
    ReportOrRethrow(ctx, e);
    return false;
  }
}

// ---------------------------------------------------------------- upload

namespace {

// Sends one local file; a refusal is reported and the caller goes on. A
// lost connection or an aborted wait ends the whole operation.
void UploadOne(TransferContext& ctx, const std::string& local_path, const std::string& name_utf8) {
  const auto remote = WireNameOrSkip(ctx, name_utf8);
  if (!remote) return;
  try {
    ctx.remote->Upload(local_path, *remote);
  } catch (const remote::RemoteError& e) {
    if (EndsOperation(ctx, e)) {
      TellIfLeftPartial(ctx, name_utf8);
      throw;
    }
    Plain(ctx.prompts, texts::UploadRefused(local_path));
    TellIfLeftPartial(ctx, name_utf8);
  }
}

template <typename Loop>
OpOutcome RunUpload(TransferContext& ctx, bool nothing_to_send, Loop loop) {
  if (!ctx.remote->Connected()) return OpOutcome::kNothing;
  try {
    ctx.remote->SetTransferType(ctx.mode);
  } catch (const std::exception& e) {
    ReportOrRethrow(ctx, e);
    return OpOutcome::kFailed;
  }
  if (nothing_to_send) return OpOutcome::kNothing;

  BusyScope busy(ctx.host);
  const auto progress = ctx.remote->ReportProgress(ctx.host);
  ctx.host.SetStatusText(texts::kUploading);
  ctx.prompts.ProcessEvents();
  OpOutcome outcome = loop();
  if (outcome == OpOutcome::kFailed) return outcome;
  ctx.host.SetFileProgress(0, 0);
  RefreshRemoteOrReport(ctx);
  ctx.host.SetStatusText(DoneText(ctx));
  ctx.host.UncheckSelectAll();
  return outcome;
}

}  // namespace

OpOutcome UploadFiles(TransferContext& ctx, const LocalSelection& source) {
  return RunUpload(ctx, source.names.empty(), [&] {
    const std::string base = WithSlash(ctx.local_folder);
    const int m = static_cast<int>(source.names.size());
    int n = 0;
    for (const std::string& name : source.names) {
      const std::string path = base + name;
      ++n;
      ctx.host.SetStatusText(ProgressText(name, n, m));
      ctx.host.SetFileProgress(n, m);
      UploadOne(ctx, path, name);
      if (StopTest(ctx)) return OpOutcome::kStopped;
      ctx.prompts.ProcessEvents();
    }
    return OpOutcome::kDone;
  });
}

OpOutcome UploadFiles(TransferContext& ctx, const DroppedFiles& source) {
  return RunUpload(ctx, source.paths.empty(), [&] {
    std::vector<bool> is_folder;
    int m = 0;
    for (const std::string& path : source.paths) {
      std::error_code ec;
      is_folder.push_back(fs::is_directory(fs::path(path), ec));
      if (!is_folder.back()) ++m;
    }
    int n = 0;
    for (size_t k = 0; k < source.paths.size(); ++k) {
      if (is_folder[k]) continue;  // folders are skipped without a word
      const std::string& path = source.paths[k];
      ++n;
      ctx.host.SetStatusText(ProgressText(path, n, m));
      ctx.host.SetFileProgress(n, m);
      UploadOne(ctx, path, fs::path(path).filename().string());
      if (StopTest(ctx)) return OpOutcome::kStopped;
      ctx.prompts.ProcessEvents();
    }
    return OpOutcome::kDone;
  });
}

// -------------------------------------------------------------- download

RemoteTree CollectRemoteTree(TransferContext& ctx, const ListedName& root) {
  RemoteTree tree;
  tree.FolderList.push_back(root);
  // The list grows while it is walked: index, not iterator.
  for (size_t k = 0; k < tree.FolderList.size(); ++k) {
    if (k > 0) {
      ctx.prompts.ProcessEvents();
      if (StopTest(ctx)) {
        tree.Stopped = true;
        break;
      }
    }
    const ListedName folder = tree.FolderList[k];
    // Hidden entries too: a folder holding ".htaccess" must empty completely.
    for (const OpEntry& item : ctx.remote->List(folder.Wire(), /*hidden=*/true, ctx.unread)) {
      if (item.name == "." || item.name == "..") continue;
      const ListedName name(ctx.names, item.name);
      if (name.Unsafe()) {
        // A broken or hostile server; joining the name would leave the tree.
        Plain(ctx.prompts, texts::UnsafeName(name.Display()));
        ++ctx.skipped;
        continue;
      }
      if (item.folder) {
        tree.FolderList.push_back(folder.Child(name));
      } else {
        tree.FileList.push_back(folder.Child(name));
        tree.FileIsLink.push_back(item.link);
      }
    }
  }
  return tree;
}

OpOutcome DownloadRemoteTree(TransferContext& ctx, const RemoteTree& tree) {
  const std::string base = WithSlash(ctx.local_folder);
  // Below a folder that could not be named locally everything is skipped
  // without a word: the folder was reported.
  for (const ListedName& folder : tree.FolderList) {
    if (folder.LocalLostAbove()) continue;
    const auto& name = LocalNameOrSkip(ctx, folder);
    if (!name) continue;
    const std::string local = base + *name;
    std::error_code ec;
    if (fs::is_directory(fs::path(local), ec)) continue;
    // One level: parents come earlier in the list.
    if (!fs::create_directory(fs::path(local), ec) || ec)
      throw LocalFailure(texts::LocalFolderFailed(local));
  }

  const int count = static_cast<int>(tree.FileList.size());
  int i = 0;
  for (const ListedName& file : tree.FileList) {
    ++i;
    if (file.LocalLostAbove()) continue;
    const auto& name = LocalNameOrSkip(ctx, file);
    if (!name) continue;
    ctx.host.SetStatusText(ProgressText(file.Display(), i, count));
    ctx.host.SetFileProgress(i, count);
    ctx.remote->SetTransferType(ctx.mode);
    try {
      // A local page about to be replaced keeps its bytes (never a reason not to download).
      (void)KeepBeforeWrite(base + *name, kDownloadWriter);
      ctx.remote->Download(file.Wire(), base + *name);
    } catch (const remote::RemoteError& e) {
      // One link that loops must not cost the rest of the tree.
      const bool link = size_t(i - 1) < tree.FileIsLink.size() && tree.FileIsLink[size_t(i - 1)];
      if (!link || EndsOperation(ctx, e)) throw;
      Plain(ctx.prompts, texts::LinkUnreadable(file.Display()));
      ++ctx.skipped;
    }
    if (StopTest(ctx)) return OpOutcome::kStopped;
    ctx.prompts.ProcessEvents();
  }
  return OpOutcome::kDone;
}

OpOutcome DownloadSelection(TransferContext& ctx, const std::vector<RemoteRow>& rows) {
  int selected = 0;
  for (const RemoteRow& row : rows)
    if (row.selected) ++selected;
  if (!ctx.remote->Connected() || selected == 0) return OpOutcome::kNothing;

  ctx.host.SetStatusText(texts::kDownloading);
  ctx.prompts.ProcessEvents();
  const std::string base = WithSlash(ctx.local_folder);
  int n = 0;
  BusyScope busy(ctx.host);
  const auto progress = ctx.remote->ReportProgress(ctx.host);
  OpOutcome outcome = OpOutcome::kDone;
  try {
    for (const RemoteRow& row : rows) {
      if (!row.selected) continue;
      const ListedName name(ctx.names, row.name);
      if (name.Unsafe()) {
        Plain(ctx.prompts, texts::UnsafeName(name.Display()));
        ++ctx.skipped;
        continue;
      }
      if (row.folder) {
        const RemoteTree tree = CollectRemoteTree(ctx, name);
        if (tree.Stopped || DownloadRemoteTree(ctx, tree) == OpOutcome::kStopped) {
          outcome = OpOutcome::kStopped;
          break;
        }
        continue;
      }
      ++n;
      ctx.host.SetStatusText(ProgressText(name.Display(), n, selected));
      ctx.host.SetFileProgress(n, selected);
      const auto& local = LocalNameOrSkip(ctx, name);
      if (!local) continue;
      ctx.remote->SetTransferType(ctx.mode);
      (void)KeepBeforeWrite(base + *local, kDownloadWriter);
      ctx.remote->Download(row.name, base + *local);
      if (StopTest(ctx)) {
        outcome = OpOutcome::kStopped;
        break;
      }
      ctx.prompts.ProcessEvents();
    }
  } catch (const std::exception& e) {
    // The first failure ends the download; the status keeps its last text.
    ReportOrRethrow(ctx, e);
    return OpOutcome::kFailed;
  }
  ctx.host.SetFileProgress(0, 0);
  ctx.host.RefreshLocalLists();
  ctx.host.SetStatusText(DoneText(ctx));
  ctx.host.UncheckSelectAll();
  return outcome;
}

}  // namespace hemlo::transfer
