// The site sync's plan into the confirmation's rows and the author's ticks
// back into exactly the entries the run does; a run's result into the
// result view, every entry that did not end done named.
#include <gtest/gtest.h>

#include "publish/publish_plan_adapter.h"

namespace hemlo::transfer {
namespace {

using publish::Reason;

TEST(PublishPlanView, RowsTicksAndResults) {
  publish::Plan plan;
  plan.remote_root = "/www";
  plan.problems = {"「\xE2\x9C\x93.htm」は送れません"};
  plan.folders = {
      {"img", "img", Reason::kNew, false, false, true},
      {"keep", "keep", Reason::kUnchanged, false, false, false},
      {"old", "old", Reason::kServerOnly, false, false, false},
      {"page", "page", Reason::kServerOnly, false, true, true},  // a file "page" replaces it
  };
  auto file = [](const char* path, Reason r, int64_t size, bool include, bool required = false) {
    publish::FileEntry f;
    f.path = f.wire = path;
    f.reason = r;
    f.size = size;
    f.include = include;
    f.required = required;
    return f;
  };
  plan.files = {
      file("index.htm", Reason::kChanged, 100, true),
      file("img/a.gif", Reason::kNew, 50, true),
      file("same.htm", Reason::kUnchanged, 10, false),
      file("about.htm", Reason::kConflict, 30, false),
      file("copy.htm", Reason::kNoRecordSameSize, 20, false),
      file("page", Reason::kNew, 5, true),
      file("gone.htm", Reason::kServerOnly, 7, false),
      file("page/x.htm", Reason::kServerOnly, 3, true, true),
      file("link.htm", Reason::kNew, 8, false),
  };
  plan.files.back().outside_link = true;  // a link out of the site folder
  plan.files.push_back(file("new/b.htm", Reason::kMoved, 40, true));
  plan.files.back().moved_from = "b.htm";  // renamed on the server: nothing sent
  std::vector<PlanRowSource> sources;
  PlanView view = ViewOfPlan(plan, &sources);
  struct Row {
    const char* path;
    PlanReason reason;
    bool required;
  };
  const Row rows[] = {
      {"img", PlanReason::kNewFolder, false},
      {"old", PlanReason::kServerOnlyFolder, false},
      {"page", PlanReason::kServerOnlyFolder, true},
      {"index.htm", PlanReason::kChanged, false},
      {"img/a.gif", PlanReason::kNew, false},
      {"about.htm", PlanReason::kConflict, false},
      {"copy.htm", PlanReason::kNoRecordSameSize, false},
      {"page", PlanReason::kNew, false},
      {"gone.htm", PlanReason::kServerOnly, false},
      {"page/x.htm", PlanReason::kServerOnly, true},
      {"link.htm", PlanReason::kOutsideLink, false},
      {"new/b.htm", PlanReason::kMoved, false},
  };
  ASSERT_EQ(view.rows.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(view.rows[i].path, rows[i].path) << i;
    EXPECT_EQ(view.rows[i].reason, rows[i].reason) << i;
    EXPECT_EQ(view.rows[i].required, rows[i].required) << i;
    EXPECT_FALSE(view.rows[i].ticked) << i;
  }
  EXPECT_EQ(view.unchanged, 1);
  EXPECT_EQ(view.rows.back().from, "b.htm");
  EXPECT_EQ(TotalsText(TotalsOf(view)),
            "送信 3件（155 バイト）　移動 1件　フォルダ作成 1件　削除 2件　対象外 5件　変更なし 1件");
  EXPECT_EQ(view.notes, plan.problems);

  // The author ticks the conflict (not the file without a record) and the
  // deletion; then unticks the deletion again: only what a replacement
  // needs goes. The link goes only when ticked.
  struct Case {
    bool conflict, no_record, remove, link;
    std::vector<bool> files_included;    // plan.files order
    std::vector<bool> folders_included;  // plan.folders order
  };
  const Case cases[] = {
      {false,
       false,
       false,
       false,
       {true, true, false, false, false, true, false, true, false, true},
       {true, false, false, true}},
      {true,
       false,
       true,
       false,
       {true, true, false, true, false, true, true, true, false, true},
       {true, false, true, true}},
      {true,
       true,
       false,
       true,
       {true, true, false, true, true, true, false, true, true, true},
       {true, false, false, true}},
  };
  for (const Case& c : cases) {
    view.rows[5].ticked = c.conflict;
    view.rows[6].ticked = c.no_record;
    view.rows[10].ticked = c.link;
    view.delete_server_only = c.remove;
    ApplyChoices(view, sources, plan);
    for (size_t i = 0; i < plan.files.size(); ++i)
      EXPECT_EQ(plan.files[i].include, c.files_included[i]) << plan.files[i].path;
    for (size_t i = 0; i < plan.folders.size(); ++i)
      EXPECT_EQ(plan.folders[i].include, c.folders_included[i]) << plan.folders[i].path;
    EXPECT_EQ(plan.delete_server_only, c.remove);
  }

  publish::RunResult run;
  run.cancelled = true;
  run.notes = {"接続 2 を開けませんでした"};
  using publish::Outcome;
  run.entries = {
      {"img", true, Reason::kNew, Outcome::kDone, {}},
      {"index.htm", false, Reason::kChanged, Outcome::kDone, {}},
      {"img/a.gif", false, Reason::kNew, Outcome::kFailed, "拒否されました"},
      {"about.htm", false, Reason::kConflict, Outcome::kCancelled, {}},
      {"copy.htm", false, Reason::kNoRecordSameSize, Outcome::kPending, {}},
      {"page/x.htm", false, Reason::kServerOnly, Outcome::kDone, {}},
      {"page", true, Reason::kServerOnly, Outcome::kCancelled, {}},
      {"new/b.htm", false, Reason::kMoved, Outcome::kDone, {}},
  };
  const PublishResult r = ResultOfRun(run, plan);
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(r.files_sent, 1);
  EXPECT_EQ(r.bytes_sent, 100);
  EXPECT_EQ(r.folders_made, 1);
  EXPECT_EQ(r.deleted, 1);
  EXPECT_EQ(r.moved, 1);
  EXPECT_NE(ResultText(r).find("（100 バイト）、移動 1件、"), std::string::npos) << ResultText(r);
  EXPECT_EQ(r.notes, run.notes);
  const std::pair<std::string, std::string> failures[] = {
      {"img/a.gif", "拒否されました"},
      {"about.htm", "中断のため送信していません"},
      {"copy.htm", "中断のため送信していません"},
      {"page", "中断のため削除していません"},
  };
  ASSERT_EQ(r.failures.size(), std::size(failures));
  for (size_t i = 0; i < std::size(failures); ++i) {
    EXPECT_EQ(r.failures[i].path, failures[i].first);
    EXPECT_EQ(r.failures[i].message, failures[i].second);
  }
}

}  // namespace
}  // namespace hemlo::transfer
