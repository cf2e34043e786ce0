#include "authoring/authoring_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "authoring/menu_items.h"
#include "base/dialog_folder.h"

#include "authoring_fixture.h"
#include "text/view_codes.h"
#include "support/scripted_prompts.h"

namespace hemlo::authoring {
namespace {

using testing::Bench;
using testing::PressClose;
using testing::S;
using testing::UserAction;

// ------------------------------------------------ every menu item, by table

constexpr const char* kSel = "語句";
constexpr const char* kNothing = nullptr;

struct Row {
  Handler handler;
  int tag;
  const char* withSel;        // UTF-8; kNothing: nothing inserted
  const char* withoutSel;     // UTF-8; kNothing: nothing inserted
  bool head = false;          // inserted before "</head>"
  UserAction user = nullptr;  // what the user does in the builder dialog
  int tab = -1;               // the tab it shows
};

std::string Br24() {
  return "<br><br><br><br><br><br>"
         "<br><br><br><br><br><br>"
         "<br><br><br><br><br><br>"
         "<br><br><br><br><br><br>";
}

const char* kGrid =
    "<table border=\"1\" width=\"320\" height=\"150\">\r\n"
    "<TR><TD>data</TD><TD>data</TD></TR>\r\n<TR><TD>data</TD><TD>data</TD></TR>\r\n</table>";

const char* kStyleBlock =
    "\r\n<STYLE type=\"text/css\">\r\n <!--\r\n  /* ここにスタイル定義を記述する */\r\n"
    "  .Myclass1{color:red;}\r\n  .Myclass2{border-style:solid;border-color:red;}\r\n"
    "  .Myclass3{color:white;background-color:#FF0000;}\r\n  .Danraku{text-indent:1em;}\r\n"
    "  .Gyokan{line-height:1.5;}\r\n  .Margin1{margin-left:3em;}\r\n"
    "  H1{color:red;text-align:center;}\r\n -->\r\n</STYLE>\r\n";

const char* kQuestionnaire =
    "最も印象に残った講義は？<BR>\r\n"
    "<input type=\"hidden\" name=\"アンケート結果\" value=\"\"><input type=\"radio\" name=\"KOGI\" "
    "value=\"LANの仕組み\">LANの仕組み<br>\r\n"
    "<input type=\"radio\" name=\"KOGI\" value=\"著作権\">著作権<br>\r\n"
    "<input type=\"radio\" name=\"KOGI\" value=\"ﾎｰﾑﾍﾟｰｼﾞ作成\">ﾎｰﾑﾍﾟｰｼﾞ作成<br>\r\n"
    "<p>自由意見<br>\r\n<textarea name=\"MESSAGE\" rows=\"10\" cols=\"40\">\r\n</textarea></p>\r\n"
    "<input type=\"submit\" value=\"送信\">\r\n<input type=\"reset\" value=\"取消\">\r\n</form>";

std::vector<Row> MenuRows() {
  static const std::string link24a =
      "<a href=\"#QZ\">語句</a>\r\n" + Br24() + "\r\n<a name=\"QZ\">ここです</a>";
  static const std::string link24b =
      "<a href=\"#QZ\">ｼﾞｬﾝﾌﾟ先</a>\r\n" + Br24() + "\r\n<a name=\"QZ\">ここです</a>";
  static const std::string start = "<table border=\"1\" width=\"320\" height=\"150\">\r\n";
  static const std::string t1 = start +
                                "  <tr bgcolor=\"#ff00cc\"><th>data1</th><th>data2</th></tr>\r\n"
                                "  <tr><td>data3</td><td>data4</td></tr>\r\n</table>";
  static const std::string t2 =
      start +
      "  <tr><th bgcolor=\"#ff00cc\">data1</th><td>data2</td></tr>\r\n"
      "  <tr><th bgcolor=\"#ff00cc\">data3</th><td>data4</td></tr>\r\n</table>";
  static const std::string t3 =
      start +
      "  <tr>\r\n    <th rowspan=\"3\" bgcolor=\"#ff00cc\">行結合</th>\r\n"
      "    <td>data1</td><td>data2</td>\r\n  </tr>\r\n"
      "  <tr><td>data3</td><td>data4</td></tr>\r\n"
      "  <tr><td>data5</td><td>data6</td></tr>\r\n</table>";
  static const std::string t4 =
      start +
      "  <tr><th colspan=\"3\" bgcolor=\"#ff00cc\">列結合</th>\r\n  </tr>\r\n  <tr>\r\n"
      "    <td>data1</td><td>data2</td><td>data3</td>\r\n  </tr>\r\n  <tr>\r\n"
      "    <td>data4</td><td>data5</td><td>data6</td>\r\n  </tr>\r\n</table>";
  static const std::string mailForm =
      std::string(
          "<form action=mailto:ここにメールアドレスをいれてね method=\"post\" "
          "enctype=\"text/plain\">") +
      kQuestionnaire;
  static const std::string cgiForm =
      std::string("<form action=\"kekka.cgi\" method=\"post\">") + kQuestionnaire;
  static const std::string script0 =
      "\r\n<SCRIPT LANGUAGE=\"JavaScript\">\r\n<!--\r\n//-->\r\n</SCRIPT>\r\n";
  static const std::string script1 =
      "\r\n<SCRIPT LANGUAGE=\"JavaScript\" SRC=\"QZ.js\">\r\n<!--\r\n//-->\r\n</SCRIPT>\r\n";

  const char* ol = "　<ol>番号付きリスト\r\n　　<li>リスト１\r\n　　<li>リスト２\r\n　</ol>";
  const char* ul = "　<ul>記号付きリスト\r\n　　<li>リスト１\r\n　　<li>リスト２\r\n　</ul>";
  const char* dl =
      "<dl>\r\n　<dt>ＨＴＭＬとは\r\n　<dd>"
      "WWW上に配信するファイルを作成するために使われるプログラム"
      "言語の一種です\r\n</dl>";
  const char* quote =
      "引用文のタイトル<blockquote>これは引用文です。前後に空行が入ります。\r\n　　</blockquote>";
  const char* js2 =
      "<p onMouseover=\"this.style.fontWeight='bold'\" "
      "onMouseout=\"this.style.fontWeight='normal'\">QZtitle</p>";
  const char* js3 =
      "<span onmouseover=\"this.style.background='pink';\" "
      "onmouseout=\"this.style.background='#ffffff';\">\r\n"
      "<a href=\"http://ここにURLを入れてね\">ｼﾞｬﾝﾌﾟ先</a>\r\n</span>";
  const char* js4 =
      "<div onmouseover=\"com1.style.visibility='visible'\" "
      "onmouseout=\"com1.style.visibility='hidden'\">アイリーン＝アドラー</div>\r\n"
      "<p class=\"comment\" id=\"com1\" style=\"visibility:hidden\">"
      "　女性に興味を持たない名探偵ホームズが、生涯で<br>　ただひとりその能力を認め、尊敬した女性</"
      "p>";
  const char* radio =
      "<input type=\"radio\" name=\"ラジオ\" value=\"送信する値\">男\r\n"
      "<input type=\"radio\" name=\"ラジオ\" value=\"送信する値\">女";
  const char* check =
      "<input type=\"checkbox\" name=\"チェック\" value=\"送信する値\">埼玉県職員\r\n"
      "<input type=\"checkbox\" name=\"チェック\" value=\"送信する値\">市町村職員";
  const char* combo =
      "<select name=\"name\">\r\n <option value=\"コンボ１\">選択肢1\r\n"
      " <option value=\"コンボ２\">選択肢2\r\n <option value=\"コンボ３\">選択肢3\r\n</select>";

  UserAction sizeAndRed = [](BuilderModel& m, Prompts& p) {
    m.colorSize.CheckSize = true;
    m.colorSize.CheckColor = true;
    m.colorSize.ComboBox3 = "5";
    m.colorSize.ScrollBar1 = 255;
    EXPECT_TRUE(m.Button3Click(p));
  };
  UserAction green = [](BuilderModel& m, Prompts& p) {
    m.colorSize.ScrollBar2 = 255;
    EXPECT_TRUE(m.Button3Click(p));
  };
  UserAction rgbGreen = [](BuilderModel& m, Prompts& p) {
    m.colorSize.RadioButton3 = false;
    m.colorSize.RadioButton1 = true;
    m.colorSize.ScrollBar2 = 255;
    EXPECT_TRUE(m.Button3Click(p));
  };
  UserAction acceptTable = [](BuilderModel& m, Prompts& p) { EXPECT_TRUE(m.Button1Click(p)); };
  UserAction alignRule = [](BuilderModel& m, Prompts& p) {
    m.RadioGroup1Click(9);
    m.style.cmbAlign = "right";
    m.Button6Click(p);
    EXPECT_TRUE(m.Button7Click());
  };

  using H = Handler;
  return {
      {H::Font1Click, 0, "<font size=\"5\" color=\"#FF0000\">語句</font>",
       "<font size=\"5\" color=\"#FF0000\"></font>", false, sizeAndRed, 1},
      {H::Font1Click, 1, "<basefont size=\"4\">語句", "<basefont size=\"4\">", false, PressClose,
       1},
      {H::Font1Click, 2, "<b>語句</b>", "<b></b>"},
      {H::Font1Click, 3, "<i>語句</i>", "<i></i>"},
      {H::Font1Click, 4, "<u>語句</u>", "<u></u>"},
      {H::Font1Click, 5, "<strike>語句</strike>", "<strike></strike>"},
      {H::Font1Click, 6, "<h1>語句</h1>", "<h1></h1>"},
      {H::mnuSetAlignClick, 0, "<div align=\"left\">語句</div>", "<div align=\"left\"></div>"},
      {H::mnuSetAlignClick, 1, "<div align=\"center\">語句</div>", "<div align=\"center\"></div>"},
      {H::mnuSetAlignClick, 2, "<div align=\"right\">語句</div>", "<div align=\"right\"></div>"},
      {H::mnuSetAlignClick, 3, " align=\"left\"語句", " align=\"left\""},
      {H::mnuSetAlignClick, 4, " align=\"center\"語句", " align=\"center\""},
      {H::mnuSetAlignClick, 5, " align=\"right\"語句", " align=\"right\""},
      {H::mnuInsertClick, 1, "<img src=\"画像ファイル名\" alt=\"この画像は○○です\">",
       "<img src=\"画像ファイル名\" alt=\"この画像は○○です\">"},
      {H::mnuInsertClick, 2, " bgcolor=\"#00FF00\"", " bgcolor=\"#00FF00\"", false, green, 1},
      {H::mnuInsertClick, 3, "<hr>", "<hr>"},
      {H::URL1Click, 0, "<a href=\"http://ここにURLを入れてね\">語句</a>",
       "<a href=\"http://ここにURLを入れてね\">ｼﾞｬﾝﾌﾟ先</a>"},
      {H::URL1Click, 1, "<a href=\"mailto:ここにメールアドレスを入れてね\">語句</a>",
       "<a href=\"mailto:ここにメールアドレスを入れてね\">ｼﾞｬﾝﾌﾟ先</a>"},
      {H::URL1Click, 2, link24a.c_str(), link24b.c_str()},
      {H::mnuKaigyoClick, 0, "語句<br>\r\n", "<br>\r\n"},
      {H::mnuKaigyoClick, 1, "語句<br clear=\"all\">\r\n", "<br clear=\"all\">\r\n"},
      {H::mnuKaigyoClick, 2, "<p>\r\n語句</p>\r\n",
       "<p>これは段落です。前後に空行が入ります。</p>\r\n"},
      {H::mnuKaigyoClick, 3, "\r\n<div>\r\n語句</div>\r\n",
       "<div>これは段落です。前後に空行が入りません。</div>\r\n"},
      {H::mnuKaigyoClick, 4, ol, ol},
      {H::mnuKaigyoClick, 5, ul, ul},
      {H::mnuKaigyoClick, 6, dl, dl},
      {H::mnuKaigyoClick, 7, quote, quote},
      {H::mnuTableClick, 0, kGrid, kGrid},
      {H::mnuTableClick, 1, t1.c_str(), t1.c_str()},
      {H::mnuTableClick, 2, t2.c_str(), t2.c_str()},
      {H::mnuTableClick, 3, t3.c_str(), t3.c_str()},
      {H::mnuTableClick, 4, t4.c_str(), t4.c_str()},
      {H::mnuTable2Click, 0, " width=\"100\"", " width=\"100\""},
      {H::mnuTable2Click, 1, " height=\"100\"", " height=\"100\""},
      {H::mnuTable2Click, 2, " bordercolor=\"#000080\"", " bordercolor=\"#000080\""},
      {H::mnuTable2Click, 3, " CellSpacing=\"1\"", " CellSpacing=\"1\""},
      {H::mnuTable2Click, 4, " CellPadding=\"1\"", " CellPadding=\"1\""},
      {H::mnuTableSetClick, 0, kGrid, kGrid, false, acceptTable, 0},
      {H::mnuStyleClick, 0, kStyleBlock, kStyleBlock, true},
      {H::mnuStyleClick, 1, "\r\n<LINK rel=stylesheet href=\"QZ.css\" type=\"text/css\">\r\n",
       "\r\n<LINK rel=stylesheet href=\"QZ.css\" type=\"text/css\">\r\n", true},
      {H::mnuStyleClick, 2, "<div class=\"Myclass1\">\r\n語句</div>\r\n",
       "<div class=\"Myclass1\">classの設定が反映されます</div>\r\n"},
      {H::mnuStyleClick, 3, "<p class=\"Myclass1\">\r\n語句</p>\r\n",
       "<p class=\"Myclass1\">classの設定が反映されます</p>\r\n"},
      {H::mnuStyleClick, 4, "<span class=\"Myclass1\">\r\n語句</span>\r\n",
       "<span class=\"Myclass1\">classの設定が反映されます</span>\r\n"},
      {H::mnuStyleClick, 5, ".MyClass00{text-align:right;\r\n}",
       ".MyClass00{text-align:right;\r\n}", false, alignRule, 2},
      {H::java1Click, 0, script0.c_str(), script0.c_str(), true},
      {H::java1Click, 1, script1.c_str(), script1.c_str(), true},
      {H::java1Click, 2, js2, js2},
      {H::java1Click, 3, js3, js3},
      {H::java1Click, 4, js4, js4},
      {H::mnuFormClick, 0, mailForm.c_str(), mailForm.c_str()},
      {H::mnuFormClick, 1, cgiForm.c_str(), cgiForm.c_str()},
      {H::mnuFormClick, 2, "<input type=\"text\" name=\"name\">",
       "<input type=\"text\" name=\"name\">"},
      {H::mnuFormClick, 3, "<textarea name=\"name\" rows=\"5\" cols=\"30\"></textarea>",
       "<textarea name=\"name\" rows=\"5\" cols=\"30\"></textarea>"},
      {H::mnuFormClick, 4, radio, radio},
      {H::mnuFormClick, 5, check, check},
      {H::mnuFormClick, 6, combo, combo},
      {H::mnuColorSetClick, 0, "RGB(0,255,0)", "RGB(0,255,0)", false, rgbGreen, 1},
      {H::mnuCommentClick, 0, "<!--語句-->\r\n", "<!---->\r\n"},
      {H::mnuDelTagClick, 0, "語句", kNothing},
      {H::N44Click, 0, "語句", kNothing},
  };
}

// Text before the selection, with a head; the selection; the text after it.
const std::string kPre = "<html><head>\r\n</head>\r\n前";
const std::string kPost = "後";
constexpr std::size_t kHeadAt = 14;  // offset of "</head>"

void RunRow(const Row& row, bool withSelection) {
  Bench b;
  b.prompts.answers = {Answer::Yes};  // the kana conversion's confirmation
  if (row.user) b.dialog.actions = {row.user};
  const std::string pre = S(kPre), post = S(kPost), sel = S(kSel);
  text::MemoryEditPane& pane = b.host.Open(pre + (withSelection ? sel : "") + post);
  pane.SetSelStart(pre.size());
  pane.SetSelLength(withSelection ? sel.size() : 0);
  const std::string before = pane.Text();

  b.commands.Run(row.handler, row.tag);

  const char* expected = withSelection ? row.withSel : row.withoutSel;
  if (row.user) {
    ASSERT_EQ(b.dialog.shownTabs.size(), 1u);
    EXPECT_EQ(b.dialog.shownTabs[0], row.tab);
  } else {
    EXPECT_TRUE(b.dialog.shownTabs.empty());
  }
  EXPECT_EQ(b.commands.PendingFragment, "");
  if (!expected) {
    EXPECT_EQ(pane.Text(), before);
    return;
  }
  const std::string frag = S(expected);
  if (row.head) {
    EXPECT_EQ(pane.Text(), before.substr(0, kHeadAt) + frag + before.substr(kHeadAt));
    EXPECT_EQ(pane.SelStart(), kHeadAt + frag.size());
  } else {
    EXPECT_EQ(pane.Text(), pre + frag + post);
    EXPECT_EQ(pane.SelStart(), pre.size() + frag.size());
  }
  EXPECT_EQ(pane.SelLength(), 0u);
  EXPECT_TRUE(pane.Modified());
}

class EveryMenuItem : public ::testing::TestWithParam<Row> {};

TEST_P(EveryMenuItem, OnSelection) { RunRow(GetParam(), true); }
TEST_P(EveryMenuItem, OnNoSelection) { RunRow(GetParam(), false); }

INSTANTIATE_TEST_SUITE_P(Authoring, EveryMenuItem, ::testing::ValuesIn(MenuRows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           return "row" + std::to_string(info.index);
                         });

// The table above runs every item of the menus (ファイル名... has its own tests).
TEST(EveryMenuItemTable, CoversTheMenus) {
  std::set<std::pair<Handler, int>> menu, table;
  for (const auto& item : AuthoringMenuItems()) {
    if (std::string_view(item.caption) == kSeparator) continue;
    EXPECT_TRUE(menu.insert({item.handler, item.tag}).second) << item.caption;
  }
  for (const auto& row : MenuRows()) {
    if (row.handler == Handler::mnuCommentClick || row.handler == Handler::mnuDelTagClick ||
        row.handler == Handler::N44Click)
      continue;  // edit-menu items
    table.insert({row.handler, row.tag});
  }
  table.insert({Handler::mnuInsertClick, 0});
  EXPECT_EQ(menu, table);
  EXPECT_EQ(menu.size(), 58u);
}

TEST(FixedFragments, LengthsInBytes) {
  EXPECT_EQ(StyleSheetBlock().size(), 341u);
  EXPECT_EQ(QuestionnaireBody().size(), 440u);
  EXPECT_EQ(PageTemplate().size(), 401u);
}

// ------------------------------------------------------------ the template

const char* kTemplate =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
    "<html>\r\n"
    "<head>\r\n"
    "<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n"
    "<META http-equiv=\"Content-Style-Type\" content=\"text/css\">\r\n"
    "<title>&lt;タイトルになります&gt;</title></head>\r\n"
    "<body background=\"背景画像ファイル名\" bgcolor=\"#ffffff\" text=\"#000000\" "
    "link=\"#0000ff\" vlink=\"#cc00ff\" alink=\"#ff0000\">\r\n"
    "\r\n"
    "</body>\r\n"
    "</html>";

TEST(PageTemplate, FillsAnEmptyDocumentWithoutAsking) {
  Bench b;
  auto& pane = b.host.Open();
  b.commands.HTML1Click();
  EXPECT_TRUE(b.prompts.asked.empty());
  EXPECT_EQ(pane.Text(), S(kTemplate));
  EXPECT_EQ(pane.TextLength(), 401u);
  EXPECT_EQ(pane.SelStart(), 318u);
  EXPECT_EQ(pane.Text().substr(301, 17), "bgcolor=\"#ffffff\"");
  EXPECT_EQ(pane.Text().substr(318, 6), " text=");
  EXPECT_FALSE(pane.Modified());
  EXPECT_EQ(b.host.frameCaption, "Hemlo２");
  EXPECT_EQ(b.host.caretShown, 1);
  EXPECT_EQ(pane.focus_calls(), 1);

  b.commands.Font1Click(2);  // any later insertion marks the document
  EXPECT_TRUE(pane.Modified());
  EXPECT_EQ(pane.Text().substr(318, 7), "<b></b>");
}

TEST(PageTemplate, AsksOnANonEmptyDocument) {
  // A page with a file is named: saving would put the template over it.
  const std::string file = ::testing::TempDir() + "template-page.htm";
  std::ofstream(file) << " ";
  const struct {
    std::string path;
    std::string question;
  } pages[] = {
      {"", "現在の書き込まれてある文字を初期化します。\r\n\r\n　…よろしいですか？"},
      {"/no/such/new.htm", "現在の書き込まれてある文字を初期化します。\r\n\r\n　…よろしいですか？"},
      {file, "現在の書き込まれてある文字を初期化します。\r\n\r\nこのページのファイル " + file +
                 " は、上書き保存するとひな形で置き換わります。\r\n\r\n　…よろしいですか？"},
  };
  for (const auto& page : pages)
    for (Answer a : {Answer::No, Answer::Cancel}) {
      SCOPED_TRACE(page.path);
      Bench b;
      b.prompts.answers = {a};
      b.host.documentPath = page.path;
      auto& pane = b.host.Open(" ");
      pane.SetSelStart(1);
      b.commands.HTML1Click();
      ASSERT_EQ(b.prompts.asked.size(), 1u);
      EXPECT_EQ(b.prompts.asked[0].caption, "確認");
      EXPECT_EQ(b.prompts.asked[0].text, page.question);
      EXPECT_EQ(b.prompts.asked[0].buttons, Buttons::YesNoCancel);
      EXPECT_EQ(b.prompts.asked[0].icon, Icon::None);
      EXPECT_EQ(pane.Text(), " ");
      EXPECT_EQ(pane.SelStart(), 1u);
      EXPECT_EQ(b.host.frameCaption, "frame");
    }
  Bench b;
  b.prompts.answers = {Answer::Yes};
  auto& pane = b.host.Open(" ");
  pane.SetModified(true);
  b.commands.HTML1Click();
  EXPECT_EQ(pane.Text(), S(kTemplate));
  EXPECT_FALSE(pane.Modified());
}

TEST(PageTemplate, OpensOneWindowWhenNoneIsOpen) {
  Bench b;
  b.commands.HTML1Click();
  ASSERT_EQ(b.host.panes.size(), 1u);
  EXPECT_TRUE(b.prompts.asked.empty());
  EXPECT_EQ(b.host.panes[0]->Text(), S(kTemplate));
  EXPECT_EQ(b.host.panes[0]->SelStart(), 318u);
}

// ------------------------------------------------------- head insertions

TEST(HeadRule, StyleBlockOnTheTemplate) {
  Bench b;
  b.commands.HTML1Click();
  b.commands.mnuStyleClick(0);
  const std::string t = b.host.active->Text();
  const std::string expected_line6 =
      S("<title>&lt;タイトルになります&gt;</title>\r\n<STYLE type=\"text/css\">\r\n");
  EXPECT_NE(t.find(expected_line6), std::string::npos);
  EXPECT_NE(t.find("</STYLE>\r\n</head>\r\n<body"), std::string::npos);
  EXPECT_EQ(t.size(), 401u + 341u);
}

TEST(HeadRule, UpperCaseAndFirstOfTwo) {
  Bench b;
  auto& pane = b.host.Open(S("<HEAD></HEAD>x</head>語句"));
  pane.SetSelStart(19);
  pane.SetSelLength(4);
  b.commands.java1Click(1);
  const std::string script =
      "\r\n<SCRIPT LANGUAGE=\"JavaScript\" SRC=\"QZ.js\">\r\n<!--\r\n//-->\r\n</SCRIPT>\r\n";
  EXPECT_EQ(pane.Text(), "<HEAD>" + script + S("</HEAD>x</head>語句"));
  EXPECT_EQ(pane.SelStart(), 6 + script.size());
}

TEST(HeadRule, WithoutHeadScriptsRefuseAndStylesUseTheCaret) {
  Bench b;
  b.prompts.answers = {Answer::Ok};
  auto& pane = b.host.Open(S("本文</hea d>"));
  pane.SetSelStart(2);
  pane.SetSelLength(2);
  b.commands.java1Click(0);
  ASSERT_EQ(b.prompts.asked.size(), 1u);
  EXPECT_EQ(b.prompts.asked[0].text,
            "まず、メニューから\r\n\r\n[ファイル]－[基本形＜初期化＞]を選択してください");
  EXPECT_EQ(pane.Text(), S("本文</hea d>"));
  EXPECT_EQ(b.commands.PendingFragment, "");

  b.commands.mnuStyleClick(1);  // the selected 文 stays; the link goes before it
  const std::string link = "\r\n<LINK rel=stylesheet href=\"QZ.css\" type=\"text/css\">\r\n";
  EXPECT_EQ(pane.Text(), S("本") + link + S("文</hea d>"));
  EXPECT_EQ(pane.SelStart(), 2 + link.size());
}

// ------------------------------------------------------- no document open

TEST(NoDocument, OrdinaryCommandsDoNothing) {
  Bench b;
  b.commands.Font1Click(0);
  b.commands.Font1Click(2);
  b.commands.mnuStyleClick(5);
  b.commands.mnuInsertClick(0);
  b.commands.N44Click();
  b.commands.mnuDelTagClick();
  EXPECT_TRUE(b.dialog.shownTabs.empty());
  EXPECT_TRUE(b.prompts.asked.empty());
  EXPECT_TRUE(b.host.panes.empty());
}

TEST(NoDocument, DialogCommandsShowTheDialogAndDropTheResult) {
  Bench b;
  b.dialog.actions = {
      [](BuilderModel& m, Prompts& p) { EXPECT_TRUE(m.Button3Click(p)); },
      [](BuilderModel& m, Prompts& p) { EXPECT_TRUE(m.Button1Click(p)); },
  };
  b.commands.mnuColorSetClick();
  b.commands.mnuTableSetClick();
  b.commands.mnuTableClick(3);
  EXPECT_EQ(b.dialog.shownTabs, (std::vector<int>{1, 0}));
  EXPECT_TRUE(b.host.panes.empty());
  EXPECT_EQ(b.commands.PendingFragment, "");
  EXPECT_TRUE(b.prompts.asked.empty());
}

// ------------------------------------------------------- fonts and colours

TEST(FontCommand, SizeOnlyAndClosedDialog) {
  Bench b;
  auto& pane = b.host.Open("sel");
  pane.SelectAll();
  b.dialog.model.colorSize.CheckColor = true;  // the command unchecks it
  b.dialog.actions = {
      [](BuilderModel& m, Prompts& p) {
        EXPECT_FALSE(m.colorSize.CheckColor);
        EXPECT_FALSE(m.colorSize.CheckSize);
        m.colorSize.CheckSize = true;
        m.colorSize.ComboBox3 = "5";
        EXPECT_TRUE(m.Button3Click(p));
      },
      PressClose,
      PressClose,
  };
  b.commands.Font1Click(0);
  EXPECT_EQ(pane.Text(), "<font size=\"5\">sel</font>");
  pane.SelectAll();
  b.commands.Font1Click(0);  // 閉じる: nothing
  EXPECT_EQ(pane.Text(), "<font size=\"5\">sel</font>");
  b.commands.mnuInsertClick(2);  // 背景色 closed: nothing either
  EXPECT_EQ(pane.Text(), "<font size=\"5\">sel</font>");
  EXPECT_TRUE(b.dialog.model.colorSize.CheckColor);
  EXPECT_FALSE(b.dialog.model.colorSize.CheckSize);
}

TEST(FontCommand, BaseFontKeepsTheTabShownLast) {
  Bench b;
  auto& pane = b.host.Open("abc");
  pane.SelectAll();
  b.dialog.model.currentTab = kStyleSheetTab;
  b.dialog.actions = {[](BuilderModel& m, Prompts&) {
    EXPECT_TRUE(m.colorSize.CheckSize);
    EXPECT_FALSE(m.colorSize.CheckColor);
    m.Button2Click();
  }};
  b.commands.Font1Click(1);
  EXPECT_EQ(b.dialog.shownTabs, (std::vector<int>{kStyleSheetTab}));
  EXPECT_EQ(pane.Text(), "<basefont size=\"4\">abc");
}

TEST(StyleRule, DetailedSettingNeverReusesAnOldRule) {
  Bench b;
  auto& pane = b.host.Open("x");
  b.dialog.model.SettingResult = ".Old{color:red;\r\n}";
  b.dialog.actions = {[](BuilderModel& m, Prompts&) { EXPECT_EQ(m.SettingResult, ""); }};
  b.commands.mnuStyleClick(5);  // closed with the title-bar box
  EXPECT_EQ(pane.Text(), "x");
}

// ------------------------------------------------------------------ tables

struct TableCase {
  const char* what;
  std::function<void(TableSettings&)> set;
  const char* expected;
};

TEST(TableCommand, SettingsShapeTheGrid) {
  const std::vector<TableCase> cases = {
      {"cellpadding",
       [](TableSettings& t) {
         t.Checkcellpadding = true;
         t.Cmbcellpadding = "8";
       },
       "<table border=\"1\" cellpadding=8 width=\"320\" height=\"150\">\r\n"
       "<TR><TD>data</TD><TD>data</TD></TR>\r\n<TR><TD>data</TD><TD>data</TD></TR>\r\n</table>"},
      {"all attributes",
       [](TableSettings& t) {
         t.CheckKeisenColor = true;
         t.Checkcellpadding = true;
         t.Checkcellspacing = true;
         t.Cmbcellspacing = "12";
         t.ComboBox1 = "1";
         t.ComboBox2 = "1";
       },
       "<table border=\"1\" bordercolor=\"#000080\" cellpadding=4 cellspacing=12 width=\"320\" "
       "height=\"150\">\r\n<TR><TD>data</TD></TR>\r\n</table>"},
      {"caption",
       [](TableSettings& t) {
         t.CheckTitle = true;
         t.EdTitle = S("売上");
         t.ComboBox1 = "0";
       },
       "<table border=\"1\" width=\"320\" height=\"150\">\r\n <caption>売上</caption>\r\n</table>"},
      {"3 by 1",
       [](TableSettings& t) {
         t.ComboBox1 = "3";
         t.ComboBox2 = "1";
       },
       "<table border=\"1\" width=\"320\" height=\"150\">\r\n<TR><TD>data</TD></TR>\r\n"
       "<TR><TD>data</TD></TR>\r\n<TR><TD>data</TD></TR>\r\n</table>"},
      {"no rows", [](TableSettings& t) { t.ComboBox1 = "0"; },
       "<table border=\"1\" width=\"320\" height=\"150\">\r\n</table>"},
      {"no columns",
       [](TableSettings& t) {
         t.ComboBox2 = "-2";
         t.CheckKeisen = false;
       },
       "<table width=\"320\" height=\"150\">\r\n<TR></TR>\r\n<TR></TR>\r\n</table>"},
      {"empty width",
       [](TableSettings& t) {
         t.Edit1 = "";
         t.ComboBox1 = "0";
       },
       "<table border=\"1\" width=\"\" height=\"150\">\r\n</table>"},
  };
  for (const auto& c : cases) {
    Bench b;
    auto& pane = b.host.Open();
    c.set(b.dialog.model.table);
    b.commands.mnuTableClick(0);
    EXPECT_EQ(pane.Text(), S(c.expected)) << c.what;
  }
}

TEST(TableCommand, NonIntegerCountStopsBeforeInserting) {
  Bench b;
  auto& pane = b.host.Open("keep");
  pane.SelectAll();
  b.dialog.model.table.ComboBox1 = "abc";
  b.commands.mnuTableClick(0);
  ASSERT_EQ(b.prompts.asked.size(), 1u);
  EXPECT_EQ(b.prompts.asked[0].kind, "error");
  EXPECT_EQ(b.prompts.asked[0].text, "'abc' は整数ではありません");
  EXPECT_EQ(pane.Text(), "keep");
  EXPECT_EQ(b.commands.PendingFragment, "");
  b.commands.mnuTableClick(1);  // the demonstration tables convert nothing
  EXPECT_TRUE(pane.Text().starts_with(
      "<table border=\"1\" width=\"320\" height=\"150\">\r\n  <tr bgcolor"));
}

TEST(TableCommand, HugeGridIsRefused) {
  Bench b;
  auto& pane = b.host.Open();
  b.dialog.model.table.ComboBox1 = "100000";
  b.dialog.model.table.ComboBox2 = "100000";
  b.commands.mnuTableClick(0);
  ASSERT_EQ(b.prompts.asked.size(), 1u);
  EXPECT_EQ(b.prompts.asked[0].kind, "error");
  EXPECT_EQ(pane.Text(), "");
}

TEST(TableCommand, AcceptedOnceDrawsAfterEveryLaterDialog) {
  Bench b;
  auto& pane = b.host.Open();
  b.prompts.answers = {Answer::Ok};
  b.dialog.actions = {
      PressClose,  // not yet accepted: nothing
      [](BuilderModel& m, Prompts& p) {
        m.table.ComboBox1 = "0";
        EXPECT_FALSE(m.Button1Click(p));  // "0" fails the check; the user fixes it
        m.table.ComboBox1 = "1";
        EXPECT_TRUE(m.Button1Click(p));
      },
      PressClose,
  };
  b.commands.mnuTableSetClick();
  EXPECT_EQ(pane.Text(), "");
  b.commands.mnuTableSetClick();
  const std::string one =
      "<table border=\"1\" width=\"320\" height=\"150\">\r\n<TR><TD>data</TD><TD>data</TD></TR>"
      "\r\n</table>";
  EXPECT_EQ(pane.Text(), one);
  b.commands.mnuTableSetClick();
  EXPECT_EQ(pane.Text(), one + one);
  EXPECT_EQ(b.prompts.asked.size(), 1u);
  EXPECT_EQ(b.prompts.asked[0].text, "未記入の項目があります");
}

// A title filled in for a UTF-8 page holds characters a Shift-JIS page
// cannot: drawn again there, the table is refused, never written as codes.
TEST(TableCommand, TitleForAUtf8PageIsRefusedByAShiftJisPage) {
  Bench b;
  auto& utf8 = b.host.Open();
  utf8.LoadDocument("", text::Encoding::kUtf8);
  b.prompts.answers = {Answer::Ok};
  b.dialog.actions = {[](BuilderModel& m, Prompts& p) {
    EXPECT_EQ(m.document_encoding, text::Encoding::kUtf8);
    m.table.CheckTitle = true;
    m.table.ComboBox1 = "1";
    m.table.EdTitle = text::Utf8ToView("😀");
    EXPECT_TRUE(m.Button1Click(p));
  }};
  b.commands.mnuTableSetClick();
  EXPECT_NE(utf8.DocumentBytes().find("<caption>😀</caption>"), std::string::npos);
  auto& sjis = b.host.Open();
  b.commands.mnuTableClick(0);  // 表描画(直前の設定)
  EXPECT_EQ(sjis.Text(), "");
  ASSERT_FALSE(b.prompts.asked.empty());
  EXPECT_EQ(b.prompts.asked.back().text, "Shift-JIS で表せない文字は入力できません（😀）");
}

// ------------------------------------------------------ paragraphs, links

TEST(Paragraphs, SplitFormsDropBlankLinesBetweenHeadAndRest) {
  Bench b;
  auto& pane = b.host.Open(S("  用語\r\n\r\n説明文  "));
  pane.SelectAll();
  b.commands.mnuKaigyoClick(6);
  EXPECT_EQ(pane.Text(), S("<dl>\r\n　<dt>用語\r\n　<dd>説明文\r\n</dl>"));

  pane.SetText(S("\tタイトル\r\n本文1\r\n\r\n本文2\r\n"));
  pane.SelectAll();
  b.commands.mnuKaigyoClick(7);
  EXPECT_EQ(pane.Text(), S("タイトル<blockquote>\r\n本文1\r\n\r\n本文2\r\n</blockquote>"));

  pane.SetText(S("　一行だけ　\r\n"));  // full-width spaces stay; one line gives the sample
  pane.SelectAll();
  b.commands.mnuKaigyoClick(6);
  EXPECT_EQ(pane.Text().substr(0, 6), "<dl>\r\n");
  EXPECT_NE(pane.Text().find(S("ＨＴＭＬとは")), std::string::npos);
}

TEST(Links, MailAddressGoesIntoTheLink) {
  Bench b;
  auto& pane = b.host.Open("info@example.jp");
  pane.SelectAll();
  b.commands.URL1Click(1);
  EXPECT_EQ(pane.Text(), "<a href=\"mailto:info@example.jp\"></a>");

  // The full-width space is 81 40: its second byte is no at sign.
  pane.SetText(S("山　田"));
  pane.SelectAll();
  b.commands.URL1Click(1);
  EXPECT_EQ(pane.Text(), S("<a href=\"mailto:ここにメールアドレスを入れてね\">山　田</a>"));
}

TEST(Insertion, ReplacesAMultiLineSelection) {
  Bench b;
  auto& pane = b.host.Open("a\r\nbc\r\nd");
  pane.SetSelStart(1);
  pane.SetSelLength(6);
  b.commands.mnuSetAlignClick(4);
  EXPECT_EQ(pane.Text(), "a align=\"center\"\r\nbc\r\nd");
  b.commands.PendingFragment = "zz";
  b.host.active = nullptr;
  b.commands.InsertPendingFragment();  // dropped without a window
  EXPECT_EQ(b.commands.PendingFragment, "");
}

// ------------------------------------------------------------ transforms

TEST(Transforms, KanaConversionAsksFirst) {
  Bench b;
  b.prompts.answers = {Answer::Ok, Answer::No, Answer::Yes};
  auto& pane = b.host.Open(S("ｶﾞｷﾞﾊﾟﾋﾟｳﾞ"));
  b.commands.N44Click();
  ASSERT_EQ(b.prompts.asked.size(), 1u);
  EXPECT_EQ(b.prompts.asked[0].text, "全角に変換したい文字列を範囲指定してください。");
  pane.SelectAll();
  b.commands.N44Click();
  EXPECT_EQ(pane.Text(), S("ｶﾞｷﾞﾊﾟﾋﾟｳﾞ"));
  ASSERT_EQ(b.prompts.asked.size(), 2u);
  EXPECT_EQ(b.prompts.asked[1].caption, "警告");
  EXPECT_EQ(b.prompts.asked[1].text,
            "指定した範囲内の半角文字列を全角に変換します。\r\n\r\nよろしいですか");
  EXPECT_EQ(b.prompts.asked[1].buttons, Buttons::YesNoCancel);
  EXPECT_EQ(b.prompts.asked[1].icon, Icon::Warning);
  b.commands.N44Click();
  EXPECT_EQ(pane.Text(), S("ガギパピヴ"));
}

TEST(Transforms, TagRemovalOfOnlyTagsRemovesThem) {
  Bench b;
  auto& pane = b.host.Open("x<br><hr>y");
  pane.SetSelStart(1);
  pane.SetSelLength(8);
  b.commands.mnuDelTagClick();
  EXPECT_EQ(pane.Text(), "xy");
  EXPECT_EQ(pane.SelStart(), 1u);
  pane.SetText("a<b>c<d");
  pane.SelectAll();
  b.commands.mnuDelTagClick();
  EXPECT_EQ(pane.Text(), "ac<d");
}

// --------------------------------------------------------------- file name

class FileNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::filesystem::current_path();
    root_ = std::filesystem::temp_directory_path() / ("hemlo_fn_" + std::to_string(::getpid()));
    std::filesystem::create_directories(root_ / "site" / "img");
    std::filesystem::create_directories(root_ / "pics");
    std::filesystem::current_path(root_ / "site");
    DialogFolder::Set(std::nullopt);
  }
  void TearDown() override {
    std::filesystem::current_path(saved_);
    std::filesystem::remove_all(root_);
    DialogFolder::Set(std::nullopt);
  }
  // The page's bytes after inserting the chosen name into "[]".
  std::string Insert(const std::string& chosen, text::Encoding encoding = text::Encoding::kShiftJis,
                     const std::string& page_file = {}) {
    Bench b;
    b.host.documentPath = page_file;
    b.prompts.inputs = {chosen};
    b.prompts.answers = {Answer::Ok};
    auto& pane = b.host.Open("[]");
    pane.LoadDocument("[]", encoding);
    pane.SetSelStart(1);
    b.commands.mnuInsertClick(0);
    asked_ = b.prompts.asked;
    return pane.DocumentBytes();
  }
  std::filesystem::path saved_, root_;
  std::vector<ScriptedPrompts::Asked> asked_;
};

