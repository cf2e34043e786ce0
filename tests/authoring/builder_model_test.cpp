#include "authoring/builder_model.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/program_folder.h"
#include "text/cp932.h"
#include "support/scripted_prompts.h"

namespace hemlo::authoring {
namespace {

std::string S(std::string_view utf8) { return text::Sjis(utf8); }

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class BuilderModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("hemlo_authoring_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    SetProgramFolder(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path folder_;
  ScriptedPrompts prompts;
  BuilderModel m;
};

TEST_F(BuilderModelTest, CheckRefusesFieldsBelowOne) {
  m.table.ComboBox1 = "10";
  m.table.ComboBox2 = "abc";  // passes here, fails where it is converted
  EXPECT_TRUE(m.Button1Click(prompts));
  EXPECT_TRUE(m.TableAccepted);
  EXPECT_TRUE(prompts.asked.empty());

  std::string TableSettings::*fields[] = {&TableSettings::ComboBox1, &TableSettings::ComboBox2,
                                          &TableSettings::Edit1, &TableSettings::Edit2};
  std::size_t refused = 0;
  for (auto field : fields) {
    for (const char* bad : {"0", "", "-3", " 5", ".", "05"}) {
      BuilderModel fresh;
      fresh.table.*field = bad;
      prompts.answers.push_back(Answer::Ok);
      EXPECT_FALSE(fresh.Button1Click(prompts)) << bad;
      EXPECT_FALSE(fresh.TableAccepted);
      ASSERT_EQ(prompts.asked.size(), ++refused);
      EXPECT_EQ(prompts.asked.back().text, "未記入の項目があります");
    }
  }
}

TEST_F(BuilderModelTest, CloseEmptiesResultButKeepsAcceptance) {
  m.SettingResult = "#FFFFFF";
  m.TableAccepted = true;
  EXPECT_TRUE(m.Button2Click());
  EXPECT_EQ(m.SettingResult, "");
  EXPECT_TRUE(m.TableAccepted);
}

TEST_F(BuilderModelTest, TestTableHalvesSizeAndWritesOneLine) {
  m.table.Edit1 = "321";
  auto url = m.Button4Click(prompts);
  ASSERT_TRUE(url.has_value());
  const auto file = folder_ / "TABLEFILE.$$$";
  EXPECT_EQ(*url, "file://" + file.string());
  EXPECT_EQ(ReadFile(file),
            "<table border=\"1\" width=\"160\" height=\"75\"><TR><TD>data</TD><TD>data</TD></TR>"
            "\r\n<TR><TD>data</TD><TD>data</TD></TR>\r\n</table>\r\n");
  // The drawn grid keeps the width as typed.
  EXPECT_TRUE(
      GridTable(m.table).starts_with("<table border=\"1\" width=\"321\" height=\"150\">\r\n"));

  m.table.CheckTitle = true;
  m.table.EdTitle = "T";
  m.table.Edit1 = "-7";
  m.table.ComboBox1 = "1";
  m.table.ComboBox2 = "0";
  ASSERT_TRUE(m.Button4Click(prompts));
  EXPECT_EQ(ReadFile(file),
            "<table border=\"1\" width=\"-3\" height=\"75\"> <caption>T</caption>\r\n"
            "<TR></TR>\r\n</table>\r\n");
  EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(BuilderModelTest, TestTableRefusesNonIntegersAndLeavesTheFile) {
  ASSERT_TRUE(m.Button4Click(prompts));
  const std::string before = ReadFile(folder_ / "TABLEFILE.$$$");
  m.table.ComboBox2 = "abc";
  prompts.answers = {};
  EXPECT_TRUE(m.Button1Click(prompts));  // the check lets it through
  EXPECT_FALSE(m.Button4Click(prompts).has_value());
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].kind, "error");
  EXPECT_EQ(prompts.asked[0].text, "'abc' は整数ではありません");
  EXPECT_EQ(ReadFile(folder_ / "TABLEFILE.$$$"), before);

