// End tags, completion, matching tags and abbreviations on the command view's bytes, for a Shift-JIS
// and a UTF-8 page. Each case is one page with '|' at the caret; the page
// goes through the edit pane so that the rules see its real bytes.
#include <gtest/gtest.h>

#include <string>

#include "text/abbreviation.h"
#include "text/closing_tags.h"
#include "text/completion.h"
#include "text/matching_tag.h"
#include "text/cp932.h"
#include "text/memory_edit_pane.h"
#include "text/site_files.h"

namespace hemlo::text {
namespace {

struct Page {
  std::string before, after;
};

// The command-view bytes of a page written as UTF-8 here.
std::string View(const std::string& utf8, Encoding encoding) {
  MemoryEditPane pane;
  pane.LoadDocument(encoding == Encoding::kShiftJis ? Sjis(utf8) : utf8, encoding);
  return pane.Text();
}

// The bytes around the caret of `utf8` (which holds one '|').
Page Open(const std::string& utf8, Encoding encoding) {
  const std::string text = View(utf8, encoding);
  const std::size_t caret = text.find('|');
  return {text.substr(0, caret), text.substr(caret + 1)};
}

constexpr Encoding kBoth[] = {Encoding::kShiftJis, Encoding::kUtf8};

TEST(ClosingTags, EndTagForTheStartTagJustClosed) {
  const struct {
    const char* page;
    const char* end;
  } rows[] = {
      {"<ul>|", "</ul>"},
      {"<p>表ゾ<DIV class=\"マ>\" id='a'>|", "</DIV>"},
      {"<br>|", ""},
      {"<IMG src=\"ボ.png\">|", ""},
      {"<hr/>|", ""},
      {"<div />|", ""},
      {"<!DOCTYPE html>|", ""},
      {"<?xml version=\"1.0\"?>|", ""},
      {"</p>|", ""},
      {"<a title=\"x>|", ""},
      {"<!-- <b>|", ""},
      {"<!-- x --><b>|", "</b>"},
      {"<script>if (a <b>|", ""},
      {"<script></script><em>|", "</em>"},
      {"<style>p>|", ""},
      {"<li>|</li>", ""},
      {"a > b|", ""},
      {"<>|", ""},
  };
  for (Encoding e : kBoth)
    for (const auto& r : rows) {
      const Page p = Open(r.page, e);
      EXPECT_EQ(EndTagAfterGreaterThan(p.before, p.after), r.end) << r.page;
    }
}

TEST(MatchingTag, PartnerOfTheTagAtTheCaret) {
  // '|' is the caret, {...} the partner expected; no braces: no partner.
  const char* rows[] = {
      "<u|l><li>表ゾ</li><li>マ</li>{</ul>}",
      "{<ul>}<li>a</li></|ul>",
      "<d|iv><div></div>{</div>}",  // nested: depth counted
      "<DIV class=\"a>b\">|x{</div>}",
      "{<p>}ソ表</p|>",
      "{<ul>}|</ul>",  // between two tags: the one starting at the caret
      "<p>x|y</p>",    // not on a tag
      "<b>|<br>",      // no partner
      "<b><b|r></b>",  // void element
      "<i><d|iv/></i>",
      "<!-- a>b <p>| --></p>",
      "<p>{<script>}if (a<b) document.write('</p>');</scr|ipt></p>",
      "<p>|<!-- a>b </p> -->ボ<title></p></title>{</p>}",
      "<a href=\"x\">|",
  };
  for (Encoding e : kBoth)
    for (const char* row : rows) {
      std::string text;
      std::size_t caret = 0, open = std::string::npos, close = 0;
      for (char c : View(row, e)) {
        if (c == '|') caret = text.size();
        else if (c == '{') open = text.size();
        else if (c == '}') close = text.size();
        else text += c;
      }
      const TagMatch m = MatchingTag(text, caret);
      if (open == std::string::npos) {
        EXPECT_NE(m.kind, TagMatch::Kind::kFound) << row;
        continue;
      }
      ASSERT_EQ(m.kind, TagMatch::Kind::kFound) << row;
      EXPECT_EQ(m.partner_start, open) << row;
      EXPECT_EQ(m.partner_end, close) << row;
      EXPECT_TRUE(caret >= m.tag_start && caret <= m.tag_end) << row;
    }
}

TEST(ClosingTags, SlashCompletesTheInnermostOpenElement) {
  const struct {
    const char* page;
    const char* insert;
    std::size_t skip;
  } rows[] = {
      {"<ul><li>表ゾ</|", "li>", 0},
      {"<ul><li>a</li></|", "ul>", 0},
      {"<ul><li>a<li>b</|", "li>", 0},  // the second <li> closes the first
      {"<div><br><img src=x><hr/></|", "div>", 0},
      {"<p><!-- <b> --></|", "p>", 0},
      {"<Table><tr><td>1<td>2</tr></|", "Table>", 0},
      {"<script>if (a<b) x();</|", "script>", 0},
      {"<ul><li>ボ</|</li></ul>", "", 5},  // over the end tag that stands there
      {"<ul>マ</|</UL>", "", 5},
      {"text</|", "", 0},
      {"<!-- <b></|", "", 0},
      {"<div title=\"</|", "", 0},
  };
  for (Encoding e : kBoth)
    for (const auto& r : rows) {
      const Page p = Open(r.page, e);
      const EndTagCompletion c = CompleteEndTag(p.before, p.after);
      EXPECT_EQ(c.insert, r.insert) << r.page;
      EXPECT_EQ(c.skip, r.skip) << r.page;
    }
}

TEST(Abbreviations, ExpandWithTheLinesIndentation) {
  const struct {
    const char* line;
    const char* text;  // '|' at the caret; lines after the first indented by "  " + "\t"s
    const char* kept;  // the part of the line before the abbreviation
  } rows[] = {
      {"li*3", "<li>|</li>\r\n  <li></li>\r\n  <li></li>", ""},
      {"ul>li.item$*3",
       "<ul>\r\n  \t<li class=\"item1\">|</li>\r\n  \t<li class=\"item2\"></li>\r\n"
       "  \t<li class=\"item3\"></li>\r\n  </ul>",
       ""},
      {"表 a[href=index.htm]{トップ}", "<a href=\"index.htm\">トップ</a>|", "表 "},
      {"<p>table>tr*2>td*3",
       "<table>\r\n  \t<tr>\r\n  \t\t<td>|</td>\r\n  \t\t<td></td>\r\n  \t\t<td></td>\r\n"
       "  \t</tr>\r\n  \t<tr>\r\n  \t\t<td></td>\r\n  \t\t<td></td>\r\n  \t\t<td></td>\r\n"
       "  \t</tr>\r\n  </table>",
       "<p>"},
      {"div#top.a.b>p{ゾマ}+p^img",
       "<div id=\"top\" class=\"a b\">\r\n  \t<p>ゾマ</p>\r\n  \t<p>|</p>\r\n  </div>\r\n"
       "  <img src=\"\" alt=\"\">",
       ""},
      {"(dt{語$$}+dd)*2", "<dt>語01</dt>\r\n  <dd>|</dd>\r\n  <dt>語02</dt>\r\n  <dd></dd>", ""},
      {"ul>.x", "<ul>\r\n  \t<li class=\"x\">|</li>\r\n  </ul>", ""},
      {"a[title=\"ゼ ]\"]", "<a title=\"ゼ ]\" href=\"|\"></a>", ""},
      {"br", "<br>|", ""},
      {"hello", nullptr, ""},
      {"li*0", nullptr, ""},
      {"ul>", nullptr, ""},
      {"ul>li{マ", nullptr, ""},
      {"(li", nullptr, ""},
      {"{text}", nullptr, ""},
      {"<ul", nullptr, ""},
      {"語", nullptr, ""},
      {"", nullptr, ""},
  };
  for (Encoding e : kBoth)
    for (const auto& r : rows) {
      const std::string line = View(r.line, e);
      const auto x = ExpandAbbreviation(line, "  ", "\t");
      if (r.text == nullptr) {
        EXPECT_FALSE(x) << r.line;
        continue;
      }
      ASSERT_TRUE(x) << r.line;
      std::string want = View(r.text, e);
      const std::size_t caret = want.find('|');
      want.erase(caret, 1);
      EXPECT_EQ(x->text, want) << r.line;
      EXPECT_EQ(x->caret, caret) << r.line;
      // Offsets are bytes: the kept part of the line is what precedes it in this encoding.
      EXPECT_EQ(x->start, View(r.kept, e).size()) << r.line;
    }
}

}  // namespace
}  // namespace hemlo::text

