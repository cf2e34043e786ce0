// A connection's command cycle as its owner sees it: calls the command
// queues come before its end, a second command waits its turn, and a stop
// ends a command that waits for the owner's answer.
#include "remote/connection.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "remote/keyring_session.h"
#include "support/scripted_prompts.h"

namespace hemlo::transfer {
namespace {

TEST(Connection, EndComesAfterItsCallsOneCommandAtATimeAndStopEndsAWaitingQuestion) {
  ScriptedPrompts prompts;
  const auto owner = std::this_thread::get_id();
  Connection c(prompts, [owner] { return std::this_thread::get_id() == owner; });
  std::vector<std::string> seen;
  Connection::Events events;
  events.started = [&] { seen.push_back("started"); };
  events.finished = [&](const CommandEnd& end) {
    seen.push_back(end.failure ? "failed" : "ended");
    if (end.then) end.then();
  };
  c.SetEvents(std::move(events));
  const auto pump_until = [&](size_t n) {
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen.size() < n && std::chrono::steady_clock::now() < bound) {
      pollfd p{c.WakeFd(), POLLIN, 0};
      if (::poll(&p, 1, 50) > 0) c.TakeQueued();
    }
  };

  ASSERT_TRUE(c.Run(false, [&] {
    for (int i = 0; i < 3; ++i) c.Post([&, i] { seen.push_back("call " + std::to_string(i)); });
  }, [&] { seen.push_back("then"); }));
  EXPECT_FALSE(c.Run(false, [] {}, nullptr));  // one command at a time
  pump_until(5);
  EXPECT_EQ(seen,
            (std::vector<std::string>{"started", "call 0", "call 1", "call 2", "ended", "then"}));
  EXPECT_FALSE(c.Busy());

  // An operation runs with the stop request cleared; it is set again
  // before the operation's own continuation.
  seen.clear();
  ASSERT_TRUE(c.RunOperation(
      [&] {
        const bool stop = c.StopRequested();
        c.Post([&, stop] { seen.push_back(stop ? "stop" : "go"); });
      },
      [&] { seen.push_back(c.StopRequested() && !c.Call().Operation() ? "rest" : "busy"); }));
  EXPECT_FALSE(c.RunOperation([] {}, nullptr));
  pump_until(4);
  EXPECT_EQ(seen, (std::vector<std::string>{"started", "go", "ended", "rest"}));

  // A question nobody answers: the stop gives it up within its bound.
  seen.clear();
  ASSERT_TRUE(c.Run(true, [&] {
    c.WorkerPrompts().Message("q", "?", Buttons::YesNo, Icon::Question);
  }, nullptr));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(c.Stop(3000));
  EXPECT_EQ(seen, (std::vector<std::string>{"started", "failed"}));
  EXPECT_TRUE(c.StopRequested());
}

struct OneSecret : SecretStore {
  std::string secret;  // the profile's bytes, Shift-JIS
  bool Available() override { return true; }
  std::optional<std::string> Lookup(const SecretKey&) override { return secret; }
  bool Store(const SecretKey&, const std::string&, const std::string&) override { return true; }
  void Remove(const SecretKey&) override {}
};

// An SFTP login's password: the keyring's first (said on the status line),
// then the user is asked, told when the last answer was refused; the one
// the server took is the next login's first answer.
TEST(Connection, SftpPasswordComesFromTheKeyringThenTheUserAndIsKeptForTheSession) {
  ScriptedPrompts prompts;
  prompts.inputs = {"typed"};
  Connection c(prompts, [] { return true; });
  std::vector<std::string> status;
  Connection::Events events;
  events.status = [&](const std::string& text) { status.push_back(text); };
  c.SetEvents(std::move(events));
  auto store = std::make_unique<OneSecret>();
  store->secret = "\x83\x70\x83\x58";  // "パス"
  KeyringSession keyring(std::move(store), [](std::function<void()> fn) { fn(); });
  c.UseKeyring(&keyring);
  sftp::ConnectOptions o;
  o.host = "h";
  o.port = 22;
  o.user = "u";
  c.UseSftp(o, SecretKey{"password", "p", "sftp://h", "u"});

  sftp::ConnectQuestions first = c.SftpQuestions();
  EXPECT_EQ(first.password(), "パス");
  EXPECT_EQ(first.password(), "typed");
  first.password_accepted("typed");
  EXPECT_EQ(c.SftpQuestions().password(), "typed");
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].text, "パスワードが違います。sftp://h:22 のユーザー「u」のパスワード");
  EXPECT_EQ(status, (std::vector<std::string>{"キーリングに問い合わせています..."}));
}

}  // namespace
}  // namespace hemlo::transfer
