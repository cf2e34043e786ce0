// Ferrox's own transfers over SFTP against OpenSSH: what an upload leaves
// on the server when it is cut off or the server cannot store it, links in
// a folder download, and the modes of a downloaded file (over FTP too).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "base/remote_errors.h"
#include "ftp/id_ftp.h"
#include "sftp_test_support.h"
#include "support/real_servers.h"
#include "support/scripted_prompts.h"
#include "support/test_watchdog.h"
#include "transfer/op_remote.h"
#include "remote/sftp_remote_files.h"
#include "transfer/transfer_ops.h"

namespace hemlo::sftp::testing {
namespace {

// libssh2 keeps the handle of a close the server refused (it is neither
// freed nor usable again), and the handle of a transfer whose connection was
// dropped because a cancel found the call still running: a failed upload may
// leave one allocation behind that no caller can free. Uploads that succeed
// are still checked for leaks.
struct LibraryKeepsRefusedHandle {
#if defined(__SANITIZE_ADDRESS__)
  __lsan::ScopedDisabler disabler;
#endif
};

using ftp::testing::ReadText;
using ftp::testing::WriteText;

class Connected {
 public:
  explicit Connected(bool full_disk_at_close = false)
      : server(ftp::testing::StartSshd(full_disk_at_close)) {
    ConnectOptions options = OptionsFor(*server, local.path() / "known_hosts");
    options.password.clear();
    options.key_folder = local.path() / "keys";
    fs::create_directories(options.key_folder);
    fs::copy_file(server->client_key, options.key_folder / "id_ed25519");
    client.Connect(options, TrustingQuestions());
  }
  // The test's files on the server's disk, usable by the server's user.
  void Adopt() { ftp::testing::RunCommand("chown -R " + server->user + " '" + Disk() + "'"); }
  std::string Disk() const { return server->files.string(); }