  m.table.ComboBox2 = "2";
  m.table.Edit1 = S("９");  // a full-width digit is no integer; shown as typed
  EXPECT_FALSE(m.Button4Click(prompts).has_value());
  EXPECT_EQ(prompts.asked.back().text, "'９' は整数ではありません");
}

TEST_F(BuilderModelTest, TestTableAddressKeepsDoubleByteFolderNames) {
  const auto folder = folder_ / "表示";
  std::filesystem::create_directories(folder);
  SetProgramFolder(folder);
  auto url = m.Button4Click(prompts);
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ(*url, "file://" + (folder / "TABLEFILE.$$$").string());
  EXPECT_NE(url->find("/表示/TABLEFILE.$$$"), std::string::npos);
}

TEST_F(BuilderModelTest, TestTableReportsAnUnwritableFolder) {
  SetProgramFolder(folder_ / "missing" / "deeper");
  EXPECT_FALSE(m.Button4Click(prompts).has_value());
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].kind, "error");
}

TEST(TableGrid, RefusesAGridTooLargeToHold) {
  TableSettings t;
  t.ComboBox1 = "2000000000";
  EXPECT_THROW(GridTable(t), TableTooLargeError);
  t.ComboBox2 = "-1";  // empty rows still count
  EXPECT_THROW(GridTable(t), TableTooLargeError);
  t.ComboBox1 = "1000";
  t.ComboBox2 = "100";
  EXPECT_NO_THROW(GridTable(t));
}

TEST(ColorNotations, ThreeNotations) {
  BuilderModel m;
  m.colorSize.ScrollBar1 = 255;
  m.colorSize.ScrollBar2 = 128;
  m.colorSize.ScrollBar3 = 0;
  ColorLabels l = m.SetColor();
  EXPECT_EQ(l.LblRGB, "RGB(255,128,0)");
  EXPECT_EQ(l.LblS, "$0080FF");
  EXPECT_EQ(l.LblH, "#FF8000");
  m.colorSize.ScrollBar1 = 10;
  m.colorSize.ScrollBar2 = 11;
  m.colorSize.ScrollBar3 = 12;
  l = m.SetColor();
  EXPECT_EQ(l.LblRGB, "RGB(10,11,12)");
  EXPECT_EQ(l.LblS, "$0C0B0A");
  EXPECT_EQ(l.LblH, "#0A0B0C");
  EXPECT_EQ(BuilderModel().SetColor().LblH, "#000000");
}

TEST(ColorTab, SetHandsBackTheChosenNotation) {
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Ok};
  BuilderModel m;
  m.colorSize.ScrollBar1 = 255;
  m.colorSize.ScrollBar2 = 128;
  EXPECT_FALSE(m.Button3Click(prompts));
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].text, "色か文字サイズのどちらかを指定してください。");
  EXPECT_EQ(m.SettingResult, "");

  m.colorSize.CheckSize = true;  // size alone still hands back a colour
  EXPECT_TRUE(m.Button3Click(prompts));
  EXPECT_EQ(m.SettingResult, "#FF8000");
  m.colorSize.RadioButton3 = false;
  m.colorSize.RadioButton2 = true;
  EXPECT_TRUE(m.Button3Click(prompts));
  EXPECT_EQ(m.SettingResult, "$0080FF");
  m.colorSize.RadioButton2 = false;
  m.colorSize.RadioButton1 = true;
  EXPECT_TRUE(m.Button3Click(prompts));
  EXPECT_EQ(m.SettingResult, "RGB(255,128,0)");
}

TEST(ColorTab, PickerWithoutAPixelKeepsTheSliders) {
  BuilderModel m;
  m.colorSize.ScrollBar1 = 1;
  m.colorSize.ScrollBar2 = 2;
  m.colorSize.ScrollBar3 = 3;
  m.ApplyPickedColor(std::nullopt);  // Escape
  EXPECT_EQ(m.SetColor().LblRGB, "RGB(1,2,3)");
  m.ApplyPickedColor(PickedColor{255, 255, 255});
  EXPECT_EQ(m.SetColor().LblH, "#FFFFFF");
}

class StyleTabTest : public ::testing::Test {
 protected:
  void Pick(int attribute) { m.RadioGroup1Click(attribute); }
  void Append() { m.Button6Click(prompts); }
  ScriptedPrompts prompts;
  BuilderModel m;
};

