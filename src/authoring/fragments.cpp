#include "authoring/fragments.h"

#include <filesystem>
#include <initializer_list>

#include "base/ascii_case.h"
#include "authoring/transforms.h"
#include "text/cp932.h"

namespace hemlo::authoring {

namespace {

using text::Sjis;

std::string JoinLines(std::initializer_list<std::string_view> lines) {
  std::string out;
  bool first = true;
  for (std::string_view line : lines) {
    if (!first) out += "\r\n";
    out += Sjis(line);
    first = false;
  }
  return out;
}

Composition Insert(std::string fragment, Placement placement = Placement::Selection) {
  return Composition{true, std::move(fragment), placement};
}

Composition Nothing() { return Composition{}; }

std::string Wrap(std::string_view open, std::string_view sel, std::string_view close) {
  std::string out = Sjis(open);
  out.append(sel);
  out += Sjis(close);
  return out;
}

// Drops leading and trailing bytes of code 32 or below. Such bytes are never
// the second byte of a double-byte character, so no character is cut.
std::string_view TrimControls(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// Head and rest of the split forms of 単語定義 and 引用文; nullopt for one line.
std::optional<std::pair<std::string_view, std::string_view>> SplitHeadRest(std::string_view sel) {
  const std::string_view t = TrimControls(sel);
  const auto cr = t.find('\r');
  if (cr == std::string_view::npos) return std::nullopt;
  std::string_view rest = t.substr(cr + 1);
  while (!rest.empty() && (rest.front() == '\r' || rest.front() == '\n')) rest.remove_prefix(1);
  return std::make_pair(t.substr(0, cr), rest);
}

std::string ClassElement(std::string_view name, std::string_view sel) {
  std::string out = "<" + std::string(name) + " class=\"Myclass1\">";
  if (sel.empty()) {
    out += Sjis("classの設定が反映されます</") + std::string(name) + ">\r\n";
  } else {
    out += "\r\n";
    out.append(sel);
    out += "</" + std::string(name) + ">\r\n";
  }
  return out;
}

std::string DemoTableBody(int tag) {
  switch (tag) {
    case 1:
      return JoinLines({"  <tr bgcolor=\"#ff00cc\"><th>data1</th><th>data2</th></tr>",
                        "  <tr><td>data3</td><td>data4</td></tr>", "</table>"});
    case 2:
      return JoinLines({"  <tr><th bgcolor=\"#ff00cc\">data1</th><td>data2</td></tr>",
                        "  <tr><th bgcolor=\"#ff00cc\">data3</th><td>data4</td></tr>", "</table>"});
    case 3:
      return JoinLines({"  <tr>", "    <th rowspan=\"3\" bgcolor=\"#ff00cc\">行結合</th>",
                        "    <td>data1</td><td>data2</td>", "  </tr>",
                        "  <tr><td>data3</td><td>data4</td></tr>",
                        "  <tr><td>data5</td><td>data6</td></tr>", "</table>"});
    case 4:
      return JoinLines({"  <tr><th colspan=\"3\" bgcolor=\"#ff00cc\">列結合</th>", "  </tr>",
                        "  <tr>", "    <td>data1</td><td>data2</td><td>data3</td>", "  </tr>",
                        "  <tr>", "    <td>data4</td><td>data5</td><td>data6</td>", "  </tr>",
                        "</table>"});
    default:
      return {};
  }
}

Composition FontCommand(int tag, std::string_view sel, const BuilderModel& d) {
  switch (tag) {
    case 0: {
      if (d.SettingResult.empty()) return Nothing();
      std::string out = "<font";
      if (d.colorSize.CheckSize) out += " size=\"" + d.colorSize.ComboBox3 + "\"";
      if (d.colorSize.CheckColor) out += " color=\"" + d.SettingResult + "\"";
      out += ">";
      out.append(sel);
      out += "</font>";
      return Insert(out);
    }
    case 1: {
      std::string out = "<basefont size=\"" + d.colorSize.ComboBox3 + "\">";
      out.append(sel);
      return Insert(out);
    }
    case 2:
      return Insert(Wrap("<b>", sel, "</b>"));
    case 3:
      return Insert(Wrap("<i>", sel, "</i>"));
    case 4:
      return Insert(Wrap("<u>", sel, "</u>"));
    case 5:
      return Insert(Wrap("<strike>", sel, "</strike>"));
    case 6:
      return Insert(Wrap("<h1>", sel, "</h1>"));
    default:
      return Nothing();
  }
}

Composition AlignCommand(int tag, std::string_view sel) {
  static constexpr const char* kSides[] = {"left", "center", "right"};
  if (tag >= 0 && tag <= 2) {
    return Insert(Wrap(std::string("<div align=\"") + kSides[tag] + "\">", sel, "</div>"));
  }
  if (tag >= 3 && tag <= 5) {
    return Insert(Wrap(std::string(" align=\"") + kSides[tag - 3] + "\"", sel, ""));
  }
  return Nothing();
}

Composition InsertCommand(int tag, const BuilderModel& d) {
  switch (tag) {
    case 1:
      return Insert(Sjis("<img src=\"画像ファイル名\" alt=\"この画像は○○です\">"));
    case 2:
      if (d.SettingResult.empty()) return Nothing();
      return Insert(" bgcolor=\"" + d.SettingResult + "\"");
    case 3:
      return Insert("<hr>");
    default:
      return Nothing();  // 0 (ファイル名...) needs the file dialog
  }
}

Composition LinkCommand(int tag, std::string_view sel) {
  const std::string t = sel.empty() ? Sjis("ｼﾞｬﾝﾌﾟ先") : std::string(sel);
  switch (tag) {
    case 0:
      return Insert(Wrap("<a href=\"http://ここにURLを入れてね\">", t, "</a>"));
    case 1:
      if (ContainsAsciiChar(t, '@')) return Insert("<a href=\"mailto:" + t + "\"></a>");
      return Insert(Wrap("<a href=\"mailto:ここにメールアドレスを入れてね\">", t, "</a>"));
    case 2: {
      std::string out = "<a href=\"#QZ\">" + t + "</a>\r\n";
      for (int i = 0; i < 24; ++i) out += "<br>";
      out += "\r\n" + Sjis("<a name=\"QZ\">ここです</a>");
      return Insert(out);
    }
    default:
      return Nothing();
  }
}

Composition ParagraphCommand(int tag, std::string_view sel) {
  const std::string s(sel);
  switch (tag) {
    case 0:
      return Insert(s + "<br>\r\n");
    case 1:
      return Insert(s + "<br clear=\"all\">\r\n");
    case 2:
      if (sel.empty()) return Insert(Sjis("<p>これは段落です。前後に空行が入ります。</p>\r\n"));
      return Insert("<p>\r\n" + s + "</p>\r\n");
    case 3:
      if (sel.empty())
        return Insert(Sjis("<div>これは段落です。前後に空行が入りません。</div>\r\n"));
      return Insert("\r\n<div>\r\n" + s + "</div>\r\n");
    case 4:
      return Insert(
          Sjis("　<ol>番号付きリスト\r\n　　<li>リスト１\r\n　　<li>リスト２\r\n　</ol>"));
    case 5:
      return Insert(
          Sjis("　<ul>記号付きリスト\r\n　　<li>リスト１\r\n　　<li>リスト２\r\n　</ul>"));
    case 6: {
      auto split = SplitHeadRest(sel);
      if (!split) {
        return Insert(
            Sjis("<dl>\r\n　<dt>ＨＴＭＬとは\r\n　<dd>WWW上に配信するファイルを作成するために"
                 "使われるプログラム言語の一種です\r\n</dl>"));
      }
      return Insert(Sjis("<dl>\r\n　<dt>") + std::string(split->first) + "\r\n" + Sjis("　<dd>") +
                    std::string(split->second) + "\r\n</dl>");
    }
    case 7: {
      auto split = SplitHeadRest(sel);
      if (!split) {
        return Insert(
            Sjis("引用文のタイトル<blockquote>これは引用文です。前後に空行が入ります。\r\n"
                 "　　</blockquote>"));
      }
      return Insert(std::string(split->first) + "<blockquote>\r\n" + std::string(split->second) +
                    "\r\n</blockquote>");
    }
    default:
      return Nothing();
  }
}

Composition TableCommand(int tag, const BuilderModel& d) {
  if (tag == 0) return Insert(GridTable(d.table));
  if (tag >= 1 && tag <= 4) return Insert(TableStartTag(d.table) + DemoTableBody(tag));
  return Nothing();
}

Composition TableAttributeCommand(int tag) {
  switch (tag) {
    case 0:
      return Insert(" width=\"100\"");
    case 1:
      return Insert(" height=\"100\"");
    case 2:
      return Insert(" bordercolor=\"#000080\"");
    case 3:
      return Insert(" CellSpacing=\"1\"");
    case 4:
      return Insert(" CellPadding=\"1\"");
    default:
      return Nothing();
  }
}

Composition StyleCommand(int tag, std::string_view sel, const BuilderModel& d) {
  switch (tag) {
    case 0:
      return Insert(StyleSheetBlock(), Placement::HeadOrCaret);
    case 1:
      return Insert("\r\n<LINK rel=stylesheet href=\"QZ.css\" type=\"text/css\">\r\n",
                    Placement::HeadOrCaret);
    case 2:
      return Insert(ClassElement("div", sel));
    case 3:
      return Insert(ClassElement("p", sel));
    case 4:
      return Insert(ClassElement("span", sel));
    case 5:
      if (d.SettingResult.empty()) return Nothing();
      return Insert(d.SettingResult);
    default:
      return Nothing();
  }
}

Composition ScriptCommand(int tag) {
  switch (tag) {
    case 0:
      return Insert("\r\n<SCRIPT LANGUAGE=\"JavaScript\">" + ScriptTail(), Placement::HeadOrRefuse);
    case 1:
      return Insert("\r\n<SCRIPT LANGUAGE=\"JavaScript\" SRC=\"QZ.js\">" + ScriptTail(),
                    Placement::HeadOrRefuse);
    case 2:
      return Insert(
          "<p onMouseover=\"this.style.fontWeight='bold'\" "
          "onMouseout=\"this.style.fontWeight='normal'\">QZtitle</p>");
    case 3:
      return Insert(
          Sjis("<span onmouseover=\"this.style.background='pink';\" "
               "onmouseout=\"this.style.background='#ffffff';\">\r\n"
               "<a href=\"http://ここにURLを入れてね\">ｼﾞｬﾝﾌﾟ先</a>\r\n</span>"));
    case 4:
      return Insert(
          Sjis("<div onmouseover=\"com1.style.visibility='visible'\" "
               "onmouseout=\"com1.style.visibility='hidden'\">アイリーン＝アドラー</div>\r\n"
               "<p class=\"comment\" id=\"com1\" style=\"visibility:hidden\">"
               "　女性に興味を持たない名探偵ホームズが、生涯で<br>"
               "　ただひとりその能力を認め、尊敬した女性</p>"));
    default:
      return Nothing();
  }
}

Composition FormCommand(int tag) {
  switch (tag) {
    case 0:
      return Insert(Sjis("<form action=mailto:ここにメールアドレスをいれてね method=\"post\" "
                         "enctype=\"text/plain\">") +
                    QuestionnaireBody());
    case 1:
      return Insert("<form action=\"kekka.cgi\" method=\"post\">" + QuestionnaireBody());
    case 2:
      return Insert("<input type=\"text\" name=\"name\">");
    case 3:
      return Insert("<textarea name=\"name\" rows=\"5\" cols=\"30\"></textarea>");
    case 4:
      return Insert(
          Sjis("<input type=\"radio\" name=\"ラジオ\" value=\"送信する値\">男\r\n"
               "<input type=\"radio\" name=\"ラジオ\" value=\"送信する値\">女"));
    case 5:
      return Insert(
          Sjis("<input type=\"checkbox\" name=\"チェック\" value=\"送信する値\">埼玉県職員\r\n"
               "<input type=\"checkbox\" name=\"チェック\" value=\"送信する値\">市町村職員"));
    case 6:
      return Insert(
          Sjis("<select name=\"name\">\r\n <option value=\"コンボ１\">選択肢1\r\n"
               " <option value=\"コンボ２\">選択肢2\r\n"
               " <option value=\"コンボ３\">選択肢3\r\n</select>"));
    default:
      return Nothing();
  }
}

}  // namespace

DialogStep DialogBefore(Handler handler, int tag) {
  DialogStep step;
  switch (handler) {
    case Handler::Font1Click:
      if (tag == 0) step = {true, kColorSizeTab, false, false, false};
      if (tag == 1) step = {true, std::nullopt, false, true, false};
      break;
    case Handler::mnuInsertClick:
      if (tag == 2) step = {true, kColorSizeTab, true, false, false};
      break;
    case Handler::mnuColorSetClick:
      step = {true, kColorSizeTab, true, false, false};
      break;
    case Handler::mnuTableSetClick:
      step = {true, kTableTab, std::nullopt, std::nullopt, false};
      break;
    case Handler::mnuStyleClick:
      if (tag == 5) step = {true, kStyleSheetTab, std::nullopt, std::nullopt, true};
      break;
    default:
      break;
  }
  return step;
}

bool ActsWithoutDocument(Handler handler) {
  return handler == Handler::mnuTableSetClick || handler == Handler::mnuColorSetClick ||
         handler == Handler::mnuTableClick;
}

Composition Compose(Handler handler, int tag, std::string_view sel, const BuilderModel& d) {
  switch (handler) {
    case Handler::Font1Click:
      return FontCommand(tag, sel, d);
    case Handler::mnuSetAlignClick:
      return AlignCommand(tag, sel);
    case Handler::mnuInsertClick:
      return InsertCommand(tag, d);
    case Handler::URL1Click:
      return LinkCommand(tag, sel);
    case Handler::mnuKaigyoClick:
      return ParagraphCommand(tag, sel);
    case Handler::mnuTableClick:
      return TableCommand(tag, d);
    case Handler::mnuTable2Click:
      return TableAttributeCommand(tag);
    case Handler::mnuTableSetClick:
      if (!d.TableAccepted) return Nothing();
      return TableCommand(0, d);
    case Handler::mnuStyleClick:
      return StyleCommand(tag, sel, d);
    case Handler::java1Click:
      return ScriptCommand(tag);
    case Handler::mnuFormClick:
      return FormCommand(tag);
    case Handler::mnuColorSetClick:
      if (d.SettingResult.empty()) return Nothing();
      return Insert(d.SettingResult);
    case Handler::mnuCommentClick:
      return Insert(CommentFragment(sel));
    case Handler::mnuDelTagClick:
      return Insert(DeleteTags(sel));
    case Handler::N44Click:
      return Insert(KanaToFullWidth(sel));
  }
  return Nothing();
}

std::string PageTemplate() {
  return JoinLines({
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">",
      "<html>",
      "<head>",
      "<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">",
      "<META http-equiv=\"Content-Style-Type\" content=\"text/css\">",
      "<title>&lt;タイトルになります&gt;</title></head>",
      "<body background=\"背景画像ファイル名\" bgcolor=\"#ffffff\" text=\"#000000\" "
      "link=\"#0000ff\" vlink=\"#cc00ff\" alink=\"#ff0000\">",
      "",
      "</body>",
      "</html>",
  });
}

std::string StyleSheetBlock() {
  std::string out = "\r\n";
  for (std::string_view line : {
           "<STYLE type=\"text/css\">",
           " <!--",
           "  /* ここにスタイル定義を記述する */",
           "  .Myclass1{color:red;}",
           "  .Myclass2{border-style:solid;border-color:red;}",
           "  .Myclass3{color:white;background-color:#FF0000;}",
           "  .Danraku{text-indent:1em;}",
           "  .Gyokan{line-height:1.5;}",
           "  .Margin1{margin-left:3em;}",
           "  H1{color:red;text-align:center;}",
           " -->",
           "</STYLE>",
       }) {
    out += Sjis(line) + "\r\n";
  }
  return out;
}

std::string QuestionnaireBody() {
  return JoinLines({
      "最も印象に残った講義は？<BR>",
      "<input type=\"hidden\" name=\"アンケート結果\" value=\"\"><input type=\"radio\" "
      "name=\"KOGI\" value=\"LANの仕組み\">LANの仕組み<br>",
      "<input type=\"radio\" name=\"KOGI\" value=\"著作権\">著作権<br>",
      "<input type=\"radio\" name=\"KOGI\" value=\"ﾎｰﾑﾍﾟｰｼﾞ作成\">ﾎｰﾑﾍﾟｰｼﾞ作成<br>",
      "<p>自由意見<br>",
      "<textarea name=\"MESSAGE\" rows=\"10\" cols=\"40\">",
      "</textarea></p>",
      "<input type=\"submit\" value=\"送信\">",
      "<input type=\"reset\" value=\"取消\">",
      "</form>",
  });
}

std::string ScriptTail() { return "\r\n<!--\r\n//-->\r\n</SCRIPT>\r\n"; }

std::optional<std::size_t> FindHeadEnd(std::string_view text) {
  // "<" and "/" are never second bytes of double-byte characters, so a match
  // that begins with them consists of whole single-byte characters.
  static constexpr std::string_view kHead = "</head>";
  if (text.size() < kHead.size()) return std::nullopt;
  for (std::size_t i = 0; i + kHead.size() <= text.size(); ++i) {
    if (text[i] != '<') continue;
    bool match = true;
    for (std::size_t k = 1; k < kHead.size() && match; ++k) {
      match = AsciiLower(text[i + k]) == kHead[k];
    }
    if (match) return i;
  }
  return std::nullopt;
}

bool ContainsAsciiChar(std::string_view sjis, char c) {
  for (std::size_t i = 0; i < sjis.size(); i += text::CharLength(sjis, i)) {
    if (sjis[i] == c && text::CharLength(sjis, i) == 1) return true;
  }
  return false;
}

std::string RelativeFileName(std::string_view base, std::string_view file) {
  namespace fs = std::filesystem;
  const fs::path b = fs::path(base).lexically_normal();
  const fs::path f = fs::path(file).lexically_normal();
  // Paths on different roots share nothing: the full name is used.
  if (b.root_path() != f.root_path()) return f.generic_string();
  const fs::path rel = f.lexically_relative(b);
  if (rel.empty()) return f.generic_string();
  return rel.generic_string();
}

}  // namespace hemlo::authoring
