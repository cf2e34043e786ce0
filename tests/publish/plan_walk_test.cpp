// The local walk and the listed times against vsftpd: what the walk cannot
// read, or does not follow, is never planned for deletion; a link out of the
// site goes only when ticked; a preview copy stays at home; a listing with
// dates only (files older than six months) finds every change and no false
// conflict.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "base/preview_record.h"
#include "base/program_folder.h"
#include "publish/publish_case.h"
#include "support/test_watchdog.h"
#include "remote/profile.h"

namespace hemlo::publish::testing {
namespace {

// Root reads a file of mode 000: for the scope this thread lacks the
// capabilities that let it.
class PermissionsHold {
 public:
  PermissionsHold() {
    ::syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct less[2] = {saved_[0], saved_[1]};
    less[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    ::syscall(SYS_capset, &header_, less);
  }
  ~PermissionsHold() { ::syscall(SYS_capset, &header_, saved_); }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

TEST(PlanWalk, WhatTheWalkCannotReadStaysOnTheServer) {
  ftp::testing::TestWatchdog watchdog(120'000);
  Case c(Srv::kVsftpd, text::NameEncoding::kShiftJis);
  SetProgramFolder(c.state);
  const fs::path outside = c.temp->path() / "outside";
  ftp::testing::WriteText(outside / "page.htm", "<p>from elsewhere</p>");
  const char* unread[] = {"locked.htm", "locked", "linked", "loop.htm", "dangling.htm"};
  for (const char* f : {"locked.htm", "locked/s.css", "linked/x.htm", "loop.htm", "dangling.htm",
                        "gone.htm", "out.htm"})
    c.Local(f, "<p>old</p>");
  ASSERT_EQ(c.Run(c.MakePlan(), 1).Failed(), 0);
  Tree want = c.ServerTree();

  fs::permissions(c.local / "locked.htm", fs::perms::none);
  fs::permissions(c.local / "locked", fs::perms::none);
  fs::remove_all(c.local / "linked");
  fs::create_directory_symlink(outside, c.local / "linked");
  for (const char* f : {"loop.htm", "dangling.htm", "gone.htm", "out.htm"}) fs::remove(c.local / f);
  fs::create_symlink("loop.htm", c.local / "loop.htm");
  fs::create_symlink("nowhere.htm", c.local / "dangling.htm");
  fs::create_symlink(outside / "page.htm", c.local / "out.htm");
  c.Local("indexbak.htm", "<p>unsaved draft</p>");  // recorded under another spelling
  int window = 0;
  PreviewRecord::Shared().Written(c.local.string() + "//indexbak.htm", &window);
  Plan plan;
  {
    PermissionsHold hold;
    plan = c.MakePlan();
  }
  fs::permissions(c.local / "locked", fs::perms::owner_all);
  plan.SetDeleteServerOnly(true);

  std::string runs, problems;
  for (auto& f : plan.files) {
    if (f.include) runs += f.path + " ";
    if (f.outside_link) f.include = true;  // ticked
  }
  for (const auto& d : plan.folders) runs += d.include ? d.path + "/ " : "";
  EXPECT_EQ(runs, "gone.htm ");
  for (const auto& p : plan.problems) problems += p + "\n";
  for (const char* name : unread)
    EXPECT_NE(problems.find(std::string("「") + name + "」"), std::string::npos) << problems;
  ASSERT_EQ(c.Run(plan, 1).Failed(), 0);
  want.files.erase("gone.htm");
  want.files["out.htm"] = "<p>from elsewhere</p>";
  EXPECT_EQ(c.ServerTree(), want);
  PreviewRecord::Shared().Release(&window);
}

TEST(PlanWalk, DateOnlyListingsFindEveryChangeAndNoFalseConflict) {
  ftp::testing::TestWatchdog watchdog(120'000);
  Case c(Srv::kVsftpd, text::NameEncoding::kShiftJis);
  const int64_t old = c.now - 400 * 86400;
  // Each row's server copy, or local copy, replaced by one of the same size.
  const struct {
    const char* path;
    const char* local;
    const char* remote;
    int64_t remote_time;
    Reason reason;
  } rows[] = {{"same.htm", nullptr, nullptr, 0, Reason::kUnchanged},
              {"edited.htm", "<p>EDITED</p>", nullptr, 0, Reason::kChanged},
              {"earlier.htm", nullptr, "<p>THEIRS</p>", old - 3 * 86400, Reason::kConflict},
              {"later.htm", nullptr, "<p>theirs</p>", old + 2 * 86400, Reason::kConflict}};
  for (const auto& r : rows) {
    c.Local(r.path, "<p>edited</p>");
    c.LocalTime(r.path, old);
  }
  ASSERT_EQ(c.Run(c.MakePlan(), 1).Failed(), 0);
  // Half a year on: the record holds the minute the listing showed then,
  // the listing now only the date.
  SyncRecord record = LoadRecord(c.RecordFile());
  for (const auto& r : rows) {
    record.files.at(r.path).remote_mtime = old - old % 60;
    c.RemoteTime(r.path, old);
  }
  ASSERT_TRUE(SaveRecord(c.RecordFile(), record));
  for (const auto& r : rows) {
    if (r.local) c.Local(r.path, r.local);
    if (r.local) c.LocalTime(r.path, old);
    if (r.remote) c.Remote(r.path, r.remote);
    if (r.remote) c.RemoteTime(r.path, r.remote_time);
  }
  const Plan plan = c.MakePlan();
  ASSERT_EQ(plan.files.size(), std::size(rows));
  for (const auto& f : plan.files)
    for (const auto& r : rows)
      if (f.path == r.path) {
        EXPECT_STREQ(ReasonText(f.reason), ReasonText(r.reason)) << r.path;
      }
}

// The profile's default exclusions: what they match is neither sent nor,
// with deletion ticked, deleted on the server, on either kind of server;
// the plan names each once (a folder, not what is in it).
TEST(PlanWalk, ExcludedFilesAreNeitherSentNorDeleted) {
  ftp::testing::TestWatchdog watchdog(120'000);
  for (Srv srv : {Srv::kVsftpd, Srv::kPy}) {
    SCOPED_TRACE(static_cast<int>(srv));
    Case c(srv, text::NameEncoding::kUtf8);
    c.exclusions = Exclusions(transfer::kDefaultExclusions);
    for (const char* f : {"index.htm", "sub/page.htm", "sub/page.htm.bak", "draft~", ".git/HEAD",
                          "sub/_notes/dwsync.xml", "Thumbs.db", "sub/.DS_Store"})
      c.Local(f, "<p>local</p>");
    for (const char* f : {"gone.htm", "old.bak", ".svn/entries", "sub/desktop.ini", "x.tmp"})
      c.Remote(f, "<p>kept by the host</p>");
    const Tree before = c.ServerTree();
    Plan plan = c.MakePlan();
    plan.SetDeleteServerOnly(true);
    std::string excluded;
    for (const auto& e : plan.excluded) excluded += e + " ";
    EXPECT_EQ(excluded,
              ".git/ .svn/ Thumbs.db draft~ old.bak sub/.DS_Store sub/_notes/ sub/desktop.ini "
              "sub/page.htm.bak x.tmp ");
    ASSERT_EQ(c.Run(plan, 2).Failed(), 0);
    Tree want = before;
    want.files.erase("gone.htm");
    want.files["index.htm"] = want.files["sub/page.htm"] = "<p>local</p>";
    EXPECT_EQ(c.ServerTree(), want);
  }
}

}  // namespace
}  // namespace hemlo::publish::testing
