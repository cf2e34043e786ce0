#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "shell/editor_settings.h"
#include "shell/frame_place.h"
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

TEST(FrameRules, TheFrameOpensWhereItWasLeftAndFurtherFramesStandAside) {
  const std::vector<FrameRect> screens = {{0, 0, 1280, 1000}, {1280, 0, 1920, 1080}};
  const FrameRect first{0, 0, 680, 440};
  struct Case {
    const char* what;
    std::optional<FrameRect> saved;
    int slot;
    FrameRect want;
  } cases[] = {
      {"new user: first size, centred", std::nullopt, 0, {300, 280, 680, 440}},
      {"second frame of a new user", std::nullopt, 1, {330, 310, 680, 440}},
      {"where it was left", FrameRect{1500, 40, 900, 700}, 0, {1500, 40, 900, 700}},
      {"second frame beside the saved place",
       FrameRect{1500, 40, 900, 700},
       2,
       {1560, 100, 900, 700}},
      {"never smaller than the first size", FrameRect{10, 20, 100, 100}, 0, {10, 20, 680, 440}},
      {"kept inside its screen", FrameRect{600, 560, 680, 440}, 1, {600, 560, 680, 440}},
      {"a screen gone: centred again", FrameRect{4000, 40, 800, 600}, 0, {240, 200, 800, 600}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FrameRect got = PlaceFrame(c.saved, c.slot, screens, first);
    EXPECT_EQ(got, c.want) << got.x << "," << got.y << " " << got.width << "x" << got.height;
  }

  // Running frames take the first free number; a frame that ends frees its own.
  const auto folder =
      std::filesystem::temp_directory_path() / ("hemlo_slots_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  {
    auto a = std::make_unique<FrameSlot>(folder);
    FrameSlot b(folder);
    EXPECT_EQ(a->number(), 0);
    EXPECT_EQ(b.number(), 1);
    a.reset();
    EXPECT_EQ(FrameSlot(folder).number(), 0);
  }
  std::filesystem::remove_all(folder);
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

TEST(Indent, StepOfThePage) {
  const struct {
    std::vector<std::string> indents;
    std::string step;
  } rows[] = {
      {{}, "\t"},
      {{"", ""}, "\t"},
      {{"", "    ", "  ", "      "}, "  "},
      {{"\t\t", "  "}, "\t"},
      {{"\x81\x40\x81\x40"}, "\x81\x40"},
      {{std::string(12, ' ')}, std::string(8, ' ')},
  };
  for (const auto& r : rows) EXPECT_EQ(IndentStep(r.indents), r.step);
}

TEST(EditorSettingsFile, ChoicesMissingFromAnOlderFileAreOn) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("editor_ini_" + std::to_string(::getpid()));
  const struct {
    std::string bytes;
    bool closing_tags, abbreviations, completion, markup_marks;
    int preview_width;
    bool leave_redirects = false;  // the one choice off until made
    bool matching_tags = true;
  } rows[] = {
      {"Highlighting=1\r\nLineNumbers=0\r\nLivePreview=0\r\nEditPane=500\r\n", true, true, true,
       true, 0},
      {"ClosingTags=0\r\nAbbreviations=1\r\n", false, true, true, true, 0},
      {"Abbreviations=0\r\nMarkupMarks=0\r\nPreviewWidth=375\r\n", true, false, true, false, 375},
      {"Abbreviations=1\r\nVersionStoreMB=500\r\nCompletion=0\r\n", true, true, false, true, 0},
      {"PreviewWidth=768\r\n", true, true, true, true, 768},
      {"PreviewWidth=500\r\n", true, true, true, true, 0},
      {"LeaveRedirects=1\r\nCompletion=0\r\n", true, true, false, true, 0, true},
      {"LeaveRedirects=0\r\n", true, true, true, true, 0, false},
      {"MatchingTags=0\r\nCompletion=1\r\n", true, true, true, true, 0, false, false},
  };
  for (const auto& r : rows) {
    std::ofstream(file, std::ios::binary) << r.bytes;
    EditorSettings s = EditorSettings::Load(file);
    for (int pass = 0; pass < 2; ++pass) {  // as read, and as saved and read again
      EXPECT_EQ(s.closing_tags, r.closing_tags) << r.bytes;
      EXPECT_EQ(s.abbreviations, r.abbreviations) << r.bytes;
      EXPECT_EQ(s.completion, r.completion) << r.bytes;
      EXPECT_EQ(s.markup_marks, r.markup_marks) << r.bytes;
      EXPECT_EQ(s.preview_width, r.preview_width) << r.bytes;
      EXPECT_EQ(s.leave_redirects, r.leave_redirects) << r.bytes;
      EXPECT_EQ(s.matching_tags, r.matching_tags) << r.bytes;
      ASSERT_TRUE(s.Save(file));
      s = EditorSettings::Load(file);
    }
  }
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace hemlo