TEST_F(FileNameTest, RelativeToTheCurrentFolder) {
  const std::string r = root_.string();
  EXPECT_EQ(Insert(r + "/site/img/a.gif"), "[img/a.gif]");
  EXPECT_EQ(Insert(r + "/site/index.htm"), "[index.htm]");
  EXPECT_EQ(Insert(r + "/pics/b.jpg"), "[../pics/b.jpg]");
  EXPECT_EQ(Insert(r + "/site/表/c.gif"), S("[表/c.gif]"));  // 表 is 95 5C
  EXPECT_EQ(std::filesystem::current_path(), root_ / "site");
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].kind, "open");
}

TEST_F(FileNameTest, CancelAndNamesThePageCannotHoldInsertNothing) {
  Bench b;
  b.prompts.inputs = {std::nullopt};
  auto& pane = b.host.Open("[]");
  b.commands.mnuInsertClick(0);
  EXPECT_EQ(pane.Text(), "[]");

  EXPECT_EQ(Insert(root_.string() + "/site/\xED\x95\x9C.gif"), "[]");  // Hangul 한
  ASSERT_EQ(asked_.size(), 2u);
  EXPECT_EQ(asked_[1].kind, "message");
  // A UTF-8 page takes the name as it is.
  EXPECT_EQ(Insert(root_.string() + "/site/\xED\x95\x9C.gif", text::Encoding::kUtf8),
            "[\xED\x95\x9C.gif]");
}

