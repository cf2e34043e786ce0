// The site sync against real servers, one table: each row builds a site and
// a server state, plans, runs, and checks the plan's reasons, the server's
// bytes afterwards, that the operations were exactly the plan's, that no
// temporary is left, and that planning again finds nothing left to send.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>

#include "publish/publish_case.h"
#include "support/ftp_test_net.h"
#include "support/test_watchdog.h"

namespace hemlo::publish::testing {
namespace {

using Fn = std::function<void(Case&)>;

struct Row {
  std::string name;
  Srv srv = Srv::kVsftpd;
  Fn setup;                   // before the first publish
  bool publish_first = true;  // the first publish makes the record
  Fn change;                  // after it
  // "path=reason|..." (folders end in "/"); entries not named are unchanged,
  // or of the reason given for "*".
  std::string expect;
  bool tick_conflicts = false;
  bool tick_delete = false;
  int connections = 2;
  text::NameEncoding encoding = text::NameEncoding::kShiftJis;  // kUtf8 forces UTF-8
  bool changed_only = false;
  int problems = 0;         // names the connection cannot carry
  bool cancel = false;      // cancel after the first file is done, then run again
  int max_connections = 8;  // the run may use at most this many
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

std::string Bytes(size_t n, char seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + static_cast<char>(i * 7 % 61));
  return s;
}

void BaseSite(Case& c) {
  c.Local("index.htm", "<html>top</html>");
  c.Local("about.htm", "<html>about us</html>");
  c.Local("img/logo.gif", Bytes(100, 'a'));
  c.Local("img/photo.jpg", Bytes(3000, 'b'));
  c.Local("css/site.css", "body{}");
  c.Local("blog/2024/post.htm", "<p>post</p>");
}
constexpr const char* kBaseNew =
    "index.htm=new|about.htm=new|img/=new|img/logo.gif=new|img/photo.jpg=new|css/=new|"
    "css/site.css=new|blog/=new|blog/2024/=new|blog/2024/post.htm=new";

// A site already on the server, put there by another tool: each file
// uploaded `upload_after` seconds after its last local edit.
Fn ExistingSite(int64_t upload_after) {
  return [upload_after](Case& c) {
    BaseSite(c);
    for (const char* f : {"index.htm", "about.htm", "img/logo.gif", "img/photo.jpg", "css/site.css",
                          "blog/2024/post.htm"}) {
      c.LocalTime(f, c.now - 7200);
      c.Remote(f, ftp::testing::ReadText(c.local / f));
      c.RemoteTime(f, c.now - 7200 + upload_after);
    }
  };
}

Reason ReasonOf(const std::string& word) {
  static const std::map<std::string, Reason> m = {{"new", Reason::kNew},
                                                  {"changed", Reason::kChanged},
                                                  {"unchanged", Reason::kUnchanged},
                                                  {"conflict", Reason::kConflict},
                                                  {"server", Reason::kServerOnly},
                                                  {"norecord", Reason::kNoRecordSameSize}};
  return m.at(word);
}

std::map<std::string, Reason> ParseExpect(const std::string& text) {
  std::map<std::string, Reason> out;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, '|')) {
    if (item.empty()) continue;
    const size_t eq = item.rfind('=');
    out[item.substr(0, eq)] = ReasonOf(item.substr(eq + 1));
  }
  return out;
}

std::map<std::string, Reason> ReasonsOf(const Plan& plan) {
  std::map<std::string, Reason> got;
  for (const auto& d : plan.folders) got[d.path + "/"] = d.reason;
  for (const auto& f : plan.files) got[f.path] = f.reason;
  return got;
}

std::string Describe(const std::map<std::string, Reason>& m) {
  std::string s;
  for (const auto& [p, r] : m) s += p + "=" + ReasonText(r) + " ";
  return s;
}

void ExpectNoTemporary(const Tree& t) {
  for (const auto& [p, bytes] : t.files)
    EXPECT_FALSE(IsTemporaryName(fs::path(p).filename().string())) << "left behind: " << p;
}

// The row's reason for `path` (folders end in "/").
Reason RowReason(const std::map<std::string, Reason>& want, const std::string& path) {
  auto it = want.find(path);
  if (it != want.end()) return it->second;
  return want.count("*") ? want.at("*") : Reason::kUnchanged;
}

