#include "transfer/ftp_window_wiring.h"

#include <memory>

#include "ftp/id_exception.h"
#include "transfer/folder_upload.h"
#include "transfer/ftp2_form.h"
#include "transfer/ftp_window.h"
#include "transfer/ftp_window_parts.h"
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
  bool WaitCancelled() const override { return w_.WaitCancelled(); }
  void StopHonoured() override { w_.ForgetCancelRequest(); }

 private:
  TFtp1& w_;
};

std::vector<transfer::RemoteRow> Rows(const TFtp1& w) {
  std::vector<transfer::RemoteRow> rows;
  for (const auto& r : w.RemoteRows())
    rows.push_back({r.name, r.folder, r.selected, r.permissions});
  return rows;
}

// Runs `op` with a context read from the window at the moment of the click.
void Run(TFtp1& w, const std::function<void(transfer::TransferContext&)>& op) {
  w.RunOperation([&] {
    WindowHost host(w);
    transfer::TransferContext ctx{w.Client(),      w.prompts(),      host,
                                  w.LocalFolder(), w.TransferMode(), w.Session().Names};
    op(ctx);
  });
}

}  // namespace

void WireTransferOperations(TFtp1& w, transfer::TFtp2* permission_dialog) {
  QObject::connect(&w, &TFtp1::uploadSelectedRequested, &w, [&w] {
    Run(w, [&](auto& ctx) {
      transfer::UploadFiles(ctx, transfer::LocalSelection{w.SelectedLocalNames()});
    });
  });
  QObject::connect(&w, &TFtp1::uploadDroppedRequested, &w, [&w] {
    Run(w,
        [&](auto& ctx) { transfer::UploadFiles(ctx, transfer::DroppedFiles{w.DroppedFiles()}); });
  });
  QObject::connect(&w, &TFtp1::downloadSelectedRequested, &w,
                   [&w] { Run(w, [&](auto& ctx) { transfer::DownloadSelection(ctx, Rows(w)); }); });
  QObject::connect(&w, &TFtp1::folderUploadRequested, &w,
                   [&w] { Run(w, [](auto& ctx) { transfer::UploadFolderTree(ctx); }); });
  QObject::connect(&w, &TFtp1::remoteDeleteRequested, &w,
                   [&w] { Run(w, [&](auto& ctx) { transfer::DeleteSelection(ctx, Rows(w)); }); });
  QObject::connect(&w, &TFtp1::remoteCreateFolderRequested, &w, [&w] {
    Run(w, [&](auto& ctx) { transfer::CreateRemoteFolder(ctx, w.RemoteFolder()); });
  });
  if (permission_dialog) w.CancelWaitsFrom(permission_dialog);
  QObject::connect(&w, &TFtp1::permissionRequested, &w, [&w, permission_dialog] {
    if (!permission_dialog) return;
    for (const auto& r : w.RemoteRows()) {
      if (!r.selected) continue;
      permission_dialog->Prepare(r.name, r.permissions,
                                 transfer_ui::NameText(w.Session().Names, r.name));
      w.RunClientCommand([&] {
        permission_dialog->Run(w.Client(), w.prompts(), [&w] { w.RefreshRemoteList(); });
        // The dialog keeps its errors to itself; a stopped wait and a lost
        // connection are the window's to report.
        if (w.WaitCancelled()) throw ftp::EIdOperationAborted();
        if (!w.Client().Connected()) throw ftp::EIdConnectionLost();
      });
      return;
    }
  });
}

}  // namespace hemlo
