// Shared parts across a small site: copies at three folder depths in both
// encodings, a hand-edited copy, broken markers, a missing part and a
// character a Shift-JIS page cannot hold; every file compared byte for byte.
#include <gtest/gtest.h>

#include "site/shared_parts.h"
#include "site/site_replace.h"
#include "site_fixture.h"
#include "text/cp932.h"

namespace hemlo::site::testing {
namespace {

using text::Sjis;

// The menu part, as written in Library/ and as a page at `up` ("", "../",
// "../../") below the site folder holds it; `p` is sub/p.htm seen from there.
std::string Menu(const std::string& version, const std::string& up = "../",
                 const std::string& p = "../sub/p.htm", const std::string& lib = "") {
  return "\n<a href=\"" + up + "index.htm\">ホーム</a> <img src=\"" + up + "img/a.png\" srcset=\"" +
         up + "img/a.png 1x, " + up + "img/b.png 2x\">\n<span style=\"background:url('" + up +
         "img/bg.png')\"></span><a href=\"http://example.com/\">x</a><a href=\"#top\">t</a>"
         "<a href=\"" + p + "?q=1#f\">p</a><a href=\"" + lib + "other.htm\">" + version + "</a>\n";
}
std::string Held(const std::string& copy, const std::string& name = "/Library/menu.lbi") {
  return "<!-- #BeginLibraryItem \"" + name + "\" -->" + copy + "<!-- #EndLibraryItem -->";
}
std::string Crlf(std::string s) {
  for (std::size_t i = 0; (i = s.find('\n', i)) != std::string::npos; i += 2) s.insert(i, "\r");
  return s;
}

class SharedParts : public SiteFolder {
 protected:
  fs::path Records() const { return root_ / ".records"; }
};

TEST_F(SharedParts, UpdatesEveryCopyForItsFolderAndEncodingAndLeavesTheRestAlone) {
  const std::string root_v1 = Menu("v1", "", "sub/p.htm", "Library/");
  const std::string root_v2 = Menu("v2", "", "sub/p.htm", "Library/");
  const std::string sub_v1 = Menu("v1", "../", "p.htm", "../Library/");
  const std::string sub_v2 = Menu("v2", "../", "p.htm", "../Library/");
  const std::string deep_v1 = Menu("v1", "../../", "../p.htm", "../../Library/");
  const std::string deep_v2 = Menu("v2", "../../", "../p.htm", "../../Library/");
  struct Case {
    const char* page;
    std::string before;
    std::string after;  // after the update with the hand-edited page left unticked
  };
  const std::vector<Case> cases = {
      {"index.htm", Sjis(Crlf("<p>頭</p>" + Held(root_v1) + "\n<p>尾</p>\n")),
       Sjis(Crlf("<p>頭</p>" + Held(root_v2) + "\n<p>尾</p>\n"))},
      {"sub/a.html", "\xEF\xBB\xBF<p>日本</p>" + Held(sub_v1) + Held(sub_v1) + "end",
       "\xEF\xBB\xBF<p>日本</p>" + Held(sub_v2) + Held(sub_v2) + "end"},
      {"sub/deep/b.html", "<p>深</p>\n" + Held(deep_v1), "<p>深</p>\n" + Held(deep_v2)},
      {"sub/current.html", Held(sub_v2), Held(sub_v2)},
      {"sub/edited.html", Held(sub_v1 + "<b>手</b>"), Held(sub_v1 + "<b>手</b>")},
      {"broken.htm", Held(root_v1) + "<!-- #BeginLibraryItem \"/Library/menu.lbi\" -->x",
       Held(root_v1) + "<!-- #BeginLibraryItem \"/Library/menu.lbi\" -->x"},
      {"missing.htm", Held("old", "/Library/gone.lbi"), Held("old", "/Library/gone.lbi")},
      {"ko.htm", Sjis("<p>韓</p>") + Held("a", "/Library/ko.lbi"),
       Sjis("<p>韓</p>") + Held("a", "/Library/ko.lbi")},
      {"ko8.html", "<p>韓</p>" + Held("a", "/Library/ko.lbi"),
       "<p>韓</p>" + Held("<i>한</i>", "/Library/ko.lbi")},
  };
  for (const Case& c : cases) Put(c.page, c.before);
  Put("Library/menu.lbi", Menu("v2"));
  Put("Library/ko.lbi", "<i>한</i>");
  ASSERT_TRUE(RecordPartText(root_, Records(), "/Library/menu.lbi", Menu("v1")));
  ASSERT_TRUE(RecordPartText(root_, Records(), "/Library/ko.lbi", "a"));

  PartsPlan plan = PlanPartsUpdate(root_, Records());
  std::map<std::string, std::pair<PageState, bool>> states;
  for (const PartPage& p : plan.pages) states[Name(p.path)] = {p.state, p.included};
  const std::map<std::string, std::pair<PageState, bool>> expected_states = {
      {"index.htm", {PageState::kUpdate, true}},
      {"sub/a.html", {PageState::kUpdate, true}},
      {"sub/deep/b.html", {PageState::kUpdate, true}},
      {"sub/edited.html", {PageState::kHandEdited, false}},
      {"broken.htm", {PageState::kBroken, false}},
      {"ko.htm", {PageState::kUnencodable, false}},
      {"ko8.html", {PageState::kUpdate, true}},
  };
  EXPECT_EQ(states, expected_states);
  ASSERT_EQ(plan.missing.size(), 1u);
  EXPECT_NE(plan.missing[0].find("missing.htm: /Library/gone.lbi"), std::string::npos);

  ReplaceOutcome out = ApplyReplacement(PlanAsReplacement(plan));
  ASSERT_TRUE(out.ok) << out.message;
  for (const Case& c : cases) EXPECT_EQ(Read(c.page), c.after) << c.page;
  UndoReplacement(out.record);
  for (const Case& c : cases) EXPECT_EQ(Read(c.page), c.before) << c.page;
}

TEST_F(SharedParts, WithoutARecordTheCopyMostPagesHoldIsThePartsOwn) {
  struct Case {
    const char* what;
    std::string part;
    std::vector<std::string> copies;  // of sub/0.html, sub/1.html, ...
    std::vector<PageState> states;    // of the pages listed, in order
  };
  const std::string v1 = Menu("v1", "../", "p.htm", "../Library/");
  const std::string v2 = Menu("v2", "../", "p.htm", "../Library/");
  const std::vector<Case> cases = {
      {"part changed", Menu("v2"), {v1, v1, v1 + "x"},
       {PageState::kUpdate, PageState::kUpdate, PageState::kHandEdited}},
      {"part unchanged", Menu("v2"), {v2, v2 + "x", v2}, {PageState::kHandEdited}},
  };
  for (const Case& c : cases) {
    fs::remove_all(root_);
    Put("Library/menu.lbi", c.part);
    for (std::size_t i = 0; i < c.copies.size(); ++i)
      Put("sub/" + std::to_string(i) + ".html", Held(c.copies[i]));
    std::vector<PageState> states;
    for (const PartPage& p : PlanPartsUpdate(root_, Records()).pages) states.push_back(p.state);
    EXPECT_EQ(states, c.states) << c.what;
  }
}

TEST(RelocateUrl, MovesRelativeAddressesOnly) {
  struct Case {
    const char* url;
    const char* from;
    const char* to;
    const char* moved;
  };
  const Case cases[] = {
      {"../a/b.htm#x", "Library", "a", "b.htm#x"},
      {"./", "Library", "", "Library/"},
      {"../", "Library", "a/b", "../../"},
      {"../../up.htm", "Library", "a", "../../up.htm"},  // above the site: left
      {"mailto:x@example.com", "Library", "a", "mailto:x@example.com"},
      {"//cdn.example.com/x.js", "Library", "a", "//cdn.example.com/x.js"},
      {"/root.css", "Library", "a", "/root.css"},
      {"%E6%97%A5.htm?a=../b", "Library", "", "Library/%E6%97%A5.htm?a=../b"},
  };
  for (const Case& c : cases) EXPECT_EQ(RelocateUrl(c.url, c.from, c.to), c.moved) << c.url;
}

}  // namespace
}  // namespace hemlo::site::testing
