// ComputePlan: the local walk, the remote walk and the sorting of every
// entry into its reason.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "base/preview_record.h"
#include "base/remote_errors.h"
#include "publish/plan_parts.h"

namespace hemlo::publish {

namespace fs = std::filesystem;
using transfer::RemoteFact;
using namespace plan_parts;

Plan ComputePlan(transfer::RemoteFiles& remote, const PlanInput& input) {
  Plan plan;
  plan.local_root = input.local_root;
  while (plan.local_root.size() > 1 && plan.local_root.back() == '/') plan.local_root.pop_back();
  plan.remote_root = input.remote_root;
  while (plan.remote_root.size() > 1 && plan.remote_root.back() == '/') plan.remote_root.pop_back();
  plan.encoding = input.names.Encoding();
  const auto& names = input.names;
  static const SyncRecord kNoRecord;
  const SyncRecord& record = input.record ? *input.record : kNoRecord;

  LocalTree local = WalkLocal(plan.local_root, input.exclusions, plan, input.stop);
  {
    std::error_code ec;
    if (!fs::is_directory(plan.local_root, ec))
      plan.local_site = LocalSite::kMissing;
    else if (local.files.empty())
      plan.local_site = LocalSite::kEmpty;
  }

  // Wire names; a name the connection cannot carry is reported and left
  // out, with everything below it.
  std::map<std::string, std::string> wire_of;  // local rel -> wire rel
  auto wire = [&](const std::string& rel) -> std::optional<std::string> {
    const std::string parent = ParentOf(rel);
    if (!parent.empty() && !wire_of.count(parent)) return std::nullopt;
    auto w = names.ToWire(rel);
    if (!w) {
      plan.problems.push_back("「" + rel + "」は " + names.EncodingName() +
                              " で表せない文字を含むため送れません");
      return std::nullopt;
    }
    wire_of[rel] = *w;
    return w;
  };
  std::vector<std::string> folders;
  for (const auto& d : local.folders)
    if (wire(d)) folders.push_back(d);
  std::vector<LocalFile> files;
  for (auto& f : local.files) {
    const std::string parent = ParentOf(f.rel);
    if (!parent.empty() && !wire_of.count(parent)) continue;
    if (wire(f.rel)) files.push_back(f);
  }

  // Hashes, and for publish on save the files worth a look.
  std::vector<std::string> sha(files.size());
  std::vector<LocalFile> kept;
  std::vector<std::string> kept_sha;
  const auto stopped = [&] {
    if (input.stop && input.stop()) throw remote::Cancelled();
  };
  for (size_t i = 0; i < files.size(); ++i) {
    stopped();
    auto h = FileSha256(plan.local_root + "/" + files[i].rel, input.stop);
    if (!h) {
      stopped();  // given up rather than unreadable
      plan.problems.push_back("「" + files[i].rel + "」を読めません");
      local.unread.push_back(files[i].rel);
      continue;
    }
    if (input.changed_only) {
      auto r = record.files.find(files[i].rel);
      if (r != record.files.end() && r->second.sha256 == *h) {
        ++plan.unchanged_unplanned;
        continue;
      }
    }
    kept.push_back(files[i]);
    kept_sha.push_back(*h);
  }
  files.swap(kept);
  sha.swap(kept_sha);

  RemoteTree tree;
  if (!input.changed_only) {
    std::vector<std::string> queue{""};
    for (size_t k = 0; k < queue.size(); ++k) {
      const std::string folder = queue[k];  // the queue grows while it is listed
      ListInto(remote, plan.remote_root, folder, names, input.exclusions, tree, &queue, plan);
    }
  } else {
    // The folders on the way to each file, from the root down, each once;
    // a folder the server lacks ends its branch.
    std::set<std::string> listed;
    for (const auto& f : files) {
      const std::string parent_wire = ParentOf(wire_of[f.rel]);
      std::vector<std::string> chain{""};
      for (size_t p = parent_wire.find('/'); p != std::string::npos;
           p = parent_wire.find('/', p + 1))
        chain.push_back(parent_wire.substr(0, p));
      if (!parent_wire.empty()) chain.push_back(parent_wire);
      for (const auto& c : chain) {
        if (!c.empty()) {
          auto it = tree.entries.find(c);
          if (it == tree.entries.end() || it->second.kind != RemoteFact::Kind::kFolder) break;
        }
        if (listed.insert(c).second)
          ListInto(remote, plan.remote_root, c, names, input.exclusions, tree, nullptr, plan);
      }
    }
  }

  for (const auto& [w, fact] : tree.entries)
    if (fact.kind != RemoteFact::Kind::kFolder) ++plan.server_files;
  std::sort(plan.excluded.begin(), plan.excluded.end());
  plan.excluded.erase(std::unique(plan.excluded.begin(), plan.excluded.end()), plan.excluded.end());

  {
    std::set<std::string> known;  // every page whose old copy may be aside
    for (const auto& [rel, w] : wire_of) known.insert(w);
    for (const auto& [rel, rec] : record.files)
      if (auto w = names.ToWire(rel)) known.insert(*w);
    ResolveAsides(tree, known, names, !input.changed_only, plan);
  }

  std::set<std::string> local_wire;  // every local path, wire form
  for (const auto& d : folders) local_wire.insert(wire_of[d]);
  for (const auto& f : files) local_wire.insert(wire_of[f.rel]);

  // Remote entries below a remote folder a local file replaces, or below
  // a server-only folder, are server-only too.
  if (input.changed_only) {
    // Only the folders on the way to the files planned.
    std::set<std::string> needed;
    for (const auto& f : files)
      for (std::string p = ParentOf(f.rel); !p.empty(); p = ParentOf(p)) needed.insert(p);
    std::erase_if(folders, [&](const std::string& d) { return !needed.count(d); });
  }
  for (const auto& d : folders) {
    FolderEntry e;
    e.path = d;
    e.wire = wire_of[d];
    auto it = tree.entries.find(e.wire);
    if (it != tree.entries.end() && it->second.kind == RemoteFact::Kind::kFolder) {
      e.reason = Reason::kUnchanged;
    } else {
      e.reason = Reason::kNew;
      e.include = true;
      e.replaces_file = it != tree.entries.end();
    }
    plan.folders.push_back(std::move(e));
  }

  std::vector<size_t> no_record_same_size;  // candidates for the clock rule
  for (size_t i = 0; i < files.size(); ++i) {
    const LocalFile& lf = files[i];
    FileEntry e;
    e.path = lf.rel;
    e.wire = wire_of[lf.rel];
    e.size = lf.size;
    e.local_mtime_ns = lf.mtime_ns;
    e.sha256 = sha[i];
    auto rit = tree.entries.find(e.wire);
    const RemoteFact* rf = rit == tree.entries.end() ? nullptr : &rit->second;
    if (rf && rf->kind != RemoteFact::Kind::kFolder) {
      e.remote_size = rf->size;
      e.remote_mtime = rf->modified_utc;
    }
    auto rec_it = record.files.find(lf.rel);
    const RecordEntry* rec = rec_it == record.files.end() ? nullptr : &rec_it->second;
    if (rf && rf->kind == RemoteFact::Kind::kFolder) {
      e.reason = rec ? Reason::kChanged : Reason::kNew;
      e.replaces_folder = true;
    } else if (rec) {
      if (!rf) {
        // We put it there and it is gone: someone removed it on the server.
        e.reason = Reason::kConflict;
      } else if (rec->remote_size < 0 && !rec->remote_mtime) {
        // The server's facts were not known after the upload: what it
        // lists now is taken as ours.
        e.reason = rec->sha256 == e.sha256 ? Reason::kUnchanged : Reason::kChanged;
      } else if (rf->size != rec->remote_size ||
                 !SameListedTime(rf->modified_utc, rec->remote_mtime, tree.exact_times)) {
        e.reason = Reason::kConflict;
      } else {
        e.reason = rec->sha256 == e.sha256 ? Reason::kUnchanged : Reason::kChanged;
      }
    } else if (!rf) {
      e.reason = Reason::kNew;
    } else if (rf->size == lf.size) {
      e.reason = Reason::kChanged;  // until the clock says otherwise
      no_record_same_size.push_back(plan.files.size());
    } else {
      e.reason = Reason::kChanged;
    }
    e.include = e.reason == Reason::kNew || e.reason == Reason::kChanged;
    if (lf.outside_link) {
      // Sent only when the author ticks it: the link may have been meant
      // for this machine only.
      e.outside_link = true;
      if (e.include)
        plan.problems.push_back("「" + lf.rel + "」はサイトフォルダの外を指すリンクです");
      e.include = false;
    }
    plan.files.push_back(std::move(e));
  }

  if (!no_record_same_size.empty()) {
    plan.clock_offset = MeasureClockOffset(remote, tree, plan.remote_root);
    if (plan.clock_offset) {
      for (size_t idx : no_record_same_size) {
        FileEntry& e = plan.files[idx];
        const auto t = ExactRemoteTime(remote, tree, plan.remote_root, e.wire);
        if (!t) continue;
        const int64_t local_s = e.local_mtime_ns / 1'000'000'000;
        if (*t - *plan.clock_offset >= local_s - kClockSlackSeconds) {
          e.reason = Reason::kNoRecordSameSize;
          e.include = false;
        }
      }
    }
  }

  // What the walk could not read stays on the server, and below it.
  bool all_unread = false;
  std::set<std::string> unread_wire;
  for (const auto& rel : local.unread) {
    if (rel.empty()) all_unread = true;
    if (auto w = names.ToWire(rel)) unread_wire.insert(*w);
  }
  auto kept_on_server = [&](const std::string& w) {
    if (all_unread) return true;
    if (unread_wire.empty()) return false;
    for (std::string p = w; !p.empty(); p = ParentOf(p))
      if (unread_wire.count(p)) return true;
    return false;
  };

  if (!input.changed_only) {
    // Records of files gone from both sides would make a new file of the
    // same name look deleted on the server.
    std::set<std::string> local_files;
    for (const auto& f : files) local_files.insert(f.rel);
    for (const auto& [rel, rec] : record.files) {
      if (local_files.count(rel)) continue;
      auto w = names.ToWire(rel);
      if (w && (tree.entries.count(*w) || kept_on_server(*w))) continue;
      plan.record_drop.push_back(rel);
    }
    // Server-only entries, in the walk's order (parents before children).
    std::set<std::string> replaced_folders;
    for (const auto& f : plan.files)
      if (f.replaces_folder) replaced_folders.insert(f.wire);
    auto below_replaced = [&](const std::string& w) {
      for (std::string p = ParentOf(w); !p.empty(); p = ParentOf(p))
        if (replaced_folders.count(p)) return true;
      return false;
    };
    std::set<std::string> moved_away;  // renamed, not deleted
    PlanMoves(plan, record, tree, names, local_files, local_wire,
              [&](const std::string& w) { return kept_on_server(w) || below_replaced(w); },
              moved_away);
    for (const auto& w : tree.order) {
      if (local_wire.count(w) || kept_on_server(w) || moved_away.count(w)) continue;
      const RemoteFact& rf = tree.entries[w];
      const bool required = below_replaced(w);
      if (rf.kind == RemoteFact::Kind::kFolder) {
        FolderEntry e;
        e.path = names.Display(w);
        e.wire = w;
        e.reason = Reason::kServerOnly;
        e.required = required;
        e.include = required;
        plan.folders.push_back(std::move(e));
      } else {
        FileEntry e;
        e.path = names.Display(w);
        e.wire = w;
        e.reason = Reason::kServerOnly;
        e.size = rf.size < 0 ? 0 : rf.size;
        e.remote_size = rf.size;
        e.remote_mtime = rf.modified_utc;
        e.required = required;
        e.include = required;
        plan.files.push_back(std::move(e));
      }
    }
  }
  return plan;
}

}  // namespace hemlo::publish
