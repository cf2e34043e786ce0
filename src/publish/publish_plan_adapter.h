#pragma once
// The site sync's plan as the confirmation dialog shows it, the author's
// ticks back into the plan, and a run's result for the result view.
// No Qt.
#include <cstddef>
#include <vector>

#include "publish/plan.h"
#include "publish/publish_run.h"
#include "publish/publish_plan_view.h"

namespace hemlo::transfer {

// Where a row of the view came from.
struct PlanRowSource {
  bool folder = false;
  std::size_t index = 0;  // into plan.folders or plan.files
};

// One row for each entry that would change the server (folders first);
// unchanged files are only counted.
PlanView ViewOfPlan(const publish::Plan& plan, std::vector<PlanRowSource>* sources);
// The dialog's choices: the ticked conflicts and files without a record,
// and server-only entries when deletion is ticked (or a replacement needs
// them gone).
void ApplyChoices(const PlanView& view, const std::vector<PlanRowSource>& sources,
                  publish::Plan& plan);
// Every entry that did not end done is named with its reason: failures
// with the server's message, entries a stop left undone as not sent.
PublishResult ResultOfRun(const publish::RunResult& run, const publish::Plan& plan);

}  // namespace hemlo::transfer
