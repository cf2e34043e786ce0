// Profile passwords in the keyring: moved out of Ferrox.ini, read back,
// kept in the file only by choice where no keyring runs, and removed with
// their profile; then once against GNOME Keyring on a private D-Bus session.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "support/ftp_test_net.h"
#include "support/test_bounds.h"
#include "transfer/desktop_keyring.h"
#include "transfer/ferrox_files.h"
#include "remote/keyring_session.h"
#include "transfer/profile_secrets.h"

namespace hemlo::transfer {
namespace {

namespace fs = std::filesystem;

TEST(ProfileSecrets, APasswordReachesTheFileOnlyByChoiceOrWhereItAlreadyWas) {
  struct Case {
    const char* name;
    bool present;             // a keyring to ask at all
    bool held;                // the keyring took the password
    std::string file_before;  // Ferrox.ini's line as read
    std::string typed;        // the line after typing ("": as loaded)
    std::string file_after;   // the line the next save writes
    size_t to_store;          // passwords still to hand to the keyring
  } cases[] = {
      {"the keyring holds it", true, true, "site,h,taro,,/www", "site,h,taro,pw,/www",
       "site,h,taro,,/www", 0},
      {"the keyring declined a new password", true, false, "site,h,taro,,/www",
       "site,h,taro,pw,/www", "site,h,taro,,/www", 1},
      {"declined, the box ticked", true, false, "site,h,taro,,/www",
       "site,h,taro,pw,/www,auto,auto,,,plain", "site,h,taro,pw,/www,auto,auto,,,plain", 1},
      {"declined, the file held it already", true, false, "site,h,taro,pw,/www", "",
       "site,h,taro,pw,/www", 1},
      {"an old plain-text profile moves over", true, true, "site,h,taro,\"pa ss\",/www", "",
       "site,h,taro,,/www", 0},
      {"no keyring: the file's password is marked as kept there", false, false,
       "site,h,taro,pw,", "", "site,h,taro,pw,,auto,auto,,,plain", 1},
      {"no keyring: no password, asked at connect", false, false, "site,h,taro,,", "",
       "site,h,taro,,", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines{c.file_before};
    RestorePasswords(lines, c.present);
    if (!c.typed.empty()) lines[0] = c.typed;
    const InKeyring in_keyring = [&](const SecretKey&, const std::string&) { return c.held; };
    EXPECT_EQ(LinesForFile(lines, in_keyring, {c.file_before}),
              std::vector<std::string>{c.file_after});
    EXPECT_EQ(SecretsToStore(lines, in_keyring).size(), c.to_store);
  }
}

// A keyring whose every call hangs until cancelled, or fails at once.
struct StuckStore : SecretStore {
  std::atomic<bool> fail{false};
  std::atomic<int> calls{0};
  std::atomic<bool> cancelled{false};
  bool up = true;
  bool Available() override { return up; }
  void Hang() {
    ++calls;
    if (fail) {
      up = false;
      return;
    }
    while (!cancelled) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    up = false;
  }
  std::optional<std::string> Lookup(const SecretKey&) override {
    Hang();
    return std::nullopt;
  }
  bool Store(const SecretKey&, const std::string&, const std::string&) override {
    Hang();
    return false;
  }
  void Remove(const SecretKey&) override { Hang(); }
  void Cancel() override { cancelled = true; }
};

TEST(KeyringSession, ACallNeverHoldsItsCallerAndOneFailureEndsTheKeyringsUse) {
  using Clock = std::chrono::steady_clock;
  const SecretKey key{"password", "site", "h", "taro"};
  for (const bool fail : {false, true}) {
    SCOPED_TRACE(fail ? "the keyring fails" : "the keyring hangs");
    auto owned = std::make_unique<StuckStore>();
    StuckStore& store = *owned;
    store.fail = fail;
    std::atomic<int> told{0};
    std::vector<bool> answers;
    std::mutex answers_mutex;
    // The owner's queue: run where posted (the keyring thread).
    auto session = std::make_unique<KeyringSession>(
        std::move(owned), [](std::function<void()> fn) { fn(); }, 300);
    session->SetOnOutOfUse([&] { ++told; });
    auto start = Clock::now();
    for (int i = 0; i < 3; ++i)
      session->Store(key, "label", "pw" + std::to_string(i), [&](bool ok) {
        std::lock_guard<std::mutex> lock(answers_mutex);
        answers.push_back(ok);
      });
    session->Remove(key);
    EXPECT_LT(Clock::now() - start, test_support::Bound(std::chrono::milliseconds(200)));
    // Another thread's wait ends within the bound.
    EXPECT_FALSE(std::async(std::launch::async, [&] { return session->Lookup(key); }).get());
    EXPECT_LT(Clock::now() - start, test_support::Bound(std::chrono::milliseconds(1500)));
    EXPECT_EQ(session->Usable(), !fail);
    EXPECT_EQ(store.calls, 1);  // nothing asked after the failure, or behind the hang
    // A call still hanging is given up at once (the store goes with it).
    start = Clock::now();
    session.reset();
    EXPECT_LT(Clock::now() - start, test_support::Bound(std::chrono::milliseconds(500)));
    EXPECT_EQ(told, fail ? 1 : 0);
    for (bool ok : answers) EXPECT_FALSE(ok);
  }
}

// Runs the rest of the test on a D-Bus session of its own with GNOME
// Keyring unlocked by a fixed password, in a home folder of its own.
bool InKeyringSession() { return std::getenv("HEMLO_TEST_KEYRING_SESSION") != nullptr; }

TEST(DesktopKeyring, StoresReadsBackAndLeavesNoPasswordInTheStateFolder) {
  if (!InKeyringSession()) {
    ftp::testing::TempFolder home;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string command =
        "cd '" + home.path().string() + "' && mkdir -m 700 run && HOME='" + home.path().string() +
        "' XDG_RUNTIME_DIR='" + home.path().string() + "/run' XDG_DATA_HOME='" +
        home.path().string() +
        "/data' HEMLO_TEST_KEYRING_SESSION=1 timeout 60 dbus-run-session -- "
        "sh -c 'printf hemlo-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null "
        "&& exec \"$0\" --gtest_filter=DesktopKeyring.*' '" +
        self + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return;
  }
  ftp::testing::TempFolder state;
  const std::string password = "S3cret-\x83\x70\x83\x58";  // ASCII and Shift-JIS "パス"
  ASSERT_TRUE(WriteProfileFile(state.path(), {"site,127.0.0.1,taro," + password + ",/www"}).ok);

  const auto inline_post = [](std::function<void()> fn) { fn(); };
  auto keyring = std::make_unique<KeyringSession>(std::make_unique<DesktopKeyring>(), inline_post);
  ASSERT_TRUE(keyring->Present());
  const std::vector<std::string> read = ReadProfileFile(state.path());
  std::vector<std::string> lines = read;
  RestorePasswords(lines, keyring->Present());
  std::promise<bool> taken;
  for (const SecretToStore& s : SecretsToStore(lines, [](auto&, auto&) { return false; }))
    keyring->Store(s.key, s.label, s.secret, [&](bool ok) { taken.set_value(ok); });
  ASSERT_TRUE(taken.get_future().get());
  const InKeyring held = [&](const SecretKey& k, const std::string& p) {
    return keyring->Holds(k, p);
  };
  ASSERT_TRUE(WriteProfileFile(state.path(), LinesForFile(lines, held, read)).ok);
  EXPECT_NE(std::system(("grep -rqF 'S3cret' '" + state.path().string() + "'").c_str()), 0);

  // The next start reads it back, and a removed profile takes it along.
  KeyringSession later(std::make_unique<DesktopKeyring>(), inline_post);
  std::vector<std::string> again = ReadProfileFile(state.path());
  EXPECT_EQ(again, std::vector<std::string>{"site,127.0.0.1,taro,,/www"});
  EXPECT_EQ(later.Lookup(PasswordKeyOf(again[0])).value_or(""), password);
  later.Remove(PasswordKeyOf(again[0]));
  while (later.Pending()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  KeyringSession third(std::make_unique<DesktopKeyring>(), inline_post);
  EXPECT_FALSE(third.Lookup(PasswordKeyOf(again[0])));

  // No session bus: no keyring, at once.
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  unsetenv("XDG_RUNTIME_DIR");
  const auto start = std::chrono::steady_clock::now();
  DesktopKeyring absent;
  EXPECT_FALSE(absent.Available());
  EXPECT_LT(std::chrono::steady_clock::now() - start, test_support::Bound(std::chrono::seconds(1)));
}

}  // namespace
}  // namespace hemlo::transfer
