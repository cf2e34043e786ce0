#pragma once
// 前回の公開を取り消す: the newest logged publish run of the connected
// profile's site, planned back (old files put back, files it added deleted,
// folders it made removed when empty) and shown in its own "公開の取り消し"
// dialog; run over the profile's connections with the same temporary names
// and renames as a publish. Each undo makes the next older run the one
// offered, back to the last ten.
#include <QObject>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "publish/publish_lock.h"
#include "publish/publish_plan_adapter.h"
#include "publish/undo_plan.h"

namespace hemlo::transfer {
class Connection;
}

namespace hemlo::transfer_ui {

class PublishPlanDialog;
class SyncPlace;
class SyncScreen;

class PublishUndoCommand : public QObject {
  Q_OBJECT

 public:
  PublishUndoCommand(SyncPlace& place, SyncScreen& screen, QWidget& window);
  ~PublishUndoCommand() override;

  void UndoLastPublish();
  PublishPlanDialog& Dialog() { return *dialog_; }
  bool Running() const { return running_; }

 signals:
  void finished();

 private:
  void Planned();
  void Execute();
  void RunEnded();
  void End();

  SyncPlace& place_;
  transfer::Connection& link_;  // the place's
  SyncScreen& screen_;
  PublishPlanDialog* dialog_ = nullptr;
  bool running_ = false;
  std::string site_;
  std::filesystem::path record_path_;
  std::optional<publish::UndoPlan> undo_;
  std::vector<transfer::PlanRowSource> sources_;
  publish::RunResult run_;
  std::vector<std::string> notes_;
  std::size_t runs_logged_ = 0;
  std::unique_ptr<publish::PublishLock> lock_;
};

}  // namespace hemlo::transfer_ui
