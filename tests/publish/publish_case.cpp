#include "publish/publish_case.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

#include "support/ftp_test_net.h"

namespace hemlo::publish::testing {

namespace ft = ftp::testing;

namespace {

void SetTime(const fs::path& p, int64_t seconds) {
  timespec ts[2];
  ts[0].tv_sec = ts[1].tv_sec = static_cast<time_t>(seconds);
  ts[0].tv_nsec = ts[1].tv_nsec = 0;
  if (::utimensat(AT_FDCWD, p.c_str(), ts, 0) != 0)
    throw std::runtime_error("utimensat " + p.string());
}

std::string WireOf(const text::RemoteNames& names, const std::string& rel) {
  auto w = names.ToWire(rel);
  if (!w) throw std::runtime_error("name not representable: " + rel);
  return *w;
}

}  // namespace

Case::Case(Srv s, text::NameEncoding encoding_hint)
    : srv(s), server(ServerOf(s)), temp(std::make_unique<ft::TempFolder>()) {
  static std::atomic<int> counter{0};
  zone_ = std::make_unique<ZoneForSessions>(s);
  const std::string name = "site" + std::to_string(++counter);
  local = temp->path() / "local";
  state = temp->path() / "state";
  fs::create_directories(local);
  fs::create_directories(state);
  remote = server.files / name;
  fs::create_directories(remote);
  if (IsVsftpd(s)) ft::AdoptForVsftpd(remote);
  remote_root = server.remote_work == "/" ? "/" + name : server.remote_work + "/" + name;
  if (encoding_hint == text::NameEncoding::kUtf8) encoding = transfer::NameEncodingMode::kUtf8;
  names = Connect()->Names;
  now = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::system_clock::now().time_since_epoch())
            .count();
}

Case::~Case() {
  std::error_code ec;
  fs::remove_all(remote, ec);
}

void Case::Local(const std::string& rel, const std::string& bytes) {
  const fs::path p = local / rel;
  fs::create_directories(p.parent_path());
  ft::WriteText(p, bytes);
}

void Case::LocalTime(const std::string& rel, int64_t seconds) { SetTime(local / rel, seconds); }

int64_t Case::LocalTimeOf(const std::string& rel) const {
  struct stat st {};
  ::stat((local / rel).c_str(), &st);
  return st.st_mtime;
}

void Case::LocalRemove(const std::string& rel) { fs::remove_all(local / rel); }

fs::path Case::RemotePath(const std::string& rel) const {
  return remote / fs::path(WireOf(names, rel));
}

void Case::Remote(const std::string& rel, const std::string& bytes) {
  const fs::path p = RemotePath(rel);
  fs::create_directories(p.parent_path());
  ft::WriteText(p, bytes);
  if (IsVsftpd(srv)) ft::AdoptForVsftpd(remote);
}

void Case::RemoteTime(const std::string& rel, int64_t seconds) {
  SetTime(RemotePath(rel), seconds);
}

void Case::RemoteRemove(const std::string& rel) { fs::remove_all(RemotePath(rel)); }

Tree Case::ServerTree() const {
  Tree t;
  for (auto it = fs::recursive_directory_iterator(remote); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string rel = fs::relative(it->path(), remote).string();
    if (it->is_directory())
      t.folders.insert(rel);
    else
      t.files[rel] = ft::ReadText(it->path());
  }
  return t;
}

RemoteFactory Case::Factory() {
  transfer::FtpEndpoint e;
  e.host_field = "127.0.0.1:" + std::to_string(server.port);
  e.user = server.user;
  e.password = server.password;
  e.start_folder = remote_root;
  e.encoding = encoding;
  e.configure = [](ftp::TIdFTP& ftp) {
    ftp.ReplyTimeout = 20000;
    ftp.DataConnectTimeout = 10000;
    ftp.DataTimeout = 20000;
  };
  return [e](int, const CancelRegistrar& cancel_with) -> std::unique_ptr<transfer::RemoteFiles> {
    return transfer::ConnectFtpRemoteFiles(e, cancel_with);
  };
}

std::unique_ptr<transfer::FtpRemoteFiles> Case::Connect() {
  auto f = Factory()(0, nullptr);
  return std::unique_ptr<transfer::FtpRemoteFiles>(
      static_cast<transfer::FtpRemoteFiles*>(f.release()));
}

fs::path Case::RecordFile() const {
  return RecordPath(state, "127.0.0.1", server.user, remote_root, local.string());
}

Plan Case::MakePlan(bool with_record, bool changed_only) {
  auto remote_files = Connect();
  SyncRecord record = LoadRecord(RecordFile());
  PlanInput in;
  in.local_root = local.string();
  in.remote_root = remote_root;
  in.names = remote_files->Names;
  in.record = with_record ? &record : nullptr;
  in.changed_only = changed_only;
  in.exclusions = exclusions;
  return ComputePlan(*remote_files, in);
}

RunResult Case::Run(Plan plan, int connections,
                    const std::function<void(PublishRun&, const EntryResult&)>& on_entry) {
  RunSettings settings;
  settings.connections = connections;
  settings.record_path = RecordFile();
  settings.record = LoadRecord(RecordFile());
  PublishRun* self = nullptr;
  if (on_entry) settings.on_entry = [&](const EntryResult& e) { on_entry(*self, e); };
  PublishRun run(std::move(plan), std::move(settings), Factory());
  self = &run;
  run.Start();
  if (!run.Wait(120'000)) throw std::runtime_error("publish run did not end within 120 s");
  return run.Result();
}

void PrintTo(const Tree& tree, std::ostream* os) {
  for (const auto& f : tree.folders) *os << "\n  " << f << "/";
  for (const auto& [p, bytes] : tree.files) *os << "\n  " << p << " (" << bytes.size() << " bytes)";
}

Tree Mirror(const Case& c) {
  Tree t;
  for (auto it = fs::recursive_directory_iterator(c.local);
       it != fs::recursive_directory_iterator(); ++it) {
    const auto wire = c.names.ToWire(fs::relative(it->path(), c.local).string());
    if (!wire) continue;
    if (it->is_directory())
      t.folders.insert(*wire);
    else
      t.files[*wire] = ft::ReadText(it->path());
  }
  return t;
}

}  // namespace hemlo::publish::testing
