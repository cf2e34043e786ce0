// Profile passwords in the keyring: moved out of Ferrox.ini, read back,
// kept in the file only by choice where no keyring runs, and removed with
// their profile; then once against GNOME Keyring on a private D-Bus session.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>

#include "support/ftp_test_net.h"
#include "support/test_bounds.h"
#include "transfer/desktop_keyring.h"
#include "transfer/ferrox_files.h"
#include "transfer/profile_secrets.h"

namespace hemlo::transfer {
namespace {

namespace fs = std::filesystem;

struct MapStore : SecretStore {
  bool up = true;
  std::map<std::string, std::string> secrets;  // host + user -> secret
  static std::string Id(const SecretKey& k) {
    return k.kind + "|" + k.profile + "|" + k.host + "|" + k.user;
  }
  bool Available() override { return up; }
  std::optional<std::string> Lookup(const SecretKey& k) override {
    auto it = secrets.find(Id(k));
    return it == secrets.end() ? std::nullopt : std::optional(it->second);
  }
  bool Store(const SecretKey& k, const std::string&, const std::string& s) override {
    secrets[Id(k)] = s;
    return true;
  }
  void Remove(const SecretKey& k) override { secrets.erase(Id(k)); }
};

TEST(ProfileSecrets, PasswordsMoveToTheKeyringOrStayOnlyByChoice) {
  const std::string key = "password|site|ftp.example.jp|taro";
  struct Case {
    const char* name;
    bool keyring;
    std::string file_before;  // Ferrox.ini's line as found
    std::string in_keyring;   // before loading
    std::string memory;       // the line after loading
    std::string file_after;   // the line the next save writes
    std::string kept;         // in the keyring after the save
  } cases[] = {
      {"an old plain-text profile moves over", true, "site,ftp.example.jp,taro,\"pa ss\",/www", "",
       "site,ftp.example.jp,taro,\"pa ss\",/www", "site,ftp.example.jp,taro,,/www", "pa ss"},
      {"the keyring's password comes back", true, "site,ftp.example.jp,taro,,", "pw",
       "site,ftp.example.jp,taro,pw,", "site,ftp.example.jp,taro,,", "pw"},
      {"no keyring: a password the file held stays there", false, "site,ftp.example.jp,taro,pw,",
       "", "site,ftp.example.jp,taro,pw,,auto,auto,,,plain",
       "site,ftp.example.jp,taro,pw,,auto,auto,,,plain", ""},
      {"no keyring: no password, asked at connect", false, "site,ftp.example.jp,taro,,", "",
       "site,ftp.example.jp,taro,,", "site,ftp.example.jp,taro,,", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MapStore store;
    store.up = c.keyring;
    if (!c.in_keyring.empty()) store.secrets[key] = c.in_keyring;
    std::vector<std::string> lines{c.file_before};
    RestorePasswords(lines, store);
    EXPECT_EQ(lines[0], c.memory);
    EXPECT_EQ(LinesForFile(lines, store), std::vector<std::string>{c.file_after});
    EXPECT_EQ(store.Lookup(PasswordKeyOf(lines[0])).value_or(""), c.kept);
    ForgetPassword(lines[0], store);  // the profile removed
    EXPECT_EQ(store.secrets.count(key), 0u);
  }

  // Without a keyring a new password is kept for the session only, unless
  // the user ticked the box.
  MapStore none;
  none.up = false;
  EXPECT_EQ(LinesForFile({"s,h,u,pw,"}, none), std::vector<std::string>{"s,h,u,,"});
  EXPECT_EQ(LinesForFile({"s,h,u,pw,,auto,auto,,,plain"}, none),
            std::vector<std::string>{"s,h,u,pw,,auto,auto,,,plain"});
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

  DesktopKeyring keyring;
  ASSERT_TRUE(keyring.Available());
  std::vector<std::string> lines = ReadProfileFile(state.path());
  RestorePasswords(lines, keyring);
  ASSERT_TRUE(WriteProfileFile(state.path(), LinesForFile(lines, keyring)).ok);
  EXPECT_NE(std::system(("grep -rqF 'S3cret' '" + state.path().string() + "'").c_str()), 0);

  DesktopKeyring later;  // the next start
  std::vector<std::string> again = ReadProfileFile(state.path());
  EXPECT_EQ(again, std::vector<std::string>{"site,127.0.0.1,taro,,/www"});
  RestorePasswords(again, later);
  EXPECT_EQ(again, lines);
  ForgetPassword(again[0], later);
  EXPECT_FALSE(later.Lookup(PasswordKeyOf(again[0])));

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
