#include "ferrox/publish_undo_command.h"

#include <QDateTime>
#include <algorithm>

#include "base/program_folder.h"
#include "ferrox/publish_plan_dialog.h"
#include "ferrox/run_connections.h"
#include "ferrox/sync_place.h"
#include "ferrox/sync_run.h"
#include "text/cp932.h"
#include "transfer/profiles.h"

namespace hemlo::transfer_ui {

PublishUndoCommand::PublishUndoCommand(SyncPlace& place, SyncScreen& screen, QWidget& window)
    : QObject(&window), place_(place), link_(place.Link()), screen_(screen) {
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
    screen_.SetStatusText("公開の取り消しを取り止めました");
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
  if (running_ || link_.Busy()) return;
  if (!link_.Connected()) {
    screen_.SetStatusText("接続していません。接続してから前回の公開を取り消すを押してください");
    return;
  }
  const transfer::ProfilePanel& p = place_.Profiles();
  site_ = text::Cp932ToUtf8(p.SiteFolder).value_or("");
  while (site_.size() > 1 && site_.back() == '/') site_.pop_back();
  std::string root = p.PublishFolder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  std::vector<publish::LoggedRun> runs;
  if (!site_.empty() && !root.empty()) {
    // The record and the log of the publish this profile made.
    record_path_ =
        publish::RecordPath(ProgramFolder(), link_.ServerText(), place_.AccountName(), root, site_);
    runs = publish::LoadRunLog(publish::RunLogPath(record_path_));
  }
  if (runs.empty()) {
    screen_.SetStatusText("取り消せる公開はありません");
    return;
  }
  runs_logged_ = runs.size();
  const std::string host = link_.HostName();
  lock_ = publish::PublishLock::Take(ProgramFolder(),
                                     {"site\n" + site_, "server\n" + host + "\n" + root});
  if (!lock_) {
    screen_.SetStatusText("公開を取り消せません（別の公開が実行中です）");
    return;
  }
  running_ = true;
  notes_.clear();
  screen_.SetStatusText("公開の取り消しの準備中...");
  const text::NameEncoding encoding = link_.Session().Names.Encoding();
  const bool started = link_.RunOperation(
      [this, root, encoding, run = runs.front()] {
        undo_ = publish::PlanUndo(link_.Files(), root, encoding, run, record_path_);
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
  view.target = TargetText(link_, undo_->plan.remote_root);
  const QString when = QDateTime::fromSecsSinceEpoch(undo_->run.time)
                           .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
  view.target_warning = when.toStdString() + " の公開を取り消して、サーバをその前の状態に戻します" +
                        "（取り消せる公開: " + std::to_string(runs_logged_) + " 回）";
  if (view.rows.empty()) {
    // Nothing left to do: the run is taken off the log all the same.
    notes_ = publish::SettleUndo(*undo_, {});
    undo_.reset();
    screen_.SetStatusText("前回の公開で変わったファイルはもう元に戻っています");
    End();
    return;
  }
  screen_.SetStatusText("公開の取り消し");
  dialog_->OfferSiteCheck(false);
  dialog_->ShowPlan(std::move(view));
}

void PublishUndoCommand::Execute() {
  publish::RunSettings settings = publish::UndoSettings(*undo_);
  const int steps = undo_->plan.Counts().uploads;
  settings.connections =
      std::clamp(std::min(place_.Profiles().Connections, std::max(1, steps)), 1, 8);
  publish::RemoteFactory factory =
      RunConnections(place_, undo_->plan.remote_root, undo_->plan.encoding);
  screen_.SetStatusText("公開を取り消し中...");
  const bool started = link_.RunOperation(
      [this, settings = std::move(settings), factory = std::move(factory)] {
        run_ = RunPlan(link_, undo_->plan, settings, factory,
                       [this](const std::string& text) { screen_.SetStatusText(text); });
        notes_ = publish::SettleUndo(*undo_, run_);
      },
      [this] { RunEnded(); });
  if (!started) End();
}

void PublishUndoCommand::RunEnded() {
  transfer::PublishResult result = transfer::ResultOfRun(run_, undo_->plan);
  result.notes.insert(result.notes.end(), notes_.begin(), notes_.end());
  const std::string text = "公開の取り消し: " + transfer::ResultText(result);
  screen_.SetStatusText(text);
  dialog_->ShowResult(result);
  if (link_.Connected()) place_.RefreshRemoteList();
  screen_.SetStatusText(text);
  End();
}

}  // namespace hemlo::transfer_ui
