// Moves found by content: a page published under a path now gone.

#include <algorithm>
#include <map>

#include "publish/plan_parts.h"

namespace hemlo::publish::plan_parts {

using transfer::RemoteFact;

// Files sent as new or changed whose content we published under a path
// that is gone from the site, while the server still holds our copy there
// (`leave` says which server paths must stay as they are): each becomes a
// rename on the server, its old path never deleted. One old copy serves
// one new path; a new path with the old one's name is served first.
void PlanMoves(Plan& plan, const SyncRecord& record, const RemoteTree& tree,
               const text::RemoteNames& names, const std::set<std::string>& local_files,
               const std::set<std::string>& local_wire,
               const std::function<bool(const std::string&)>& leave,
               std::set<std::string>& moved_away) {
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> gone;  // sha -> (rel, wire)
  for (const auto& [rel, rec] : record.files) {
    if (local_files.count(rel) || rec.sha256.empty()) continue;
    const auto w = names.ToWire(rel);
    if (!w || local_wire.count(*w) || leave(*w)) continue;
    const auto it = tree.entries.find(*w);
    if (it == tree.entries.end() || it->second.kind != RemoteFact::Kind::kFile) continue;
    const RemoteFact& rf = it->second;
    const bool ours = (rec.remote_size < 0 && !rec.remote_mtime) ||
                      (rf.size == rec.remote_size &&
                       SameListedTime(rf.modified_utc, rec.remote_mtime, tree.exact_times));
    if (ours) gone[rec.sha256].emplace_back(rel, *w);
  }
  if (gone.empty()) return;
  for (const bool same_name_only : {true, false}) {
    for (auto& e : plan.files) {
      if (!e.include || e.replaces_folder || e.outside_link ||
          (e.reason != Reason::kNew && e.reason != Reason::kChanged))
        continue;
      auto g = gone.find(e.sha256);
      if (g == gone.end()) continue;
      auto& olds = g->second;
      auto old = std::find_if(olds.begin(), olds.end(), [&](const auto& o) {
        return !same_name_only || NameOf(o.first) == NameOf(e.path);
      });
      if (old == olds.end()) continue;
      e.reason = Reason::kMoved;
      e.moved_from = old->first;
      e.moved_from_wire = old->second;
      moved_away.insert(old->second);
      olds.erase(old);
    }
  }
}

}  // namespace hemlo::publish::plan_parts