  std::unique_ptr<ftp::testing::SshServer> server;
  ftp::testing::TempFolder local;
  SftpClient client;
  transfer::SftpRemoteFiles files{client};
  transfer::FilesOpRemote ops{files, [this] { return client.Connected(); }};
};

unsigned Mode(const fs::path& p) { return unsigned(fs::status(p).permissions() & fs::perms::mask); }

size_t Entries(const fs::path& folder) {
  return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class Host : public transfer::TransferHost {
 public:
  bool idle = true;
  std::string status;
  std::function<void(int64_t)> on_bytes;
  bool IdleFlag() const override { return idle; }
  void SetIdleFlag(bool value) override { idle = value; }
  void SetStatusText(const std::string& text) override { status = text; }
  void SetByteProgress(int64_t done, int64_t) override {
    if (on_bytes) on_bytes(done);
  }
  void RefreshRemoteList() override {}
};

TEST(SftpUpload, OldFileStaysWholeUntilTheNewOneIsAndAFailedCloseIsAFailure) {
  ftp::testing::TestWatchdog watchdog;
  Connected c(/*full_disk_at_close=*/true);
  const std::string old_bytes(64 << 10, 'o'), big(2 << 20, 'n');
  enum class Via { kInPlace, kButton };
  struct Case {
    const char* what;
    Via via;
    std::string target;     // below the files folder; "" = no old file
    unsigned old_mode;
    bool cut;               // cancelled once the file is open
    bool fails;
    std::string expected;   // what the target holds afterwards
  } cases[] = {
      {"shorter over longer, in place", Via::kInPlace, "a/page.html", 0644, false, false, "short"},
      {"button: over longer, modes kept", Via::kButton, "b/page.html", 0751, false, false, "short"},
      {"button: cut off", Via::kButton, "c/page.html", 0644, true, true, old_bytes},
      {"button: read-only file refused", Via::kButton, "d/page.html", 0444, false, true, old_bytes},
      {"button: full at close", Via::kButton, "disk-full/e/page.html", 0644, false, true, old_bytes},
      {"in place: full at close", Via::kInPlace, "disk-full/f/page.html", 0644, false, true, ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const fs::path target = c.server->files / k.target;
    fs::create_directories(target.parent_path());
    if (k.via == Via::kButton || !k.expected.empty()) {
      WriteText(target, old_bytes);
      fs::permissions(target, fs::perms(k.old_mode));
    }
    c.Adopt();
    const fs::path source = c.local.path() / "new.html";
    WriteText(source, k.cut ? big : "short");
    Host host;
    const auto progress = c.ops.ReportProgress(host);
    bool cancelled = false;
    host.on_bytes = [&](int64_t) {
      if (k.cut && !cancelled) c.client.Cancel();
      cancelled = true;
    };
    std::optional<LibraryKeepsRefusedHandle> refused_close;
    if (k.fails) refused_close.emplace();
    try {
      if (k.via == Via::kButton)
        c.ops.Upload(source.string(), k.target);
      else
        c.files.Upload(source.string(), k.target, nullptr);
      EXPECT_FALSE(k.fails) << "no failure told";
    } catch (const remote::RemoteError& e) {
      EXPECT_TRUE(k.fails) << e.what();
    }
    if (!k.expected.empty()) {
      const std::string held = ReadText(target);
      EXPECT_TRUE(held == k.expected) << held.size() << " bytes: " << held.substr(0, 12);
    }
    if (k.via == Via::kButton) {
      EXPECT_EQ(Mode(target), k.old_mode);
      EXPECT_EQ(Entries(target.parent_path()), 1u) << "a temporary was left";
    }
  }
  // The button's path through the operations: a link keeps pointing at the
  // file that took the new bytes.
  fs::create_symlink("b/page.html", c.server->files / "link.html");
  WriteText(c.local.path() / "link.html", "through the link");
  c.ops.Upload((c.local.path() / "link.html").string(), "link.html");
  EXPECT_TRUE(fs::is_symlink(c.server->files / "link.html"));
  EXPECT_EQ(ReadText(c.server->files / "b" / "page.html"), "through the link");
  EXPECT_EQ(Mode(c.server->files / "b" / "page.html"), 0751u);
}

TEST(SftpFolderDownload, LinksThatCannotBeReadAreSkippedAndCountedTheRestArrives) {
  ftp::testing::TestWatchdog watchdog;
  Connected c;
  const fs::path site = c.server->files / "site";
  WriteText(site / "a.html", "a");
  WriteText(site / "sub" / "b.html", "b");
  fs::create_symlink("loop", site / "loop");
  fs::create_symlink("..", site / "up");
  fs::create_symlink("nowhere", site / "sub" / "dangling");
  fs::create_symlink("a.html", site / "alias.html");
  c.Adopt();
  ScriptedPrompts prompts;
  prompts.answers.assign(3, Answer::Ok);
  Host host;
  transfer::TransferContext ctx{c.ops, prompts, host, c.local.path().string()};
  EXPECT_EQ(transfer::DownloadSelection(ctx, {{"site", true, true, ""}}),
            transfer::OpOutcome::kDone);
  EXPECT_EQ(host.status, "完了（3 件をスキップしました）");
  EXPECT_EQ(prompts.asked.size(), 3u);
  const fs::path back = c.local.path() / "site";
  EXPECT_EQ(ReadText(back / "a.html"), "a");
  EXPECT_EQ(ReadText(back / "alias.html"), "a");
  EXPECT_EQ(ReadText(back / "sub" / "b.html"), "b");
  EXPECT_EQ(Entries(back), 3u);
}

TEST(RemoteDownload, AFileDownloadedOverALocalOneKeepsItsModes) {
  ftp::testing::TestWatchdog watchdog;
  Connected sftp;
  auto ftp_server = ftp::testing::StartPyftpdlib();
  ftp::TIdFTP ftp;
  ftp.Host = "127.0.0.1";
  ftp.Port = ftp_server->port;
  ftp.Username = ftp_server->user;
  ftp.Password = ftp_server->password;
  ftp.ReplyTimeout = ftp.DataTimeout = 20'000;
  ftp.Connect();
  transfer::FtpOpRemote over_ftp(ftp);
  struct Case {
    const char* what;
    transfer::OpRemote& remote;
    fs::path disk;
  } cases[] = {{"SFTP", sftp.ops, sftp.server->files}, {"FTP", over_ftp, ftp_server->files}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    WriteText(k.disk / "page.html", "new");
    sftp.Adopt();
    const fs::path local = sftp.local.path() / (std::string(k.what) + ".html");
    WriteText(local, "old, longer");
    fs::permissions(local, fs::perms(0751));
    k.remote.Download("page.html", local.string());
    EXPECT_EQ(ReadText(local), "new");
    EXPECT_EQ(Mode(local), 0751u);
  }
}

}  // namespace
}  // namespace hemlo::sftp::testing
