// Search and replace across a small site of Shift-JIS and UTF-8 pages with
// CRLF, LF and CR line breaks.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <functional>
#include <tuple>

#include "site/site_replace.h"
#include "site/site_search.h"
#include "site_fixture.h"
#include "text/cp932.h"

namespace hemlo::site::testing {
namespace {

using text::Sjis;

// a.htm: Shift-JIS, CRLF. "ア" is 0x83 0x41: its second byte is an 'A'.
const std::vector<std::pair<std::string, std::string>> kSite = {
    {"a.htm", Sjis("<p>日本語 Word</p>\r\n<p>アbc Abc xword word</p>\r\n")},
    {"sub/b.html", "<p>日本語</p>\nこんにちは Word\n"},
    {"sub/c.js", "\xEF\xBB\xBF// a\rvar word = 1;\r"},
    {"d.txt", "word"},
};

// file, line, column, offset, length
using Found = std::tuple<std::string, std::size_t, std::size_t, std::size_t, std::size_t>;

class SiteSearch : public SiteFolder {};

TEST_F(SiteSearch, HitsInEveryEncodingAndLineBreakAtExactPlaces) {
  struct Case {
    const char* what;
    SearchOptions options;
    std::vector<Found> hits;
  };
  auto opts = [](std::string p, bool match_case, bool whole, bool regex) {
    SearchOptions o;
    o.pattern = std::move(p);
    o.match_case = match_case;
    o.whole_word = whole;
    o.regex = regex;
    return o;
  };
  const Case cases[] = {
      {"any case",
       opts("word", false, false, false),
       {{"a.htm", 1, 7, 10, 4},
        {"a.htm", 2, 12, 33, 4},
        {"a.htm", 2, 17, 38, 4},
        {"sub/b.html", 2, 6, 33, 4},
        {"sub/c.js", 2, 4, 12, 4}}},
      {"case",
       opts("word", true, false, false),
       {{"a.htm", 2, 12, 33, 4}, {"a.htm", 2, 17, 38, 4}, {"sub/c.js", 2, 4, 12, 4}}},
      {"whole word",
       opts("word", false, true, false),
       {{"a.htm", 1, 7, 10, 4},
        {"a.htm", 2, 17, 38, 4},
        {"sub/b.html", 2, 6, 33, 4},
        {"sub/c.js", 2, 4, 12, 4}}},
      {"never inside a double-byte character",
       opts("abc", false, false, false),
       {{"a.htm", 2, 7, 28, 3}}},
      {"Japanese in both encodings",
       opts("日本語", true, false, false),
       {{"a.htm", 1, 3, 3, 6}, {"sub/b.html", 1, 3, 3, 9}}},
      {"expression",
       opts("x?word", true, false, true),
       {{"a.htm", 2, 11, 32, 5}, {"a.htm", 2, 17, 38, 4}, {"sub/c.js", 2, 4, 12, 4}}},
      {"expression with Japanese",
       opts("[日月]本.", true, false, true),
       {{"a.htm", 1, 3, 3, 6}, {"sub/b.html", 1, 3, 3, 9}}},
  };
  PutAll(kSite);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const SearchResult r = SearchSite(root_, c.options);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.files_searched, 3u);
    std::vector<Found> got;
    for (const FileHits& f : r.files)
      for (const Hit& h : f.hits)
        got.emplace_back(Name(f.path), h.line, h.column, h.offset, h.length);
    EXPECT_EQ(got, c.hits);
  }
  const SearchResult shown = SearchSite(root_, opts("abc", false, false, false));
  ASSERT_EQ(shown.HitCount(), 1u);
  EXPECT_EQ(shown.files[0].hits[0].line_text, "<p>アbc Abc xword word</p>");
  EXPECT_NE(SearchSite(root_, opts("(", false, false, true)).error, "");
  // A packed script's one long line neither overflows the stack nor stalls a
  // pattern that backtracks without end: it is found, or given up, quickly.
  Put("packed.js", std::string(300000, 'x') + "y\n");
  const SearchResult packed = SearchSite(root_, opts("x.*y", true, false, true));
  ASSERT_EQ(packed.HitCount(), 1u);
  EXPECT_EQ(packed.files[0].hits[0].length, 300001u);
  EXPECT_EQ(SearchSite(root_, opts("(x+x+)+z", true, false, true)).HitCount(), 0u);
}

