#pragma once
// A connected SFTP client against the test's own sshd.
#include "sftp/sftp_client.h"
#include "support/sshd_server.h"

namespace hemlo::sftp::testing {

namespace fs = std::filesystem;
using ftp::testing::SshServer;

inline ConnectOptions OptionsFor(const SshServer& server, const fs::path& known_hosts) {
  ConnectOptions o;
  o.host = "127.0.0.1";
  o.port = server.port;
  o.user = server.user;
  o.password = server.password;
  o.known_hosts = known_hosts;
  o.connect_timeout_ms = 20'000;
  o.reply_timeout_ms = 20'000;
  return o;
}

inline ConnectQuestions TrustingQuestions() {
  ConnectQuestions q;
  q.trust_host_key = [](const HostKeyQuestion&) { return true; };
  return q;
}

}  // namespace hemlo::sftp::testing