TEST_F(FileNameTest, BaseIsTheFolderOfTheFileLastChosenAndOtherMountsKeepTheFullName) {
  const std::string site = (root_ / "site").string();
  DialogFolder::Chosen(site + "/index.htm");
  std::filesystem::current_path(root_ / "pics");  // the process's folder plays no part
  EXPECT_EQ(Insert(site + "/img/a.gif"), "[img/a.gif]");
  EXPECT_EQ(asked_[0].text, site);        // the dialog starts there too
  EXPECT_EQ(DialogFolder::Last(), site);  // and its own choice does not move it

  // A separate mount is another drive.
  const std::filesystem::path shm = "/dev/shm";
  struct stat a {
  }, b{};
  if (::stat(shm.c_str(), &a) != 0 || ::stat(site.c_str(), &b) != 0 || a.st_dev == b.st_dev)
    GTEST_SKIP() << "no second mount";
  const std::filesystem::path other = shm / ("hemlo_fn_" + std::to_string(::getpid()) + ".gif");
  std::ofstream(other.string()) << "x";
  EXPECT_EQ(Insert(other.string()), "[" + other.string() + "]");
  std::filesystem::remove(other);
}

TEST_F(FileNameTest, APageWithAFileIsItsOwnBase) {
  // However it was opened (start-up argument, history, drop), neither the
  // process's folder nor the last dialog's folder plays a part.
  const std::string r = root_.string();
  DialogFolder::Chosen(r + "/pics/b.jpg");
  std::filesystem::current_path(root_);
  EXPECT_EQ(Insert(r + "/site/img/a.gif", text::Encoding::kShiftJis, r + "/site/index.htm"),
            "[img/a.gif]");
  EXPECT_EQ(Insert(r + "/site/img/a.gif", text::Encoding::kShiftJis, r + "/pics/new.htm"),
            "[../site/img/a.gif]");
  EXPECT_EQ(DialogFolder::Last(), r + "/pics");
}

TEST(RelativeFileName, Rules) {
  EXPECT_EQ(RelativeFileName("/a/b", "/a/b/c/d.htm"), "c/d.htm");
  EXPECT_EQ(RelativeFileName("/a/b/", "/a/x/y.htm"), "../x/y.htm");
  EXPECT_EQ(RelativeFileName("/a/b/c", "/z.htm"), "../../../z.htm");
  EXPECT_EQ(RelativeFileName("/", "/z.htm"), "z.htm");
}

}  // namespace
}  // namespace hemlo::authoring
