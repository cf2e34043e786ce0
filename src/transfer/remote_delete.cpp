#include "transfer/remote_delete.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "ftp/id_exception.h"
#include "transfer/folder_upload.h"
#include "text/cp932.h"

namespace hemlo::transfer {

namespace texts {
std::string ConfirmDelete(std::string_view name) {
  return std::string(name) + "を削除します。\n\n   よろしいですか？";
}
}  // namespace texts

namespace {

// Case-insensitive for single-byte letters only: a Shift-JIS trail byte
// that happens to be a letter is compared as it is.
int CompareText(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const size_t la = text::CharLength(a, i), lb = text::CharLength(b, j);
    if (la == 1 && lb == 1) {
      const int ca = AsciiLower(static_cast<unsigned char>(a[i]));
      const int cb = AsciiLower(static_cast<unsigned char>(b[j]));
      if (ca != cb) return ca < cb ? -1 : 1;
    } else {
      const int c = a.compare(i, la, b, j, lb);
      if (c != 0) return c < 0 ? -1 : 1;
    }
    i += la;
    j += lb;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool ConfirmWarning(TransferContext& ctx, const ListedName& name) {
  return ctx.prompts.Message(texts::kWarningCaption, texts::ConfirmDelete(name.Display()),
                             Buttons::YesNoCancel, Icon::Warning, Answer::No) == Answer::Yes;
}

const RemoteRow* FirstSelected(const std::vector<RemoteRow>& rows) {
  for (const RemoteRow& row : rows)
    if (row.selected) return &row;
  return nullptr;
}

}  // namespace

std::vector<ListedName> FoldersDeepestFirst(std::vector<ListedName> folders) {
  std::vector<std::pair<size_t, size_t>> keyed;  // depth, index
  keyed.reserve(folders.size());
  for (size_t i = 0; i < folders.size(); ++i) {
    const std::string& w = folders[i].Wire();
    keyed.emplace_back(std::count(w.begin(), w.end(), '/'), i);
  }
  std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& x, const auto& y) {
    if (x.first != y.first) return x.first > y.first;
    return CompareText(folders[x.second].Wire(), folders[y.second].Wire()) > 0;
  });
  std::vector<ListedName> out;
  out.reserve(keyed.size());
  for (const auto& k : keyed) out.push_back(std::move(folders[k.second]));
  return out;
}

OpOutcome DeleteRemoteFolder(TransferContext& ctx, const std::vector<RemoteRow>& rows) {
  const RemoteRow* row = FirstSelected(rows);
  if (!row || !row->folder) return OpOutcome::kNothing;
  const ListedName root(ctx.names, row->name);
  if (!ConfirmWarning(ctx, root)) return OpOutcome::kNothing;
  if (root.Unsafe()) {
    ctx.prompts.Message("", texts::UnsafeName(root.Display()), Buttons::Ok, Icon::None);
    return OpOutcome::kNothing;
  }
  ctx.host.SetStatusText(texts::kDeleting);
  ctx.prompts.ProcessEvents();
  // A long walk and many deletions: Escape stops it between steps, and the
  // list is then re-read to show what is left.
  bool stopped = false;
  try {
    BusyScope busy(ctx.host);
    RemoteTree tree = CollectRemoteTree(ctx, root);
    stopped = tree.Stopped;
    for (size_t i = 0; !stopped && i < tree.FileList.size(); ++i) {
      ctx.remote.DeleteFile(tree.FileList[i].Wire());
      ctx.prompts.ProcessEvents();
      stopped = StopTest(ctx);
    }
    for (const ListedName& folder :
         stopped ? std::vector<ListedName>{} : FoldersDeepestFirst(std::move(tree.FolderList))) {
      if (folder.Wire().size() > kMaxRemotePath) {
        // Cutting the path would remove some other folder.
        ctx.prompts.Error(texts::PathTooLong(folder.Display()));
        return OpOutcome::kFailed;
      }
      // The folder chosen goes by the name the server listed it under.
      const bool chosen = folder.Wire() == root.Wire() && !row->wire.empty();
      ctx.remote.RemoveFolder(chosen ? row->wire : folder.Wire());
    }
  } catch (const std::exception& e) {
    ReportOrRethrow(ctx, e);
    return OpOutcome::kFailed;
  }
  if (!RefreshRemoteOrReport(ctx)) return OpOutcome::kFailed;
  ctx.host.SetStatusText(DoneText(ctx));
  return stopped ? OpOutcome::kStopped : OpOutcome::kDone;
}

OpOutcome DeleteSelection(TransferContext& ctx, const std::vector<RemoteRow>& rows) {
  const RemoteRow* first = FirstSelected(rows);
  if (!first) return OpOutcome::kNothing;
  if (first->folder) return DeleteRemoteFolder(ctx, rows);
  if (!ConfirmWarning(ctx, ListedName(ctx.names, first->name))) return OpOutcome::kNothing;

  bool stopped = false;
  {
    BusyScope busy(ctx.host);
    ctx.host.SetStatusText(texts::kDeleting);
    try {
      for (const RemoteRow& row : rows) {
        ctx.prompts.ProcessEvents();
        if (StopTest(ctx)) {
          stopped = true;
          break;
        }
        if (row.selected) ctx.remote.DeleteFile(row.name);
      }
    } catch (const std::exception& e) {
      // The status keeps "削除中..." and the list is not re-read.
      ReportOrRethrow(ctx, e);
      return OpOutcome::kFailed;
    }
  }
  ctx.host.SetStatusText(texts::kDone);
  RefreshRemoteOrReport(ctx);
  return stopped ? OpOutcome::kStopped : OpOutcome::kDone;
}

OpOutcome CreateRemoteFolder(TransferContext& ctx, const std::string& current_remote_folder) {
  if (current_remote_folder.empty()) return OpOutcome::kNothing;
  const std::string answer =
      ctx.prompts.Input(texts::kCreateFolderCaption, texts::kCreateFolderPrompt, "").value_or("");
  if (answer.empty()) return OpOutcome::kNothing;
  const auto name = WireNameOrSkip(ctx, answer);
  if (!name) return OpOutcome::kNothing;
  try {
    ctx.remote.MakeFolder(*name);
  } catch (const std::exception& e) {
    ReportOrRethrow(ctx, e);
    return OpOutcome::kFailed;
  }
  RefreshRemoteOrReport(ctx);
  return OpOutcome::kDone;
}

}  // namespace hemlo::transfer
