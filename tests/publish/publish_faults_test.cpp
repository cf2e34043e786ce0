// Replacing pages when the server fails a step: an upload refused at its
// end keeps the live page, a refused time still lets the page go in place,
// a refused rename keeps the live page (also where the server will not
// rename over a file, so the old one was moved aside first), and the
// replies of the time and the rename, sent together, are read each for its
// own command; a store or a rename the server claims but did not do is a
// failure. An old page moved aside by a cut-short replacement goes back,
// and a file that changes while it is published is refused.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>
#include <vector>

#include "publish/publish_case.h"
#include "support/ftp_test_net.h"
#include "support/test_watchdog.h"

namespace hemlo::publish::testing {
namespace {

class PublishFaults : public ::testing::TestWithParam<Srv> {};

TEST_P(PublishFaults, RefusedStepsKeepTheLivePageAndARefusedTimeStillReplaces) {
  ftp::testing::TestWatchdog watchdog(120'000);
  Case c(GetParam(), text::NameEncoding::kShiftJis);
  // Names go in Shift-JIS, as to a server without UTF8.
  c.encoding = transfer::NameEncodingMode::kShiftJis;
  c.names = c.Connect()->Names;
  // The server fails the upload of bytes starting "FAIL" (after taking them
  // whole), refuses the time of a file starting "NOTIME" and the rename of
  // one starting "NORENAME"; it keeps 100 bytes of a store starting
  // "PARTSTOR", claims the rename of one starting "LIERENAME", and removes
  // a stored "VANISH..." (as a second publish into the folder would).
  for (const char* p :
       {"a.htm", "b.htm", "c.htm", "d.htm", "e.htm", "f.htm", "g.htm", "h.htm", "i.htm"})
    c.Local(p, std::string("old ") + p);
  ASSERT_EQ(c.Run(c.MakePlan(), 2).Failed(), 0);
  c.Local("a.htm", "FAIL: the new a");
  c.Local("b.htm", "NOTIME: the new b");
  c.Local("c.htm", "the new c");
  c.Local("e.htm", "NOTIME: the new e");
  c.Local("f.htm", "NORENAME: the new f");
  c.Local("g.htm", "PARTSTOR" + std::string(1000, 'g'));
  c.Local("h.htm", "LIERENAME");  // as long as the old one
  c.Local("i.htm", "VANISH: the new i");
  c.Local("NOMKD画像/ロゴ.gif", "GIF89a");  // its folder is refused
  const Tree before = c.ServerTree();

  const RunResult r = c.Run(c.MakePlan(), 2);
  std::set<std::string> failed, uploaded;
  for (const auto& e : r.entries) {
    if (e.outcome == Outcome::kFailed) failed.insert(e.path);
    if (e.path == "g.htm") {
      EXPECT_NE(e.message.find("100 バイト"), std::string::npos) << e.message;
    }
    if (e.path == "i.htm") {
      EXPECT_NE(e.message.find("別の公開が同時に"), std::string::npos) << e.message;
    }
    // The refused folder is named as the author wrote it, not in the wire's Shift-JIS.
    if (e.folder) {
      EXPECT_NE(e.message.find("「NOMKD画像」を作成できません"), std::string::npos) << e.message;
    }
  }
  for (const auto& op : r.operations)
    if (op.kind == Operation::Kind::kUpload) uploaded.insert(op.wire);
  EXPECT_EQ(failed, (std::set<std::string>{"a.htm", "f.htm", "g.htm", "h.htm", "i.htm", "NOMKD画像",
                                           "NOMKD画像/ロゴ.gif"}));
  EXPECT_EQ(uploaded, (std::set<std::string>{"b.htm", "c.htm", "e.htm"}));
  Tree want = before;
  for (const char* p : {"b.htm", "c.htm", "e.htm"})
    want.files[p] = ftp::testing::ReadText(c.local / p);
  EXPECT_EQ(c.ServerTree(), want);  // a, f, g, h and i old, no temporary left

  // The record holds the times the server shows, set or not: only the
  // failed pages are left to send.
  const Plan next = c.MakePlan();
  for (const auto& f : next.files)
    EXPECT_EQ(ReasonText(f.reason),
              std::string(ReasonText(
                  std::set<std::string>{"a.htm", "f.htm", "g.htm", "h.htm", "i.htm"}.count(f.path)
                      ? Reason::kChanged
                  : f.path == "NOMKD画像/ロゴ.gif" ? Reason::kNew
                                                   : Reason::kUnchanged)))
        << f.path;
}

TEST(PublishAsides, AnOldPageMovedAsideIsPutBackNeverDeleted) {
  ftp::testing::TestWatchdog watchdog(120'000);
  Case c(Srv::kPyNoRenameOver, text::NameEncoding::kUtf8);
  c.Local("p.htm", "old p");
  c.Local("q.htm", "old q");
  ASSERT_EQ(c.Run(c.MakePlan(), 1).Failed(), 0);
  // As a replacement cut between "page -> aside" and "temporary -> page"
  // leaves it: p.htm only aside; q.htm in place with its aside beside it;
  // and an aside whose page nothing names.
  fs::rename(c.RemotePath("p.htm"), c.RemotePath(AsideName("p.htm")));
  fs::copy_file(c.RemotePath("q.htm"), c.RemotePath(AsideName("q.htm")));
  c.Remote(AsideName("gone.htm"), "old gone");

  const Plan plan = c.MakePlan();
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(plan.restore_asides, (Pairs{{AsideName("p.htm"), "p.htm"}}));
  EXPECT_EQ(plan.stale_temporaries, std::vector<std::string>{AsideName("q.htm")});
  // Both named in the plan.
  EXPECT_EQ(plan.problems.size(), 2u);
  std::string told;
  for (const auto& p : plan.problems) told += p + "\n";
  EXPECT_NE(told.find("退避した「" + AsideName("p.htm") + "」を元に戻します"), std::string::npos)
      << told;
  EXPECT_NE(told.find(AsideName("gone.htm") + "」は"), std::string::npos) << told;
  for (const auto& f : plan.files) EXPECT_EQ(f.reason, Reason::kUnchanged) << f.path;

  EXPECT_EQ(c.Run(plan, 1).Failed(), 0);
  Tree want;
  want.files = {{"p.htm", "old p"}, {"q.htm", "old q"}, {AsideName("gone.htm"), "old gone"}};
  EXPECT_EQ(c.ServerTree(), want);
}

TEST(PublishChangingFiles, AFileChangedWhilePublishedIsRefusedInJapanese) {
  ftp::testing::TestWatchdog watchdog(120'000);
  Case c(Srv::kPy, text::NameEncoding::kUtf8);
  // Rewritten after the plan, before its turn: sent, it would be recorded
  // with the planned size and hash.
  c.Local("p1.htm", "one");
  c.Local("p2.htm", "two");
  const RunResult r = c.Run(c.MakePlan(), 1, [&](PublishRun&, const EntryResult& e) {
    if (e.path == "p1.htm") c.Local("p2.htm", "two, rewritten meanwhile");
  });
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].outcome, Outcome::kDone);
  EXPECT_EQ(r.entries[1].outcome, Outcome::kFailed);
  EXPECT_NE(r.entries[1].message.find("公開の準備の後にローカルで変更"), std::string::npos)
      << r.entries[1].message;
  EXPECT_EQ(c.ServerTree().files, (std::map<std::string, std::string>{{"p1.htm", "one"}}));

  // Cut short while read: the upload says so, not how the read ended.
  const fs::path big = c.local / "big.bin";
  ftp::testing::WriteText(big, std::string(8 << 20, 'b'));
  std::string message;
  try {
    c.Connect()->Upload(big.string(), "big.bin", [&](int64_t done, int64_t) {
      if (done > 0 && fs::file_size(big) > 1000) fs::resize_file(big, 1000);
    });
  } catch (const std::exception& e) {
    message = e.what();
  }
  EXPECT_NE(message.find("送信中に変更されたため"), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(Servers, PublishFaults,
                         ::testing::Values(Srv::kPyFaulty, Srv::kPyFaultyNoRenameOver),
                         [](const auto& info) { return std::string(SrvName(info.param)); });

}  // namespace
}  // namespace hemlo::publish::testing
