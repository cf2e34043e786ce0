#include "ferrox/sync_run.h"

#include <memory>
#include <mutex>

#include "ferrox/ftp_window_parts.h"
#include "publish/publish_plan_view.h"

namespace hemlo::transfer_ui {

namespace {

// How often the run's loop looks for Escape.
constexpr int kStopPollMs = 50;

}  // namespace

publish::RunResult RunPlan(transfer::Connection& link, const publish::Plan& plan,
                           publish::RunSettings settings, const publish::RemoteFactory& factory,
                           std::function<void(const std::string&)> status) {
  // Each file reports; only the latest is shown, once per poll. Posting
  // every report queued thousands of small files' lines behind each other,
  // and the status (and the result after Escape) trailed the run by seconds.
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
  publish::PublishRun run(plan, std::move(settings), factory);
  run.Start();
  while (!run.Wait(kStopPollMs)) {
    if (link.StopRequested() || link.CancelFired()) run.Cancel();
    publish::RunProgress pr;
    {
      std::lock_guard lock(latest->m);
      if (!latest->fresh) continue;
      latest->fresh = false;
      pr = latest->progress;
    }
    link.Post([status, pr] {
      status(transfer::ProgressText(pr.files_done, pr.files_total, pr.bytes_done, pr.bytes_total,
                                    pr.bytes_per_second));
    });
  }
  return run.Result();
}

std::string TargetText(const transfer::Connection& link, const std::string& remote_root) {
  return (link.SftpOptions() ? "sftp://" : "") + link.HostName() + ":" +
         NameText(link.Session().Names, remote_root).toStdString();
}

}  // namespace hemlo::transfer_ui
