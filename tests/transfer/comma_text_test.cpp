// Ferrox.ini lines: quoting, reading back and the line splitting of the file.
#include <gtest/gtest.h>

#include "text/cp932.h"
#include "remote/comma_text.h"

namespace hemlo::transfer {
namespace {

using Fields = std::vector<std::string>;

TEST(CommaText, FieldsNeedingQuotesRoundTrip) {
  const std::vector<Fields> cases = {
      {text::Sjis("my site"), "ftp.example.jp", "user", "pa,ss", ""},
      {"a\"b", "\"", "x y", "tab\there", "/home/u/public_html"},
      {"", "", "", "", ""},
      {text::Sjis("表示"), text::Sjis("ソフト"), "u", "p", text::Sjis("/表/能")},
      {" lead", "trail ", "\x01", "semi;colon", "a=b"},
  };
  for (const auto& f : cases) {
    const std::string line = JoinCommaText(f);
    EXPECT_EQ(SplitCommaText(line), f) << line;
  }
}

TEST(CommaText, WrittenForm) {
  EXPECT_EQ(JoinCommaText({"my site", "host", "u", "p,w", ""}), "\"my site\",host,u,\"p,w\",");
  EXPECT_EQ(JoinCommaText({"say \"hi\"", "h"}), "\"say \"\"hi\"\"\",h");
  // Double-byte characters with trail bytes 0x5C or 0x7C are not quoted.
  EXPECT_EQ(JoinCommaText({text::Sjis("表|ソ"), "x"}), text::Sjis("表|ソ") + ",x");
}

TEST(CommaText, ReadingRules) {
  // Leading blanks skipped, blanks end unquoted fields, blanks after a field skipped.
  EXPECT_EQ(SplitCommaText("  a , b,c"), (Fields{"a", "b", "c"}));
  EXPECT_EQ(SplitCommaText("a b,c"), (Fields{"a", "b", "c"}));
  // NUL counts as a blank here, unlike in the favourites file.
  EXPECT_EQ(SplitCommaText(std::string("a\0b", 3)), (Fields{"a", "b"}));
  // A trailing comma yields one more empty field; an inner empty field stays.
  EXPECT_EQ(SplitCommaText("a,b,,d,"), (Fields{"a", "b", "", "d", ""}));
  EXPECT_EQ(SplitCommaText("a,"), (Fields{"a", ""}));
  EXPECT_EQ(SplitCommaText(""), Fields{});
  // An unterminated quote runs to the end of the line.
  EXPECT_EQ(SplitCommaText("\"abc,d"), (Fields{"abc,d"}));
  EXPECT_EQ(SplitCommaText("\"\",x"), (Fields{"", "x"}));
}

TEST(CommaText, FileLines) {
  EXPECT_EQ(SplitFileLines("a\r\nb\nc\rd"), (Fields{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitFileLines("a\r\n\r\nb\r\n"), (Fields{"a", "", "b"}));
  EXPECT_EQ(SplitFileLines(""), Fields{});
  EXPECT_EQ(JoinFileLines({"a", "b,"}), "a\r\nb,\r\n");
}

}  // namespace
}  // namespace hemlo::transfer
