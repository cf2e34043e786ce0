#pragma once
// Publishing what changed, from the Ferrox window ("↑変更分を公開") and from
// the editor (保存して公開): the profile's site folder (asked for once), a
// plan made on the connection's worker, the dialog "公開の確認" where the
// author must decide, then exactly the plan over the profile's connections
// with the window's own connection as the first. Escape stops every
// connection; the status bar shows files and bytes done of the plan with
// the rate; the result names every file that did not go.
#include <QObject>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/prompts.h"
#include "publish/plan.h"
#include "publish/publish_lock.h"
#include "publish/publish_run.h"
#include "publish/sync_record.h"
#include "publish/publish_plan_adapter.h"

namespace hemlo::transfer {
class Connection;
}

namespace hemlo::transfer_ui {

class PublishPlanDialog;
class SyncScreen;
class SyncPlace;

class PublishCommand : public QObject {
  Q_OBJECT

 public:
  // Plans and runs over `site`, reports to `screen`; its dialogs stand
  // over `window`, which owns it.
  PublishCommand(SyncPlace& site, SyncScreen& screen, QWidget& window);
  ~PublishCommand() override;

  // ↑変更分を公開: the whole site folder against the server.
  void PublishChanges();
  // 保存して公開: `page` (an absolute UTF-8 path, saved) with the files
  // changed since the last publish, through the profile whose site folder
  // holds it; connects that profile first when the window is not connected
  // (asking which, where several profiles share the folder). The status
  // and the result name the profile and its server.
  void PublishPage(const QString& page);

  // Where PublishPage's messages go (the editor's, when it asks); null:
  // the window's.
  Prompts* PagePrompts = nullptr;
  // Runs the site check over the files of a site folder (UTF-8 paths; the
  // pages and style sheets the plan sends); the plan then offers it. Null:
  // not offered.
  std::function<void(const std::string& site, const std::vector<std::string>& files)> SiteCheck;
  // How many problems the site check finds in those files; null: not
  // counted. Runs on a worker thread while the plan is shown.
  std::function<int(const std::string& site, const std::vector<std::string>& files)>
      CountProblems;
  // How the site folder is asked for; tests answer it (nullopt: cancelled).
  std::function<std::optional<std::string>(const std::string& start)> ChooseFolder;

  PublishPlanDialog& Dialog() { return *dialog_; }
  // Busy from the click to the end of the run (or the plan's refusal).
  bool Running() const { return running_; }
  const transfer::PublishResult& LastResult() const { return result_; }

 signals:
  // Progress and outcome for a status bar other than the window's (the
  // editor's, for 保存して公開).
  void statusText(const QString& text);
  // The command has ended: nothing to do, cancelled, refused, or run.
  void finished();

 private:
  struct Target {
    std::string site;         // UTF-8 local folder
    std::string remote_root;  // wire bytes
  };
  std::optional<std::string> SiteFolderOfProfile();
  // The local files the plan as shown would send, absolute.
  std::vector<std::string> FilesToSend() const;
  // Each step starts the next: the plan and the run are made on the
  // connection's worker, what follows them on the window's thread.
  void MakePlan(bool on_save);
  void PlanOnWorker(publish::PlanInput input);
  void Planned(bool on_save);
  void Execute(bool on_save);
  void RunOnWorker(const publish::RunSettings& settings, const publish::RemoteFactory& factory);
  void RunEnded(bool on_save);
  void Status(const std::string& text);
  // Takes the site's and the server folder's locks; false (said why) when
  // another publish holds one.
  bool Lock(const std::string& remote_root, Prompts& prompts);
  void End();

  SyncPlace& place_;
  transfer::Connection& link_;  // the place's
  SyncScreen& screen_;
  QWidget& window_;
  PublishPlanDialog* dialog_ = nullptr;
  bool running_ = false;
  bool planned_ = false;
  bool on_save_ = false;
  // Which plan a problem count running on a worker is for.
  std::uint64_t count_generation_ = 0;
  std::string site_;
  publish::Plan plan_;
  std::vector<transfer::PlanRowSource> sources_;
  publish::SyncRecord record_;
  std::filesystem::path record_path_;
  publish::RunResult run_;
  transfer::PublishResult result_;
  std::unique_ptr<publish::PublishLock> lock_;
  // 保存して公開: "「name」（host）", put before its status texts.
  std::string label_;
};

}  // namespace hemlo::transfer_ui
