#include "transfer/ftp_window_wiring.h"

#include <memory>

#include "transfer/folder_upload.h"
#include "transfer/ftp2_form.h"
#include "transfer/ftp_window.h"
#include "transfer/remote_delete.h"
#include "transfer/transfer_ops.h"

namespace hemlo {
namespace {

// The window as the operations see it.
class WindowHost : public transfer::TransferHost {
 public:
  explicit WindowHost(TFtp1& w) : w_(w) {}
  bool IdleFlag() const override { return w_.IdleFlag(); }
  void SetIdleFlag(bool value) override { w_.SetIdleFlag(value); }
  void SetStatusText(const std::string& text) override { w_.SetStatusText(text); }
  void SetFileProgress(int n, int m) override { w_.SetFileProgress(n, m); }
  void SetByteProgress(int64_t done, int64_t total) override { w_.SetByteProgress(done, total); }
  void RefreshRemoteList() override { w_.RefreshRemoteList(); }
  void RefreshLocalLists() override { w_.RefreshLocalLists(); }
  void UncheckSelectAll() override { w_.UncheckSelectAll(); }

 private:
  TFtp1& w_;
};

std::vector<transfer::RemoteRow> Rows(const TFtp1& w) {
  std::vector<transfer::RemoteRow> rows;
  for (const auto& r : w.RemoteRows()) rows.push_back({r.name, r.folder, r.selected, r.permissions});
  return rows;
}

// Runs `op` with a context read from the window at the moment of the click.
void Run(TFtp1& w, WindowHost& host, const std::function<void(transfer::TransferContext&)>& op) {
  w.RunOperation([&] {
    transfer::TransferContext ctx{w.IdFTP1, w.prompts(), host, w.LocalFolder(), w.TransferMode()};
    op(ctx);
  });
}

}  // namespace

void WireTransferOperations(TFtp1& w, transfer::TFtp2* permission_dialog) {
  auto host = std::make_shared<WindowHost>(w);
  w.OnUploadSelected = [&w, host] {
    Run(w, *host, [&](auto& ctx) { transfer::UploadFiles(ctx, transfer::LocalSelection{w.SelectedLocalNames()}); });
  };
  w.OnUploadDropped = [&w, host] {
    Run(w, *host, [&](auto& ctx) { transfer::UploadFiles(ctx, transfer::DroppedFiles{w.DroppedFiles}); });
  };
  w.OnDownloadSelected = [&w, host] {
    Run(w, *host, [&](auto& ctx) { transfer::DownloadSelection(ctx, Rows(w)); });
  };
  w.OnFolderUpload = [&w, host] { Run(w, *host, [](auto& ctx) { transfer::UploadFolderTree(ctx); }); };
  w.OnRemoteDelete = [&w, host] {
    Run(w, *host, [&](auto& ctx) { transfer::DeleteSelection(ctx, Rows(w)); });
  };
  w.OnRemoteCreateFolder = [&w, host] {
    Run(w, *host, [&](auto& ctx) { transfer::CreateRemoteFolder(ctx, w.RemoteFolder()); });
  };
  w.OnPermission = [&w, permission_dialog] {
    if (!permission_dialog) return;
    for (const auto& r : w.RemoteRows()) {
      if (!r.selected) continue;
      permission_dialog->Prepare(r.name, r.permissions);
      permission_dialog->Run(w.IdFTP1, w.prompts(), [&w] { w.RefreshRemoteList(); });
      return;
    }
  };
}

}  // namespace hemlo
