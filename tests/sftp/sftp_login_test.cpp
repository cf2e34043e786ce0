// Connecting: host keys trusted on first use, a changed key refused before
// anything is sent, the login methods, and waits that end on Cancel.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "base/remote_errors.h"
#include "ftp/id_ftp.h"
#include "sftp_test_support.h"
#include "support/test_watchdog.h"
#include "support/test_bounds.h"
#include "remote/session_secrets.h"

namespace hemlo::sftp::testing {
namespace {

std::string ConnectError(SftpClient& client, const ConnectOptions& o, const ConnectQuestions& q) {
  try {
    client.Connect(o, q);
  } catch (const remote::RemoteError& e) {
    return e.what();
  }
  return "";
}

TEST(SftpLogin, MethodsTriedAndTheOneThatWorkedIsNamed) {
  ftp::testing::TestWatchdog watchdog;
  auto server = ftp::testing::StartSshd();
  if (server->password.empty()) GTEST_SKIP() << "password logins need root (a test account)";
  ftp::testing::TempFolder local;
  const fs::path keys = local.path() / "keys";
  fs::create_directories(keys);
  fs::copy_file(server->client_key, keys / "id_ed25519");
  fs::copy_file(server->client_key.string() + ".pub", keys / "id_ed25519.pub");
  const fs::path locked = local.path() / "locked";
  fs::create_directories(locked);
  fs::copy_file(server->locked_key, locked / "id_rsa");
  fs::copy_file(server->locked_key.string() + ".pub", locked / "id_rsa.pub");

  struct Case {
    const char* name;
    std::string password;
    fs::path keys;
    bool asked;                // a password asked for at connect
    LoginMethod::Kind method;  // kNone: the login fails
    const char* message;       // part of the failure's text
  } cases[] = {
      {"profile password", server->password, {}, false, LoginMethod::Kind::kPassword, ""},
      {"no password kept: asked", "", {}, true, LoginMethod::Kind::kPassword, ""},
      {"key file", "", keys, false, LoginMethod::Kind::kKeyFile, ""},
      {"locked key file: passphrase asked", "", locked, false, LoginMethod::Kind::kKeyFile, ""},
      {"wrong password, then the key", "wrong", keys, false, LoginMethod::Kind::kKeyFile, ""},
      {"wrong password only",
       "wrong",
       {},
       false,
       LoginMethod::Kind::kNone,
       "ログインできませんでした: ユーザー名かパスワードが違うか、鍵が受け入れられませんでした（"
       "試した方法: パスワード）"},
  };
  const auto open_files = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto files_before = open_files();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConnectOptions o = OptionsFor(*server, local.path() / "known_hosts");
    o.password = c.password;
    o.key_folder = c.keys;
    ConnectQuestions q = TrustingQuestions();
    int passphrases = 0;
    q.key_passphrase = [&](const fs::path&) {
      ++passphrases;
      return std::optional<std::string>(ftp::testing::kKeyPassphrase);
    };
    if (c.asked) q.password = [&] { return std::optional<std::string>(server->password); };
    SftpClient client;
    if (c.method == LoginMethod::Kind::kNone) {
      EXPECT_EQ(ConnectError(client, o, q), c.message);
      EXPECT_FALSE(client.Connected());
      continue;
    }
    const LoginMethod method = client.Connect(o, q);
    EXPECT_EQ(method.kind, c.method) << method.Text();
    EXPECT_EQ(passphrases, c.keys == locked ? 1 : 0);
    EXPECT_NE(client.RealPath("."), "");
  }
  EXPECT_EQ(open_files(), files_before);  // every connection's socket closed
}

TEST(SftpLogin, ChangedHostKeyIsRefusedBeforeAnythingIsSent) {
  ftp::testing::TestWatchdog watchdog;
  auto server = ftp::testing::StartSshd();
  ftp::testing::TempFolder local;
  ConnectOptions o = OptionsFor(*server, local.path() / "known_hosts");
  o.key_folder = local.path();
  fs::copy_file(server->client_key, local.path() / "id_ed25519");

  std::vector<HostKeyQuestion> asked;
  bool answer = true;
  ConnectQuestions q;
  q.trust_host_key = [&](const HostKeyQuestion& k) {
    asked.push_back(k);
    return answer;
  };
  {
    SftpClient first;
    first.Connect(o, q);
  }
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_FALSE(asked[0].changed);
  EXPECT_EQ(asked[0].key_type, "ssh-ed25519");
  EXPECT_EQ(asked[0].fingerprint.rfind("SHA256:", 0), 0u);
  {
    SftpClient again;  // trusted now: not asked
    again.Connect(o, q);
  }
  ASSERT_EQ(asked.size(), 1u);
  ASSERT_NE(ftp::testing::ReadText(server->log).find("userauth-request"), std::string::npos);

  server->ChangeHostKey();
  fs::resize_file(server->log, 0);
  answer = false;
  SftpClient refused;
  const std::string error = ConnectError(refused, o, q);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_TRUE(asked[1].changed);
  EXPECT_EQ(asked[1].old_fingerprint, asked[0].fingerprint);
  EXPECT_NE(asked[1].fingerprint, asked[0].fingerprint);
  EXPECT_NE(error.find(asked[1].old_fingerprint), std::string::npos) << error;
  EXPECT_NE(error.find(asked[1].fingerprint), std::string::npos) << error;
  // Only once the refused session has logged its end, still before any
  // login ("[preauth]": the sessions before logged in), does the log hold
  // everything that reached it.
  const auto ended = [&] {
    std::istringstream log(ftp::testing::ReadText(server->log));
    for (std::string line; std::getline(log, line);)
      if (line.find("[preauth]") != std::string::npos &&
          (line.find("Connection closed") != std::string::npos ||
           line.find("Disconnected from") != std::string::npos))
        return true;
    return false;
  };
  const auto until =
      std::chrono::steady_clock::now() + test_support::Bound(std::chrono::seconds(10));
  while (!ended() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(ended()) << ftp::testing::ReadText(server->log);
  EXPECT_EQ(ftp::testing::ReadText(server->log).find("userauth-request"), std::string::npos)
      << ftp::testing::ReadText(server->log);

  answer = true;  // an explicit yes replaces the old key
  SftpClient replaced;
  replaced.Connect(o, q);
  SftpClient later;
  later.Connect(o, q);
  EXPECT_EQ(asked.size(), 3u);
}

TEST(SftpLogin, HashedHostNamesAreRead) {
  ftp::testing::TestWatchdog watchdog;
  auto server = ftp::testing::StartSshd();
  ftp::testing::TempFolder local;
  const fs::path file = local.path() / "known_hosts";
  const std::string pub = ftp::testing::ReadText(server->host_key.string() + ".pub");
  ftp::testing::WriteText(file, "[127.0.0.1]:" + std::to_string(server->port) + " " + pub);
  ASSERT_EQ(ftp::testing::RunCommand("ssh-keygen -q -H -f '" + file.string() + "' >/dev/null 2>&1"),
            0);
  ASSERT_EQ(ftp::testing::ReadText(file).rfind("|1|", 0), 0u);
  ConnectOptions o = OptionsFor(*server, file);
  o.key_folder = local.path();
  fs::copy_file(server->client_key, local.path() / "id_ed25519");
  ConnectQuestions q;
  q.trust_host_key = [](const HostKeyQuestion&) -> bool {
    ADD_FAILURE() << "a key the file holds was asked about";
    return false;
  };
  SftpClient client;
  client.Connect(o, q);
  EXPECT_TRUE(client.Connected());
}

// The sshd processes this test started (its descendants), to stop and go on.
void SignalOurSshd(int signal) {
  std::map<pid_t, pid_t> parent;
  for (const auto& e : fs::directory_iterator("/proc")) {
    std::ifstream stat(e.path() / "stat");
    std::string pid, name, state;
    pid_t ppid = 0;
    if (stat >> pid >> name >> state >> ppid) parent[std::atoi(pid.c_str())] = ppid;
  }
  for (const auto& [pid, ppid] : parent) {
    bool ours = false;
    for (pid_t p = ppid; p > 1 && !ours; p = parent.count(p) ? parent[p] : 0) ours = p == getpid();
    std::error_code error;
    if (ours &&
        fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error) == "/usr/sbin/sshd") {
      ::kill(pid, signal);
    }
  }
}

TEST(SftpLogin, CancelEndsTheWaitForASilentServer) {
  ftp::testing::TestWatchdog watchdog;
  uint16_t port = 0;
  const int listener = ftp::testing::ListenLoopback(port);  // accepts, never speaks
  ftp::testing::TempFolder local;
  ConnectOptions o;
  o.host = "127.0.0.1";
  o.port = port;
  o.user = "nobody";
  o.known_hosts = local.path() / "known_hosts";
  SftpClient client;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    client.Cancel();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(client.Connect(o, TrustingQuestions()), remote::Cancelled);
  const auto took = std::chrono::steady_clock::now() - start;
  canceller.join();
  EXPECT_LT(took, std::chrono::milliseconds(300) + test_support::Bound(std::chrono::seconds(1)));
  EXPECT_FALSE(client.Connected());

  o.connect_timeout_ms = 500;  // and without a cancel, the bound ends it
  SftpClient bounded;
  EXPECT_THROW(bounded.Connect(o, TrustingQuestions()), remote::ConnectionLost);
  ::close(listener);

  // Silent after the login: the request in flight cannot finish, so the
  // connection is closed and the wait still ends within the second.
  auto server = ftp::testing::StartSshd();
  SftpClient logged_in;
  logged_in.Connect(OptionsFor(*server, local.path() / "known_hosts"), TrustingQuestions());
  SignalOurSshd(SIGSTOP);
  std::thread escape([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    logged_in.Cancel();
  });
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_THROW(logged_in.RealPath("."), remote::Cancelled);
  const auto waited = std::chrono::steady_clock::now() - asked;
  escape.join();
  SignalOurSshd(SIGCONT);
  EXPECT_LT(waited, std::chrono::milliseconds(300) + test_support::Bound(std::chrono::seconds(1)));
  EXPECT_FALSE(logged_in.Connected());
}

}  // namespace
}  // namespace hemlo::sftp::testing

