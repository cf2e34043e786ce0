#include "ferrox/ftp_window_wiring.h"

#include <functional>
#include <memory>

#include "base/remote_errors.h"
#include "transfer/folder_upload.h"
#include "ferrox/ftp2_form.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_parts.h"
#include "transfer/permission.h"
#include "ferrox/publish_command.h"
#include "ferrox/publish_undo_command.h"
#include "transfer/remote_delete.h"
#include "ferrox/run_connections.h"
#include "ferrox/window_sync_place.h"
#include "transfer/transfer_ops.h"

namespace hemlo {
namespace {

// The window as an operation on the worker sees it: the stop test reads
// the flag Escape sets; everything shown goes to the window's thread.
class WindowHost : public transfer::TransferHost {
 public:
  explicit WindowHost(TFtp1& w) : w_(w) {}
  bool IdleFlag() const override { return w_.IdleFlag(); }
  // The window cleared the flag when it started the operation; clearing it
  // again here would drop an Escape pressed in between.
  void SetIdleFlag(bool value) override {
    if (value) w_.SetIdleFlag(true);
  }
  void SetStatusText(const std::string& text) override {
    w_.PostToWindow([w = &w_, text] { w->SetStatusText(text); });
  }
  void SetFileProgress(int n, int m) override { w_.Connection().ReportFileProgress(n, m); }
  void SetByteProgress(int64_t done, int64_t total) override {
    w_.Connection().ReportByteProgress(done, total);
  }
  void RefreshRemoteList() override { w_.ListRemoteFolder(); }
  void RefreshLocalLists() override {
    w_.PostToWindow([w = &w_] { w->RefreshLocalLists(); });
  }
  void UncheckSelectAll() override {
    w_.PostToWindow([w = &w_] { w->UncheckSelectAll(); });
  }
  bool WaitCancelled() const override { return w_.WaitCancelled(); }
  void StopHonoured() override { w_.ForgetCancelRequest(); }

 private:
  TFtp1& w_;
};

std::vector<transfer::RemoteRow> Rows(const TFtp1& w) {
  std::vector<transfer::RemoteRow> rows;
  for (const auto& r : w.SelectedRemoteRows())
    rows.push_back({r.name, r.folder, r.selected, r.permissions, r.wire});
  return rows;
}

using Operation = std::function<void(transfer::TransferContext&)>;

// Runs `op` on the worker with a context read from the window at the
// moment of the click (the operation's own inputs are read then as well).
void Run(TFtp1& w, Operation op) {
  w.RunOperation([&w, op = std::move(op), folder = w.LocalFolder(), mode = w.TransferMode(),
                  names = w.Session().Names] {
    WindowHost host(w);
    transfer::TransferContext ctx{w.Remote(), w.WorkerPrompts(), host, folder, mode, names};
    op(ctx);
  });
}

}  // namespace

void WireTransferOperations(TFtp1& w, transfer::TFtp2* permission_dialog) {
  auto* place = new transfer_ui::WindowSyncPlace(w);
  QObject::connect(&w, &TFtp1::uploadSelectedRequested, &w, [&w] {
    Run(w, [names = w.SelectedLocalNames()](auto& ctx) {
      transfer::UploadFiles(ctx, transfer::LocalSelection{names});
    });
  });
  QObject::connect(&w, &TFtp1::uploadDroppedRequested, &w, [&w] {
    Run(w, [paths = w.DroppedFiles()](auto& ctx) {
      transfer::UploadFiles(ctx, transfer::DroppedFiles{paths});
    });
  });
  QObject::connect(&w, &TFtp1::downloadSelectedRequested, &w, [&w] {
    Run(w, [rows = Rows(w)](auto& ctx) { transfer::DownloadSelection(ctx, rows); });
  });
  QObject::connect(&w, &TFtp1::folderUploadRequested, &w, [&w, place] {
    Run(w, [parallel = transfer_ui::FolderUploadConnections(*place, w.TransferMode())](auto& ctx) {
      transfer::UploadFolderTree(ctx, parallel ? &*parallel : nullptr);
    });
  });
  QObject::connect(&w, &TFtp1::remoteDeleteRequested, &w, [&w] {
    Run(w, [rows = Rows(w)](auto& ctx) { transfer::DeleteSelection(ctx, rows); });
  });
  QObject::connect(&w, &TFtp1::remoteCreateFolderRequested, &w, [&w] {
    Run(w, [folder = w.RemoteFolder()](auto& ctx) { transfer::CreateRemoteFolder(ctx, folder); });
  });
  auto* publish = new transfer_ui::PublishCommand(*place, *place, w);
  QObject::connect(&w, &TFtp1::publishChangesRequested, publish,
                   &transfer_ui::PublishCommand::PublishChanges);
  auto* undo_publish = new transfer_ui::PublishUndoCommand(*place, *place, w);
  QObject::connect(&w, &TFtp1::undoPublishRequested, undo_publish,
                   &transfer_ui::PublishUndoCommand::UndoLastPublish);
  if (permission_dialog) w.CancelWaitsFrom(permission_dialog);
  QObject::connect(&w, &TFtp1::permissionRequested, &w, [&w, permission_dialog] {
    if (!permission_dialog || w.ClientBusy()) return;
    for (const auto& r : w.SelectedRemoteRows()) {
      if (!r.selected) continue;
      permission_dialog->Prepare(r.name, r.permissions,
                                 transfer_ui::NameText(w.Session().Names, r.name));
      // "変更" sends on the worker while the dialog stays up; its end
      // closes the dialog when the mode was taken or nothing more can go.
      permission_dialog->Run([&w, permission_dialog](const transfer::PermissionModel& model) {
        auto applied = std::make_shared<bool>(false);
        w.RunClientCommand(
            [&w, model, applied] {
              *applied = transfer::ApplyPermission(model, w.Remote(), w.WorkerPrompts(),
                                                   [&w] { w.ListRemoteFolder(); });
              // The dialog keeps its errors to itself; a stopped wait and a
              // lost connection are the window's to report.
              if (w.WaitCancelled()) throw remote::Cancelled();
              if (!w.RemoteConnected()) throw remote::ConnectionLost();
            },
            [&w, permission_dialog, applied] {
              permission_dialog->Finish(*applied, w.RemoteConnected());
            });
      });
      return;
    }
  });
}

transfer_ui::PublishCommand* PublishCommandOf(TFtp1& window) {
  return window.findChild<transfer_ui::PublishCommand*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace hemlo