// Whether a row's entry goes to (or from) the server, from its reason and
// the row's ticks alone: what is new or changed goes; a conflict only when
// ticked; a server-only entry when ticked or when a local file now has the
// name of a folder above it.
bool Sent(const Row& row, const Case& c, const std::string& path, Reason r) {
  if (r == Reason::kNew || r == Reason::kChanged) return true;
  if (r == Reason::kConflict) return row.tick_conflicts;
  if (r != Reason::kServerOnly) return false;
  if (row.tick_delete) return true;
  for (fs::path p = fs::path(path).parent_path(); !p.empty(); p = p.parent_path())
    if (fs::is_regular_file(c.local / p)) return true;
  return false;
}

// The server tree a completed run leaves: the site, except the entries the
// row keeps as they were before (with everything below them). Publishing on
// save deletes nothing.
Tree ExpectedTree(const Row& row, const Case& c, const Tree& before) {
  Tree t = Mirror(c);
  const auto keep = [&](const std::string& wire) {
    const std::string below = wire + "/";
    const auto at = [&](const std::string& p) { return p == wire || p.rfind(below, 0) == 0; };
    std::erase_if(t.files, [&](const auto& kv) { return at(kv.first); });
    std::erase_if(t.folders, at);
    for (const auto& kv : before.files)
      if (at(kv.first)) t.files.insert(kv);
    for (const auto& f : before.folders)
      if (at(f)) t.folders.insert(f);
  };
  for (const auto& [path, r] : ParseExpect(row.expect)) {
    const std::string rel = path.back() == '/' ? path.substr(0, path.size() - 1) : path;
    if (rel != "*" && (r == Reason::kConflict || r == Reason::kServerOnly) && !Sent(row, c, rel, r))
      keep(*c.names.ToWire(rel));
  }
  if (row.changed_only) {
    const Tree site = Mirror(c);
    for (const auto& kv : before.files)
      if (!site.files.count(kv.first) && !site.folders.count(kv.first)) keep(kv.first);
  }
  return t;
}

// The operations of a completed run are the row's, no more.
void ExpectOperationsOfRow(const Row& row, const Case& c, const Plan& plan, const Tree& before,
                           const RunResult& r) {
  std::multiset<std::string> uploads, deletes, mkdirs, rmdirs;
  for (const auto& op : r.operations) {
    if (op.kind == Operation::Kind::kUpload) uploads.insert(op.wire);
    if (op.kind == Operation::Kind::kDelete) deletes.insert(op.wire);
    if (op.kind == Operation::Kind::kMakeFolder) mkdirs.insert(op.wire);
    if (op.kind == Operation::Kind::kRemoveFolder) rmdirs.insert(op.wire);
  }
  const auto want = ParseExpect(row.expect);
  std::multiset<std::string> want_up, want_del, want_mk, want_rm;
  for (const auto& f : plan.files) {
    const Reason reason = RowReason(want, f.path);
    if (!Sent(row, c, f.path, reason)) continue;
    if (reason == Reason::kServerOnly) {
      want_del.insert(f.wire);
      continue;
    }
    want_up.insert(f.wire);
    if (before.folders.count(f.wire)) want_rm.insert(f.wire);  // a folder of its name
  }
  for (const auto& d : plan.folders) {
    const Reason reason = RowReason(want, d.path + "/");
    if (!Sent(row, c, d.path, reason)) continue;
    if (reason == Reason::kServerOnly) {
      want_rm.insert(d.wire);
      continue;
    }
    want_mk.insert(d.wire);
    if (before.files.count(d.wire)) want_del.insert(d.wire);  // a file of its name
  }
  EXPECT_EQ(uploads, want_up);
  EXPECT_EQ(deletes, want_del);
  EXPECT_EQ(mkdirs, want_mk);
  EXPECT_EQ(rmdirs, want_rm);
}

class PublishTable : public ::testing::TestWithParam<Row> {};

