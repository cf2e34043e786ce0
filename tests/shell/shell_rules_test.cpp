#include <gtest/gtest.h>

#include "shell/frame_rules.h"
#include "shell/indent.h"

namespace hemlo {
namespace {

TEST(FrameRules, PanelsAndAddressBoxFollowTheWidth) {
  EXPECT_EQ(StatusPanelWidths(1000), (std::array<int, 3>{200, 600, 200}));
  EXPECT_EQ(StatusPanelWidths(300)[1], 0);
  EXPECT_EQ(UrlBoxWidth(680), 305);
  EXPECT_EQ(UrlBoxWidth(100), 0);
}

TEST(FrameRules, TabStopsCountQuartersOfTheAverageWidth) {
  // Space 4 px, width 2: 4*2*3 div 4 = 6 quarter units of an 8 px average = 12 px.
  EXPECT_DOUBLE_EQ(TabStopPixels(4, 2, 8), 12.0);
  // The fraction is dropped before scaling: 5*3*3 = 45 div 4 = 11.
  EXPECT_DOUBLE_EQ(TabStopPixels(5, 3, 4), 11.0);
}

TEST(FrameRules, FolderOfPath) {
  EXPECT_EQ(FolderOfPath("/web/top.htm"), "/web");
  EXPECT_EQ(FolderOfPath("/top.htm"), "/");
  EXPECT_EQ(FolderOfPath(""), "");
}

TEST(FrameRules, AddressTextIsReadAsTheUserMeansIt) {
  struct Case {
    const char* text;
    bool local_file;
    AddressKind kind;
  };
  const Case cases[] = {
      {"http://example.jp/", false, AddressKind::AsTyped},
      {"HTTPS://example.jp/", false, AddressKind::AsTyped},
      {"about:blank", false, AddressKind::AsTyped},
      {"file:///web/top.htm", false, AddressKind::AsTyped},
      {"gopher://x/", false, AddressKind::AsTyped},
      {"127.0.0.1:2111/pop.html", false, AddressKind::Web},
      {"localhost:8080/a.html", false, AddressKind::Web},
      {"www.example.jp", false, AddressKind::Web},
      {"/web/top.htm", true, AddressKind::LocalFile},
      {"site/a:b.htm", true, AddressKind::LocalFile},
  };
  for (const Case& c : cases) EXPECT_EQ(KindOfAddressText(c.text, c.local_file), c.kind) << c.text;
  EXPECT_FALSE(ListableAddress("about:blank"));
  EXPECT_TRUE(ListableAddress("http://example.jp/"));
}

TEST(Indent, LeadingRunOfBlanks) {
  EXPECT_EQ(LeadingIndent("\t\tabc"), "\t\t");
  EXPECT_EQ(LeadingIndent("\x81\x40\x81\x40"), "\x81\x40\x81\x40");  // only full-width spaces
  EXPECT_EQ(LeadingIndent(" \t\x81\x40x \t"), " \t\x81\x40");
  EXPECT_EQ(LeadingIndent("abc"), "");
  // 0x81 0x41 is another character, not a full-width space.
  EXPECT_EQ(LeadingIndent(" \x81\x41"), " ");
  EXPECT_EQ(LeadingIndent(" \x81"), " ");
}

}  // namespace
}  // namespace hemlo
