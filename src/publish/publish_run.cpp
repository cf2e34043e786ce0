#include "publish/publish_run.h"

#include <algorithm>
#include <set>

#include "publish/publish_run_internal.h"

namespace hemlo::publish {

int RunResult::Failed() const {
  return static_cast<int>(std::count_if(
      entries.begin(), entries.end(), [](const auto& e) { return e.outcome == Outcome::kFailed; }));
}

int RunResult::Done() const {
  return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                        [](const auto& e) { return e.outcome == Outcome::kDone; }));
}

PublishRun::PublishRun(Plan plan, RunSettings settings, RemoteFactory factory)
    : shared_(std::make_unique<Shared>()) {
  auto& s = *shared_;
  s.plan = std::move(plan);
  s.settings = std::move(settings);
  s.factory = std::move(factory);
  s.result = &result_;
  s.finished = &finished_;
  s.settings.connections = std::clamp(s.settings.connections, 1, 8);

  for (const auto& [aside, page] : s.plan.restore_asides) {
    std::string shown = page;
    for (const auto& f : s.plan.files)
      if (f.wire == page) shown = f.path;
    s.prepare.push_back({Shared::Step::Kind::kRestoreAside, aside, -1, shown, page});
  }
  for (const auto& t : s.plan.stale_temporaries)
    s.prepare.push_back({Shared::Step::Kind::kDeleteTemporary, t, -1, {}, {}});
  for (size_t i = 0; i < s.plan.files.size(); ++i) {
    const auto& f = s.plan.files[i];
    if (f.include && f.replaces_folder)
      s.prepare.push_back({Shared::Step::Kind::kRemoveTree, f.wire, -1, f.path, {}});
  }
  for (size_t i = 0; i < s.plan.folders.size(); ++i) {
    const auto& d = s.plan.folders[i];
    if (!d.include || d.reason != Reason::kNew) continue;
    result_.entries.push_back({d.path, true, d.reason, Outcome::kPending, {}});
    s.result_of_folder[static_cast<int>(i)] = static_cast<int>(result_.entries.size() - 1);
    s.pending_folders.insert(d.wire);
    if (d.replaces_file)
      s.prepare.push_back({Shared::Step::Kind::kDeleteFile, d.wire, -1, d.path, {}});
    s.prepare.push_back({Shared::Step::Kind::kMakeFolder,
                         d.wire,
                         static_cast<int>(result_.entries.size() - 1),
                         d.path,
                         {}});
  }
  for (const auto& step : s.prepare)
    if (step.kind != Shared::Step::Kind::kMakeFolder) s.only_new_folders = false;
  for (size_t i = 0; i < s.plan.files.size(); ++i) {
    const auto& f = s.plan.files[i];
    if (!f.include || f.reason == Reason::kServerOnly) continue;
    result_.entries.push_back({f.path, false, f.reason, Outcome::kPending, {}});
    s.result_of_file[static_cast<int>(i)] = static_cast<int>(result_.entries.size() - 1);
    s.queue.push_back(static_cast<int>(i));
  }
  for (size_t i = 0; i < s.plan.files.size(); ++i) {
    const auto& f = s.plan.files[i];
    if (!f.include || f.reason != Reason::kServerOnly) continue;
    result_.entries.push_back({f.path, false, f.reason, Outcome::kPending, {}});
    s.result_of_file[static_cast<int>(i)] = static_cast<int>(result_.entries.size() - 1);
  }
  for (size_t i = 0; i < s.plan.folders.size(); ++i) {
    const auto& d = s.plan.folders[i];
    if (!d.include || d.reason != Reason::kServerOnly) continue;
    result_.entries.push_back({d.path, true, d.reason, Outcome::kPending, {}});
    s.result_of_folder[static_cast<int>(i)] = static_cast<int>(result_.entries.size() - 1);
  }
}

PublishRun::~PublishRun() {
  Cancel();
  if (started_) Wait(-1);
  shared_->workers.clear();
}

void PublishRun::Start() {
  auto& s = *shared_;
  if (started_) return;
  started_ = true;
  s.started = Clock::now();
  s.last_progress = s.started - std::chrono::seconds(1);
  if (result_.entries.empty() && s.prepare.empty()) {
    // Nothing goes over the wire, but files judged the same without a
    // record, and records of files gone, still change the record.
    s.StoreRecord();
    finished_ = true;
    return;
  }
  const int n = s.settings.connections;
  s.cancels.assign(static_cast<size_t>(n), nullptr);
  s.slots_running = n;
  for (int i = 0; i < n; ++i) {
    s.workers.push_back(std::make_unique<transfer::ConnectionWorker>());
    s.workers.back()->Post([&s, i] { s.Slot(i); });
  }
}

