// Drives one folder upload or folder download of the transfer operations
// against a server, headless, and prints the files moved and the seconds.
//   transfer_ops_bench upload   PORT REMOTE_DIR LOCAL_FOLDER
//   transfer_ops_bench download PORT REMOTE_DIR REMOTE_FOLDER LOCAL_DEST
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "base/prompts.h"
#include "ftp/id_ftp.h"
#include "transfer/folder_upload.h"
#include "remote/ftp_remote_files.h"
#include "transfer/transfer_ops.h"

namespace {

using namespace hemlo;

class PrintingPrompts : public Prompts {
 public:
  int messages = 0;
  Answer Message(const std::string& caption, const std::string& text, Buttons, Icon,
                 Answer = Answer::Yes) override {
    ++messages;
    std::cerr << caption << ": " << text << "\n";
    return Answer::Ok;
  }
  void Error(const std::string& text) override {
    ++messages;
    std::cerr << "error: " << text << "\n";
  }
  std::optional<std::string> Input(const std::string&, const std::string&,
                                   const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> OpenFile(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> SaveFile(const FileDialogRequest&) override { return std::nullopt; }
  void ProcessEvents() override {}
};

class CountingHost : public transfer::TransferHost {
 public:
  int files = 0;
  bool idle = true;
  bool IdleFlag() const override { return idle; }
  void SetIdleFlag(bool v) override { idle = v; }
  void SetStatusText(const std::string&) override {}
  void SetFileProgress(int n, int) override {
    if (n <= 0) return;
    ++files;
    if (std::getenv("HEMLO_BENCH_TRACE") && files % 250 == 0) {
      const double s =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::fprintf(stderr, "%d files at %.2f s\n", files, s);
    }
  }
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  void RefreshRemoteList() override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: transfer_ops_bench upload PORT REMOTE_DIR LOCAL_FOLDER\n"
                 "       transfer_ops_bench download PORT REMOTE_DIR REMOTE_FOLDER LOCAL_DEST\n";
    return 2;
  }
  const std::string mode = argv[1];
  ftp::TIdFTP client;
  client.Host = "127.0.0.1";
  client.Port = std::atoi(argv[2]);
  client.Username = "anonymous";
  client.Password = "bench@example.com";
  // FTP_MODE=active|passive picks the data connection (default: the client's own choice).
  if (const char* m = std::getenv("FTP_MODE"))
    client.DataMode = std::string(m) == "active"    ? ftp::TIdDataMode::dmActive
                      : std::string(m) == "passive" ? ftp::TIdDataMode::dmPassive
                                                    : client.DataMode;
  PrintingPrompts prompts;
  CountingHost host;
  try {
    client.Connect(true, 10'000);
    client.ChangeDirectory(argv[3]);
    const auto start = std::chrono::steady_clock::now();
    host.start = start;
    transfer::OpOutcome outcome;
    if (mode == "upload") {
      transfer::FtpRemoteFiles remote_files(client);
      transfer::TransferContext ctx{remote_files, prompts, host, argv[4],
                                    transfer::TransferMode::kBinary};
      outcome = transfer::UploadFolderTree(ctx);
    } else {
      if (argc < 6) return 2;
      transfer::FtpRemoteFiles remote_files(client);
      transfer::TransferContext ctx{remote_files, prompts, host, argv[5],
                                    transfer::TransferMode::kBinary};
      outcome = transfer::DownloadSelection(ctx, {{argv[4], true, true, ""}});
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    client.Disconnect();
    std::printf("%d %.3f\n", host.files, seconds);
    return outcome == transfer::OpOutcome::kDone && prompts.messages == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "error: " << e.what() << "\n";
    return 1;
  }
}