TEST_F(StyleTabTest, RuleBuiltLineByLine) {
  Pick(6);  // border
  Append();
  EXPECT_EQ(m.style.Memo1, S(".MyClass00{border:4px solid 色を指定してね;\r\n"));
  Pick(4);  // margin
  m.style.RadioSize1 = false;
  m.style.RadioSize2 = true;
  Append();
  EXPECT_TRUE(m.Button7Click());
  EXPECT_EQ(m.SettingResult,
            S(".MyClass00{border:4px solid 色を指定してね;\r\nmargin:4px 8px 4px 8px;\r\n}"));

  Pick(1);  // border-style, 個別指定 still selected
  m.style.cmbstyleRight = 6;
  m.style.cmbstyleLeft = 7;
  Append();
  Pick(3);  // border-color
  Append();
  Pick(9);
  m.style.cmbAlign = "right";
  Append();
  Pick(5);  // padding, 全体指定4方向
  m.style.RadioSize1 = true;
  m.style.RadioSize2 = false;
  m.style.cmbTani = "em";
  m.style.EdSize = "2";
  Append();
  EXPECT_EQ(m.style.Memo1,
            S(".MyClass00{border:4px solid 色を指定してね;\r\nmargin:4px 8px 4px 8px;\r\n"
              "border-style:solid dotted solid dashed;\r\n"
              "border-color:色を指定してね 色を指定してね 色を指定してね 色を指定してね;\r\n"
              "text-align:right;\r\npadding:2em;\r\n"));
  EXPECT_TRUE(prompts.asked.empty());

  m.Button8Click();
  EXPECT_EQ(m.style.Memo1, "");
  m.SettingResult.clear();
  EXPECT_TRUE(m.Button7Click());  // an empty box hands back nothing
  EXPECT_EQ(m.SettingResult, "");
}

TEST_F(StyleTabTest, BackgroundSelectsWholeAndWantsColour) {
  m.style.RadioSize1 = false;
  m.style.RadioSize2 = true;
  Pick(0);
  EXPECT_TRUE(m.style.RadioSize1);
  EXPECT_TRUE(m.ColorWanted);
  Append();
  EXPECT_EQ(m.style.Memo1, S(".MyClass00{background:色を指定してね;\r\n"));
}

TEST_F(StyleTabTest, EmptySizeFields) {
  m.style.Memo1 = "x\r\n";
  Pick(2);  // border-width, 個別指定
  m.style.RadioSize1 = false;
  m.style.RadioSize2 = true;
  m.style.EdRight = "";
  Append();  // only the top field decides
  m.style.EdTop = "";
  m.style.EdRight = "8";
  Append();  // empty top drops all four sizes
  Pick(7);   // border-left writes an empty size as it stands
  m.style.EdSize = "";
  Append();
  Pick(2);  // 全体指定4方向 with an empty size leaves it out
  m.style.RadioSize1 = true;
  m.style.RadioSize2 = false;
  Append();
  EXPECT_EQ(m.style.Memo1, S("x\r\nborder-width:4px px 4px 8px;\r\nborder-width:\r\n"
                             "border-left:px solid 色を指定してね;\r\nborder-width:\r\n"));
}

TEST_F(StyleTabTest, RefusesWithoutAttributeOrKeyword) {
  prompts.answers = {Answer::Ok, Answer::Ok, Answer::Ok};
  Append();
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].text, "属性を選択してください");
  EXPECT_EQ(m.style.Memo1, "");

  Pick(6);
  m.style.cmbstyle = BorderStyleFromText(S("太線"));  // typed, not an item
  EXPECT_FALSE(m.style.cmbstyle.has_value());
  Append();
  EXPECT_EQ(prompts.asked.size(), 2u);
  EXPECT_EQ(m.style.Memo1, "");

  Pick(1);
  m.style.RadioSize1 = false;
  m.style.RadioSize2 = true;
  m.style.cmbstyleBottom = 8;  // out of range never indexes the table
  Append();
  EXPECT_EQ(prompts.asked.size(), 3u);
  EXPECT_EQ(m.style.Memo1, "");
}

TEST_F(StyleTabTest, TypedBoxWithoutFinalBreakGetsOne) {
  m.style.Memo1 = ".A{color:red;";
  Pick(9);
  Append();
  EXPECT_EQ(m.style.Memo1, ".A{color:red;\r\ntext-align:center;\r\n");
}

TEST(BorderStyles, ItemsMapToKeywords) {
  EXPECT_EQ(BorderStyleFromText(S("二重実線")), 1);
  EXPECT_EQ(BorderStyleKeyword(BorderStyleFromText(S("破線"))), "dashed");
  EXPECT_EQ(BorderStyleKeyword(std::nullopt), std::nullopt);
  EXPECT_EQ(BorderStyleKeyword(-1), std::nullopt);
}

}  // namespace
}  // namespace hemlo::authoring
