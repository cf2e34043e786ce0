// Taking back a publish run on vsftpd, pyftpdlib and OpenSSH's server: after
// a run that replaced, added, deleted and overwrote a conflict (whole, cut
// after its first file, followed by another client's uploads, or swapping
// a file and a folder), the undo leaves every server file hashing as before
// the run, and the next older run is the one offered.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <set>

#include "base/version_store.h"
#include "publish/publish_case.h"
#include "publish/undo_plan.h"
#include "remote/sftp_remote_files.h"
#include "support/sshd_server.h"
#include "support/test_watchdog.h"

namespace hemlo::publish::testing {
namespace {

namespace ft = ftp::testing;

enum class Host { kVsftpd, kPy, kSshd };

// One server's side: connections, and its folder on the disk.
struct Target {
  std::function<std::unique_ptr<transfer::RemoteFiles>()> connect;
  RemoteFactory factory;
  std::string remote_root;
  fs::path disk;
  fs::path local, state;
  // Writes a file as another client would.
  std::function<void(const std::string&, const std::string&)> server_write;
  text::NameEncoding encoding = text::NameEncoding::kUtf8;
};

using Hashes = std::map<std::string, std::string>;  // path ("/" after folders) -> hash

Hashes HashesOf(const fs::path& root) {
  Hashes out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (e.is_directory()) {
      out[rel + "/"] = "";
    } else {
      std::ifstream in(e.path(), std::ios::binary);
      out[rel] = VersionHash(std::string(std::istreambuf_iterator<char>(in), {}));
    }
  }
  return out;
}

void Write(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

fs::path RecordOf(const Target& t) { return t.state / "FerroxPublish-test.dat"; }

// A plan of the whole site with the conflicts and deletions ticked, run as
// the window runs it: copies kept first, the run logged after. `cut`
// stops the run once its first file is done.
RunResult Publish(Target& t, bool cut = false) {
  auto remote = t.connect();
  const SyncRecord record = LoadRecord(RecordOf(t));
  PlanInput in;
  in.local_root = t.local.string();
  in.remote_root = t.remote_root;
  in.names = text::RemoteNames(t.encoding);
  in.record = &record;
  Plan plan = ComputePlan(*remote, in);
  plan.SetIncludeConflicts(true);
  plan.SetDeleteServerOnly(true);
  const KeptBefore kept = KeepServerCopies(*remote, plan, record, RecordOf(t));
  EXPECT_TRUE(kept.notes.empty()) << kept.notes.front();
  RunSettings s;
  s.connections = 2;
  s.record_path = RecordOf(t);
  s.record = record;
  PublishRun* running = nullptr;
  if (cut)
    s.on_entry = [&running](const EntryResult& e) {
      if (!e.folder && e.outcome == Outcome::kDone) running->Cancel();
    };
  PublishRun run(plan, s, t.factory);
  running = &run;
  run.Start();
  run.Wait(-1);
  const FileResult logged = LogRun(plan, run.Result(), record, kept, RecordOf(t), 1000);
  EXPECT_TRUE(logged) << logged.message;
  return run.Result();
}

// The undo as the window runs it; the conflicts it shows (unticked, as
// they are offered) are ticked, and their server copies must be kept.
RunResult Undo(Target& t, const std::set<std::string>& conflicts) {
  const auto runs = LoadRunLog(RunLogPath(RecordOf(t)));
  EXPECT_FALSE(runs.empty());
  if (runs.empty()) return {};
  auto remote = t.connect();
  UndoPlan undo = PlanUndo(*remote, t.remote_root, t.encoding, runs.front(), RecordOf(t));
  EXPECT_TRUE(undo.plan.problems.empty()) << undo.plan.problems.front();
  std::set<std::string> shown;
  std::map<std::string, std::string> theirs;  // wire -> hash of the server's copy
  for (auto& f : undo.plan.files) {
    if (f.reason != Reason::kConflict && !f.changed_on_server) continue;
    shown.insert(f.path);
    EXPECT_FALSE(f.include) << f.path;
    f.include = true;
    std::ifstream in(t.disk / f.wire, std::ios::binary);
    theirs[f.wire] = VersionHash(std::string(std::istreambuf_iterator<char>(in), {}));
  }
  EXPECT_EQ(shown, conflicts);
  const KeptBefore kept = KeepUndoConflicts(*remote, undo, 2000);
  EXPECT_TRUE(kept.notes.empty()) << kept.notes.front();
  for (const auto& [wire, hash] : theirs) EXPECT_TRUE(KeptCopies::Beside(RecordOf(t)).Holds(hash));
  RunSettings s = UndoSettings(undo);
  s.connections = 2;
  RunResult r = RunPlan(undo.plan, s, t.factory);
  const auto notes = SettleUndo(undo, r);
  EXPECT_TRUE(notes.empty()) << notes.front();
  return r;
}

enum class Then {
  kWhole,         // the run and its undo, nothing else
  kCut,           // the run stopped once its first file is done
  kChangedSince,  // another client uploads over files the run left
  kKindsSwapped,  // the run puts a file in a folder's place and a folder in a file's
};

class PublishUndo : public ::testing::TestWithParam<std::tuple<Host, Then>> {};

TEST_P(PublishUndo, ServerHashesAsBeforeTheRun) {
  ft::TestWatchdog watchdog;
  const auto [host, then] = GetParam();
  const bool cut = then == Then::kCut, swap = then == Then::kKindsSwapped;
  Target t;
  std::unique_ptr<Case> ftp_case;
  std::unique_ptr<ft::SshServer> sshd;
  std::unique_ptr<ft::TempFolder> temp;
  if (host == Host::kSshd) {
    sshd = ft::StartSshd();
    temp = std::make_unique<ft::TempFolder>();
    sftp::ConnectOptions o;
    o.host = "127.0.0.1";
    o.port = sshd->port;
    o.user = sshd->user;
    o.known_hosts = temp->path() / "known_hosts";
    o.key_folder = temp->path() / "keys";
    fs::create_directories(o.key_folder);
    fs::copy_file(sshd->client_key, o.key_folder / "id_ed25519");
    sftp::ConnectQuestions q;
    q.trust_host_key = [](const sftp::HostKeyQuestion&) { return true; };
    t.disk = sshd->files / "www";
    t.remote_root = t.disk.string();
    // Made by the account itself, which must be able to write in it.
    transfer::ConnectSftpRemoteFiles(o, q)->MakeFolder(t.remote_root);
    t.connect = [o, q, root = t.remote_root] {
      return std::unique_ptr<transfer::RemoteFiles>(transfer::ConnectSftpRemoteFiles(o, q, root));
    };
    t.server_write = [&t, scratch = temp->path() / "scratch"](const std::string& rel,
                                                              const std::string& bytes) {
      Write(scratch, bytes);
      t.connect()->Upload(scratch.string(), t.remote_root + "/" + rel, nullptr);
    };
    t.factory = [o, q, root = t.remote_root](int, const CancelRegistrar& cancel_with) {
      return std::unique_ptr<transfer::RemoteFiles>(
          transfer::ConnectSftpRemoteFiles(o, q, root, cancel_with));
    };
    t.local = temp->path() / "site";
    t.state = temp->path() / "state";
  } else {
    ftp_case = std::make_unique<Case>(host == Host::kVsftpd ? Srv::kVsftpd : Srv::kPy,
                                      text::NameEncoding::kUtf8);
    Case* c = ftp_case.get();
    t.disk = c->remote;
    t.remote_root = c->remote_root;
    t.connect = [c] { return std::unique_ptr<transfer::RemoteFiles>(c->Connect()); };
    t.factory = c->Factory();
    t.local = c->local;
    t.state = c->state;
    t.server_write = [c](const std::string& rel, const std::string& bytes) { c->Remote(rel, bytes); };
  }
  fs::create_directories(t.state);
  Write(t.local / "index.html", "<p>top</p>");
  Write(t.local / "a.html", "a, first");
  Write(t.local / "b.html", "b, first");
  Write(t.local / "c.html", "c, first");
  Write(t.local / "css" / "s.css", "body{}");
  if (swap) {
    Write(t.local / "docs" / "x.html", "docs, a folder");
    Write(t.local / "pic", "pic, a file");
  }
  ASSERT_EQ(Publish(t).Failed(), 0);

  // Meanwhile: b changed on the server, a server-only file, and locally a
  // change, a conflict, a deletion, a new file in a new folder.
  t.server_write("b.html", "b, changed on the server");
  t.server_write("only-on-server.txt", "theirs");
  Write(t.local / "a.html", "a, second");
  Write(t.local / "b.html", "b, second");
  fs::remove(t.local / "c.html");
  Write(t.local / "new" / "n.html", "n");
  fs::create_directories(t.local / "style");  // a move: undone, the old path is back
  fs::rename(t.local / "css" / "s.css", t.local / "style" / "s.css");
  if (swap) {
    fs::remove_all(t.local / "docs");
    Write(t.local / "docs", "docs, now a file");
    fs::remove(t.local / "pic");
    Write(t.local / "pic" / "p.html", "pic, now a folder");
  }
  const Hashes before = HashesOf(t.disk);
  const RunResult second = Publish(t, cut);
  ASSERT_EQ(second.Failed(), 0);
  ASSERT_NE(HashesOf(t.disk), before);
  // Cut or not, the run leaves none of its temporary names behind; an old
  // page left aside by an earlier cut does not stop the undo, and goes.
  for (const auto& [path, hash] : HashesOf(t.disk))
    EXPECT_FALSE(IsTemporaryName(fs::path(path).filename().string())) << path;
  t.server_write(AsideName("b.html"), "b, left aside");
  std::set<std::string> conflicts;
  if (then == Then::kChangedSince) {
    // One the run replaced, one it added: neither goes back unasked.
    t.server_write("a.html", "a, uploaded by someone else since");
    t.server_write("new/n.html", "n, uploaded by someone else since");
    conflicts = {"a.html", "new/n.html"};
    // The run's own bytes under another time are still ours: no conflict.
    fs::last_write_time(t.disk / "b.html",
                        fs::last_write_time(t.disk / "b.html") - std::chrono::hours(3));
  }

  const RunResult undone = Undo(t, conflicts);
  for (const auto& e : undone.entries)
    EXPECT_NE(e.outcome, Outcome::kFailed) << e.path << ": " << e.message;
  EXPECT_EQ(HashesOf(t.disk), before);
  // The first run is the one offered now.
  const auto runs = LoadRunLog(RunLogPath(RecordOf(t)));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs.front().files.size(), swap ? 7u : 5u);
}

// A run of one profile prunes the kept copies: what any other profile's
// record, run log or held copies still need stays, what nobody needs goes.
TEST(PublishKept, PruneSparesWhatEveryProfileNeeds) {
  ft::TempFolder state;
  const fs::path mine = state.path() / "FerroxPublish-a.dat";
  const fs::path other = state.path() / "FerroxPublish-b.dat";
  KeptCopies copies = KeptCopies::Beside(mine);
  const int64_t now = std::time(nullptr);
  auto keep = [&](const std::string& bytes) { return copies.Keep(bytes).hash; };
  const std::string on_server = keep("b: as its server holds it"),
                    in_log = keep("b: before its last run"), held = keep("b: held by an undo"),
                    expired = keep("b: held long ago"), nobody = keep("nobody's"),
                    deleted = keep("a: deleted by this run");
  SyncRecord record;
  record.files["p.html"] = {25, on_server, 0, 25, std::nullopt};
  ASSERT_TRUE(SaveRecord(other, record));
  ASSERT_TRUE(SaveRunLog(RunLogPath(other), {{1, {{"p.html", "p.html", in_log, {}}}, {}, {}}}));
  ASSERT_TRUE(HoldCopies(other, {expired}, now - kHeldCopySeconds - 1));
  ASSERT_TRUE(HoldCopies(other, {held}, now));
  // Kept hours ago: no run of another profile is still logging them.
  for (const auto& e : fs::directory_iterator(copies.folder()))
    fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::hours(2));

