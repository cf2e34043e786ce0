#include "ferrox/publish_undo_command.h"

#include <QDateTime>
#include <ctime>
#include <mutex>

#include "base/program_folder.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_parts.h"
#include "ferrox/publish_plan_dialog.h"
#include "ferrox/run_connections.h"
#include "remote/ftp_remote_files.h"
#include "text/cp932.h"
#include "transfer/profiles.h"

namespace hemlo::transfer_ui {

namespace {

constexpr int kStopPollMs = 50;

}  // namespace

PublishUndoCommand::PublishUndoCommand(TFtp1& window) : QObject(&window), w_(window) {
  dialog_ = new PublishPlanDialog(&window);
  dialog_->setObjectName(QStringLiteral("PublishUndoDialog"));
  dialog_->setWindowTitle(QStringLiteral("公開の取り消し"));
  connect(dialog_, &PublishPlanDialog::executeClicked, this, [this] {
    if (!undo_) return;
    transfer::ApplyChoices(dialog_->Plan(), sources_, undo_->plan);
    Execute();
  });
  connect(dialog_, &QDialog::rejected, this, [this] {
    if (!running_ || dialog_->ShowingResult()) return;
    w_.SetStatusText("公開の取り消しを取り止めました");
    End();
  });
}

PublishUndoCommand::~PublishUndoCommand() {
  std::error_code ec;
  if (undo_) std::filesystem::remove_all(undo_->staging, ec);
}

void PublishUndoCommand::End() {
  std::error_code ec;
  if (undo_) std::filesystem::remove_all(undo_->staging, ec);
  undo_.reset();
  running_ = false;
  lock_.reset();
  emit finished();
}

void PublishUndoCommand::UndoLastPublish() {
  if (running_ || w_.ClientBusy()) return;
  if (!w_.RemoteConnected()) {
    w_.SetStatusText("接続していません。接続してから前回の公開を取り消すを押してください");
    return;
  }
  const transfer::ProfilePanel& p = w_.Profiles();
  site_ = text::Cp932ToUtf8(p.SiteFolder).value_or("");
  while (site_.size() > 1 && site_.back() == '/') site_.pop_back();
  std::string root = p.PublishFolder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  std::vector<publish::LoggedRun> runs;
  if (!site_.empty() && !root.empty()) {
    // The record and the log of the publish this profile made.
    record_path_ =
        publish::RecordPath(ProgramFolder(), w_.ServerText(), w_.AccountName(), root, site_);
    runs = publish::LoadRunLog(publish::RunLogPath(record_path_));
  }
  if (runs.empty()) {
    w_.SetStatusText("取り消せる公開はありません");
    return;
  }
  runs_logged_ = runs.size();
  const std::string host = w_.SftpOptions() ? w_.SftpOptions()->host : w_.Client().Host;
  lock_ = publish::PublishLock::Take(ProgramFolder(),
                                     {"site\n" + site_, "server\n" + host + "\n" + root});
  if (!lock_) {
    w_.SetStatusText("公開を取り消せません（別の公開が実行中です）");
    return;
  }
  running_ = true;
  notes_.clear();
  w_.SetStatusText("公開の取り消しの準備中...");
  const text::NameEncoding encoding = w_.Session().Names.Encoding();
  const bool started = w_.RunOperation(
      [this, root, encoding, run = runs.front()] {
        if (transfer::RemoteFiles* sftp = w_.SftpFiles()) {
          undo_ = publish::PlanUndo(*sftp, root, encoding, run, record_path_);
        } else {
          transfer::FtpRemoteFiles remote(w_.Client());
          undo_ = publish::PlanUndo(remote, root, encoding, run, record_path_);
        }
      },
      [this] { Planned(); });
  if (!started) End();
}

void PublishUndoCommand::Planned() {
  if (!undo_) {
    End();  // the window has said why
    return;
  }
  transfer::PlanView view = transfer::ViewOfPlan(undo_->plan, &sources_);
  view.site = site_;
  view.target = (w_.SftpOptions() ? "sftp://" + w_.SftpOptions()->host : w_.Client().Host) + ":" +
                NameText(w_.Session().Names, undo_->plan.remote_root).toStdString();
  const QString when = QDateTime::fromSecsSinceEpoch(undo_->run.time)
                           .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
  view.target_warning = when.toStdString() + " の公開を取り消して、サーバをその前の状態に戻します" +
                        "（取り消せる公開: " + std::to_string(runs_logged_) + " 回）";
  if (view.rows.empty()) {
    // Nothing left to do: the run is taken off the log all the same.
    notes_ = publish::SettleUndo(*undo_, {});
    undo_.reset();
    w_.SetStatusText("前回の公開で変わったファイルはもう元に戻っています");
    End();
    return;
  }
  w_.SetStatusText("公開の取り消し");
  dialog_->OfferSiteCheck(false);
  dialog_->ShowPlan(std::move(view));
}

void PublishUndoCommand::Execute() {
  publish::RunSettings settings = publish::UndoSettings(*undo_);
  const int steps = undo_->plan.Counts().uploads;
  settings.connections = std::clamp(std::min(w_.Profiles().Connections, std::max(1, steps)), 1, 8);
  struct Latest {
    std::mutex m;
    publish::RunProgress progress;
    bool fresh = false;
  };
  auto latest = std::make_shared<Latest>();
  settings.on_progress = [latest](const publish::RunProgress& pr) {
    std::lock_guard lock(latest->m);
    latest->progress = pr;
    latest->fresh = true;
  };
  publish::RemoteFactory factory =
      RunConnections(w_, undo_->plan.remote_root, undo_->plan.encoding);
  w_.SetStatusText("公開を取り消し中...");
  const bool started = w_.RunOperation(
      [this, settings = std::move(settings), factory = std::move(factory), latest] {
        // A file changed on the server since the run, ticked to go back
        // all the same: its server copy is kept first.
        const auto stop = [this] { return w_.IdleFlag(); };
        publish::KeptBefore kept;
        if (transfer::RemoteFiles* sftp = w_.SftpFiles()) {
          kept = publish::KeepUndoConflicts(*sftp, *undo_, std::time(nullptr), stop);
        } else {
          transfer::FtpRemoteFiles remote(w_.Client());
          kept = publish::KeepUndoConflicts(remote, *undo_, std::time(nullptr), stop);
        }
        publish::PublishRun run(undo_->plan, settings, factory);
        run.Start();
        while (!run.Wait(kStopPollMs)) {
          if (w_.IdleFlag() || w_.WaitCancelled()) run.Cancel();
          publish::RunProgress pr;
          {
            std::lock_guard lock(latest->m);
            if (!latest->fresh) continue;
            latest->fresh = false;
            pr = latest->progress;
          }
          w_.PostToWindow([this, pr] {
            w_.SetStatusText(transfer::ProgressText(pr.files_done, pr.files_total, pr.bytes_done,
                                                    pr.bytes_total, pr.bytes_per_second));
          });
        }
        run_ = run.Result();
        notes_ = kept.notes;
        const auto settled = publish::SettleUndo(*undo_, run_);
        notes_.insert(notes_.end(), settled.begin(), settled.end());
      },
      [this] { RunEnded(); });
  if (!started) End();
}

void PublishUndoCommand::RunEnded() {
  transfer::PublishResult result = transfer::ResultOfRun(run_, undo_->plan);
  result.notes.insert(result.notes.end(), notes_.begin(), notes_.end());
  const std::string text = "公開の取り消し: " + transfer::ResultText(result);
  w_.SetStatusText(text);
  dialog_->ShowResult(result);
  if (w_.RemoteConnected()) w_.RefreshRemoteList();
  w_.SetStatusText(text);
  End();
}

}  // namespace hemlo::transfer_ui
