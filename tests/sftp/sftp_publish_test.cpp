// The site sync over SFTP: a site published over two connections byte for
// byte, then a change synced (only what changed goes), then a move done as
// one rename.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "base/remote_errors.h"
#include "publish/plan.h"
#include "publish/publish_run.h"
#include "sftp_test_support.h"
#include "support/same_tree.h"
#include "support/test_watchdog.h"
#include "remote/sftp_remote_files.h"

namespace hemlo::sftp::testing {
namespace {

void Write(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

TEST(SftpPublish, SiteSyncsOverSeveralConnections) {
  ftp::testing::TestWatchdog watchdog;
  auto server = ftp::testing::StartSshd();
  ftp::testing::TempFolder local;
  const fs::path site = local.path() / "site";
  Write(site / "index.html", "<html>top</html>\r\n");
  Write(site / "about.html", "about");
  Write(site / "写真" / "a.bin", std::string(300'000, '\x5c'));
  Write(site / "css" / "main.css", "body{}");

  ConnectOptions o = OptionsFor(*server, local.path() / "known_hosts");
  o.password.clear();
  o.key_folder = local.path() / "keys";
  fs::create_directories(o.key_folder);
  fs::copy_file(server->client_key, o.key_folder / "id_ed25519");
  const std::string remote_root = (server->files / "www").string();
  transfer::ConnectSftpRemoteFiles(o, TrustingQuestions())->MakeFolder(remote_root);

  const fs::path record = local.path() / "record";
  int connects = 0;
  const publish::RemoteFactory factory = [&](int, const publish::CancelRegistrar& cancel_with) {
    ++connects;
    std::unique_ptr<transfer::RemoteFiles> files =
        transfer::ConnectSftpRemoteFiles(o, TrustingQuestions(), remote_root, cancel_with);
    return files;
  };
  const auto sync = [&] {
    auto remote = transfer::ConnectSftpRemoteFiles(o, TrustingQuestions(), remote_root);
    const publish::SyncRecord kept = publish::LoadRecord(record);
    publish::PlanInput in;
    in.local_root = site.string();
    in.remote_root = remote_root;
    in.names = text::RemoteNames(text::NameEncoding::kUtf8);
    in.record = &kept;
    publish::Plan plan = publish::ComputePlan(*remote, in);
    plan.SetDeleteServerOnly(true);
    publish::RunSettings settings;
    settings.connections = 2;
    settings.record_path = record;
    settings.record = kept;
    return publish::RunPlan(std::move(plan), std::move(settings), factory);
  };

  const publish::RunResult first = sync();
  EXPECT_EQ(first.Failed(), 0);
  EXPECT_EQ(first.connections_used, 2);
  ftp::testing::ExpectSameTree(site, remote_root);

  Write(site / "about.html", "about, changed");
  fs::remove(site / "css" / "main.css");
  const publish::RunResult second = sync();
  EXPECT_EQ(second.Failed(), 0);
  std::vector<std::string> uploaded;
  for (const publish::Operation& op : second.operations) {
    if (op.kind == publish::Operation::Kind::kUpload) uploaded.push_back(op.wire);
  }
  EXPECT_EQ(uploaded, std::vector<std::string>{"about.html"});
  ftp::testing::ExpectSameTree(site, remote_root);
  EXPECT_GE(connects, 2);

  // A moved picture is one rename: the server keeps the very file.
  struct stat before {}, after {};
  ASSERT_EQ(::stat((fs::path(remote_root) / "写真" / "a.bin").c_str(), &before), 0);
  fs::create_directories(site / "img");
  fs::rename(site / "写真" / "a.bin", site / "img" / "a.bin");
  const publish::RunResult third = sync();
  EXPECT_EQ(third.Failed(), 0);
  std::vector<std::string> ops;
  for (const publish::Operation& op : third.operations)
    if (op.kind == publish::Operation::Kind::kMove || op.kind == publish::Operation::Kind::kUpload)
      ops.push_back(op.from + " -> " + op.wire);
  EXPECT_EQ(ops, std::vector<std::string>{"写真/a.bin -> img/a.bin"});
  ASSERT_EQ(::stat((fs::path(remote_root) / "img" / "a.bin").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  ftp::testing::ExpectSameTree(site, remote_root);
}

TEST(SftpPublish, AFileCutShortWhileSentIsRefused) {
  ftp::testing::TestWatchdog watchdog;
  auto server = ftp::testing::StartSshd();
  ftp::testing::TempFolder local;
  const fs::path big = local.path() / "big.bin";
  Write(big, std::string(8 << 20, 'b'));
  auto remote = transfer::ConnectSftpRemoteFiles(OptionsFor(*server, local.path() / "known_hosts"),
                                                 TrustingQuestions());
  std::string message;
  try {
    remote->Upload(big.string(), (server->files / "big.bin").string(), [&](int64_t done, int64_t) {
      if (done > 0 && fs::file_size(big) > 1000) fs::resize_file(big, 1000);
    });
  } catch (const remote::RemoteError& e) {
    message = e.what();
  }
  EXPECT_NE(message.find("送信中に変更されたため"), std::string::npos) << message;
}

}  // namespace
}  // namespace hemlo::sftp::testing
