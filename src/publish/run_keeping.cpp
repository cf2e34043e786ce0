// Before a run: the server copies it will replace or delete made safe.
// After it: the run logged, and what it sent kept for the next one.
#include <unistd.h>

#include <map>
#include <set>

#include "base/atomic_file.h"
#include "publish/undo_plan.h"

namespace hemlo::publish {

namespace fs = std::filesystem;

namespace {

std::string JoinRemote(const std::string& root, const std::string& rel) {
  return root == "/" ? "/" + rel : root + "/" + rel;
}

}  // namespace

KeptBefore KeepServerCopies(transfer::RemoteFiles& remote, Plan& plan, const SyncRecord& record,
                            const fs::path& record_path, const std::function<bool()>& stop) {
  KeptBefore kept;
  KeptCopies copies = KeptCopies::Beside(record_path);
  std::error_code ec;
  fs::create_directories(copies.folder(), ec);
  int n = 0;
  bool lost = false;
  // The server's bytes at `wire` into the copies: empty, or why not.
  auto keep = [&](const std::string& wire) {
    std::string why;
    const fs::path temp =
        copies.folder() / ("download-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
    if (stop && stop()) why = "中止しました";
    if (why.empty() && !lost) {
      try {
        remote.Download(JoinRemote(plan.remote_root, wire), temp.string(), nullptr);
        std::string bytes;
        if (!hemlo::ReadWholeFile(temp, bytes)) {
          why = "控えを読めません";
        } else if (const auto copy = copies.Keep(bytes)) {
          kept.hash_of[wire] = copy.hash;
        } else {
          why = "控えを保存できません: " + copy.message;
        }
      } catch (const std::exception& e) {
        why = e.what();
        lost = !remote::IsRefusal(std::current_exception());
      }
    } else if (why.empty()) {
      why = "サーバとの接続が切れました";
    }
    fs::remove(temp, ec);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
    return why;
  };
  for (auto& f : plan.files) {
    if (!f.include) continue;
    const bool deletion = f.reason == Reason::kServerOnly;
    if (!deletion && f.remote_size < 0) continue;  // nothing on the server to keep
    // The server copy is what we sent last time: its bytes go by its hash.
    if (f.reason == Reason::kChanged) {
      auto it = record.files.find(f.path);
      if (it != record.files.end() && copies.Holds(it->second.sha256)) {
        kept.hash_of[f.wire] = it->second.sha256;
        continue;
      }
    }
    const std::string why = keep(f.wire);
    if (why.empty()) continue;
    // Without its old bytes kept, the file stays as the server has it.
    if (!f.required) f.include = false;
    kept.notes.push_back("「" + f.path + "」はサーバの控えを取れないため" +
                         (deletion ? "削除しません" : "置き換えません") + ": " + why);
  }
  // A server file a new folder takes the place of goes as well.
  for (auto& d : plan.folders) {
    if (!d.include || d.reason != Reason::kNew || !d.replaces_file) continue;
    auto it = record.files.find(d.path);
    if (it != record.files.end() && copies.Holds(it->second.sha256)) {
      kept.hash_of[d.wire] = it->second.sha256;
      continue;
    }
    const std::string why = keep(d.wire);
    if (why.empty()) continue;
    // The file stays, and with it nothing is sent into the folder.
    const std::string below = d.wire + "/";
    for (auto& other : plan.folders)
      if (other.wire == d.wire || other.wire.compare(0, below.size(), below) == 0)
        other.include = false;
    for (auto& f : plan.files)
      if (f.wire.compare(0, below.size(), below) == 0 && f.reason != Reason::kServerOnly)
        f.include = false;
    kept.notes.push_back("「" + d.path + "」はサーバの控えを取れないため置き換えません: " + why);
  }
  return kept;
}

FileResult LogRun(const Plan& plan, const RunResult& result, const SyncRecord& record_before,
                  const KeptBefore& kept, const fs::path& record_path, int64_t now) {
  // A file cut off or failed may still have reached the server (the rename
  // into place can beat the stop), so it is logged as if done: putting its
  // earlier bytes back, or deleting an added file that is not there, costs
  // nothing, while leaving it out would leave the server half undone.
  std::set<std::pair<std::string, bool>> done;
  for (const auto& e : result.entries)
    if (e.outcome != Outcome::kPending) done.insert({e.path, e.folder});
  KeptCopies copies = KeptCopies::Beside(record_path);
  LoggedRun run;
  run.time = now;
  for (const auto& f : plan.files) {
    if (!f.include || !done.count({f.path, false})) continue;
    const bool deletion = f.reason == Reason::kServerOnly;
    LoggedFile lf{f.path, f.wire, {}, {}, f.remote_size, f.remote_mtime,
                  deletion ? std::string() : f.sha256};
    if (deletion || f.remote_size >= 0) {
      auto it = kept.hash_of.find(f.wire);
      if (it == kept.hash_of.end()) continue;  // nothing to put back with
      lf.before_hash = it->second;
    }
    auto rec = record_before.files.find(f.path);
    if (rec != record_before.files.end()) lf.record_before = rec->second;
    // What was sent is what the server holds next time.
    if (!deletion) copies.KeepFile(fs::path(plan.local_root) / f.path, f.sha256);
    run.files.push_back(std::move(lf));
    if (f.reason == Reason::kMoved) {
      // The old path left the server: undone, its bytes (the same) go back.
      LoggedFile old{f.moved_from, f.moved_from_wire, f.sha256, {}};
      auto orec = record_before.files.find(f.moved_from);
      if (orec != record_before.files.end()) old.record_before = orec->second;
      run.files.push_back(std::move(old));
    }
  }
  for (const auto& d : plan.folders) {
    if (!d.include || !done.count({d.path, true})) continue;
    (d.reason == Reason::kNew ? run.folders_made : run.folders_removed).push_back({d.path, d.wire});
    // The file the folder took the place of, to be put back in its stead.
    auto it = kept.hash_of.find(d.wire);
    if (d.reason != Reason::kNew || !d.replaces_file || it == kept.hash_of.end()) continue;
    LoggedFile lf{d.path, d.wire, it->second, {}};
    auto rec = record_before.files.find(d.path);
    if (rec != record_before.files.end()) lf.record_before = rec->second;
    run.files.push_back(std::move(lf));
  }
  if (run.Empty()) return {};
  const fs::path log_path = RunLogPath(record_path);
  std::vector<LoggedRun> runs = LoadRunLog(log_path);
  runs.insert(runs.begin(), std::move(run));
  if (runs.size() > kLoggedRuns) runs.resize(kLoggedRuns);
  if (FileResult saved = SaveRunLog(log_path, runs); !saved) return saved;
  // Copies no profile's log, held copies or record wants any more go.
  copies.Prune(HashesStillNeeded(record_path.parent_path(), now));
  return {};
}

}  // namespace hemlo::publish