namespace hemlo::text {
namespace {

std::string Labels(const std::vector<CompletionItem>& items) {
  std::string out;
  for (const CompletionItem& i : items) out += (out.empty() ? "" : ",") + i.label;
  return out;
}

TEST(Completion, WhatTheCaretStandsInAndWhatIsOffered) {
  using K = CompletionKind;
  const std::vector<std::string> files = {"a.htm", "img/b.png", "img/c.JPG", "style.css"};
  const struct {
    const char* page;
    K kind;
    const char* word;    // the bytes from the word's start to the caret
    const char* labels;  // offered for that word; nullptr: not checked
  } rows[] = {
      {"<|", K::kElement, "", nullptr},
      {"<p>表ソ<di|", K::kElement, "di", "dialog,div"},
      {"<img |", K::kAttribute, "", nullptr},
      {"<IMG alt=\"マ>ア\" s|", K::kAttribute, "s", "src,srcset,sizes,style,spellcheck"},
      {"<img src=\"|", K::kAttributeValue, "", "img/b.png,img/c.JPG"},
      {"<img src=\"a.png\" srcset=\"x.png 2x, |", K::kAttributeValue, "", "img/b.png,img/c.JPG"},
      {"<a title=\"ボ\" href='im|", K::kAttributeValue, "im", "img/b.png,img/c.JPG"},
      {"<a href=\"a.htm\" target=\"_b|", K::kAttributeValue, "_b", "_blank"},
      {"<input type=ra|", K::kAttributeValue, "ra", "radio,range"},
      {"<link rel=\"st|", K::kAttributeValue, "st", "stylesheet"},
      {"<p style=\"font-family: マ; dis|", K::kCssProperty, "dis", "display"},
      {"<p style=\"text-align:c|", K::kCssValue, "c", "center"},
      {"<style>\r\n/* マ{ */ h1 { col|", K::kCssProperty, "col", "color,column-count,column-gap"},
      {"<style>a { content: \"ボ\"; font-weight: b|", K::kCssValue, "b", "bold,bolder"},
      {"<style>@media print { a:h|", K::kNone, "", nullptr},
      {"<style>p { margin: 0 }</style><p>a b|", K::kNone, "", nullptr},
      {"<style>p { margin: 0 }</style><b|", K::kElement, "b", nullptr},
      {"<script>if (a <b|", K::kNone, "", nullptr},
      {"<!-- <di|", K::kNone, "", nullptr},
      {"<img src=\"a.png\"|", K::kNone, "", nullptr},
      {"a < b|", K::kNone, "", nullptr},
      {"</|", K::kNone, "", nullptr},
      {"<div>ソ|", K::kNone, "", nullptr},
  };
  for (Encoding e : kBoth)
    for (const auto& r : rows) {
      const Page p = Open(r.page, e);
      const CompletionContext c = FindCompletionContext(p.before);
      EXPECT_EQ(c.kind, r.kind) << r.page;
      if (c.kind == K::kNone) continue;
      const std::string word = p.before.substr(c.start);
      EXPECT_EQ(word, View(r.word, e)) << r.page;
      if (r.labels) {
        EXPECT_EQ(Labels(CompletionItems(c, word, files)), r.labels) << r.page;
      }
    }
}

TEST(Completion, SiteFilesAsLinksFromThePage) {
  const struct {
    const char* folder;
    const char* file;
    const char* link;
  } rows[] = {
      {"", "img/a.png", "img/a.png"},
      {"blog", "img/a.png", "../img/a.png"},
      {"blog/2024/", "blog/b.htm", "../b.htm"},
      {"blog", "blog/x/c.png", "x/c.png"},
      {"blog", "blog.png", "../blog.png"},
  };
  for (const auto& r : rows) EXPECT_EQ(PathFromPage(r.folder, r.file), r.link) << r.file;
}

}  // namespace
}  // namespace hemlo::text
