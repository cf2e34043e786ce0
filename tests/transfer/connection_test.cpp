// A connection's command cycle as its owner sees it: calls the command
// queues come before its end, a second command waits its turn, a stop
// ends a command that waits for the owner's answer, and the worker's
// questions reach the owner as question events.
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
  Connection c([owner] { return std::this_thread::get_id() == owner; });
  std::vector<std::string> seen;
  Connection::Events events;
  events.question = [&](const Question& q) { return AskWith(prompts, q); };
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

  ASSERT_TRUE(c.Run(
      false,
      [&] {
        for (int i = 0; i < 3; ++i) c.Post([&, i] { seen.push_back("call " + std::to_string(i)); });
      },
      [&] { seen.push_back("then"); }));
  EXPECT_FALSE(c.Run(
      false, [] {}, nullptr));  // one command at a time
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
  ASSERT_TRUE(c.Run(
      true, [&] { c.WorkerPrompts().Message("q", "?", Buttons::YesNo, Icon::Question); }, nullptr));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(c.Stop(3000));
  EXPECT_EQ(seen, (std::vector<std::string>{"started", "failed"}));
  EXPECT_TRUE(c.StopRequested());
}

// Every kind of question a command on the worker asks reaches the owner as
// one question event, on the owner's thread, with its texts as given, and
// the owner's reply comes back to the waiting command.
TEST(Connection, WorkerQuestionsReachTheOwnerOnItsThreadAndTheirRepliesComeBack) {
  const auto owner = std::this_thread::get_id();
  Connection c([owner] { return std::this_thread::get_id() == owner; });
  sftp::ConnectOptions o;
  o.host = "h";
  c.UseSftp(o);
  using Kind = Question::Kind;
  struct Case {
    Kind kind;
    std::string caption, text;         // as the owner must see them
    std::function<std::string()> ask;  // on the worker: the reply as it came back
    std::string reply;
  };
  Prompts& p = c.WorkerPrompts();
  const std::vector<Case> cases = {
      {Kind::kMessage, "確認", "消しますか？",
       [&] {
         return p.Message("確認", "消しますか？", Buttons::YesNo, Icon::Question, Answer::No) ==
                        Answer::Yes
                    ? "yes"
                    : "no";
       },
       "yes"},
      {Kind::kText, "名前", "新しい名前",
       [&] { return p.Input("名前", "新しい名前", "a.htm").value_or("-"); },
       "名前|新しい名前|a.htm"},
      {Kind::kPassword, "パスワード", "u のパスワード",
       [&] { return p.Password("パスワード", "u のパスワード").value_or("-"); },
       "パスワード|u のパスワード|"},
      {Kind::kSaveFile, "", "",
       [&] {
         return p.SaveFile({"保存", {}, "htm", "/tmp/x.htm"}).value_or("-");
       },
       "||/tmp/x.htm"},
      {Kind::kHostKey, "ホスト鍵の確認", "",
       [&] {
         sftp::HostKeyQuestion k;
         k.host = "h";
         k.key_type = "ssh-ed25519";
         k.fingerprint = "SHA256:ab";
         return c.SftpQuestions().trust_host_key(k) ? "yes" : "no";
       },
       "yes"},
      {Kind::kCertificate, "", "",
       [&] {
         ftp::TIdCertificateInfo info;
         info.Sha256 = "AB:CD";
         return c.Ftp().OnVerifyCertificate(info) ? "yes" : "no";
       },
       "yes"},
  };
  std::vector<Question> asked;
  bool off_thread = false;
  Connection::Events events;
  events.question = [&](const Question& q) {
    off_thread |= std::this_thread::get_id() != owner;
    asked.push_back(q);
    Reply r;
    r.answer = Answer::Yes;
    r.text = q.caption + "|" + q.text + "|" + q.initial + q.file.initial_path;
    return r;
  };
  bool done = false;
  events.finished = [&](const CommandEnd&) { done = true; };
  c.SetEvents(std::move(events));
  std::vector<std::string> replies(cases.size());
  ASSERT_TRUE(c.Run(
      false,
      [&] {
        for (size_t i = 0; i < cases.size(); ++i) replies[i] = cases[i].ask();
      },
      nullptr));
  const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done && std::chrono::steady_clock::now() < bound) {
    pollfd fd{c.WakeFd(), POLLIN, 0};
    if (::poll(&fd, 1, 50) > 0) c.TakeQueued();
  }
  ASSERT_TRUE(done);
  EXPECT_FALSE(off_thread);
  ASSERT_EQ(asked.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(asked[i].kind, cases[i].kind);
    EXPECT_EQ(asked[i].caption, cases[i].caption);
    if (!cases[i].text.empty()) {
      EXPECT_EQ(asked[i].text, cases[i].text);
    }
    EXPECT_EQ(replies[i], cases[i].reply);
  }
  EXPECT_EQ(asked[0].default_button, Answer::No);
  EXPECT_EQ(asked[4].default_button, Answer::No);  // a host key is trusted only on purpose
  EXPECT_EQ(asked[4].text.rfind("サーバ h のホスト鍵はまだ信頼されていません。", 0), 0u);
  EXPECT_EQ(asked[5].certificate.Sha256, "AB:CD");
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
  Connection c([] { return true; });
  std::vector<std::string> status;
  Connection::Events events;
  events.question = [&](const Question& q) { return AskWith(prompts, q); };
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