void PublishRun::Cancel() { shared_->CancelAll(); }

void PublishRun::Shared::CancelAll() {
  {
    // Called under the lock: a slot clears its function under it before
    // the connection goes, and a cancel is only a wake-up write.
    std::lock_guard lock(m);
    if (cancelled.exchange(true)) return;
    for (auto& c : cancels)
      if (c) c();
  }
  cv.notify_all();
}

bool PublishRun::Wait(int timeout_ms) {
  auto& s = *shared_;
  std::unique_lock lock(s.m);
  auto done = [this] { return finished_.load(); };
  if (timeout_ms < 0) {
    s.cv.wait(lock, done);
    return true;
  }
  return s.cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), done);
}

void PublishRun::Shared::StoreRecord() {
  if (settings.record_path.empty()) return;
  SyncRecord& record = settings.record;
  std::set<int> done;
  std::vector<std::pair<int, Outcome>> outcomes;
  std::map<std::string, transfer::RemoteFact> relisted;
  std::map<int, std::pair<int64_t, int64_t>> known_facts;
  {
    std::lock_guard lock(m);
    done = uploaded;
    known_facts = this->known_facts;
    relisted = this->relisted;
    for (const auto& [i, r] : result_of_file)
      outcomes.push_back({i, result->entries[static_cast<size_t>(r)].outcome});
  }
  for (int i : done) {
    const FileEntry& f = plan.files[static_cast<size_t>(i)];
    RecordEntry e;
    e.size = f.size;
    e.sha256 = f.sha256;
    e.local_mtime_ns = f.local_mtime_ns;
    auto it = relisted.find(f.wire);
    auto known = known_facts.find(i);
    if (it != relisted.end()) {
      e.remote_size = it->second.size;
      e.remote_mtime = it->second.modified_utc;
    } else if (known != known_facts.end()) {
      e.remote_size = known->second.first;
      e.remote_mtime = known->second.second;
    }
    record.files[f.path] = std::move(e);
  }
  // Files judged the same without a record count as published from now on.
  for (const auto& f : plan.files) {
    if (f.reason != Reason::kNoRecordSameSize || f.include) continue;
    RecordEntry e;
    e.size = f.size;
    e.sha256 = f.sha256;
    e.local_mtime_ns = f.local_mtime_ns;
    e.remote_size = f.remote_size;
    e.remote_mtime = f.remote_mtime;
    record.files[f.path] = std::move(e);
  }
  for (const auto& [i, outcome] : outcomes) {
    const FileEntry& f = plan.files[static_cast<size_t>(i)];
    if (f.reason == Reason::kServerOnly && outcome == Outcome::kDone) record.files.erase(f.path);
  }
  {
    // A move takes the old path's record along; a move sent instead keeps
    // it while the old copy is still on the server.
    std::lock_guard lock(m);
    for (int i : moved) record.files.erase(plan.files[static_cast<size_t>(i)].moved_from);
  }
  for (const auto& p : plan.record_drop) record.files.erase(p);
  const FileResult saved = SaveRecord(settings.record_path, record);
  std::lock_guard lock(m);
  result->record_saved = saved.ok;
  if (!saved) result->notes.push_back(saved.message);
}

void PublishRun::Shared::Finalize() {
  Settle();
  StoreRecord();
  std::vector<int> pending;
  {
    std::lock_guard lock(m);
    for (size_t i = 0; i < result->entries.size(); ++i)
      if (result->entries[i].outcome == Outcome::kPending) pending.push_back(static_cast<int>(i));
  }
  std::string why = "接続がないため実行できませんでした";
  {
    std::lock_guard lock(m);
    if (!result->notes.empty() && result->connections_used == 0)
      why += ": " + result->notes.front();
  }
  for (int i : pending)
    End(i, cancelled ? Outcome::kCancelled : Outcome::kFailed, cancelled ? "中止しました" : why);
  {
    std::lock_guard lock(m);
    result->cancelled = cancelled;
    finished->store(true);
  }
  cv.notify_all();
}

RunResult RunPlan(Plan plan, RunSettings settings, RemoteFactory factory) {
  PublishRun run(std::move(plan), std::move(settings), std::move(factory));
  run.Start();
  run.Wait(-1);
  return run.Result();
}

}  // namespace hemlo::publish
