#pragma once
// Taking back a publish run. Before a run, every server file it will
// replace or delete is made safe: bytes that are the ones we last published
// are found among the kept copies by their hash, anything else (a conflict
// the author ticked, a server-only file ticked for deletion) is downloaded
// first; a file whose copy cannot be kept is not replaced or deleted. After
// the run, what it did goes into the run log. The way back is a plan of its
// own (old files put back, files the run added deleted, folders it made
// removed when empty, folders it removed made again, a file and a folder
// that took each other's place swapped back) that PublishRun runs with the
// same temporary names and renames as a publish. A server file changed since
// the run (its size or time not as the record has them after it) is a
// conflict the author must tick before the undo replaces or deletes it.
//
// Core code (no Qt).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "publish/plan.h"
#include "publish/publish_run.h"
#include "publish/run_log.h"

namespace hemlo::publish {

struct KeptBefore {
  std::map<std::string, std::string> hash_of;  // wire -> hash of the server's copy
  std::vector<std::string> notes;              // Japanese: files left out, and why
};

// Unticks (in `plan`) every replacement and deletion whose server copy
// cannot be kept. Asks `stop` between files.
KeptBefore KeepServerCopies(transfer::RemoteFiles& remote, Plan& plan, const SyncRecord& record,
                            const std::filesystem::path& record_path,
                            const std::function<bool()>& stop = nullptr);

// Logs what `result` did as the newest run (nothing when it did nothing) and
// keeps the bytes it sent, so the next run finds them by hash. Fails when
// the log cannot be written.
FileResult LogRun(const Plan& plan, const RunResult& result, const SyncRecord& record_before,
                  const KeptBefore& kept, const std::filesystem::path& record_path,
                  int64_t now);

struct UndoPlan {
  Plan plan;           // local_root: `staging`, which holds the old bytes
  LoggedRun run;       // the run taken back
  std::filesystem::path staging;
  std::filesystem::path record_path;
};

// Plans taking back `run` (the newest of the log, as a rule) against what
// the server shows now. Client errors propagate.
UndoPlan PlanUndo(transfer::RemoteFiles& remote, const std::string& remote_root,
                  text::NameEncoding encoding, const LoggedRun& run,
                  const std::filesystem::path& record_path);

// Before the undo runs: the server copies of the ticked conflicts (files
// changed on the server since the run) are kept and held, and a conflict
// whose copy cannot be kept is unticked (said in the notes). Asks `stop`
// between files.
KeptBefore KeepUndoConflicts(transfer::RemoteFiles& remote, UndoPlan& undo, int64_t now,
                             const std::function<bool()>& stop = nullptr);

// The run's settings for an undo: no record of its own but a scratch one,
// for the remote facts of the files put back.
RunSettings UndoSettings(const UndoPlan& undo);

// After the undo ran: the record's entries of what went back as they were
// before the run, the run taken off the log (what failed stays in it to be
// tried again), the staging folder removed. Notes (Japanese) of trouble.
std::vector<std::string> SettleUndo(const UndoPlan& undo, const RunResult& result);

}  // namespace hemlo::publish
