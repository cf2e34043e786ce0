// Moving a page and a folder of a small site whose files are all UTF-8 with
// LF or all Shift-JIS with CRLF: every link form rewritten at its line, the
// look-alikes kept, script text listed but untouched, and undo putting every
// byte and name back.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "site/link_rewrite.h"
#include "site_fixture.h"
#include "text/cp932.h"

namespace hemlo::site::testing {
namespace {

struct Row {
  const char* file;
  const char* before;  // one line, UTF-8
  const char* after;   // nullptr: stays; "?": listed unchecked, stays
};

struct Move {
  const char* from;
  const char* to;
  std::vector<Row> rows;
};

const Move kMoves[] = {
    {"docs/ページ.html",
     "new/sub/記事.html",
     {
         {"index.html", R"x(<a href="docs/ページ.html">)x", R"x(<a href="new/sub/記事.html">)x"},
         {"index.html", R"x(<a href="./docs/ページ.html#top">)x",
          R"x(<a href="./new/sub/記事.html#top">)x"},
         {"index.html", R"x(<a href="/docs/ページ.html?x=1&amp;y=2#f">)x",
          R"x(<a href="/new/sub/記事.html?x=1&amp;y=2#f">)x"},
         {"index.html", R"x(<form action="docs/%E3%83%9A%E3%83%BC%E3%82%B8.html">)x",
          R"x(<form action="new/sub/%E8%A8%98%E4%BA%8B.html">)x"},
         {"index.html", R"x(<a href='docs/%83y%81%5B%83W.html'>)x",
          R"x(<a href='new/sub/%8B%4C%8E%96.html'>)x"},
         {"lone.html", R"x(<a href='docs/%83y%81%5B%83W.html'>)x",
          R"x(<a href='new/sub/%8B%4C%8E%96.html'>)x"},
         {"index.html", R"x(<a href="ページ.html">)x", nullptr},
         {"index.html", R"x(<a href="docs/ページ.html.bak">)x", nullptr},
         {"index.html", R"x(<a href="http://example.com/docs/ページ.html">)x", nullptr},
         {"index.html", R"x(<script>location.href = "docs/ページ.html";</script>)x", "?"},
         {"index.html", R"x(<a href="#" onclick="go('docs/ページ.html')">)x", "?"},
         {"docs/other.html", R"x(<a href = ページ.html>)x", R"x(<a href = ../new/sub/記事.html>)x"},
         {"docs/other.html", R"x(<a href="../docs/ページ.html">)x",
          R"x(<a href="../new/sub/記事.html">)x"},
         {"docs/ページ.html", R"x(<a href="other.html">)x", R"x(<a href="../../docs/other.html">)x"},
         {"docs/ページ.html", R"x(<a href="#top">)x", nullptr},
         {"docs/ページ.html", R"x(<a href="ページ.html#x">)x", R"x(<a href="記事.html#x">)x"},
         {"docs/ページ.html", R"x(<a href="/index.html">)x", nullptr},
         {"docs/ページ.html", R"x(<p style="background: url(../img/p.png)">)x",
          R"x(<p style="background: url(../../img/p.png)">)x"},
     }},
    {"img",
     "media/画像",
     {
         {"index.html", R"x(<img src="img/p.png" srcset="img/p.png 1x,img/p2.png 2x">)x",
          R"x(<img src="media/画像/p.png" srcset="media/画像/p.png 1x,media/画像/p2.png 2x">)x"},
         {"index.html", R"x(<video poster="./img/p.png"><object data="/img/p.svg">)x",
          R"x(<video poster="./media/画像/p.png"><object data="/media/画像/p.svg">)x"},
         {"index.html", R"x(<div style="background: url('img/p.png')">)x",
          R"x(<div style="background: url('media/画像/p.png')">)x"},
         {"index.html", R"x(<style>b { background: url(img/p.png) }</style>)x",
          R"x(<style>b { background: url(media/画像/p.png) }</style>)x"},
         {"index.html", R"x(<a href="img/">)x", R"x(<a href="media/画像/">)x"},
         {"index.html", R"x(<img src="images/p.png" alt="img/p.png">)x", nullptr},
         {"css/s.css", R"x(@import "../img/x.css"; a { background: url("../img/p.png") })x",
          R"x(@import "../media/画像/x.css"; a { background: url("../media/画像/p.png") })x"},
         {"css/s.css", R"x(/* url(../img/p.png) */)x", nullptr},
         {"img/list.html", R"x(<a href="../index.html"><a href="p.png">)x",
          R"x(<a href="../../index.html"><a href="p.png">)x"},
     }},
};

using Tree = std::map<std::string, std::string>;

class LinkRewrite : public SiteFolder {
 protected:
  Tree Snapshot() const {
    Tree t;
    for (const auto& e : fs::recursive_directory_iterator(root_))
      t[Name(e.path())] = e.is_regular_file() ? Read(Name(e.path())) : "(folder)";
    return t;
  }
};

TEST_F(LinkRewrite, EveryFormInBothEncodingsMovesAndUndoes) {
  for (const bool sjis : {false, true}) {
    for (const Move& m : kMoves) {
      SCOPED_TRACE(std::string(sjis ? "Shift-JIS CRLF " : "UTF-8 LF ") + m.from);
      fs::remove_all(root_);
      fs::create_directories(root_ / "new/sub");
      fs::create_directories(root_ / "media");
      const char* eol = sjis ? "\r\n" : "\n";
      auto bytes = [&](const std::string& utf8) { return sjis ? text::Sjis(utf8) : utf8; };
      // Files as rows, line 1 the charset; and what each should become.
      std::map<std::string, std::pair<std::string, std::string>> files;
      std::set<std::pair<std::string, std::size_t>> changed, unchecked;
      std::map<std::string, std::size_t> lines;
      for (const Row& r : m.rows) {
        auto& [before, after] = files[r.file];
        if (before.empty()) {
          const bool css = std::string(r.file).ends_with(".css");
          before = after = css ? std::string("/* 日本語 */") + eol
                               : std::string("<meta charset=\"") +
                                     (sjis ? "Shift_JIS" : "utf-8") + "\"><p>日本語</p>" + eol;
          lines[r.file] = 1;
        }
        const std::size_t line = ++lines[r.file];
        before += r.before + std::string(eol);
        const bool rewritten = r.after && std::string(r.after) != "?";
        after += (rewritten ? r.after : r.before) + std::string(eol);
        if (rewritten) changed.insert({r.file, line});
        if (r.after && std::string(r.after) == "?") unchecked.insert({r.file, line});
      }
      for (const auto& [name, texts] : files) Put(name, bytes(texts.first));
      if (fs::is_directory(root_ / m.from)) Put(std::string(m.from) + "/p.png", "PNG");
      const Tree original = Snapshot();

      const LinkPlan plan = PlanLinkUpdate(root_, root_ / m.from, root_ / m.to);
      ASSERT_EQ(plan.error, "");
      std::set<std::pair<std::string, std::size_t>> listed, listed_unchecked;
      for (const LinkFile& f : plan.files)
        for (const LinkChange& c : f.changes)
          (c.decidable ? listed : listed_unchecked).insert({Name(f.path), c.line});
      EXPECT_EQ(listed, changed);
      EXPECT_EQ(listed_unchecked, unchecked);

      const MoveOutcome done = ApplyLinkUpdate(plan);
      ASSERT_TRUE(done.ok) << done.message;
      EXPECT_FALSE(fs::exists(root_ / m.from));
      for (const auto& [name, texts] : files) {
        const bool inside = name == m.from || name.starts_with(std::string(m.from) + "/");
        const fs::path now =
            !inside ? fs::path(name)
                    : fs::path(std::string(m.to) + name.substr(std::string(m.from).size()));
        EXPECT_EQ(Read(now.string()), bytes(texts.second)) << now;
      }

      const MoveUndoOutcome undone = UndoLinkUpdate(done.record);
      ASSERT_TRUE(undone.ok) << undone.message;
      EXPECT_EQ(Snapshot(), original);
    }
  }
}

}  // namespace
}  // namespace hemlo::site::testing
