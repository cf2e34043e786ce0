#pragma once
// Debian's OpenSSH server for the SFTP tests: run per connection (as inetd
// would) with a configuration, host key and authorized keys of its own in a
// temporary folder; password and key logins for one test account, root
// logins refused, "sftp" served by the server's built-in SFTP code rooted
// at the test's files folder.
//
// Password logins need a system account, which only root can make: as
// root the tests use (and create once) the account "hemlo-sftp" with a
// random password kept in a root-only file, and "hemlo-sftp-ja" whose
// password is Japanese text; otherwise password tests skip.
#include <memory>
#include <string>

#include "support/ftp_test_net.h"
#include "support/real_servers.h"

namespace hemlo::ftp::testing {

struct SshServer {
  uint16_t port = 0;
  std::string user;
  std::string password;  // empty when password logins cannot be tested
  fs::path files;        // the account's start folder
  fs::path client_key;   // an unencrypted ed25519 key the server accepts
  fs::path locked_key;   // one it accepts too, locked with kKeyPassphrase
  fs::path host_key;     // the server's ed25519 host key (private half)
  fs::path log;          // every session's log (LogLevel DEBUG1)
  // An account whose password is kJapanesePassword; empty as `password` is.
  std::string japanese_user;
  std::unique_ptr<TempFolder> temp;
  std::unique_ptr<InetdServer> sessions;

  // A fresh host key in place of the old one: the next session shows it.
  void ChangeHostKey();
};

inline constexpr const char* kKeyPassphrase = "hemlo key words";
inline constexpr const char* kJapaneseUser = "hemlo-sftp-ja";
inline constexpr const char* kJapanesePassword = "日本語のパスワード１２３";  // UTF-8

// Throws when sshd or ssh-keygen is missing or the account cannot be set up.
// With `full_disk_at_close`, closing a file in any folder named "disk-full"
// fails on the server as on a full disk (the bytes were written).
std::unique_ptr<SshServer> StartSshd(bool full_disk_at_close = false);

// Runs a shell command; its exit status.
int RunCommand(const std::string& command);

}  // namespace hemlo::ftp::testing
