// The SFTP client driven from the command line for run_bench.sh:
//   sftp_bench_client HOST PORT USER KEY KNOWN_HOSTS get REMOTE LOCAL
//   sftp_bench_client HOST PORT USER KEY KNOWN_HOSTS put LOCAL REMOTE
//   sftp_bench_client HOST PORT USER KEY KNOWN_HOSTS putdir LOCALDIR REMOTEDIR
// Logs in with the key file, trusts the host key on first use, prints the
// seconds the transfer took (connecting excluded).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "sftp/sftp_client.h"
#include "remote/sftp_remote_files.h"

namespace fs = std::filesystem;
using namespace hemlo;

int main(int argc, char** argv) {
  if (argc != 9) {
    std::fprintf(stderr, "usage: %s HOST PORT USER KEY KNOWN_HOSTS get|put|putdir FROM TO\n",
                 argv[0]);
    return 2;
  }
  sftp::ConnectOptions o;
  o.host = argv[1];
  o.port = std::atoi(argv[2]);
  o.user = argv[3];
  const fs::path key = argv[4];
  o.key_folder = key.parent_path();
  o.known_hosts = argv[5];
  const std::string what = argv[6], from = argv[7], to = argv[8];
  sftp::ConnectQuestions q;
  q.trust_host_key = [](const sftp::HostKeyQuestion&) { return true; };
  try {
    sftp::SftpClient client;
    if (const char* chunk = std::getenv("CHUNK")) client.Tuning().chunk = std::atoi(chunk);
    if (const char* n = std::getenv("IN_FLIGHT")) client.Tuning().in_flight = std::atoi(n);
    client.Connect(o, q);
    transfer::SftpRemoteFiles remote(client);
    const auto start = std::chrono::steady_clock::now();
    if (what == "get") {
      const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      client.Download(from, fd, nullptr);
      ::close(fd);
    } else if (what == "put") {
      remote.Upload(from, to, nullptr);
    } else if (what == "putdir") {
      remote.MakeFolder(to);
      for (const auto& e : fs::directory_iterator(from))
        remote.Upload(e.path().string(), to + "/" + e.path().filename().string(), nullptr);
    } else {
      return 2;
    }
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f\n", s);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
