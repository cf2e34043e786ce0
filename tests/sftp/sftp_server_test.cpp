// A site published over SFTP and fetched back byte for byte, listed,
// renamed, its modes set, and deleted as a tree; a cancelled transfer
// leaves the connection usable.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>

#include "base/remote_errors.h"
#include "sftp_test_support.h"
#include "support/same_tree.h"
#include "support/test_watchdog.h"
#include "remote/sftp_remote_files.h"

namespace hemlo::sftp::testing {
namespace {

using transfer::RemoteFact;
using transfer::RemoteFiles;

void Write(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = char((i * 131 + i / 977) & 0xff);
  return s;
}

void UploadTree(RemoteFiles& remote, const fs::path& local, const std::string& to) {
  remote.MakeFolder(to);
  for (const auto& e : fs::directory_iterator(local)) {
    const std::string target = to + "/" + e.path().filename().string();
    if (e.is_directory()) {
      UploadTree(remote, e.path(), target);
    } else {
      remote.Upload(e.path().string(), target, nullptr);
    }
  }
}

void DownloadTree(RemoteFiles& remote, const std::string& from, const fs::path& local) {
  fs::create_directories(local);
  for (const RemoteFact& f : remote.List(from)) {
    if (f.kind == RemoteFact::Kind::kFolder) {
      DownloadTree(remote, from + "/" + f.name, local / f.name);
    } else if (f.kind == RemoteFact::Kind::kFile) {
      remote.Download(from + "/" + f.name, (local / f.name).string(), nullptr);
    }
  }
}

void DeleteTree(RemoteFiles& remote, const std::string& path) {
  for (const RemoteFact& f : remote.List(path)) {
    if (f.kind == RemoteFact::Kind::kFolder) {
      DeleteTree(remote, path + "/" + f.name);
    } else {
      remote.DeleteFile(path + "/" + f.name);
    }
  }
  remote.RemoveFolder(path);
}

const RemoteFact* Find(const std::vector<RemoteFact>& facts, const std::string& name) {
  for (const RemoteFact& f : facts) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

TEST(SftpServer, PublishesFetchesRenamesSetsModesAndDeletesASite) {
  ftp::testing::TestWatchdog watchdog;
  auto server = ftp::testing::StartSshd();
  ftp::testing::TempFolder local;
  const fs::path site = local.path() / "site";
  Write(site / "index.html", "<html>\r\n");
  Write(site / "empty.txt", "");
  // Many requests in flight, and several times the client's 2 MiB read so
  // that a cancel at the first progress call is well before the end.
  Write(site / "画像" / "big.bin", Pattern(12 * 1024 * 1024 + 17));
  Write(site / "画像" / "深い" / "all.bin", Pattern(256));

  SftpClient client;
  ConnectOptions options = OptionsFor(*server, local.path() / "known_hosts");
  options.password.clear();
  options.key_folder = local.path() / "keys";
  fs::create_directories(options.key_folder);
  fs::copy_file(server->client_key, options.key_folder / "id_ed25519");
  fs::copy_file(server->client_key.string() + ".pub", options.key_folder / "id_ed25519.pub");
  client.Connect(options, TrustingQuestions());
  transfer::SftpRemoteFiles remote(client);
  EXPECT_EQ(remote.CurrentFolder(), server->files.string());

  UploadTree(remote, site, "site");
  ftp::testing::ExpectSameTree(site, server->files / "site");
  DownloadTree(remote, remote.CurrentFolder() + "/site", local.path() / "back");
  ftp::testing::ExpectSameTree(site, local.path() / "back");

  // Listing: sizes, kinds, modes, times and link targets.
  fs::create_symlink("index.html", server->files / "site" / "link.html");
  remote.SetMode("site/index.html", 0604);
  ASSERT_TRUE(remote.SetModified("site/index.html", 1'000'000'000));
  remote.ChangeFolder("site");
  const std::vector<RemoteFact> facts = remote.List("");
  const RemoteFact* index = Find(facts, "index.html");
  const RemoteFact* link = Find(facts, "link.html");
  const RemoteFact* folder = Find(facts, "画像");
  ASSERT_TRUE(index && link && folder);
  EXPECT_EQ(index->size, 8);
  EXPECT_EQ(index->permissions, "rw----r--");
  EXPECT_EQ(index->modified_utc, 1'000'000'000);
  EXPECT_EQ((fs::status(server->files / "site" / "index.html").permissions() & fs::perms::mask),
            fs::perms(0604));
  EXPECT_EQ(link->kind, RemoteFact::Kind::kLink);
  EXPECT_EQ(link->link_target, "index.html");
  EXPECT_EQ(folder->kind, RemoteFact::Kind::kFolder);
  EXPECT_EQ(Find(facts, "."), nullptr);

  // Rename replaces a file already at the target.
  remote.Rename("empty.txt", "index.html");
  EXPECT_EQ(ftp::testing::ReadText(server->files / "site" / "index.html"), "");
  EXPECT_FALSE(fs::exists(server->files / "site" / "empty.txt"));

  // A refusal names the path and leaves the connection usable.
  try {
    remote.DeleteFile("missing.txt");
    ADD_FAILURE() << "deleting a missing file succeeded";
  } catch (const remote::ConnectionLost&) {
    ADD_FAILURE() << "a refusal closed the connection";
  } catch (const remote::RemoteError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos) << e.what();
  }

  // A download cancelled midway: no file left behind, the next call works.
  const std::string target = (local.path() / "cancelled.bin").string();
  int64_t last = 0, size = 0;
  EXPECT_THROW(remote.Download("画像/big.bin", target,
                               [&](int64_t done, int64_t total) {
                                 last = done;
                                 size = total;
                                 if (done > 0) remote.Cancel();
                               }),
               remote::Cancelled);
  EXPECT_LT(last, size / 2);  // stopped at once, not at the end
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(std::distance(fs::directory_iterator(local.path()), fs::directory_iterator()), 4);
  EXPECT_NE(Find(remote.List("画像"), "big.bin"), nullptr);

  remote.ChangeFolder("..");
  DeleteTree(remote, "site");
  EXPECT_FALSE(fs::exists(server->files / "site"));
}

}  // namespace
}  // namespace hemlo::sftp::testing
