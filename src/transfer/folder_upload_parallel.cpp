#include "transfer/folder_upload_parallel.h"

#include <sys/stat.h>

#include <algorithm>
#include <mutex>

#include "base/remote_errors.h"
#include "publish/publish_run.h"
#include "transfer/profiles.h"

namespace hemlo::transfer::detail {

namespace {

// How often the wait looks for Escape and shows progress.
constexpr int kPollMs = 50;

int64_t SizeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

}  // namespace

bool SendInParallel(TransferContext& ctx, const std::vector<FileToSend>& files,
                    const std::string& base, const ParallelFiles& parallel) {
  publish::Plan plan;
  plan.local_root = base.substr(0, base.size() - 1);  // "/" becomes "": paths start with "/"
  plan.remote_root = parallel.remote_root;
  for (const FileToSend& f : files) {
    publish::FileEntry e;
    e.path = f.rel;
    e.wire = f.wire;
    e.reason = publish::Reason::kNew;
    e.size = SizeOf(f.local);
    e.include = true;
    plan.files.push_back(std::move(e));
  }
  const int count = static_cast<int>(files.size());

  struct Seen {
    std::mutex m;
    int done = 0;
    std::string last;  // the local path of the file that ended last
  } seen;
  publish::RunSettings settings;
  settings.connections = std::clamp(std::min(parallel.connections, count), 1, kMaxConnections);
  settings.in_place = true;
  settings.on_entry = [&seen, &base](const publish::EntryResult& e) {
    std::lock_guard lock(seen.m);
    ++seen.done;
    seen.last = base + e.path;
  };
  publish::PublishRun run(std::move(plan), std::move(settings), parallel.factory);
  run.Start();
  int shown = 0;  // "ｱｯﾌﾟﾛｰﾄﾞ中..." until the first file is done
  auto show = [&] {
    std::string last;
    int done;
    {
      std::lock_guard lock(seen.m);
      done = seen.done;
      last = seen.last;
    }
    if (done == shown) return;
    shown = done;
    ctx.host.SetStatusText(ProgressText(last, done, count));
    ctx.host.SetFileProgress(done, count);
  };
  for (;;) {
    const bool finished = run.Wait(kPollMs);
    // Escape sets the idle flag and cancels the window's own connection.
    if (!finished && (ctx.host.IdleFlag() || ctx.host.WaitCancelled())) run.Cancel();
    if (finished) break;
    show();
  }
  show();

  const publish::RunResult& result = run.Result();
  for (const publish::EntryResult& e : result.entries)
    if (e.outcome == publish::Outcome::kFailed)
      ctx.prompts.Message("", texts::UploadRefused(e.path), Buttons::Ok, Icon::None);
  if (!result.cancelled) return false;
  // A transfer cut off by the cancel may have cost the window's own
  // connection: the window then reports the stop and closes it.
  if (!ctx.remote->Connected()) throw remote::Cancelled();
  // It may hold the cancel still: the end steps' listing must go out.
  ctx.host.StopHonoured();
  ctx.prompts.Message(texts::kStopCaption, texts::kStopText, Buttons::Ok, Icon::None);
  return true;
}

}  // namespace hemlo::transfer::detail