namespace hemlo::sftp::testing {
namespace {

struct MapStore : transfer::SecretStore {
  bool up = true;
  std::map<std::string, std::string> secrets;
  bool Available() override { return up; }
  std::optional<std::string> Lookup(const transfer::SecretKey& k) override {
    auto it = secrets.find(k.kind + k.host);
    return it == secrets.end() ? std::nullopt : std::optional(it->second);
  }
  bool Store(const transfer::SecretKey& k, const std::string&, const std::string& s) override {
    secrets[k.kind + k.host] = s;
    return up;
  }
  void Remove(const transfer::SecretKey& k) override { secrets.erase(k.kind + k.host); }
};

TEST(SftpLogin, KeyPassphrasesAreAskedOnceThenKept) {
  ftp::testing::TestWatchdog watchdog;
  auto server = ftp::testing::StartSshd();
  ftp::testing::TempFolder local;
  ConnectOptions o = OptionsFor(*server, local.path() / "known_hosts");
  o.password.clear();
  o.key_folder = local.path();
  fs::copy_file(server->locked_key, local.path() / "id_ed25519");
  fs::copy_file(server->locked_key.string() + ".pub", local.path() / "id_ed25519.pub");
  int asked = 0;
  ConnectQuestions q = TrustingQuestions();
  q.key_passphrase = [&](const fs::path&) {
    ++asked;
    return std::optional<std::string>(ftp::testing::kKeyPassphrase);
  };
  for (bool keyring : {true, false}) {
    SCOPED_TRACE(keyring ? "keyring" : "no keyring: for the session");
    MapStore store;
    store.up = keyring;
    transfer::PassphraseKeeper keeper(store);
    asked = 0;
    for (int i = 0; i < 2; ++i) {
      SftpClient client;
      EXPECT_EQ(client.Connect(o, keeper.Wrap(q)).kind, LoginMethod::Kind::kKeyFile);
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(store.Lookup({"passphrase", "", (local.path() / "id_ed25519").string(), ""}),
              keyring ? std::optional<std::string>(ftp::testing::kKeyPassphrase) : std::nullopt);
  }
  // A kept passphrase that no longer opens the key: asked again.
  MapStore stale;
  stale.secrets["passphrase" + (local.path() / "id_ed25519").string()] = "old words";
  transfer::PassphraseKeeper keeper(stale);
  asked = 0;
  SftpClient client;
  client.Connect(o, keeper.Wrap(q));
  EXPECT_EQ(asked, 1);
}

// A name the resolver does not know is told in the same words whichever
// protocol the profile uses.
TEST(SftpLogin, UnknownHostIsToldAsOverFtp) {
  ftp::testing::TestWatchdog watchdog;
  const std::string host = "no-such-host.invalid";
  ftp::TIdFTP ftp;
  ftp.Host = host;
  std::string over_ftp;
  try {
    ftp.Connect();
  } catch (const ftp::EIdSocketError& e) {
    over_ftp = e.what();
  }
  ConnectOptions o;
  o.host = host;
  SftpClient client;
  const std::string over_sftp = ConnectError(client, o, TrustingQuestions());
  EXPECT_EQ(over_ftp.rfind("Socket Error # 1100", 0), 0u) << over_ftp;
  EXPECT_EQ(over_sftp, over_ftp);
}

}  // namespace
}  // namespace hemlo::sftp::testing
