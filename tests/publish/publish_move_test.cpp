// Files moved in the site folder are moved on the server: one rename each,
// none of their bytes sent again (the server keeps the very file), the old
// path gone from the record; a file moved and edited is a new file and a
// deletion; of two new copies of one content only one takes the move; a
// page moved that left a redirect page at its old path is sent to its new
// one and the old copy replaced by the redirect; and a rename the server
// refuses sends the file instead.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>
#include <utility>

#include "publish/publish_case.h"
#include "support/test_watchdog.h"

namespace hemlo::publish::testing {
namespace {

ino_t InodeOf(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

void Move(Case& c, const std::string& from, const std::string& to) {
  fs::create_directories((c.local / to).parent_path());
  fs::rename(c.local / from, c.local / to);
}

class PublishMove : public ::testing::TestWithParam<Srv> {};

TEST_P(PublishMove, MovedFilesAreRenamedOnTheServerAndNothingIsSentForThem) {
  ftp::testing::TestWatchdog watchdog(120'000);
  Case c(GetParam(), text::NameEncoding::kShiftJis);
  c.Local("index.htm", "<html>top</html>");
  c.Local("about.htm", "<html>about us</html>");
  c.Local("img/photo.jpg", std::string(30'000, 'p'));
  c.Local("news.htm", "<p>news</p>");
  c.Local("twin.htm", "<p>twin</p>");
  c.Local("left.htm", "<p>left</p>");
  ASSERT_EQ(c.Run(c.MakePlan(), 2).Failed(), 0);
  const ino_t about = InodeOf(c.RemotePath("about.htm"));
  const ino_t photo = InodeOf(c.RemotePath("img/photo.jpg"));
  const ino_t twin = InodeOf(c.RemotePath("twin.htm"));

  Move(c, "about.htm", "会社/about.htm");
  Move(c, "img/photo.jpg", "photo.jpg");
  Move(c, "news.htm", "archive/news.htm");
  c.Local("archive/news.htm", "<p>news, edited</p>");
  Move(c, "twin.htm", "t1/twin.htm");
  c.Local("t2/twin.htm", "<p>twin</p>");
  Move(c, "left.htm", "moved/left.htm");
  c.Local("left.htm", "<meta http-equiv=\"refresh\" content=\"0; url=moved/left.htm\">");

  Plan plan = c.MakePlan();
  std::map<std::string, std::pair<Reason, std::string>> got;
  for (const auto& f : plan.files) got[f.path] = {f.reason, f.moved_from};
  const std::map<std::string, std::pair<Reason, std::string>> want = {
      {"index.htm", {Reason::kUnchanged, ""}},
      {"会社/about.htm", {Reason::kMoved, "about.htm"}},
      {"photo.jpg", {Reason::kMoved, "img/photo.jpg"}},
      {"archive/news.htm", {Reason::kNew, ""}},
      {"news.htm", {Reason::kServerOnly, ""}},
      {"t1/twin.htm", {Reason::kMoved, "twin.htm"}},
      {"t2/twin.htm", {Reason::kNew, ""}},
      {"moved/left.htm", {Reason::kNew, ""}},
      {"left.htm", {Reason::kChanged, ""}},
  };
  EXPECT_EQ(got, want);
  EXPECT_EQ(plan.Counts().moves, 3);
  EXPECT_EQ(plan.Counts().upload_bytes, 30 + 11 + 59);  // the new pages and the redirect

  plan.SetDeleteServerOnly(true);
  const RunResult r = c.Run(plan, 2);
  EXPECT_EQ(r.Failed(), 0) << (r.notes.empty() ? "" : r.notes.front());
  std::set<std::pair<std::string, std::string>> moves;
  std::set<std::string> uploads;
  for (const auto& op : r.operations) {
    if (op.kind == Operation::Kind::kMove) moves.insert({op.from, op.wire});
    if (op.kind == Operation::Kind::kUpload) uploads.insert(op.wire);
  }
  const auto w = [&](const std::string& rel) { return *c.names.ToWire(rel); };
  EXPECT_EQ(moves, (std::set<std::pair<std::string, std::string>>{
                       {"about.htm", w("会社/about.htm")},
                       {"img/photo.jpg", "photo.jpg"},
                       {"twin.htm", "t1/twin.htm"}}));
  EXPECT_EQ(uploads, (std::set<std::string>{"archive/news.htm", "t2/twin.htm", "moved/left.htm",
                                            "left.htm"}));
  // The server's own files, renamed: not one byte of them came again.
  EXPECT_EQ(InodeOf(c.RemotePath("会社/about.htm")), about);
  EXPECT_EQ(InodeOf(c.RemotePath("photo.jpg")), photo);
  EXPECT_EQ(InodeOf(c.RemotePath("t1/twin.htm")), twin);
  EXPECT_EQ(c.ServerTree(), Mirror(c));
  for (const auto& f : c.MakePlan().files) EXPECT_EQ(f.reason, Reason::kUnchanged) << f.path;
  EXPECT_EQ(LoadRecord(c.RecordFile()).files.count("about.htm"), 0u);

  // Gone from the server meanwhile (another client's work): the rename is
  // refused, the file is sent instead, and the result says so.
  Move(c, "index.htm", "home/index.htm");
  Plan again = c.MakePlan();
  again.SetDeleteServerOnly(true);
  c.RemoteRemove("index.htm");
  const RunResult r2 = c.Run(again, 1);
  EXPECT_EQ(r2.Failed(), 0);
  ASSERT_EQ(r2.notes.size(), 1u) << r2.notes.back();
  EXPECT_NE(r2.notes[0].find("移動できないため、ファイルを送ります"), std::string::npos);
  EXPECT_EQ(c.ServerTree(), Mirror(c));
}

INSTANTIATE_TEST_SUITE_P(Servers, PublishMove, ::testing::Values(Srv::kVsftpd, Srv::kPy),
                         [](const auto& info) { return std::string(SrvName(info.param)); });

}  // namespace
}  // namespace hemlo::publish::testing
