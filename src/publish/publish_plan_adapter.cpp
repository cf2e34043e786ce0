#include "publish/publish_plan_adapter.h"

#include <algorithm>
#include <map>
#include <string>

namespace hemlo::transfer {

using publish::Reason;

namespace {

PlanReason FileReason(Reason r) {
  switch (r) {
    case Reason::kNew:
      return PlanReason::kNew;
    case Reason::kConflict:
      return PlanReason::kConflict;
    case Reason::kServerOnly:
      return PlanReason::kServerOnly;
    case Reason::kNoRecordSameSize:
      return PlanReason::kNoRecordSameSize;
    case Reason::kMoved:
      return PlanReason::kMoved;
    case Reason::kChanged:
    case Reason::kUnchanged:
      break;
  }
  return PlanReason::kChanged;
}

}  // namespace

PlanView ViewOfPlan(const publish::Plan& plan, std::vector<PlanRowSource>* sources) {
  PlanView view;
  sources->clear();
  view.target = plan.remote_root;
  view.notes = plan.problems;
  view.delete_server_only = plan.delete_server_only;
  view.unchanged = plan.unchanged_unplanned;
  view.site = plan.local_root;
  view.site_empty = plan.local_site == publish::LocalSite::kEmpty;
  view.site_missing = plan.local_site == publish::LocalSite::kMissing;
  view.server_files = plan.server_files;
  view.excluded = plan.excluded;
  for (std::size_t i = 0; i < plan.folders.size(); ++i) {
    const auto& d = plan.folders[i];
    if (d.reason != Reason::kNew && d.reason != Reason::kServerOnly) continue;
    PlanRowView row;
    row.path = d.path;
    row.reason = d.reason == Reason::kNew ? PlanReason::kNewFolder : PlanReason::kServerOnlyFolder;
    row.required = d.required;
    view.rows.push_back(row);
    sources->push_back({true, i});
  }
  for (std::size_t i = 0; i < plan.files.size(); ++i) {
    const auto& f = plan.files[i];
    if (f.reason == Reason::kUnchanged) {
      ++view.unchanged;
      continue;
    }
    PlanRowView row;
    row.path = f.path;
    row.reason = FileReason(f.reason);
    if (f.outside_link && row.reason != PlanReason::kConflict &&
        row.reason != PlanReason::kServerOnly)
      row.reason = PlanReason::kOutsideLink;
    row.bytes = f.reason == Reason::kServerOnly ? std::max<int64_t>(f.remote_size, f.size)
                : f.reason == Reason::kMoved    ? 0
                                                : f.size;
    if (f.changed_on_server) {
      row.reason = PlanReason::kConflict;
      row.deletes = true;
    }
    row.from = f.moved_from;
    row.ticked = RowHasTick(row.reason) && f.include;
    row.required = f.required;
    view.rows.push_back(row);
    sources->push_back({false, i});
  }
  return view;
}

void ApplyChoices(const PlanView& view, const std::vector<PlanRowSource>& sources,
                  publish::Plan& plan) {
  plan.delete_server_only = view.delete_server_only;
  bool any_conflict = false;
  for (std::size_t r = 0; r < view.rows.size() && r < sources.size(); ++r) {
    const bool runs = RowRuns(view.rows[r], view.delete_server_only);
    const PlanRowSource& s = sources[r];
    if (s.folder) {
      plan.folders[s.index].include = runs;
    } else {
      plan.files[s.index].include = runs;
      any_conflict |= runs && view.rows[r].reason == PlanReason::kConflict;
    }
  }
  plan.include_conflicts = any_conflict;
}

PublishResult ResultOfRun(const publish::RunResult& run, const publish::Plan& plan) {
  std::map<std::string, int64_t> sizes;
  for (const auto& f : plan.files) sizes[f.path] = f.size;
  PublishResult r;
  r.stopped = run.cancelled;
  r.notes = run.notes;
  for (const auto& e : run.entries) {
    const bool deletion = e.reason == Reason::kServerOnly;
    if (e.outcome == publish::Outcome::kDone) {
      if (deletion) {
        ++r.deleted;
      } else if (e.folder) {
        ++r.folders_made;
      } else if (e.reason == Reason::kMoved) {
        ++r.moved;
      } else {
        ++r.files_sent;
        r.bytes_sent += sizes[e.path];
      }
    } else if (e.outcome == publish::Outcome::kFailed) {
      r.failures.push_back({e.path, e.message.empty() ? "失敗しました" : e.message});
    } else {
      r.failures.push_back(
          {e.path, deletion ? "中断のため削除していません" : "中断のため送信していません"});
    }
  }
  return r;
}

}  // namespace hemlo::transfer