  Plan plan;
  plan.remote_root = "/www";
  FileEntry gone;
  gone.path = gone.wire = "gone.html";
  gone.reason = Reason::kServerOnly;
  gone.include = true;
  plan.files.push_back(gone);
  RunResult result;
  result.entries.push_back({"gone.html", false, Reason::kServerOnly, Outcome::kDone, {}});
  KeptBefore kept;
  kept.hash_of["gone.html"] = deleted;
  const FileResult logged = LogRun(plan, result, {}, kept, mine, now);
  ASSERT_TRUE(logged) << logged.message;
  const std::pair<std::string, bool> expected[] = {{on_server, true}, {in_log, true},
                                                   {held, true},      {deleted, true},
                                                   {expired, false},  {nobody, false}};
  for (const auto& [hash, stays] : expected) EXPECT_EQ(copies.Holds(hash), stays) << hash;
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Host, Then>>& info) {
  static const char* const hosts[] = {"vsftpd", "pyftpdlib", "sshd"};
  static const char* const thens[] = {"_whole", "_cut", "_changed_since", "_kinds_swapped"};
  return std::string(hosts[static_cast<int>(std::get<0>(info.param))]) +
         thens[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Servers, PublishUndo,
                         ::testing::Combine(::testing::Values(Host::kVsftpd, Host::kPy,
                                                              Host::kSshd),
                                            ::testing::Values(Then::kWhole, Then::kCut,
                                                              Then::kChangedSince,
                                                              Then::kKindsSwapped)),
                         CaseName);

}  // namespace
}  // namespace hemlo::publish::testing
