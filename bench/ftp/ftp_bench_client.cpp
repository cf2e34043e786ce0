// Command-line driver of the FTP client for bench/ftp/run_bench.sh, so the
// client and curl are timed the same way (whole process, connect included).
//   ftp_bench_client get  PORT REMOTE LOCAL
//   ftp_bench_client put  PORT LOCAL REMOTE
//   ftp_bench_client putmany PORT REMOTE_DIR LOCAL_FILE...
//   ftp_bench_client parse LISTING_FILE [repeats]
//   ftp_bench_client cancel REPEATS   (against its own stalling server)
// FTP_MODE=active|passive|auto (default auto) picks the data-connection
// mode; FTP_TLS=1 connects with explicit TLS. A wait hook is installed as the transfer window does,
// so its cost is part of every figure.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "ftp/id_ftp.h"
#include "support/scripted_server.h"

using hemlo::ftp::TIdFTP;
using Clock = std::chrono::steady_clock;

namespace {

void Login(TIdFTP& ftp, const char* port) {
  ftp.Host = "127.0.0.1";
  ftp.Port = std::atoi(port);
  ftp.Username = "anonymous";
  ftp.Password = "bench@example.invalid";
  const char* mode = std::getenv("FTP_MODE");
  const std::string m = mode ? mode : "auto";
  ftp.DataMode = m == "active"    ? hemlo::ftp::TIdDataMode::dmActive
                 : m == "passive" ? hemlo::ftp::TIdDataMode::dmPassive
                                  : hemlo::ftp::TIdDataMode::dmAuto;
  // FTP_TLS=1: explicit TLS, FTP_TLS=implicit: implicit TLS (ftps://); the
  // benchmark's self-signed certificate taken.
  if (const char* tls = std::getenv("FTP_TLS");
      tls && (std::string(tls) == "1" || std::string(tls) == "implicit")) {
    ftp.UseTLS = true;
    ftp.ImplicitTLS = std::string(tls) == "implicit";
    ftp.OnVerifyCertificate = [](const hemlo::ftp::TIdCertificateInfo&) { return true; };
  }
  static long hook_calls = 0;
  ftp.SetWaitHook([] { return ++hook_calls > 0; });
  ftp.Connect();
}

// Time from the hook's "stop" to the end of the call, with the data
// connection stalled: the server sends a little, then nothing, and answers
// ABOR as vsftpd does.
int Cancel(int repeats) {
  using hemlo::ftp::testing::ScriptSession;
  std::vector<double> ms;
  for (int i = 0; i < repeats; ++i) {
    hemlo::ftp::testing::ScriptedServer server([](ScriptSession& s) {
      s.Send("220 ready\r\n");
      s.Expect("USER");
      s.Send("230 ok\r\n");
      s.Expect("TYPE");
      s.Send("200 ok\r\n");
      s.Expect("SYST");
      s.Send("215 UNIX\r\n");
      std::string port = s.Expect("PORT ");
      s.Send("200 ok\r\n");
      s.Expect("RETR");
      s.Send("150 go\r\n");
      int fd = s.ConnectData(port);
      ScriptSession::SendAll(fd, std::string(100000, 'x'));
      s.Expect("ABOR");
      s.Expect("NOOP");
      ::close(fd);
      s.Send("426 Failure writing network stream.\r\n225 No transfer to ABOR.\r\n200 NOOP ok.\r\n");
      s.Expect("QUIT");
    });
    TIdFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = server.port();
    ftp.DataMode = hemlo::ftp::TIdDataMode::dmActive;
    ftp.Connect();
    const auto start = Clock::now();
    Clock::time_point stop{};
    ftp.SetWaitHook([&] {
      if (Clock::now() - start < std::chrono::milliseconds(200)) return true;
      if (stop == Clock::time_point{}) stop = Clock::now();
      return false;
    });
    try {
      ftp.Download("f", "/dev/null", true);
    } catch (const hemlo::ftp::EIdOperationAborted&) {
    }
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - stop).count());
    if (!ftp.Connected()) std::fprintf(stderr, "connection not kept\n");
    ftp.SetWaitHook(nullptr);
    ftp.Disconnect();
    (void)server.Join();  // the script is not what this measures
  }
  std::sort(ms.begin(), ms.end());
  std::printf("cancel during a stalled download, %d runs: median %.1f ms, max %.1f ms\n", repeats,
              ms[ms.size() / 2], ms.back());
  return 0;
}

int Parse(const char* path, int repeats) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string bytes = ss.str();
  double best = 1e9;
  size_t count = 0;
  for (int i = 0; i < repeats; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    hemlo::ftp::TIdFTPListItems items;
    items.LoadList(hemlo::ftp::SplitListingLines(bytes));
    count = items.Count();
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (ms < best) best = ms;
  }
  std::printf("%zu items, best of %d: %.2f ms\n", count, repeats, best);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: see the comment at the top of ftp_bench_client.cpp\n");
    return 2;
  }
  const std::string mode = argv[1];
  try {
    if (mode == "parse") return Parse(argv[2], argc > 3 ? std::atoi(argv[3]) : 5);
    if (mode == "cancel") return Cancel(std::atoi(argv[2]));
    TIdFTP ftp;
    Login(ftp, argv[2]);
    if (mode == "get" && argc == 5) {
      ftp.Download(argv[3], argv[4], true, false);
    } else if (mode == "put" && argc == 5) {
      ftp.Upload(argv[3], argv[4]);
    } else if (mode == "putmany" && argc >= 5) {
      ftp.ChangeDirectory(argv[3]);
      for (int i = 4; i < argc; ++i) {
        const char* slash = std::strrchr(argv[i], '/');
        ftp.Upload(argv[i], slash ? slash + 1 : argv[i]);
      }
    } else {
      std::fprintf(stderr, "bad arguments\n");
      return 2;
    }
    ftp.Disconnect();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return 1;
  }
  return 0;
}
