// The way back from a publish run: planned against the server as it is now,
// run as a publish from a staging folder of the old bytes.
#include "publish/undo_plan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>


namespace hemlo::publish {

namespace fs = std::filesystem;

namespace {

std::string JoinRemote(const std::string& root, const std::string& rel) {
  if (rel.empty()) return root;
  return root == "/" ? "/" + rel : root + "/" + rel;
}

std::string ParentOf(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  return slash == std::string::npos ? std::string() : rel.substr(0, slash);
}

std::string NameOf(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  return slash == std::string::npos ? rel : rel.substr(slash + 1);
}

// A logged path is written below the staging folder: never above it.
bool SafeRelative(const std::string& p) {
  if (p.empty() || p.front() == '/') return false;
  size_t start = 0;
  while (start <= p.size()) {
    const size_t end = std::min(p.find('/', start), p.size());
    const std::string part = p.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A staging file is read once by the run and removed after it: a flush to
// the disk per file (hundreds of them) would only delay the undo.
std::string WriteScratch(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out ? std::string() : std::strerror(errno);
}

// The server's folders as listed now (nullopt: not there).
class Listings {
 public:
  Listings(transfer::RemoteFiles& remote, std::string root)
      : remote_(remote), root_(std::move(root)) {}
  const std::optional<std::vector<transfer::RemoteFact>>& Of(const std::string& folder) {
    auto it = cache_.find(folder);
    if (it != cache_.end()) return it->second;
    std::optional<std::vector<transfer::RemoteFact>> facts;
    try {
      facts = remote_.List(JoinRemote(root_, folder));
    } catch (...) {
      // A folder that is not there refuses its listing; a broken line ends the plan.
      if (!remote::IsRefusal(std::current_exception())) throw;
    }
    return cache_[folder] = std::move(facts);
  }
  std::optional<transfer::RemoteFact> Fact(const std::string& wire) {
    const auto& facts = Of(ParentOf(wire));
    if (!facts) return std::nullopt;
    for (const auto& f : *facts)
      if (f.name == NameOf(wire)) return f;
    return std::nullopt;
  }

 private:
  transfer::RemoteFiles& remote_;
  std::string root_;
  std::map<std::string, std::optional<std::vector<transfer::RemoteFact>>> cache_;
};

}  // namespace

UndoPlan PlanUndo(transfer::RemoteFiles& remote, const std::string& remote_root,
                  text::NameEncoding encoding, const LoggedRun& run, const fs::path& record_path) {
  UndoPlan undo;
  undo.run = run;
  undo.record_path = record_path;
  KeptCopies copies = KeptCopies::Beside(record_path);
  undo.staging = copies.folder() / ("undo-" + std::to_string(::getpid()) + "-" +
                                    std::to_string(NowNs()));
  std::error_code ec;
  fs::remove_all(undo.staging, ec);
  fs::create_directories(undo.staging, ec);
  Plan& plan = undo.plan;
  plan.local_root = undo.staging.string();
  plan.remote_root = remote_root;
  plan.encoding = encoding;
  plan.delete_server_only = true;
  plan.include_conflicts = true;
  Listings listed(remote, remote_root);

  std::set<std::string> deleted;  // wires the undo deletes
  for (const auto& lf : run.files) {
    if (!SafeRelative(lf.path) || !SafeRelative(lf.wire)) continue;
    auto now = listed.Fact(lf.wire);
    // A replacement cut short leaves the old page under its aside name,
    // which the undo's own replacement needs: beside the page it is left
    // over and goes; in the page's stead it goes back first.
    const std::string parent = ParentOf(lf.wire);
    const std::string aside = (parent.empty() ? "" : parent + "/") + AsideName(NameOf(lf.wire));
    const auto left = listed.Fact(aside);
    const auto folder = transfer::RemoteFact::Kind::kFolder;
    if (left && left->kind != folder && !(now && now->kind == folder)) {
      if (now) {
        plan.stale_temporaries.push_back(aside);
      } else if (!lf.before_hash.empty()) {
        plan.restore_asides.emplace_back(aside, lf.wire);
        now = left;
      }
    }
    if (now && now->kind == folder) {
      plan.problems.push_back("「" + lf.path + "」はサーバでフォルダになっているため戻せません");
      continue;
    }
    FileEntry f;
    f.path = lf.path;
    f.wire = lf.wire;
    f.include = true;
    if (lf.before_hash.empty()) {
      // Added by the run: it goes, unless it has gone already.
      if (!now) continue;
      f.reason = Reason::kServerOnly;
      f.size = f.remote_size = now->size;
      f.remote_mtime = now->modified_utc;
      deleted.insert(lf.wire);
      plan.files.push_back(std::move(f));
      continue;
    }
    const auto bytes = copies.Bytes(lf.before_hash);
    if (!bytes) {
      plan.problems.push_back("「" + lf.path + "」は公開前の控えが見つからないため戻せません");
      continue;
    }
    const fs::path local = undo.staging / lf.path;
    fs::create_directories(local.parent_path(), ec);
    if (const std::string error = WriteScratch(local, *bytes); !error.empty()) {
      plan.problems.push_back("「" + lf.path + "」の控えを書き出せません: " + error);
      continue;
    }
    // The server's time as the earlier publish set it, where one did.
    const int64_t mtime_ns =
        lf.record_before && lf.record_before->sha256 == lf.before_hash
            ? lf.record_before->local_mtime_ns
            : NowNs();
    const timespec times[2] = {{mtime_ns / 1'000'000'000, mtime_ns % 1'000'000'000},
                               {mtime_ns / 1'000'000'000, mtime_ns % 1'000'000'000}};
    ::utimensat(AT_FDCWD, local.c_str(), times, 0);
    const auto stamp = transfer::StampOf(local.string());
    f.reason = now ? Reason::kChanged : Reason::kNew;
    f.size = static_cast<int64_t>(bytes->size());
    f.local_mtime_ns = stamp ? stamp->mtime_ns : 0;
    f.sha256 = lf.before_hash;
    if (now) {
      f.remote_size = now->size;
      f.remote_mtime = now->modified_utc;
    }
    plan.files.push_back(std::move(f));
  }

  for (const auto& d : run.folders_removed) {
    if (!SafeRelative(d.wire) || listed.Fact(d.wire)) continue;
    plan.folders.push_back({d.path, d.wire, Reason::kNew, false, false, true});
  }
  // The run's folders go only when nothing but what the undo removes is in
  // them: deepest first, so a parent sees its children going.
  std::vector<LoggedFolder> made = run.folders_made;
  std::sort(made.begin(), made.end(),
            [](const auto& a, const auto& b) { return a.wire.size() > b.wire.size(); });
  std::set<std::string> kept_made;
  for (const auto& d : made) {
    if (!SafeRelative(d.wire)) continue;
    const auto fact = listed.Fact(d.wire);
    if (!fact || fact->kind != transfer::RemoteFact::Kind::kFolder) continue;
    const auto& inside = listed.Of(d.wire);
    bool empties = inside.has_value();
    if (inside)
      for (const auto& c : *inside) empties &= deleted.count(d.wire + "/" + c.name) > 0;
    // A file put back into it keeps it as well.
    for (const auto& f : plan.files)
      if (f.reason != Reason::kServerOnly && ParentOf(f.wire) == d.wire) empties = false;
    if (!empties) {
      plan.problems.push_back("ﾌｫﾙﾀﾞ「" + d.path + "」は空にならないため残します");
      continue;
    }
    deleted.insert(d.wire);
    plan.folders.push_back({d.path, d.wire, Reason::kServerOnly, false, false, true});
  }
  // Parents before their children.
  std::sort(plan.folders.begin(), plan.folders.end(),
            [](const auto& a, const auto& b) { return a.wire < b.wire; });
  plan.server_files = 0;
  for (const auto& f : plan.files)
    if (f.remote_size >= 0) ++plan.server_files;
  return undo;
}

RunSettings UndoSettings(const UndoPlan& undo) {
  RunSettings s;
  // A scratch record gathers the server's facts of the files put back.
  s.record_path = undo.staging / "undo-record.dat";
  return s;
}

std::vector<std::string> SettleUndo(const UndoPlan& undo, const RunResult& result) {
  std::vector<std::string> notes;
  std::set<std::pair<std::string, bool>> done;
  for (const auto& e : result.entries)
    if (e.outcome == Outcome::kDone) done.insert({e.path, e.folder});
  const SyncRecord scratch = LoadRecord(undo.staging / "undo-record.dat");
  SyncRecord record = LoadRecord(undo.record_path);
  LoggedRun left = undo.run;
  left.files.clear();
  for (const auto& lf : undo.run.files) {
    const bool planned = std::any_of(undo.plan.files.begin(), undo.plan.files.end(),
                                     [&](const auto& f) { return f.wire == lf.wire; });
    // Planned and not done: tried again next time. Not planned: nothing
    // was left to do (gone already) or nothing can be done (noted).
    if (planned && !done.count({lf.path, false})) {
      left.files.push_back(lf);
      continue;
    }
    if (!planned) continue;
    if (!lf.record_before) {
      record.files.erase(lf.path);
      continue;
    }
    RecordEntry e = *lf.record_before;
    // Our own bytes back in place: the record takes the server's facts now.
    // Other bytes keep the old facts, so the next plan sees them as before.
    auto s = scratch.files.find(lf.path);
    if (lf.record_before->sha256 == lf.before_hash && s != scratch.files.end()) {
      e.remote_size = s->second.remote_size;
      e.remote_mtime = s->second.remote_mtime;
    }
    record.files[lf.path] = std::move(e);
  }
  auto folder_left = [&](const std::vector<LoggedFolder>& all, Reason reason) {
    std::vector<LoggedFolder> out;
    for (const auto& d : all) {
      const bool planned = std::any_of(
          undo.plan.folders.begin(), undo.plan.folders.end(),
          [&](const auto& p) { return p.wire == d.wire && p.reason == reason; });
      if (planned && !done.count({d.path, true})) out.push_back(d);
    }
    return out;
  };
  left.folders_made = folder_left(undo.run.folders_made, Reason::kServerOnly);
  left.folders_removed = folder_left(undo.run.folders_removed, Reason::kNew);
  std::string error;
  if (!SaveRecord(undo.record_path, record, &error)) notes.push_back(error);
  const fs::path log_path = RunLogPath(undo.record_path);
  std::vector<LoggedRun> runs = LoadRunLog(log_path);
  auto it = std::find_if(runs.begin(), runs.end(),
                         [&](const LoggedRun& r) { return r.time == undo.run.time; });
  if (it != runs.end()) {
    if (left.Empty())
      runs.erase(it);
    else
      *it = left;
    if (!SaveRunLog(log_path, runs, &error)) notes.push_back(error);
  }
  std::error_code ec;
  fs::remove_all(undo.staging, ec);
  return notes;
}

}  // namespace hemlo::publish
