#pragma once
// The socket and process plumbing every FTP test server shares: loopback
// listeners on port 0 (the kernel picks the port, so no other process can
// take it between choosing and binding), bounded reads, PORT-argument
// connects, temporary folders and child server processes. Every wait is
// bounded so a broken client cannot hang a test.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_bounds.h"

namespace hemlo::ftp::testing {

namespace fs = std::filesystem;

// How long a test server waits for the client (stretched on a slow machine).
inline const int kScriptWaitMs = test_support::BoundMs(10'000);

// A listening socket on 127.0.0.1 with a port chosen by the kernel;
// throws when it cannot listen. `port` receives the bound port.
int ListenLoopback(uint16_t& port, int backlog = 4);
// The next connection on `listen_fd`, or -1 when none comes within `ms`.
int AcceptWithin(int listen_fd, int ms);
// Sends every byte; false once the peer is gone.
bool SendAll(int fd, const std::string& bytes);
// Next line from `fd` without CR LF, buffering the rest in `pending`.
// Returns false when the peer closes (or nothing comes within `ms`, when
// `timed_out` is set to true).
bool ReadLine(int fd, std::string& pending, int ms, std::string& line, bool* timed_out = nullptr);
// Connects to the address of a "a,b,c,d,p1,p2" PORT argument, from the
// local address `from` when given; -1 on failure.
int ConnectPortArgument(const std::string& argument, const char* from = nullptr);
// A loopback port nothing listens on at this moment, for tests of refused
// connections and unreachable data ports; never one to start a server on.
uint16_t FreeLoopbackPort();
// True once something on the loopback `port` sends a line starting "220".
bool GreetsOn(uint16_t port);

std::string ReadText(const fs::path& p);
void WriteText(const fs::path& p, const std::string& bytes);

// A fresh folder below the system's temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// A program started in its own process group with its output in `log`
// (and `stdio_fd`, when given, as its standard input and output), ended
// with its group by Stop() or the destructor.
class ServerProcess {
 public:
  ServerProcess(std::vector<std::string> argv, const fs::path& log, int stdio_fd = -1);
  ~ServerProcess() { Stop(); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  bool Running();
  void Stop();

 private:
  pid_t pid_ = -1;
};

}  // namespace hemlo::ftp::testing