TEST_P(PublishTable, PlanRunAndServerBytes) {
  ftp::testing::TestWatchdog watchdog(240'000);
  const Row& row = GetParam();
  Case c(row.srv, row.encoding);
  if (row.setup) row.setup(c);
  if (row.publish_first) {
    const RunResult first = c.Run(c.MakePlan(), 2);
    ASSERT_EQ(first.Failed(), 0);
  }
  if (row.change) row.change(c);

  Plan plan = c.MakePlan(true, row.changed_only);
  if (row.tick_conflicts) plan.SetIncludeConflicts(true);
  if (row.tick_delete) plan.SetDeleteServerOnly(true);
  const auto want = ParseExpect(row.expect);
  const auto got = ReasonsOf(plan);
  for (const auto& [p, r] : want) {
    if (p == "*") continue;
    auto it = got.find(p);
    ASSERT_NE(it, got.end()) << "not planned: " << p << "\nplan: " << Describe(got);
    EXPECT_EQ(ReasonText(it->second), std::string(ReasonText(r))) << p;
  }
  const Reason others = want.count("*") ? want.at("*") : Reason::kUnchanged;
  for (const auto& [p, r] : got) {
    if (want.count(p)) continue;
    EXPECT_EQ(ReasonText(r), std::string(ReasonText(others))) << p;
  }
  EXPECT_EQ(static_cast<int>(plan.problems.size()), row.problems);

  const Tree before = c.ServerTree();
  if (!row.cancel) {
    const RunResult r = c.Run(plan, row.connections);
    EXPECT_EQ(r.Failed(), 0) << (r.entries.empty() ? "" : r.entries.front().message);
    EXPECT_LE(r.most_at_once, row.max_connections);
    if (!plan.Empty()) {
      EXPECT_GE(r.connections_used, 1);
    }
    const Tree after = c.ServerTree();
    EXPECT_EQ(after, ExpectedTree(row, c, before));
    ExpectOperationsOfRow(row, c, plan, before, r);
    ExpectNoTemporary(after);
  } else {
    bool once = false;
    const RunResult r = c.Run(plan, row.connections, [&](PublishRun& run, const EntryResult& e) {
      if (e.folder || once) return;
      once = true;
      run.Cancel();
    });
    EXPECT_TRUE(r.cancelled);
    EXPECT_GT(static_cast<int>(r.entries.size()), r.Done()) << "the cancel came too late";
    // Every server file is whole: the old bytes or the new ones.
    const Tree after = c.ServerTree();
    const Tree full = ExpectedTree(row, c, before);
    for (const auto& [p, bytes] : after.files) {
      if (IsTemporaryName(fs::path(p).filename().string())) continue;
      auto b = before.files.find(p);
      auto f = full.files.find(p);
      EXPECT_TRUE((b != before.files.end() && b->second == bytes) ||
                  (f != full.files.end() && f->second == bytes))
          << p << " is neither old nor new";
    }
    ExpectNoTemporary(after);
    Plan again = c.MakePlan();
    if (row.tick_delete) again.SetDeleteServerOnly(true);
    const RunResult r2 = c.Run(again, row.connections);
    EXPECT_EQ(r2.Failed(), 0);
    EXPECT_EQ(c.ServerTree(), full);
  }

  // Nothing left to send: every change went, and the record knows it.
  const Plan next = c.MakePlan();
  int conflicts_left = 0;
  for (const auto& f : plan.files)
    if (f.reason == Reason::kConflict && !row.tick_conflicts) ++conflicts_left;
  int conflicts_now = 0;
  for (const auto& f : next.files) {
    EXPECT_NE(f.reason, Reason::kNew) << f.path;
    EXPECT_NE(f.reason, Reason::kChanged) << f.path;
    EXPECT_NE(f.reason, Reason::kNoRecordSameSize) << f.path;
    if (f.reason == Reason::kConflict) ++conflicts_now;
  }
  EXPECT_EQ(conflicts_now, conflicts_left);
}

std::vector<Row> Rows() {
  std::vector<Row> rows;
  auto both = [&](Row r) {
    for (Srv s : {Srv::kVsftpd, Srv::kPy}) {
      Row x = r;
      x.srv = s;
      x.name = r.name + "_" + SrvName(s);
      rows.push_back(x);
    }
  };
  auto one = [&](Row r, Srv s) {
    r.srv = s;
    r.name = r.name + "_" + SrvName(s);
    rows.push_back(r);
  };

  both({.name = "first_publish_to_empty_folder",
        .setup = BaseSite,
        .publish_first = false,
        .expect = kBaseNew});
  both({.name = "nothing_changed", .setup = BaseSite});
  both({.name = "page_edited",
        .setup = BaseSite,
        .change = [](Case& c) { c.Local("about.htm", "<html>about us, longer</html>"); },
        .expect = "about.htm=changed"});
  both({.name = "same_size_edit_with_older_date",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              c.Local("about.htm", "<html>ABOUT US</html>");
              c.LocalTime("about.htm", c.now - 400 * 86400);
            },
        .expect = "about.htm=changed"});
  both({.name = "same_size_edit_with_the_recorded_date",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              const int64_t t = c.LocalTimeOf("img/logo.gif");
              c.Local("img/logo.gif", Bytes(100, 'z'));
              c.LocalTime("img/logo.gif", t);
            },
        .expect = "img/logo.gif=changed"});
  both({.name = "new_file_and_new_folder",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              c.Local("img/new.png", Bytes(500, 'n'));
              c.Local("news/today.htm", "<p>today</p>");
            },
        .expect = "img/new.png=new|news/=new|news/today.htm=new"});
  both({.name = "deleted_file_listed_not_deleted",
        .setup = BaseSite,
        .change = [](Case& c) { c.LocalRemove("about.htm"); },
        .expect = "about.htm=server"});
  both({.name = "deleted_file_deleted_when_ticked",
        .setup = BaseSite,
        .change = [](Case& c) { c.LocalRemove("about.htm"); },
        .expect = "about.htm=server",
        .tick_delete = true});
  both({.name = "deleted_folder_deleted_when_ticked",
        .setup = BaseSite,
        .change = [](Case& c) { c.LocalRemove("blog"); },
        .expect = "blog/=server|blog/2024/=server|blog/2024/post.htm=server",
        .tick_delete = true});
  // Renamed alone it is a move (publish_move_test); edited too, a new file.
  both({.name = "renamed_and_edited_file",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              fs::rename(c.local / "about.htm", c.local / "profile.htm");
              c.Local("profile.htm", "<html>our profile</html>");
            },
        .expect = "about.htm=server|profile.htm=new",
        .tick_delete = true});
  both({.name = "file_replaced_by_folder",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              c.LocalRemove("img/logo.gif");
              c.Local("img/logo.gif/small.gif", Bytes(50, 's'));
            },
        .expect = "img/logo.gif/=new|img/logo.gif/small.gif=new"});
  both({.name = "folder_replaced_by_file",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              c.LocalRemove("css");
              c.Local("css", "not a folder any more");
            },
        .expect = "css=new|css/site.css=server"});
  both({.name = "folder_to_file_and_back",
        .setup =
            [](Case& c) {
              BaseSite(c);
              c.LocalRemove("css");
              c.Local("css", "a file for a while");
            },
        .change =
            [](Case& c) {
              c.LocalRemove("css");
              c.Local("css/site.css", "body{color:red}");
            },
        .expect = "css/=new|css/site.css=new"});
  both({.name = "conflict_edited_on_server",
        .setup = BaseSite,
        .change = [](Case& c) { c.Remote("about.htm", "<html>edited by someone else</html>"); },
        .expect = "about.htm=conflict"});
  both({.name = "conflict_overwritten_when_ticked",
        .setup = BaseSite,
        .change = [](Case& c) { c.Remote("about.htm", "<html>edited by someone else</html>"); },
        .expect = "about.htm=conflict",
        .tick_conflicts = true});
  both({.name = "conflict_same_size_other_date",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              c.Remote("index.htm", "<html>TOP!</html>");
              c.RemoteTime("index.htm", c.now + 2 * 86400);
            },
        .expect = "index.htm=conflict"});
  both({.name = "conflict_edited_on_both_sides",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              c.Local("about.htm", "<html>about me</html>");
              c.Remote("about.htm", "<html>edited by someone else</html>");
            },
        .expect = "about.htm=conflict"});
  both({.name = "conflict_deleted_on_server",
        .setup = BaseSite,
        .change = [](Case& c) { c.RemoteRemove("img/photo.jpg"); },
        .expect = "img/photo.jpg=conflict"});
  both({.name = "no_record_site_uploaded_after_edits",
        .setup = ExistingSite(1800),
        .publish_first = false,
        .expect = "index.htm=norecord|about.htm=norecord|img/logo.gif=norecord|"
                  "img/photo.jpg=norecord|css/site.css=norecord|blog/2024/post.htm=norecord"});
  both({.name = "no_record_edit_after_upload_same_size",
        .setup = ExistingSite(1800),
        .publish_first = false,
        .change =
            [](Case& c) {
              c.Local("about.htm", "<html>ABOUT US</html>");
              c.LocalTime("about.htm", c.now - 600);
            },
        .expect = "index.htm=norecord|about.htm=changed|img/logo.gif=norecord|"
                  "img/photo.jpg=norecord|css/site.css=norecord|blog/2024/post.htm=norecord"});
  both({.name = "no_record_other_size_and_server_only",
        .setup = ExistingSite(1800),
        .publish_first = false,
        .change =
            [](Case& c) {
              c.Local("index.htm", "<html>a longer top page</html>");
              c.Remote("old.htm", "old page");
            },
        .expect = "index.htm=changed|about.htm=norecord|img/logo.gif=norecord|"
                  "img/photo.jpg=norecord|css/site.css=norecord|blog/2024/post.htm=norecord|"
                  "old.htm=server"});
  for (Srv s : {Srv::kVsftpdPlus9, Srv::kPyPlus9, Srv::kVsftpdMinus5, Srv::kPyMinus5}) {
    one({.name = "clock_no_record_uploaded_after_edits",
         .setup = ExistingSite(1800),
         .publish_first = false,
         .expect = "index.htm=norecord|about.htm=norecord|img/logo.gif=norecord|"
                   "img/photo.jpg=norecord|css/site.css=norecord|blog/2024/post.htm=norecord"},
        s);
    one({.name = "clock_no_record_edit_after_upload",
         .setup = ExistingSite(1800),
         .publish_first = false,
         .change =
             [](Case& c) {
               c.Local("css/site.css", "body{COLOR}");
               c.LocalTime("css/site.css", c.now - 600);
             },
         .expect = "index.htm=norecord|about.htm=norecord|img/logo.gif=norecord|"
                   "img/photo.jpg=norecord|css/site.css=changed|blog/2024/post.htm=norecord"},
        s);
    one({.name = "clock_with_record_edit",
         .setup = BaseSite,
         .change = [](Case& c) { c.Local("index.htm", "<html>new top page</html>"); },
         .expect = "index.htm=changed"},
        s);
  }
  const auto japanese = [](Case& c) {
    c.Local("日本語/ページ.htm", "<p>ページ</p>");
    c.Local("表示.htm", "<p>表示</p>");  // 表 ends in the byte of "\\" in Shift-JIS
    c.Local("index.htm", "top");
  };
  both({.name = "japanese_names",
        .setup = japanese,
        .publish_first = false,
        .expect = "日本語/=new|日本語/ページ.htm=new|表示.htm=new|index.htm=new"});
  both({.name = "japanese_names_edited",
        .setup = japanese,
        .change = [](Case& c) { c.Local("日本語/ページ.htm", "<p>ページ２</p>"); },
        .expect = "日本語/ページ.htm=changed"});
  one({.name = "japanese_names_utf8",
       .setup = japanese,
       .publish_first = false,
       .expect = "日本語/=new|日本語/ページ.htm=new|表示.htm=new|index.htm=new",
       .encoding = text::NameEncoding::kUtf8},
      Srv::kVsftpd);
  one({.name = "name_shift_jis_cannot_carry",
       .setup =
           [](Case& c) {
             c.Local("index.htm", "top");
             c.Local("한국.htm", "ko");
           },
       .publish_first = false,
       .expect = "index.htm=new",
       .problems = 1},
      Srv::kVsftpd);
  both({.name = "cancel_in_the_middle_and_rerun",
        .setup =
            [](Case& c) {
              for (int i = 0; i < 24; ++i)
                c.Local("pages/p" + std::to_string(i) + ".htm", Bytes(20000 + i, 'p'));
            },
        .publish_first = false,
        .expect = "*=new",
        .connections = 2,
        .cancel = true});
  both({.name = "cancel_replacing_pages_keeps_old_or_new",
        .setup =
            [](Case& c) {
              for (int i = 0; i < 24; ++i)
                c.Local("pages/p" + std::to_string(i) + ".htm", Bytes(20000 + i, 'p'));
            },
        .change =
            [](Case& c) {
              for (int i = 0; i < 24; ++i)
                c.Local("pages/p" + std::to_string(i) + ".htm", Bytes(30000 + i, 'q'));
            },
        .expect = "*=changed|pages/=unchanged",
        .connections = 3,
        .cancel = true});
  both({.name = "leftover_temporary_removed", .setup = BaseSite, .change = [](Case& c) {
          c.Remote("img/" + TemporaryName(0x1234abcd), "half a file");
          c.Remote(TemporaryName(0xdeadbeef), "another half");
        }});
  one({.name = "connection_limit_two_when_four_asked",
       .setup =
           [](Case& c) {
             for (int i = 0; i < 20; ++i)
               c.Local("f/p" + std::to_string(i) + ".htm", Bytes(2000, 'x'));
           },
       .publish_first = false,
       .expect = "*=new",
       .connections = 4,
       .max_connections = 2},
      Srv::kPyLimit2);
  one({.name = "server_refusing_to_rename_over_a_file",
       .setup = BaseSite,
       .change =
           [](Case& c) {
             c.Local("index.htm", "<html>top, new</html>");
             c.Local("img/logo.gif", Bytes(120, 'L'));
           },
       .expect = "index.htm=changed|img/logo.gif=changed"},
      Srv::kPyNoRenameOver);
  one({.name = "connections_cut_mid_run_lose_no_file",
       .setup =
           [](Case& c) {
             for (int i = 0; i < 30; ++i)
               c.Local("f/p" + std::to_string(i) + ".htm", Bytes(4000, 'c'));
           },
       .publish_first = false,
       .expect = "*=new",
       .connections = 4},
      Srv::kPyCutting);
  one({.name = "connections_cut_while_replacing_pages",
       .setup =
           [](Case& c) {
             for (int i = 0; i < 16; ++i)
               c.Local("f/p" + std::to_string(i) + ".htm", Bytes(3000, 'o'));
           },
       .change =
           [](Case& c) {
             for (int i = 0; i < 16; ++i)
               c.Local("f/p" + std::to_string(i) + ".htm", Bytes(3500, 'n'));
           },
       .expect = "*=changed|f/=unchanged",
       .connections = 3},
      Srv::kPyCutting);
  both({.name = "four_connections_many_files",
        .setup =
            [](Case& c) {
              for (int d = 0; d < 4; ++d)
                for (int i = 0; i < 12; ++i)
                  c.Local("d" + std::to_string(d) + "/f" + std::to_string(i) + ".txt",
                          Bytes(1000 + static_cast<size_t>(i), static_cast<char>('a' + d)));
            },
        .publish_first = false,
        .expect = "*=new",
        .connections = 4});
  both({.name = "one_connection",
        .setup = BaseSite,
        .publish_first = false,
        .expect = kBaseNew,
        .connections = 1});
  both({.name = "empty_file_and_back",
        .setup =
            [](Case& c) {
              BaseSite(c);
              c.Local("empty.txt", "");
            },
        .change = [](Case& c) { c.Local("empty.txt", "now something"); },
        .expect = "empty.txt=changed"});
  both({.name = "hidden_file_and_space_in_name",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              c.Local(".htaccess", "Options -Indexes");
              c.Local("my page.htm", "<p>mine</p>");
            },
        .expect = ".htaccess=new|my page.htm=new"});
  both({.name = "deep_folders",
        .setup = BaseSite,
        .change = [](Case& c) { c.Local("a/b/c/d/e.htm", "deep"); },
        .expect = "a/=new|a/b/=new|a/b/c/=new|a/b/c/d/=new|a/b/c/d/e.htm=new"});
  both({.name = "publish_on_save_plans_only_changes",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              c.Local("blog/2024/post.htm", "<p>post, edited</p>");
              c.Remote("server-only.htm", "kept");
            },
        .expect = "blog/2024/post.htm=changed",
        .changed_only = true});
  both({.name = "publish_on_save_new_folder",
        .setup = BaseSite,
        .change = [](Case& c) { c.Local("blog/2025/first.htm", "<p>first</p>"); },
        .expect = "blog/2025/=new|blog/2025/first.htm=new",
        .changed_only = true});
  both({.name = "publish_on_save_conflict",
        .setup = BaseSite,
        .change =
            [](Case& c) {
              c.Local("about.htm", "<html>about me</html>");
              c.Remote("about.htm", "<html>edited by someone else</html>");
            },
        .expect = "about.htm=conflict",
        .changed_only = true});
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Cases, PublishTable, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace hemlo::publish::testing
