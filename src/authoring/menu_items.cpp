#include "authoring/menu_items.h"

#include <array>

namespace hemlo::authoring {

namespace {

using H = Handler;

constexpr const char* kChar = "文字";
constexpr const char* kFormat = "書式";
constexpr const char* kInsert = "挿入";
constexpr const char* kPara = "段落";
constexpr const char* kTable = "表";
constexpr const char* kColor = "色...";
constexpr const char* kWork = "加工";

constexpr std::array kItems = {
    AuthoringMenuItem{kChar, "", "ﾌｫﾝﾄ(ｻｲｽﾞ・色)...", H::Font1Click, 0},
    AuthoringMenuItem{kChar, "", "全体のﾌｫﾝﾄｻｲｽﾞ", H::Font1Click, 1},
    AuthoringMenuItem{kChar, "", "太字", H::Font1Click, 2},
    AuthoringMenuItem{kChar, "", "斜体", H::Font1Click, 3},
    AuthoringMenuItem{kChar, "", "下線付き", H::Font1Click, 4},
    AuthoringMenuItem{kChar, "", "取消線", H::Font1Click, 5},
    AuthoringMenuItem{kChar, "", "見出し", H::Font1Click, 6},

    AuthoringMenuItem{kFormat, "配置（div）", "左寄せ", H::mnuSetAlignClick, 0},
    AuthoringMenuItem{kFormat, "配置（div）", "中央寄せ", H::mnuSetAlignClick, 1},
    AuthoringMenuItem{kFormat, "配置（div）", "右寄せ", H::mnuSetAlignClick, 2},
    AuthoringMenuItem{kFormat, "配置（align）", "左寄せ", H::mnuSetAlignClick, 3},
    AuthoringMenuItem{kFormat, "配置（align）", "中央寄せ", H::mnuSetAlignClick, 4},
    AuthoringMenuItem{kFormat, "配置（align）", "右寄せ", H::mnuSetAlignClick, 5},

    AuthoringMenuItem{kInsert, "", "ファイル名...", H::mnuInsertClick, 0},
    AuthoringMenuItem{kInsert, "", "画像", H::mnuInsertClick, 1},
    AuthoringMenuItem{kInsert, "", "背景色", H::mnuInsertClick, 2},
    AuthoringMenuItem{kInsert, "", "水平線", H::mnuInsertClick, 3},
    AuthoringMenuItem{kInsert, "", "リンク(URL)", H::URL1Click, 0},
    AuthoringMenuItem{kInsert, "", "リンク(MAIL)", H::URL1Click, 1},
    AuthoringMenuItem{kInsert, "", "リンク(NAME)", H::URL1Click, 2},

    AuthoringMenuItem{kPara, "", "改行", H::mnuKaigyoClick, 0},
    AuthoringMenuItem{kPara, "", "回り込み解除", H::mnuKaigyoClick, 1},
    AuthoringMenuItem{kPara, "", "前後に空行(p)", H::mnuKaigyoClick, 2},
    AuthoringMenuItem{kPara, "", "前後に空行なし(div)", H::mnuKaigyoClick, 3},
    AuthoringMenuItem{kPara, "", kSeparator, H::mnuKaigyoClick, -1},
    AuthoringMenuItem{kPara, "", "ﾘｽﾄ番号(ol)", H::mnuKaigyoClick, 4},
    AuthoringMenuItem{kPara, "", "ﾘｽﾄ記号(ul)", H::mnuKaigyoClick, 5},
    AuthoringMenuItem{kPara, "", "単語定義", H::mnuKaigyoClick, 6},
    AuthoringMenuItem{kPara, "", "引用文", H::mnuKaigyoClick, 7},

    AuthoringMenuItem{kTable, "", "表の設定...", H::mnuTableSetClick, 0},
    AuthoringMenuItem{kTable, "", "表描画(直前の設定)", H::mnuTableClick, 0},
    AuthoringMenuItem{kTable, "", "横幅(Width)", H::mnuTable2Click, 0},
    AuthoringMenuItem{kTable, "", "高さ(height)", H::mnuTable2Click, 1},
    AuthoringMenuItem{kTable, "", "罫線色", H::mnuTable2Click, 2},
    AuthoringMenuItem{kTable, "", "罫線幅(CellSpacing)", H::mnuTable2Click, 3},
    AuthoringMenuItem{kTable, "", "セル内余白(CellPadding)", H::mnuTable2Click, 4},
    AuthoringMenuItem{kTable, "", kSeparator, H::mnuTableClick, -1},
    AuthoringMenuItem{kTable, "", "表(１行目を強調)", H::mnuTableClick, 1},
    AuthoringMenuItem{kTable, "", "表(１列目を強調)", H::mnuTableClick, 2},
    AuthoringMenuItem{kTable, "", "表(行結合)", H::mnuTableClick, 3},
    AuthoringMenuItem{kTable, "", "表(列結合)", H::mnuTableClick, 4},

    AuthoringMenuItem{kColor, "", kColor, H::mnuColorSetClick, 0},

    AuthoringMenuItem{kWork, "ｽﾀｲﾙｼｰﾄ", "基本形", H::mnuStyleClick, 0},
    AuthoringMenuItem{kWork, "ｽﾀｲﾙｼｰﾄ", "リンク読込", H::mnuStyleClick, 1},
    AuthoringMenuItem{kWork, "ｽﾀｲﾙｼｰﾄ", "divクラス", H::mnuStyleClick, 2},
    AuthoringMenuItem{kWork, "ｽﾀｲﾙｼｰﾄ", "pクラス", H::mnuStyleClick, 3},
    AuthoringMenuItem{kWork, "ｽﾀｲﾙｼｰﾄ", "spanクラス", H::mnuStyleClick, 4},
    AuthoringMenuItem{kWork, "ｽﾀｲﾙｼｰﾄ", "詳細設定...", H::mnuStyleClick, 5},
    AuthoringMenuItem{kWork, "javascript", "基本形", H::java1Click, 0},
    AuthoringMenuItem{kWork, "javascript", "リンク読込", H::java1Click, 1},
    AuthoringMenuItem{kWork, "javascript", "太字に変える", H::java1Click, 2},
    AuthoringMenuItem{kWork, "javascript", "ﾏｳｽ反転", H::java1Click, 3},
    AuthoringMenuItem{kWork, "javascript", "解説表示", H::java1Click, 4},
    AuthoringMenuItem{kWork, "ﾌｫｰﾑ", "メール", H::mnuFormClick, 0},
    AuthoringMenuItem{kWork, "ﾌｫｰﾑ", "CGI", H::mnuFormClick, 1},
    AuthoringMenuItem{kWork, "ﾌｫｰﾑ", "ﾃｷｽﾄﾎﾞｯｸｽ", H::mnuFormClick, 2},
    AuthoringMenuItem{kWork, "ﾌｫｰﾑ", "複数行ﾃｷｽﾄﾎﾞｯｸｽ", H::mnuFormClick, 3},
    AuthoringMenuItem{kWork, "ﾌｫｰﾑ", "ﾗｼﾞｵﾎﾞﾀﾝ", H::mnuFormClick, 4},
    AuthoringMenuItem{kWork, "ﾌｫｰﾑ", "ﾁｪｯｸﾎﾞｯｸｽ", H::mnuFormClick, 5},
    AuthoringMenuItem{kWork, "ﾌｫｰﾑ", "ｺﾝﾎﾞﾎﾞｯｸｽ", H::mnuFormClick, 6},
};

}  // namespace

std::span<const AuthoringMenuItem> AuthoringMenuItems() { return kItems; }

const char* HandlerName(Handler handler) {
  switch (handler) {
    case H::Font1Click:
      return "Font1Click";
    case H::mnuSetAlignClick:
      return "mnuSetAlignClick";
    case H::mnuInsertClick:
      return "mnuInsertClick";
    case H::URL1Click:
      return "URL1Click";
    case H::mnuKaigyoClick:
      return "mnuKaigyoClick";
    case H::mnuTableClick:
      return "mnuTableClick";
    case H::mnuTable2Click:
      return "mnuTable2Click";
    case H::mnuTableSetClick:
      return "mnuTableSetClick";
    case H::mnuStyleClick:
      return "mnuStyleClick";
    case H::java1Click:
      return "java1Click";
    case H::mnuFormClick:
      return "mnuFormClick";
    case H::mnuColorSetClick:
      return "mnuColorSetClick";
    case H::mnuCommentClick:
      return "mnuCommentClick";
    case H::mnuDelTagClick:
      return "mnuDelTagClick";
    case H::N44Click:
      return "N44Click";
  }
  return "";
}

}  // namespace hemlo::authoring
