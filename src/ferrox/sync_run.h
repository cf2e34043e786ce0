#pragma once
// One run of a publish plan (or of its undo) over a connection's worker:
// the run's own connections from `factory`, Escape (the connection's stop
// request, or a cancelled wait of its client) stopping every one, and the
// latest progress shown once per poll on the owner's thread.
#include <functional>
#include <string>

#include "publish/plan.h"
#include "publish/publish_run.h"
#include "remote/connection.h"

namespace hemlo::transfer_ui {

// Worker side; returns when the run has ended. `status` runs on the
// connection's owner thread.
publish::RunResult RunPlan(transfer::Connection& link, const publish::Plan& plan,
                           publish::RunSettings settings, const publish::RemoteFactory& factory,
                           std::function<void(const std::string&)> status);

// Where a plan goes, as its dialog names it: "[sftp://]host:folder".
std::string TargetText(const transfer::Connection& link, const std::string& remote_root);

}  // namespace hemlo::transfer_ui
