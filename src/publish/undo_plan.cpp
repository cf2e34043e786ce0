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

#include "base/atomic_file.h"
#include "base/version_store.h"
#include "publish/plan_parts.h"


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
      exact_ = exact_ && remote_.ListedTimesExact();
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
  // The listings so far gave times to the second.
  bool Exact() const { return exact_; }

 private:
  transfer::RemoteFiles& remote_;
  std::string root_;
  bool exact_ = true;
  std::map<std::string, std::optional<std::vector<transfer::RemoteFact>>> cache_;
};

// A folder the undo would remove stays while a deletion below it is left
// out (a conflict not ticked): it would not be empty.
void UntickKeptFolders(Plan& plan) {
  for (auto& d : plan.folders) {
    if (d.reason != Reason::kServerOnly || !d.include) continue;
    const std::string below = d.wire + "/";
    for (const auto& f : plan.files)
      if (f.reason == Reason::kServerOnly && !f.include &&
          f.wire.compare(0, below.size(), below) == 0)
        d.include = false;
  }
}

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
  // The record as the run left it: what the server held after it.
  const SyncRecord after = LoadRecord(record_path);
  int probes = 0;
  // The server's file is not the one the run left there: another upload
  // since, which the undo would overwrite or delete unasked.
  auto changed_since = [&](const LoggedFile& lf, const transfer::RemoteFact& now) {
    // As before the run (cut or failed before it got there): the bytes
    // the undo puts back are those the server holds.
    if (lf.before_size >= 0 && now.size == lf.before_size &&
        plan_parts::SameListedTime(now.modified_utc, lf.before_mtime, listed.Exact()))
      return false;
    auto it = after.files.find(lf.path);
    if (it != after.files.end()) {
      const RecordEntry& e = it->second;
      if (e.remote_size < 0 && !e.remote_mtime) return false;  // facts unknown: taken as ours
      if (now.size == e.remote_size &&
          plan_parts::SameListedTime(now.modified_utc, e.remote_mtime, listed.Exact()))
        return false;
    }
    // Not as the record says: still nothing lost when its bytes are those
    // the run sent (a rename into place that beat a stop leaves them with
    // the record not told) or those it replaced.
    if (lf.sent_hash.empty() && lf.before_hash.empty()) return true;
    const fs::path probe = undo.staging / ("probe-" + std::to_string(probes++));
    bool ours = false;
    try {
      remote.Download(JoinRemote(remote_root, lf.wire), probe.string(), nullptr);
      std::string bytes;
      if (hemlo::ReadWholeFile(probe, bytes)) {
        const std::string hash = VersionHash(bytes);
        ours = hash == lf.sent_hash || hash == lf.before_hash;
      }
    } catch (...) {
      if (!remote::IsRefusal(std::current_exception())) throw;
    }
    fs::remove(probe, ec);
    return !ours;
  };
  // The old bytes of `lf` into the staging folder, `f` filled to send them.
  auto stage = [&](const LoggedFile& lf, FileEntry& f) {
    const auto bytes = copies.Bytes(lf.before_hash);
    if (!bytes) {
      plan.problems.push_back("「" + lf.path + "」は公開前の控えが見つからないため戻せません");
      return false;
    }
    const fs::path local = undo.staging / lf.path;
    fs::create_directories(local.parent_path(), ec);
    if (const std::string error = WriteScratch(local, *bytes); !error.empty()) {
      plan.problems.push_back("「" + lf.path + "」の控えを書き出せません: " + error);
      return false;
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
    f.size = static_cast<int64_t>(bytes->size());
    f.local_mtime_ns = stamp ? stamp->mtime_ns : 0;
    f.sha256 = lf.before_hash;
    return true;
  };

  std::set<std::string> deleted;     // wires the undo deletes
  std::set<std::string> conflicted;  // ...only when the author ticks them
  std::vector<const LoggedFile*> under_folders;  // files whose place a folder took
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
    bool from_aside = false;
    if (left && left->kind != folder && !(now && now->kind == folder)) {
      if (now) {
        plan.stale_temporaries.push_back(aside);
      } else if (!lf.before_hash.empty()) {
        plan.restore_asides.emplace_back(aside, lf.wire);
        now = left;
        from_aside = true;  // the bytes before the run, by its own hand
      }
    }
    if (now && now->kind == folder) {
      under_folders.push_back(&lf);
      continue;
    }
    FileEntry f;
    f.path = lf.path;
    f.wire = lf.wire;
    const bool conflict = now && !from_aside && changed_since(lf, *now);
    f.include = !conflict;
    if (now) {
      f.remote_size = now->size;
      f.remote_mtime = now->modified_utc;
    }
    if (lf.before_hash.empty()) {
      // Added by the run: it goes, unless it has gone already.
      if (!now) continue;
      f.reason = Reason::kServerOnly;
      f.size = now->size;
      f.changed_on_server = conflict;
      (conflict ? conflicted : deleted).insert(lf.wire);
      plan.files.push_back(std::move(f));
      continue;
    }
    if (!stage(lf, f)) continue;
    f.reason = conflict ? Reason::kConflict : now ? Reason::kChanged : Reason::kNew;
    plan.files.push_back(std::move(f));
  }

  // A file going back where the run put a file in place of its folder:
  // the folder is made again in the file's stead, when the undo deletes
  // that file anyway.
  std::set<std::string> remade;
  std::set<size_t> dropped;
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const FileEntry& f = plan.files[i];
    if (f.reason == Reason::kServerOnly) continue;
    for (std::string p = ParentOf(f.wire); !p.empty(); p = ParentOf(p)) {
      const auto fact = listed.Fact(p);
      if (!fact || fact->kind == transfer::RemoteFact::Kind::kFolder) continue;
      if (!deleted.count(p)) {
        plan.problems.push_back("「" + f.path + "」はサーバで「" + NameOf(p) +
                                "」がファイルになっているため戻せません");
        dropped.insert(i);
        break;
      }
      remade.insert(p);
    }
  }
  for (const auto& p : remade) {
    for (size_t i = 0; i < plan.files.size(); ++i) {
      if (plan.files[i].wire != p) continue;
      // The folder's making deletes the file first.
      plan.folders.push_back({plan.files[i].path, p, Reason::kNew, true, false, true});
      dropped.insert(i);
    }
  }
  for (auto it = dropped.rbegin(); it != dropped.rend(); ++it)
    plan.files.erase(plan.files.begin() + static_cast<std::ptrdiff_t>(*it));

  for (const auto& d : run.folders_removed) {
    if (!SafeRelative(d.wire) || remade.count(d.wire) || listed.Fact(d.wire)) continue;
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
    bool empties = inside.has_value(), surely = empties;
    if (inside)
      for (const auto& c : *inside) {
        const std::string child = d.wire + "/" + c.name;
        surely &= deleted.count(child) > 0;
        empties &= deleted.count(child) > 0 || conflicted.count(child) > 0;
      }
    // A file put back into it keeps it as well.
    for (const auto& f : plan.files)
      if (f.reason != Reason::kServerOnly && ParentOf(f.wire) == d.wire) empties = false;
    if (!empties) {
      plan.problems.push_back("ﾌｫﾙﾀﾞ「" + d.path + "」は空にならないため残します");
      continue;
    }
    // With a conflict in it, it goes only when the conflict is ticked.
    (surely ? deleted : conflicted).insert(d.wire);
    plan.folders.push_back({d.path, d.wire, Reason::kServerOnly, false, false, true});
  }
  // A file whose place the run gave to a folder goes back once that
  // folder goes: the whole of it, as the undo empties it anyway.
  for (const LoggedFile* lf : under_folders) {
    FileEntry f;
    f.path = lf->path;
    f.wire = lf->wire;
    f.include = true;
    if (lf->before_hash.empty() || !deleted.count(lf->wire)) {
      plan.problems.push_back("「" + lf->path + "」はサーバでフォルダになっているため戻せません");
      continue;
    }
    if (!stage(*lf, f)) continue;
    f.reason = Reason::kChanged;
    f.replaces_folder = true;
    plan.files.push_back(std::move(f));
  }
  // Parents before their children.
  std::sort(plan.folders.begin(), plan.folders.end(),
            [](const auto& a, const auto& b) { return a.wire < b.wire; });
  plan.server_files = 0;
  for (const auto& f : plan.files)
    if (f.remote_size >= 0) ++plan.server_files;
  return undo;
}

