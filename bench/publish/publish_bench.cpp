// One site sync, timed from the first connect to the last byte: plans the
// local folder against the remote folder (with the record kept in the state
// folder) and runs the plan over N connections. Prints one line:
//   seconds=<s> sent=<files> deleted=<n> failed=<n> connections=<n>
// run_bench.py drives it against vsftpd and the slow server, beside lftp.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <vector>
#include <string>

#include "publish/plan.h"
#include "publish/publish_run.h"
#include "remote/ftp_remote_files.h"

using namespace hemlo;

int main(int argc, char** argv) {
  if (argc != 7 && argc != 8) {
    std::fprintf(
        stderr,
        "usage: publish_bench PORT REMOTE_ROOT LOCAL_ROOT STATE_DIR CONNECTIONS USER [save]\n"
        "  save: publish on save - only what changed since the record, on a\n"
        "        connection opened before the clock starts\n");
    return 2;
  }
  const bool save = argc == 8 && std::string(argv[7]) == "save";
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
  publish::Plan plan = publish::ComputePlan(*remote, in);
  publish::RunSettings settings;
  settings.connections = connections;
  settings.record_path = record_path;
  settings.record = record;
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
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  int sent = 0, deleted = 0;
  for (const auto& op : r.operations) {
    if (op.kind == publish::Operation::Kind::kUpload) ++sent;
    if (op.kind == publish::Operation::Kind::kDelete) ++deleted;
  }
  std::printf("seconds=%.4f sent=%d deleted=%d failed=%d connections=%d\n", s, sent, deleted,
              r.Failed(), r.most_at_once);
  for (const auto& n : r.notes) std::fprintf(stderr, "note: %s\n", n.c_str());
  return r.Failed() == 0 ? 0 : 1;
}
