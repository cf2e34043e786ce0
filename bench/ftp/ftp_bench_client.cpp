// Command-line driver of the FTP client for bench/ftp/run_bench.sh, so the
// client and curl are timed the same way (whole process, connect included).
//   ftp_bench_client get  PORT REMOTE LOCAL
//   ftp_bench_client put  PORT LOCAL REMOTE
//   ftp_bench_client putmany PORT REMOTE_DIR LOCAL_FILE...
//   ftp_bench_client parse LISTING_FILE [repeats]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "ftp/id_ftp.h"

using hemlo::ftp::TIdFTP;

namespace {

void Login(TIdFTP& ftp, const char* port) {
  ftp.Host = "127.0.0.1";
  ftp.Port = std::atoi(port);
  ftp.Username = "anonymous";
  ftp.Password = "bench@example.invalid";
  ftp.Connect();
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
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
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
