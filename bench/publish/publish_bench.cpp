// One site sync, timed from the first connect to the last byte: plans the
// local folder against the remote folder (with the record kept in the state
// folder) and runs the plan over N connections. `logged` keeps the server's
// copies first and logs the run after, as the window does; `undo` takes the
// newest logged run back instead. Prints one line:
//   seconds=<s> sent=<files> deleted=<n> failed=<n> connections=<n>
// run_bench.py drives it against vsftpd and the slow server, beside lftp.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <future>
#include <optional>
#include <vector>
#include <string>

#include "publish/plan.h"
#include "publish/publish_run.h"
#include "publish/undo_plan.h"
#include "remote/ftp_remote_files.h"

using namespace hemlo;

int main(int argc, char** argv) {
  if (argc != 7 && argc != 8) {
    std::fprintf(
        stderr,
        "usage: publish_bench PORT REMOTE_ROOT LOCAL_ROOT STATE_DIR CONNECTIONS USER"
        " [save|logged|undo]\n"
        "  save: publish on save - only what changed since the record, on a\n"
        "        connection opened before the clock starts\n"
        "  logged: the server's copies kept before and the run logged after\n"
        "  undo: the newest logged run taken back\n");
    return 2;
  }
  const std::string mode = argc == 8 ? argv[7] : "";
  const bool save = mode == "save";
  transfer::FtpEndpoint e;
  e.host_field = std::string("127.0.0.1:") + argv[1];
  e.user = argv[6];
  e.password = "bench@example.invalid";
  e.start_folder = argv[2];
  const std::string local = argv[3];
  const std::string state = argv[4];
  const int connections = std::atoi(argv[5]);

  std::unique_ptr<transfer::FtpRemoteFiles> warm;
  if (save) warm = transfer::ConnectFtpRemoteFiles(e);
  const auto t0 = std::chrono::steady_clock::now();
  // The extra connections log in while the first one plans, as the window
  // does while its plan dialog is open.
  std::vector<std::future<std::unique_ptr<transfer::FtpRemoteFiles>>> early;
  for (int i = 1; i < connections; ++i)
    early.push_back(
        std::async(std::launch::async, [&e] { return transfer::ConnectFtpRemoteFiles(e); }));
  auto remote = save ? std::move(warm) : transfer::ConnectFtpRemoteFiles(e);
  const auto record_path = publish::RecordPath(state, "127.0.0.1", e.user, e.start_folder, local);
  publish::SyncRecord record = publish::LoadRecord(record_path);
  publish::PlanInput in;
  in.local_root = local;
  in.remote_root = e.start_folder;
  in.names = remote->Names;
  in.record = &record;
  in.changed_only = save;
  std::optional<publish::UndoPlan> undo;
  publish::Plan plan;
  publish::KeptBefore kept;
  publish::RunSettings settings;
  if (mode == "undo") {
    const auto runs = publish::LoadRunLog(publish::RunLogPath(record_path));
    if (runs.empty()) {
      std::fprintf(stderr, "no logged run to undo\n");
      return 1;
    }
    undo = publish::PlanUndo(*remote, e.start_folder, remote->Names.Encoding(), runs.front(),
                             record_path);
    plan = undo->plan;
    settings = publish::UndoSettings(*undo);
  } else {
    plan = publish::ComputePlan(*remote, in);
    if (mode == "logged") kept = publish::KeepServerCopies(*remote, plan, record, record_path);
    settings.record_path = record_path;
    settings.record = record;
  }
  settings.connections = connections;
  // As the window: no more connections than files to send (deletions go
  // on the first one).
  if (undo) settings.connections = std::min(connections, std::max(1, plan.Counts().uploads));
  const publish::Plan planned = plan;
  const auto t_planned = std::chrono::steady_clock::now();
  // The planning connection carries the run's first share (a warm start).
  transfer::RemoteFiles* first = remote.get();
  auto factory =
      [&](int slot,
          const publish::CancelRegistrar& cancel_with) -> std::unique_ptr<transfer::RemoteFiles> {
    if (slot == 0 && first) {
      first = nullptr;
      return std::move(remote);
    }
    if (slot >= 1 && slot - 1 < static_cast<int>(early.size()) && early[slot - 1].valid())
      return early[slot - 1].get();
    return transfer::ConnectFtpRemoteFiles(e, cancel_with);
  };
  const publish::RunResult r = publish::RunPlan(std::move(plan), std::move(settings), factory);
  std::vector<std::string> notes;
  if (undo) notes = publish::SettleUndo(*undo, r);
  if (mode == "logged") {
    if (const auto logged =
            publish::LogRun(planned, r, record, kept, record_path, std::time(nullptr));
        !logged)
      notes.push_back(logged.message);
  }
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  int sent = 0, deleted = 0;
  for (const auto& op : r.operations) {
    if (op.kind == publish::Operation::Kind::kUpload) ++sent;
    if (op.kind == publish::Operation::Kind::kDelete) ++deleted;
  }
  std::printf("seconds=%.4f sent=%d deleted=%d failed=%d connections=%d planned=%.4f\n", s, sent,
              deleted, r.Failed(), r.most_at_once,
              std::chrono::duration<double>(t_planned - t0).count());
  for (const auto& n : r.notes) std::fprintf(stderr, "note: %s\n", n.c_str());
  for (const auto& n : notes) std::fprintf(stderr, "note: %s\n", n.c_str());
  return r.Failed() == 0 && notes.empty() ? 0 : 1;
}
