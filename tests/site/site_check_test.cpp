// The site check on seeded sites: every kind of fault once, and pages that
// must report nothing; image sizes from the headers of each format.
#include <gtest/gtest.h>

#include <tuple>

#include "site/html_tags.h"
#include "site/markup_check.h"
#include "site/site_check.h"
#include "site_fixture.h"
#include "text/cp932.h"

namespace hemlo::site::testing {
namespace {

using text::Encoding;
using text::Sjis;

std::string Be32(unsigned v) {
  return {char(v >> 24), char(v >> 16 & 0xFF), char(v >> 8 & 0xFF), char(v & 0xFF)};
}
std::string Le16(unsigned v) { return {char(v & 0xFF), char(v >> 8)}; }
std::string Le24(unsigned v) { return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16)}; }
std::string Png(unsigned w, unsigned h) {
  return std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) + Be32(w) + Be32(h) +
         std::string(5, '\0');
}
std::string Riff(const std::string& chunk) {
  return "RIFF" + std::string(4, '\0') + "WEBP" + chunk + std::string(16, '\0');
}

// Long Japanese text before a fault on its line, in both encodings and line
// breaks: every place in the page's own characters and bytes; a value tidy
// quotes shown as the page holds it, text and '>' within it included.
TEST(MarkupCheck, PlacesAndQuotesAfterJapaneseTextInBothEncodings) {
  struct Expected {
    std::size_t column;  // on line 3
    std::string code, message, at;
  };
  const std::vector<std::pair<std::string, std::vector<Expected>>> cases = {
      {"<p>これは長い日本語の段落です。<b>太字</p>",
       {{17, "MISSING_ENDTAG_BEFORE", "警告: missing </b> before </p>", "<b>"}}},
      {"<p id=\"見出し 一\">x</p>",
       {{0, "BAD_ATTRIBUTE_VALUE", "警告: <p> attribute \"id\" has invalid value \"見出し 一\"",
         "<p "}}},
      {"<p id=\"a>これは長い日本語の段落です。<b> c\">x</p>",
       {{0, "BAD_ATTRIBUTE_VALUE",
         "警告: <p> attribute \"id\" has invalid value \"a>これは長い日本語の段落です。<b> c\"",
         "<p "}}},
  };
  for (const auto& [line, expected] : cases) {
    const std::string utf8 = "<!DOCTYPE html>\n<html><head><title>t</title></head><body>\n" +
                             line + "\n</body></html>\n";
    std::string crlf;
    for (char c : utf8) (c == '\n' ? crlf += "\r\n" : crlf += c);
    const std::pair<std::string, Encoding> pages[] = {{utf8, Encoding::kUtf8},
                                                      {Sjis(crlf), Encoding::kShiftJis}};
    for (const auto& [page, encoding] : pages) {
      const std::vector<MarkupIssue> issues = CheckMarkup(page, encoding);
      ASSERT_EQ(issues.size(), expected.size()) << line;
      for (std::size_t i = 0; i < issues.size(); ++i) {
        EXPECT_EQ(issues[i].line, 3u) << line;
        EXPECT_EQ(issues[i].column, expected[i].column) << line;
        EXPECT_EQ(issues[i].code, expected[i].code);
        EXPECT_EQ(issues[i].message, expected[i].message);
        EXPECT_EQ(page.substr(issues[i].offset, 3), expected[i].at) << line;
      }
    }
  }
}

