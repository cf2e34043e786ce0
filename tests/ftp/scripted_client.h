#pragma once
// What the client tests share: a client set up for a scripted server or a
// real one, and the scripted server's side of the usual login.
#include <filesystem>
#include <fstream>
#include <string>

#include "ftp/id_ftp.h"
#include "support/real_servers.h"
#include "support/scripted_server.h"

namespace hemlo::ftp::testing {

namespace fs = std::filesystem;

inline void Configure(TIdFTP& ftp, uint16_t port) {
  ftp.Host = "127.0.0.1";
  ftp.Port = port;
  ftp.Username = "user";
  ftp.Password = "secret";
  ftp.ReplyTimeout = 5000;
  ftp.DataConnectTimeout = 3000;
  ftp.AbortReplyTimeout = 3000;
  ftp.DataTimeout = 5000;
  ftp.DataMode = TIdDataMode::dmActive;  // scripts speak PORT unless they say otherwise
}

// A real server's anonymous account, with the longer waits a server
// starting up on a busy machine may need.
inline void Configure(TIdFTP& ftp, const RealServer& server) {
  ftp.Host = "127.0.0.1";
  ftp.Port = server.port;
  ftp.Username = server.user;
  ftp.Password = server.password;
  ftp.ReplyTimeout = 20000;
  ftp.DataConnectTimeout = 10000;
  ftp.DataTimeout = 20000;
}

// The usual greeting and login, up to and including SYST.
inline void Login(ScriptSession& s) {
  s.Send("220 ready\r\n");
  s.Expect("USER user");
  s.Send("331 password please\r\n");
  s.Expect("PASS secret");
  s.Send("230 logged in\r\n");
  s.Expect("TYPE I");
  s.Send("200 binary\r\n");
  s.Expect("SYST");
  s.Send("215 UNIX Type: L8\r\n");
}

inline void WriteFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary);
  out << bytes;
}

}  // namespace hemlo::ftp::testing