TEST_F(SiteSearch, ReplaceWritesEachEncodingAndLineBreakAndUndoRestoresEveryByte) {
  struct Case {
    const char* what;
    std::string pattern;
    bool regex;
    std::string replacement;
    std::vector<std::size_t> excluded;                       // hit numbers over the whole result
    std::vector<std::pair<std::string, std::string>> after;  // files that change
    std::string refused_file;                                // when nothing may change
  };
  const Case cases[] = {
      {"a line break in each file's own",
       "Word",
       false,
       "語\n句",
       {},
       {{"a.htm", Sjis("<p>日本語 語\r\n句</p>\r\n<p>アbc Abc x語\r\n句 語\r\n句</p>\r\n")},
        {"sub/b.html", "<p>日本語</p>\nこんにちは 語\n句\n"},
        {"sub/c.js", "\xEF\xBB\xBF// a\rvar 語\r句 = 1;\r"}},
       ""},
      {"ticks left out",
       "word",
       false,
       "term",
       {0, 2, 3},
       {{"a.htm", Sjis("<p>日本語 Word</p>\r\n<p>アbc Abc xterm word</p>\r\n")},
        {"sub/c.js", "\xEF\xBB\xBF// a\rvar term = 1;\r"}},
       ""},
      {"groups of an expression",
       "w(or)d",
       true,
       "[$1]",
       {},
       {{"a.htm", Sjis("<p>日本語 Word</p>\r\n<p>アbc Abc x[or] [or]</p>\r\n")},
        {"sub/c.js", "\xEF\xBB\xBF// a\rvar [or] = 1;\r"}},
       ""},
      {"a character Shift-JIS lacks", "word", false, "\xF0\x9F\x98\x80", {}, {}, "a.htm"},
      {"the same with that file left out",
       "word",
       false,
       "\xF0\x9F\x98\x80",
       {0, 1, 2},
       {{"sub/b.html", "<p>日本語</p>\nこんにちは \xF0\x9F\x98\x80\n"},
        {"sub/c.js", "\xEF\xBB\xBF// a\rvar \xF0\x9F\x98\x80 = 1;\r"}},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PutAll(kSite);
    SearchOptions o;
    o.pattern = c.pattern;
    o.regex = c.regex;
    o.match_case = c.regex;
    o.replacement = c.replacement;
    SearchResult r = SearchSite(root_, o);
    std::size_t n = 0;
    for (FileHits& f : r.files)
      for (Hit& h : f.hits)
        h.included = std::find(c.excluded.begin(), c.excluded.end(), n++) == c.excluded.end();
    const ReplaceOutcome out = ApplyReplacement(r);
    EXPECT_EQ(out.ok, c.refused_file.empty()) << out.message;
    if (!c.refused_file.empty()) {
      EXPECT_NE(out.message.find(c.refused_file), std::string::npos);
    }
    for (const auto& [name, bytes] : kSite) {
      std::string expected = bytes;
      for (const auto& [changed, now] : c.after) {
        if (changed == name) expected = now;
      }
      EXPECT_EQ(Read(name), expected) << name;
    }
    const UndoOutcome undo = UndoReplacement(out.record);
    EXPECT_EQ(undo.message, "");
    for (const auto& [name, bytes] : kSite) EXPECT_EQ(Read(name), bytes) << name << " undone";
  }
  // A file edited after the search is named and nothing is written.
  PutAll(kSite);
  SearchOptions o;
  o.pattern = "word";
  o.replacement = "term";
  const SearchResult r = SearchSite(root_, o);
  Put("sub/c.js", "edited word");
  const ReplaceOutcome out = ApplyReplacement(r);
  EXPECT_FALSE(out.ok);
  EXPECT_NE(out.message.find("c.js"), std::string::npos);
  EXPECT_EQ(Read("a.htm"), kSite[0].second);
}

TEST_F(SiteSearch, ReplaceRefusedOrFailingHalfWayLeavesEveryFileAsItWas) {
  std::vector<std::pair<std::string, std::string>> site = {
      {"a.htm", Sjis("word あ")},
      {"b.htm", Sjis("word い")},
      {"c.htm", Sjis("word う")},
      {"d.html", "word \xE3\x81\x88"},
  };
  // Enough files that they are written on several threads.
  for (int i = 10; i < 26; ++i) site.push_back({"m" + std::to_string(i) + ".htm", "word"});
  site.push_back({"z.htm", "word " + std::string(64 * 1024, 'x')});
  struct Case {
    const char* what;
    std::string replacement;
    std::function<void()> before;
    std::vector<std::string> named;
    bool disk_full;  // a file-size limit fails the last, largest file as a full disk would
  };
  const Case cases[] = {
      {"three files Shift-JIS cannot hold it",
       "\xF0\x9F\x98\x80",
       [] {},
       {"a.htm", "b.htm", "c.htm"},
       false},
      {"a write-protected file",
       "term",
       [&] { ASSERT_EQ(::chmod((root_ / "b.htm").c_str(), 0444), 0); },
       {"b.htm"},
       false},
      {"the disk full half-way", "term", [] {}, {"z.htm"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_);
    PutAll(site);
    SearchOptions o;
    o.pattern = "word";
    o.replacement = c.replacement;
    const SearchResult r = SearchSite(root_, o);
    ASSERT_EQ(r.files.size(), site.size());
    ASSERT_EQ(Name(r.files.back().path), "z.htm");
    c.before();
    struct rlimit old_limit {};
    ::getrlimit(RLIMIT_FSIZE, &old_limit);
    const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
    if (c.disk_full) {
      struct rlimit small = old_limit;
      small.rlim_cur = 16 * 1024;
      ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    const ReplaceOutcome out = ApplyReplacement(r);
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    ::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(out.record.files.empty());
    for (const std::string& name : c.named) EXPECT_NE(out.message.find(name), std::string::npos);
    for (const auto& [name, bytes] : site) EXPECT_EQ(Read(name), bytes) << name;
    for (const auto& e : fs::directory_iterator(root_))
      EXPECT_NE(e.path().filename().string()[0], '.') << "temporary file left";
  }
  // 元に戻す leaves a file edited since the replacement as it is, and names it.
  fs::remove_all(root_);
  PutAll(site);
  SearchOptions o;
  o.pattern = "word";
  o.replacement = "term";
  const ReplaceOutcome out = ApplyReplacement(SearchSite(root_, o));
  ASSERT_TRUE(out.ok) << out.message;
  Put("b.htm", "edited since");
  const UndoOutcome undo = UndoReplacement(out.record);
  EXPECT_NE(undo.message.find("b.htm"), std::string::npos);
  EXPECT_EQ(undo.restored.size(), site.size() - 1);
  for (const auto& [name, bytes] : site)
    EXPECT_EQ(Read(name), name == "b.htm" ? "edited since" : bytes);
}

}  // namespace
}  // namespace hemlo::site::testing
