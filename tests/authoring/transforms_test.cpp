#include "authoring/transforms.h"

#include <gtest/gtest.h>

#include "text/cp932.h"

namespace hemlo::authoring {
namespace {

std::string S(std::string_view utf8) { return text::Sjis(utf8); }

TEST(FullWidthKanaTable, MatchesTheFullWidthKatakanaOfTheCodec) {
  const std::string expected =
      S("。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
        "ハヒフヘホマミムメモヤユヨラリルレロワン゛゜");
  ASSERT_EQ(expected.size(), 2 * FullWidthKanaTable.size());
  for (std::size_t i = 0; i < FullWidthKanaTable.size(); ++i) {
    EXPECT_EQ(FullWidthKanaTable[i][0], static_cast<unsigned char>(expected[2 * i])) << i;
    EXPECT_EQ(FullWidthKanaTable[i][1], static_cast<unsigned char>(expected[2 * i + 1])) << i;
  }
}

TEST(KanaToFullWidth, JoinsVoicedAndSemiVoicedMarks) {
  EXPECT_EQ(KanaToFullWidth(S("ｶﾞｷﾞﾊﾟﾋﾟｳﾞ")), S("ガギパピヴ"));
  EXPECT_EQ(KanaToFullWidth(S("ﾂﾞﾄﾞﾊﾞﾎﾞﾎﾟ")), S("ヅドバボポ"));
  EXPECT_EQ(KanaToFullWidth(S("ｱﾞ")), S("ア゛"));
  EXPECT_EQ(KanaToFullWidth(S("ﾜﾟ")), S("ワ゜"));
  EXPECT_EQ(KanaToFullWidth(S("ｶﾟ")), S("カ゜"));  // ｶ takes no semi-voiced mark
  EXPECT_EQ(KanaToFullWidth(S("ﾞﾟ")), S("゛゜"));
}

TEST(KanaToFullWidth, TouchesOnlyKana) {
  EXPECT_EQ(KanaToFullWidth(S("ABC ｱｲｳ 123\r\n｡｢｣､･ｰ")), S("ABC アイウ 123\r\n。「」、・ー"));
  EXPECT_EQ(KanaToFullWidth(S("ｶ")), S("カ"));  // the byte after the end counts as 0
  EXPECT_EQ(KanaToFullWidth(""), "");
}

TEST(KanaToFullWidth, LeavesDoubleByteCharactersWithKanaRangeTrailBytes) {
  // Second bytes A1-DF look like half-width kana: 漢 8A BF, 阿 88 A2, ...
  const std::string fw = "\x8A\xBF\x88\xA2\x88\xDE\x93\xDF\x83\xA1\x8F\xB6";
  EXPECT_EQ(KanaToFullWidth(fw), fw);
  EXPECT_EQ(KanaToFullWidth(fw + S("ｶﾞ")), fw + S("ガ"));
  // A lead byte of an unassigned row still takes the next byte as its trail.
  EXPECT_EQ(KanaToFullWidth("\x41\x85\xB6\xB6\xFD\x81"), "\x41\x85\xB6\x83\x4A\xFD\x81");
}

TEST(IsHalfWidthKana, RangeAndMarks) {
  EXPECT_FALSE(IsHalfWidthKana(0xA0));
  EXPECT_TRUE(IsHalfWidthKana(0xA1));
  EXPECT_TRUE(IsHalfWidthKana(0xDF));
  EXPECT_FALSE(IsHalfWidthKana(0xE0));
  EXPECT_TRUE(TakesVoicedMark(0xB3));   // ｳ
  EXPECT_FALSE(TakesVoicedMark(0xB1));  // ｱ
  EXPECT_FALSE(TakesVoicedMark(0xC5));  // ﾅ
  EXPECT_TRUE(TakesSemiVoicedMark(0xCA));
  EXPECT_FALSE(TakesSemiVoicedMark(0xC4));
}

TEST(CommentFragment, WrapsWithLineBreakAfter) {
  EXPECT_EQ(CommentFragment("abc"), "<!--abc-->\r\n");
  EXPECT_EQ(CommentFragment(""), "<!---->\r\n");
}

TEST(DeleteTags, RemovesTagsKeepsText) {
  EXPECT_EQ(DeleteTags(S("<b>太字</b>と<i>斜体</i>")), S("太字と斜体"));
  EXPECT_EQ(DeleteTags("a>b<c>d"), "a>bd");
  EXPECT_EQ(DeleteTags("&lt;x&gt;\r\nline"), "&lt;x&gt;\r\nline");
  EXPECT_EQ(DeleteTags("<br><hr>"), "");
}

TEST(DeleteTags, KeepsTextFromAnUnclosedBracket) {
  EXPECT_EQ(DeleteTags("<b>x</b> a < b and c"), "x a < b and c");
  EXPECT_EQ(DeleteTags(S("前<i>斜</i>後<未完")), S("前斜後<未完"));
}

}  // namespace
}  // namespace hemlo::authoring
