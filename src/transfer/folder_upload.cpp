#include "transfer/folder_upload.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include "base/preview_record.h"
#include "remote/ftp_errors.h"

namespace hemlo::transfer {

namespace fs = std::filesystem;

namespace texts {
std::string FolderNotCreated(std::string_view rel) {
  return "ﾌｫﾙﾀﾞ「" + std::string(rel) + "」\r\nが作成できません";
}
std::string CannotUploadRoot() { return "ルートフォルダはフォルダアップロードできません"; }
std::string FolderUnreadable(std::string_view path) {
  return "「" + std::string(path) + "」\r\nの中身を読めないため、スキップします";
}
std::string DoneWithoutPreviewCopies(int count) {
  return "完了（ﾌﾟﾚﾋﾞｭｰ用のﾌｧｲﾙ " + std::to_string(count) + " 個は送っていません）";
}
}  // namespace texts

LocalTree CollectUploadTree(const std::string& root) {
  LocalTree tree;
  tree.FolderList.push_back(root);
  for (size_t k = 0; k < tree.FolderList.size(); ++k) {
    const std::string folder = tree.FolderList[k];
    std::vector<std::pair<std::string, bool>> entries;  // name, is folder
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec), end;
    if (ec) {
      tree.Unreadable.push_back(folder);
      continue;
    }
    for (; it != end; it.increment(ec)) {
      if (ec) break;
      std::error_code tec;
      const bool is_folder = it->symlink_status(tec).type() == fs::file_type::directory;
      entries.emplace_back(it->path().filename().string(), is_folder);
    }
    if (ec) tree.Unreadable.push_back(folder);
    std::sort(entries.begin(), entries.end());
    for (const auto& [name, is_folder] : entries) {
      (is_folder ? tree.FolderList : tree.FileList).push_back(folder + "/" + name);
    }
  }
  return tree;
}

std::string RemoteParentPath(const std::string& path) {
  std::string p = path;
  if (!p.empty() && p.back() == '/') p.pop_back();
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

namespace {

void Plain(Prompts& prompts, const std::string& text) {
  prompts.Message("", text, Buttons::Ok, Icon::None);
}

// The remote path of a local path below base, or nullopt after reporting
// why it cannot be sent.
std::optional<std::string> RemotePath(TransferContext& ctx, const std::string& rel_utf8) {
  auto rel = WireNameOrSkip(ctx, rel_utf8);
  if (!rel) return std::nullopt;
  if (rel->size() > kMaxRemotePath) {
    Plain(ctx.prompts, texts::PathTooLong(rel_utf8));
    ++ctx.skipped;
    return std::nullopt;
  }
  return rel;
}

}  // namespace

OpOutcome UploadFolderTree(TransferContext& ctx, const ParallelFiles* parallel) {
  if (!ctx.remote->Connected()) return OpOutcome::kNothing;
  std::string root = ctx.local_folder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  const size_t slash = root.rfind('/');
  if (root.empty() || root == "/" || slash == std::string::npos) {
    // A file-system root has no name of its own to give the remote folder.
    Plain(ctx.prompts, texts::CannotUploadRoot());
    return OpOutcome::kNothing;
  }

  ctx.host.SetStatusText(texts::kUploading);
  ctx.prompts.ProcessEvents();
  const LocalTree tree = CollectUploadTree(root);
  for (const std::string& folder : tree.Unreadable)
    Plain(ctx.prompts, texts::FolderUnreadable(folder));

  const std::string base = root.substr(0, slash + 1);
  // No remote parent path equals base's own text, so the first folder lists.
  std::optional<std::string> last_listed;
  std::vector<OpEntry> listed;
  BusyScope busy(ctx.host);
  const auto progress = ctx.remote->ReportProgress(ctx.host);
  bool stopped = false;
  int preview_copies = 0;

  try {
    // Folders that do not exist remotely after this phase; nothing below
    // them can exist either, so they are reported without listing.
    std::set<std::string> missing;
    for (const std::string& folder : tree.FolderList) {
      const std::string rel_utf8 = folder.substr(base.size());
      if (const auto rel = RemotePath(ctx, rel_utf8)) {
        const std::string parent = RemoteParentPath(*rel);
        bool exists = false;
        if (!parent.empty() && missing.count(parent)) {
          missing.insert(*rel + "/");
          Plain(ctx.prompts, texts::FolderNotCreated(rel_utf8));
        } else {
          if (parent != last_listed) {
            size_t ignored = 0;
            listed = ctx.remote->List(parent, /*hidden=*/false, ignored);
            last_listed = parent;
          }
          for (const OpEntry& item : listed) {
            if (item.folder && parent + item.name == *rel) {
              exists = true;
              break;
            }
          }
          if (!exists) {
            try {
              ctx.remote->MakeFolder(*rel);
            } catch (const std::exception& e) {
              if (!RemoteErrorOf(e)) throw;
              if (EndsOperation(ctx, e)) throw;
              missing.insert(*rel + "/");
              Plain(ctx.prompts, texts::FolderNotCreated(rel_utf8));
            }
          }
        }
      }
      if (StopTest(ctx)) {
        stopped = true;
        break;
      }
      ctx.prompts.ProcessEvents();
    }

    // Preview copies this program wrote beside the pages stay at home.
    std::vector<std::string> files;
    for (const std::string& file : tree.FileList)
      if (PreviewRecord::Shared().IsOurs(file))
        ++preview_copies;
      else
        files.push_back(file);
    if (!stopped && parallel && parallel->connections > 1 && files.size() > 1) {
      std::vector<detail::FileToSend> sends;
      for (const std::string& file : files) {
        const std::string rel_utf8 = file.substr(base.size());
        if (const auto rel = RemotePath(ctx, rel_utf8)) sends.push_back({file, rel_utf8, *rel});
      }
      stopped = detail::SendInParallel(ctx, sends, base, *parallel);
      files.clear();
    }
    const int count = static_cast<int>(files.size());
    int i = 0;
    for (const std::string& file : files) {
      if (stopped) break;
      ++i;
      if (StopTest(ctx)) {
        stopped = true;
        break;
      }
      ctx.prompts.ProcessEvents();
      const std::string rel_utf8 = file.substr(base.size());
      const auto rel = RemotePath(ctx, rel_utf8);
      if (!rel) continue;
      ctx.host.SetStatusText(ProgressText(file, i, count));
      ctx.host.SetFileProgress(i, count);
      try {
        // The client sends TYPE only when the mode differs from the last one.
        ctx.remote->SetTransferType(ctx.mode);
        ctx.remote->Upload(file, *rel);
      } catch (const std::exception& e) {
        if (!RemoteErrorOf(e)) throw;
        if (EndsOperation(ctx, e)) {
          TellIfLeftPartial(ctx, rel_utf8);
          throw;
        }
        Plain(ctx.prompts, texts::UploadRefused(rel_utf8));
        TellIfLeftPartial(ctx, rel_utf8);
      }
    }
  } catch (const std::exception& e) {
    ReportOrRethrow(ctx, e);
    return OpOutcome::kFailed;
  }

  ctx.host.SetFileProgress(0, 0);
  RefreshRemoteOrReport(ctx);
  ctx.host.SetStatusText(texts::DoneWithCounts(
      preview_copies ? texts::DoneWithoutPreviewCopies(preview_copies) : texts::kDone, ctx.skipped,
      ctx.unread));
  ctx.host.UncheckSelectAll();
  return stopped ? OpOutcome::kStopped : OpOutcome::kDone;
}

}  // namespace hemlo::transfer