KeptBefore KeepUndoConflicts(transfer::RemoteFiles& remote, UndoPlan& undo, int64_t now,
                             const std::function<bool()>& stop) {
  Plan ticked;
  UntickKeptFolders(undo.plan);
  ticked.remote_root = undo.plan.remote_root;
  ticked.encoding = undo.plan.encoding;
  for (const auto& f : undo.plan.files)
    if (f.include && (f.reason == Reason::kConflict || f.changed_on_server))
      ticked.files.push_back(f);
  if (ticked.files.empty()) return {};
  // No record: every such copy is someone else's, and comes down.
  KeptBefore kept = KeepServerCopies(remote, ticked, SyncRecord{}, undo.record_path, stop);
  std::vector<std::string> hashes;
  for (const auto& f : ticked.files)
    if (f.include) hashes.push_back(kept.hash_of[f.wire]);
  const FileResult held = HoldCopies(undo.record_path, hashes, now);
  if (!held) kept.notes.push_back(held.message);
  for (const auto& t : ticked.files) {
    if (t.include && held) continue;
    for (auto& f : undo.plan.files)
      if (f.wire == t.wire) f.include = false;
  }
  UntickKeptFolders(undo.plan);
  return kept;
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
    // Its entry, or the folder made again in its stead.
    const auto f = std::find_if(undo.plan.files.begin(), undo.plan.files.end(),
                                [&](const auto& e) { return e.wire == lf.wire; });
    const auto d = std::find_if(undo.plan.folders.begin(), undo.plan.folders.end(),
                                [&](const auto& e) {
                                  return e.wire == lf.wire && e.reason == Reason::kNew &&
                                         e.replaces_file;
                                });
    const bool in_file = f != undo.plan.files.end();
    // Not planned: nothing was left to do (gone already) or nothing can be
    // done (noted). Left out by the author: the server's copy stays theirs.
    if (!in_file && d == undo.plan.folders.end()) continue;
    if (!(in_file ? f->include : d->include)) continue;
    // Planned and not done: tried again next time.
    if (!(in_file ? done.count({lf.path, false}) : done.count({d->path, true}))) {
      left.files.push_back(lf);
      continue;
    }
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
          [&](const auto& p) { return p.wire == d.wire && p.reason == reason && p.include; });
      if (planned && !done.count({d.path, true})) out.push_back(d);
    }
    return out;
  };
  left.folders_made = folder_left(undo.run.folders_made, Reason::kServerOnly);
  left.folders_removed = folder_left(undo.run.folders_removed, Reason::kNew);
  if (const FileResult saved = SaveRecord(undo.record_path, record); !saved)
    notes.push_back(saved.message);
  const fs::path log_path = RunLogPath(undo.record_path);
  std::vector<LoggedRun> runs = LoadRunLog(log_path);
  auto it = std::find_if(runs.begin(), runs.end(),
                         [&](const LoggedRun& r) { return r.time == undo.run.time; });
  if (it != runs.end()) {
    if (left.Empty())
      runs.erase(it);
    else
      *it = left;
    if (const FileResult saved = SaveRunLog(log_path, runs); !saved)
      notes.push_back(saved.message);
  }
  std::error_code ec;
  fs::remove_all(undo.staging, ec);
  return notes;
}

}  // namespace hemlo::publish