TEST(ImageSize, EveryFormatFromItsHeader) {
  const std::string jfif = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\0", 11) + std::string(9, '\0');
  const std::string sof = std::string("\x00\x11\x08\x00\x08\x00\x09", 7) + std::string(12, '\0');
  const struct {
    const char* what;
    std::string bytes;
    std::optional<ImageSize> size;
  } cases[] = {
      {"PNG", Png(3, 2), ImageSize{3, 2}},
      {"GIF", "GIF89a" + Le16(5) + Le16(7) + "\0\0\0", ImageSize{5, 7}},
      {"JPEG after an APP0 segment", jfif + "\xFF\xC0" + sof, ImageSize{9, 8}},
      {"progressive JPEG after fill bytes", jfif + "\xFF\xFF\xC2" + sof, ImageSize{9, 8}},
      {"JPEG without a frame before its data", jfif + "\xFF\xDA" + sof, std::nullopt},
      {"WebP lossy", Riff("VP8 " + std::string(7, '\0') + "\x9D\x01\x2A" + Le16(640) + Le16(480)),
       ImageSize{640, 480}},
      {"WebP lossless", Riff("VP8L" + std::string(4, '\0') + "\x2F" + "\x09\xC0\x04\x00"),
       ImageSize{10, 20}},
      {"WebP extended", Riff("VP8X" + std::string(8, '\0') + Le24(299) + Le24(199)),
       ImageSize{300, 200}},
      {"PNG cut short", Png(3, 2).substr(0, 20), std::nullopt},
      {"no image", "<html>", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadImageSize(std::string_view(c.bytes)), c.size) << c.what;
}

class SiteCheck : public SiteFolder {};

// page, problem, line, column, detail
using Found = std::tuple<std::string, Problem, std::size_t, std::size_t, std::string>;

TEST_F(SiteCheck, FindsEverySeededFaultAndNothingElse) {
  PutAll({
      {"clean.htm",
       Sjis("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n"
            "<p id=\"top2\">日本語</p><a href=\"sub/page.html#sec\">s</a><a "
            "href=\"/img/a.png\">i</a>\r\n"
            "<img src=\"img/c.jpg\" width=\"5\" height=\"4\" alt=\"\">\r\n"
            "<!-- <a href=\"commented.htm\"> -->\r\n"
            "<script>var s = \"<a href='inscript.htm'>\";</script>\r\n"
            "<a href=\"#top2\">t</a><a href=\"sub/\">f</a><a "
            "href=\"sub/page.html?x=1#sec\">q</a>\r\n"
            "<a href=\"%E3%83%86%E3%82%B9%E3%83%88.htm\">テスト</a><a "
            "href=\"テスト.htm#top\">上</a>\r\n")},
      {"faults.html",
       "<meta charset=\"utf-8\">\n"
       "<p id=\"dup\">日本</p><a href=\"nothere.htm\">x</a>\n"
       "<a href=\"sub/page.html#nosuch\">y</a>\n"
       "<img src=\"img/a.png\" alt=\"a\">\n"
       "<img src=\"/img/b.gif\" width=\"1\" height=\"1\">\n"
       "<div id=\"dup\"></div>\n"
       "<a href=\"#dup\">z</a><a href=\"http://example.com/none\">w</a><a "
       "href=\"mailto:a@b\">m</a>\n"},
      {"mismatch.htm", "<meta charset=\"utf-8\">" + Sjis("日本語")},
      {"neither.htm", "<p>\xFD\xFE</p>"},
      {"sub/page.html",
       "<h1 id=\"sec\">S</h1><img src=\"../img/d.gif\" width=\"2\" height=\"2\" alt=\"d\">"
       "<a href=\"../clean.htm\">c</a>"},
      {"テスト.htm", "<p>t</p>"},
      {"img/a.png", Png(3, 2)},
      {"img/b.gif", "GIF89a" + Le16(1) + Le16(1) + "\0\0\0"},
      {"img/c.jpg", "\xFF\xD8"},
      {"img/d.gif", "GIF89a" + Le16(2) + Le16(2) + "\0\0\0"},
  });
  const std::vector<Found> expected = {
      {"faults.html", Problem::kMissingTarget, 2, 27, "nothere.htm"},
      {"faults.html", Problem::kMissingFragment, 3, 9, "sub/page.html#nosuch"},
      {"faults.html", Problem::kImageWithoutSize, 4, 0, "img/a.png"},
      {"faults.html", Problem::kMissingAlt, 5, 0, ""},
      {"faults.html", Problem::kDuplicateId, 6, 9, "dup"},
      {"mismatch.htm", Problem::kCharsetMismatch, 1, 15, "utf-8"},
      {"neither.htm", Problem::kNeitherEncoding, 1, 0, ""},
  };
  const CheckResult r = CheckSite(root_);
  EXPECT_EQ(r.pages, 6u);
  std::vector<Found> got;
  for (const Finding& f : r.findings)
    if (f.problem < Problem::kMarkupError)  // the fragments above are no whole pages
      got.emplace_back(Name(f.page), f.problem, f.line, f.column, f.detail);
  EXPECT_EQ(got, expected);

  // The size is offered from the image file and written into the tag alone.
  const auto image = std::find_if(r.findings.begin(), r.findings.end(), [](const Finding& f) {
    return f.problem == Problem::kImageWithoutSize;
  });
  ASSERT_NE(image, r.findings.end());
  EXPECT_EQ(image->image_size, (ImageSize{3, 2}));
  const std::string before = Read("faults.html");
  EXPECT_EQ(FillImageSize(*image), "");
  std::string after = before;
  after.replace(after.find("<img src=\"img/a.png\" alt=\"a\">"), 29,
                "<img src=\"img/a.png\" alt=\"a\" width=\"3\" height=\"2\">");
  EXPECT_EQ(Read("faults.html"), after);
  for (const Finding& f : CheckSite(root_).findings)
    EXPECT_NE(f.problem, Problem::kImageWithoutSize);
}

// What a page published over https needs: sound markup, parts it can load,
// a viewport line, images of a sensible size, every srcset and url() file.
TEST_F(SiteCheck, FindsPublishingFaultsAndNothingOnACleanPage) {
  const std::string head = "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">";
  const std::string viewport = "<meta name=\"viewport\" content=\"width=device-width\">";
  std::string big = Png(100, 100);
  big.resize(kLargeImageBytes + 1, '\0');
  PutAll({
      {"clean.html",
       head + viewport +
           "<title>t</title><link rel=\"stylesheet\" href=\"s.css\">\n"
           "<style>p { background: url(img/a.png) } /* url(gone.png) */</style></head><body>\n"
           "<img src=\"img/a.png\" srcset=\"img/a.png 1x, img/b.gif 2x\" width=\"3\" height=\"2\" "
           "alt=\"\">\n<p style=\"background: url('img/b.gif')\"><a href=\"http://example.com/\">外"
           "</a></p><script src=\"https://cdn.example/x.js\"></script>\n</body></html>\n"},
      {"s.css", "body { background: url(\"img/b.gif\") }\n"},
      {"bad.css", "p {}\ndiv { background: url( missing.gif ) }\n"},
      {"faults.html",
       head + "<title>f</title>\n"
              "<script src=\"http://x.example/a.js\"></script><link rel=\"stylesheet\" "
              "href=\"http://x.example/a.css\">\n"
              "</head><body><iframe src=\"http://x.example/f.html\"></iframe>\n"
              "<img src=\"http://x.example/p.png\" width=\"1\" height=\"1\">\n"
              "<img src=\"img/big.png\" srcset=\"img/wide.png 2x, img/no.png 3x\" width=\"1\" "
              "height=\"1\" alt=\"\">\n"
              "<p style=\"background:url(img/none.png)\">x</p><blink2>y</blink2></body></html>\n"},
      // Double-byte text before the fault: the column counts characters.
      {"sjis.htm", Sjis("<!DOCTYPE html>\r\n<html><head><meta charset=\"Shift_JIS\">" + viewport +
                        "<title>表</title></head><body>\r\n"
                        "\t<p>日本語の段落<b>太字</p>\r\n</body></html>\r\n")},
      {"img/a.png", Png(3, 2)},
      {"img/b.gif", "GIF89a" + Le16(1) + Le16(1) + "\0\0\0"},
      {"img/big.png", big},
      {"img/wide.png", Png(kLargeImageWidth + 1, 10)},
  });
  const std::vector<Found> expected = {
      {"bad.css", Problem::kMissingTarget, 2, 23, "missing.gif"},
      {"faults.html", Problem::kNoViewport, 1, 0, ""},
      {"faults.html", Problem::kMixedContent, 3, 13, "http://x.example/a.js"},
      {"faults.html", Problem::kMixedContent, 3, 74, "http://x.example/a.css"},
      {"faults.html", Problem::kMixedContent, 4, 26, "http://x.example/f.html"},
      {"faults.html", Problem::kMissingAlt, 5, 0, ""},  // once, not again from tidy
      {"faults.html", Problem::kMixedContent, 5, 10, "http://x.example/p.png"},
      {"faults.html", Problem::kLargeImage, 6, 10, "img/big.png"},
      {"faults.html", Problem::kLargeImage, 6, 31, "img/wide.png"},
      {"faults.html", Problem::kMissingTarget, 6, 48, "img/no.png"},
      {"faults.html", Problem::kMissingTarget, 7, 25, "img/none.png"},
      {"faults.html", Problem::kMarkupError, 7, 45, "UNKNOWN_ELEMENT"},
      {"faults.html", Problem::kMarkupWarning, 7, 45, "DISCARDING_UNEXPECTED"},
      {"faults.html", Problem::kMarkupWarning, 7, 54, "DISCARDING_UNEXPECTED"},
      {"sjis.htm", Problem::kMarkupWarning, 3, 10, "MISSING_ENDTAG_BEFORE"},
  };
  const CheckResult r = CheckSite(root_);
  std::vector<Found> got;
  for (const Finding& f : r.findings)
    got.emplace_back(Name(f.page), f.problem, f.line, f.column, f.detail);
  EXPECT_EQ(got, expected);
  for (const Finding& f : r.findings) {
    if (f.problem == Problem::kMarkupError) {
      EXPECT_EQ(f.message.rfind("エラー: ", 0), 0u);
    }
    if (f.problem == Problem::kMarkupWarning) {
      EXPECT_EQ(f.message.rfind("警告: ", 0), 0u);
    }
  }

  // Only the files asked for, as the publish dialog asks.
  const CheckResult some = CheckSite(root_, {root_ / "sjis.htm", root_ / "./clean.html"});
  EXPECT_EQ(some.pages, 2u);
  ASSERT_EQ(some.findings.size(), 1u);
  EXPECT_EQ(Name(some.findings[0].page), "sjis.htm");

  // Checked again, unchanged pages give the same findings from what the
  // first check remembered; a page mended to the same size is checked anew.
  got.clear();
  for (const Finding& f : CheckSite(root_).findings)
    got.emplace_back(Name(f.page), f.problem, f.line, f.column, f.detail);
  EXPECT_EQ(got, expected);
  std::string mended = Read("sjis.htm");
  mended.replace(mended.find("</p>"), 4, "</b>");
  Put("sjis.htm", mended);
  EXPECT_TRUE(CheckSite(root_, {root_ / "sjis.htm"}).findings.empty());
}

}  // namespace
}  // namespace hemlo::site::testing
