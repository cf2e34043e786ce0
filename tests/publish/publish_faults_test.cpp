// Replacing pages when the server fails a step: an upload refused at its
// end keeps the live page, a refused time still lets the page go in place,
// a refused rename keeps the live page (also where the server will not
// rename over a file, so the old one was moved aside first), and the
// replies of the time and the rename, sent together, are read each for its
// own command.
#include <gtest/gtest.h>

#include <set>

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
  // one starting "NORENAME".
  for (const char* p : {"a.htm", "b.htm", "c.htm", "d.htm", "e.htm", "f.htm"})
    c.Local(p, std::string("old ") + p);
  ASSERT_EQ(c.Run(c.MakePlan(), 2).Failed(), 0);
  c.Local("a.htm", "FAIL: the new a");
  c.Local("b.htm", "NOTIME: the new b");
  c.Local("c.htm", "the new c");
  c.Local("e.htm", "NOTIME: the new e");
  c.Local("f.htm", "NORENAME: the new f");
  c.Local("NOMKD画像/ロゴ.gif", "GIF89a");  // its folder is refused
  const Tree before = c.ServerTree();

  const RunResult r = c.Run(c.MakePlan(), 2);
  std::set<std::string> failed, uploaded;
  for (const auto& e : r.entries) {
    if (e.outcome == Outcome::kFailed) failed.insert(e.path);
    // The refused folder is named as the author wrote it, not in the wire's Shift-JIS.
    if (e.folder) {
      EXPECT_NE(e.message.find("「NOMKD画像」を作成できません"), std::string::npos) << e.message;
    }
  }
  for (const auto& op : r.operations)
    if (op.kind == Operation::Kind::kUpload) uploaded.insert(op.wire);
  EXPECT_EQ(failed, (std::set<std::string>{"a.htm", "f.htm", "NOMKD画像", "NOMKD画像/ロゴ.gif"}));
  EXPECT_EQ(uploaded, (std::set<std::string>{"b.htm", "c.htm", "e.htm"}));
  Tree want = before;
  for (const char* p : {"b.htm", "c.htm", "e.htm"})
    want.files[p] = ftp::testing::ReadText(c.local / p);
  EXPECT_EQ(c.ServerTree(), want);  // a.htm and f.htm old, no temporary left

  // The record holds the times the server shows, set or not: only the
  // failed pages are left to send.
  const Plan next = c.MakePlan();
  for (const auto& f : next.files)
    EXPECT_EQ(ReasonText(f.reason),
              std::string(ReasonText(f.path == "a.htm" || f.path == "f.htm" ? Reason::kChanged
                                     : f.path == "NOMKD画像/ロゴ.gif"       ? Reason::kNew
                                                                            : Reason::kUnchanged)))
        << f.path;
}

INSTANTIATE_TEST_SUITE_P(Servers, PublishFaults,
                         ::testing::Values(Srv::kPyFaulty, Srv::kPyFaultyNoRenameOver),
                         [](const auto& info) { return std::string(SrvName(info.param)); });

}  // namespace
}  // namespace hemlo::publish::testing
