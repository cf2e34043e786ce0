#include "support/sshd_server.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <stdexcept>

namespace hemlo::ftp::testing {

namespace {

constexpr const char* kAccount = "hemlo-sftp";
constexpr const char* kPasswordFile = "/var/lib/hemlo-sftp-test/password";
// Set once: a fixed password is the same for every test process.
constexpr const char* kJapaneseSetFile = "/var/lib/hemlo-sftp-test/japanese-set";

std::string RandomPassword() {
  std::random_device random;
  const std::string letters = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  std::string p;
  for (int i = 0; i < 24; ++i) p += letters[random() % letters.size()];
  return p;
}

void AddAccount(const std::string& name) {
  if (!::getpwnam(name.c_str()) &&
      RunCommand("useradd --system --no-create-home --home-dir /nonexistent "
                 "--shell /usr/sbin/nologin " +
                 name) != 0) {
    throw std::runtime_error("sshd: useradd failed");
  }
}

// The test accounts and their passwords, made once under a lock so
// parallel test processes agree on them.
std::string EnsureAccounts() {
  const int lock = ::open("/run/hemlo-sftp-test.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0600);
  if (lock < 0 || ::flock(lock, LOCK_EX) != 0) throw std::runtime_error("sshd: no lock");
  std::string password;
  try {
    AddAccount(kAccount);
    if (fs::exists(kPasswordFile)) password = ReadText(kPasswordFile);
    if (password.empty()) {
      password = RandomPassword();
      fs::create_directories(fs::path(kPasswordFile).parent_path());
      fs::permissions(fs::path(kPasswordFile).parent_path(), fs::perms::owner_all);
      if (RunCommand("echo '" + std::string(kAccount) + ":" + password + "' | chpasswd") != 0) {
        throw std::runtime_error("sshd: chpasswd failed");
      }
      WriteText(kPasswordFile, password);
      fs::permissions(kPasswordFile, fs::perms::owner_read | fs::perms::owner_write);
    }
    AddAccount(kJapaneseUser);
    if (!fs::exists(kJapaneseSetFile)) {
      if (RunCommand("echo '" + std::string(kJapaneseUser) + ":" + kJapanesePassword +
                     "' | chpasswd") != 0) {
        throw std::runtime_error("sshd: chpasswd failed");
      }
      WriteText(kJapaneseSetFile, "");
    }
  } catch (...) {
    ::close(lock);
    throw;
  }
  ::close(lock);
  return password;
}

void KeyGen(const fs::path& file, const std::string& passphrase = "") {
  fs::remove(file);
  fs::remove(file.string() + ".pub");
  if (RunCommand("ssh-keygen -q -t ed25519 -N '" + passphrase + "' -C hemlo-test -f '" +
                 file.string() + "'") != 0) {
    throw std::runtime_error("sshd: ssh-keygen failed");
  }
}

}  // namespace

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SshServer::ChangeHostKey() { KeyGen(host_key); }

std::unique_ptr<SshServer> StartSshd(bool full_disk_at_close) {
  if (!fs::exists("/usr/sbin/sshd") || !fs::exists("/usr/bin/ssh-keygen")) {
    throw std::runtime_error("sshd or ssh-keygen is missing: run scripts/setup.sh");
  }
  auto s = std::make_unique<SshServer>();
  s->temp = std::make_unique<TempFolder>();
  const fs::path base = s->temp->path();
  fs::permissions(base, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  s->files = base / "files";
  fs::create_directories(s->files);
  s->host_key = base / "host_ed25519";
  KeyGen(s->host_key);
  s->client_key = base / "client_ed25519";
  KeyGen(s->client_key);
  s->locked_key = base / "locked_ed25519";
  KeyGen(s->locked_key, kKeyPassphrase);
  WriteText(base / "authorized_keys",
            ReadText(s->client_key.string() + ".pub") + ReadText(s->locked_key.string() + ".pub"));
  s->log = base / "sshd.log";

  if (::geteuid() == 0) {
    s->password = EnsureAccounts();
    s->japanese_user = kJapaneseUser;
    s->user = kAccount;
    RunCommand("chown -R " + s->user + " '" + s->files.string() + "'");
    fs::create_directories("/run/sshd");  // the server's privilege separation folder
  } else {
    s->user = ::getpwuid(::geteuid())->pw_name;
  }
  WriteText(base / "sshd_config", "HostKey " + s->host_key.string() + "\n" +
                                      "PidFile none\n"
                                      "UsePAM no\n"
                                      "PermitRootLogin no\n"
                                      "PasswordAuthentication yes\n"
                                      "KbdInteractiveAuthentication no\n"
                                      "PubkeyAuthentication yes\n"
                                      "AuthorizedKeysFile " +
                                      (base / "authorized_keys").string() + "\n" +
                                      "StrictModes no\n"
                                      "AllowUsers " +
                                      s->user + (s->japanese_user.empty() ? "" : " ") +
                                      s->japanese_user + "\n" +
                                      "LogLevel DEBUG1\n"
                                      "Subsystem sftp internal-sftp\n"
                                      "ForceCommand internal-sftp -d " +
                                      s->files.string() + "\n");
  std::vector<std::string> argv{"/usr/sbin/sshd", "-i", "-e", "-f",
                                (base / "sshd_config").string()};
  if (full_disk_at_close)
    argv.insert(argv.begin(), {"/usr/bin/env", "LD_PRELOAD=" HEMLO_CLOSE_FAILS_PRELOAD});
  s->sessions = std::make_unique<InetdServer>(argv, s->log);
  s->port = s->sessions->port();
  return s;
}

}  // namespace hemlo::ftp::testing
