#pragma once
// What the transfer operations' tests share on top of the FTP test
// servers: the real servers with the folder they serve on disk, a client
// set up for them, and a recording window stand-in.
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/fake_ftp_server.h"
#include "support/real_servers.h"
#include "support/scripted_prompts.h"
#include "ftp/id_ftp.h"
#include "remote/ftp_remote_files.h"
#include "transfer/transfer_ops.h"

namespace hemlo::transfer::testing {

namespace fs = std::filesystem;

inline const int kWaitMs = ftp::testing::kScriptWaitMs;

using ftp::testing::FakeFtpServer;
using TempDir = ftp::testing::TempFolder;

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  ftp::testing::WriteText(path, bytes);
}
inline std::string ReadFile(const fs::path& path) { return ftp::testing::ReadText(path); }

// A real server with a folder the tests check on disk. `remote_dir` is
// where the client should change to after login; `disk` is that folder.
class RealServer {
 public:
  explicit RealServer(std::unique_ptr<ftp::testing::RealServer> server)
      : server_(std::move(server)) {}
  virtual ~RealServer() = default;
  std::string Name() const { return server_->name; }
  uint16_t Port() const { return server_->port; }
  std::string RemoteDir() const { return remote_dir_; }
  fs::path Disk() const { return server_->files; }
  // Makes files the test put on disk usable by the server's user.
  virtual void Adopt() {}

 protected:
  std::unique_ptr<ftp::testing::RealServer> server_;
  std::string remote_dir_ = server_->remote_work;
};

// vsftpd, anonymous with full write rights into root/pub. Names travel
// byte for byte, so Shift-JIS names land on disk as Shift-JIS bytes.
class Vsftpd : public RealServer {
 public:
  Vsftpd() : RealServer(ftp::testing::StartVsftpd("force_dot_files=YES\n")) { remote_dir_ = "pub"; }
  void Adopt() override { ftp::testing::AdoptForVsftpd(Disk()); }
};

// pyftpdlib, anonymous with every right (chmod included) on its folder.
class Pyftpdlib : public RealServer {
 public:
  Pyftpdlib() : RealServer(ftp::testing::StartPyftpdlib()) {}
};

inline void ConnectClient(ftp::TIdFTP& ftp, uint16_t port, const std::string& dir = {}) {
  ftp.Host = "127.0.0.1";
  ftp.Port = port;
  ftp.Username = "anonymous";
  ftp.Password = "test@example.com";
  ftp.DataConnectTimeout = kWaitMs;
  ftp.ReplyTimeout = kWaitMs;
  ftp.DataTimeout = kWaitMs;
  ftp.Connect(true, kWaitMs);
  if (!dir.empty()) ftp.ChangeDirectory(dir);
}

// The window's side as the operations see it, recorded.
class RecordingHost : public TransferHost {
 public:
  bool idle = true;
  std::vector<std::string> statuses;
  std::vector<std::pair<int, int>> file_progress;
  int64_t byte_reports = 0;
  int remote_refreshes = 0;
  int local_refreshes = 0;
  int select_all_cleared = 0;
  std::function<void()> on_refresh_remote;
  std::function<void(int, int)> on_file_progress;

  bool IdleFlag() const override { return idle; }
  void SetIdleFlag(bool value) override { idle = value; }
  void SetStatusText(const std::string& text) override { statuses.push_back(text); }
  void SetFileProgress(int n, int m) override {
    file_progress.emplace_back(n, m);
    if (on_file_progress) on_file_progress(n, m);
  }
  void SetByteProgress(int64_t, int64_t) override { ++byte_reports; }
  void RefreshRemoteList() override {
    ++remote_refreshes;
    if (on_refresh_remote) on_refresh_remote();
  }
  void RefreshLocalLists() override { ++local_refreshes; }
  void UncheckSelectAll() override { ++select_all_cleared; }
};

// The remote list as the window would show it after a listing.
inline std::vector<RemoteRow> ListRows(ftp::TIdFTP& ftp) {
  ftp.ListDirectory(nullptr, "", true);
  std::vector<RemoteRow> rows;
  for (const auto& item : ftp.DirectoryListing().Items()) {
    if (item.FileName == "." || item.FileName == "..") continue;
    rows.push_back({item.FileName, item.ItemType == ftp::TIdDirItemType::ditDirectory, false,
                    item.PermissionText()});
  }
  return rows;
}

inline void Select(std::vector<RemoteRow>& rows, const std::set<std::string>& names) {
  for (RemoteRow& r : rows) r.selected = names.count(r.name) > 0;
}

inline std::vector<std::string> Texts(const ScriptedPrompts& prompts,
                                      const std::string& kind = "message") {
  std::vector<std::string> out;
  for (const auto& a : prompts.asked)
    if (a.kind == kind) out.push_back(a.text);
  return out;
}

}  // namespace hemlo::transfer::testing
