#include "authoring/builder_model.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "authoring/messages.h"
#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "text/cp932.h"

namespace hemlo::authoring {

namespace {

std::string SjisToUtf8ForDisplay(std::string_view sjis) {
  if (auto utf8 = text::Cp932ToUtf8(sjis)) return *utf8;
  // Bytes that form no character are shown as "?" rather than dropped.
  std::string out;
  for (std::size_t i = 0; i < sjis.size();) {
    const std::size_t len = text::CharLength(sjis, i);
    if (auto one = text::Cp932ToUtf8(sjis.substr(i, len))) {
      out += *one;
    } else {
      out += '?';
    }
    i += len;
  }
  return out;
}

int Clamp255(int v) { return std::clamp(v, 0, 255); }

std::string TwoHex(int v) {
  char buf[3];
  std::snprintf(buf, sizeof buf, "%02X", Clamp255(v));
  return buf;
}

void CheckGridSize(int rows, int cols) {
  const long long r = std::max(rows, 0);
  const long long c = std::max(cols, 1);
  if (r * c > kMaxGridCells) throw TableTooLargeError();
}

// Rows of the grid: "<TR>", cols × "<TD>data</TD>", "</TR>" CRLF.
void AppendGridRows(std::string& out, int rows, int cols) {
  CheckGridSize(rows, cols);
  std::string row = "<TR>";
  for (int c = 0; c < cols; ++c) row += "<TD>data</TD>";
  row += "</TR>\r\n";
  out.reserve(out.size() + row.size() * static_cast<std::size_t>(std::max(rows, 0)) + 8);
  for (int r = 0; r < rows; ++r) out += row;
  out += "</table>";
}

// "<table" and the attributes the check boxes ask for, up to the width.
std::string TableAttributes(const TableSettings& t) {
  std::string s = "<table";
  if (t.CheckKeisen) s += " border=\"1\"";
  if (t.CheckKeisenColor) s += " bordercolor=\"#000080\"";
  if (t.Checkcellpadding) s += " cellpadding=" + t.Cmbcellpadding;
  if (t.Checkcellspacing) s += " cellspacing=" + t.Cmbcellspacing;
  return s;
}

std::string CaptionLine(const TableSettings& t) {
  if (!t.CheckTitle) return {};
  return " <caption>" + t.EdTitle + "</caption>\r\n";
}

}  // namespace

// ------------------------------------------------------------ conversions

IntegerConversionError::IntegerConversionError(std::string text)
    : std::runtime_error("not an integer"), text_(std::move(text)) {}

std::string IntegerConversionError::Message() const { return NotAnIntegerMessage(text_); }

std::string NotAnIntegerMessage(std::string_view sjis_text) {
  return hemlo::NotAnIntegerMessage(SjisToUtf8ForDisplay(sjis_text));
}

int ToInteger(std::string_view text) {
  if (auto v = ParseInteger(text)) return *v;
  throw IntegerConversionError(std::string(text));
}

// ---------------------------------------------------------------- tables

TableTooLargeError::TableTooLargeError()
    : std::runtime_error("表が大きすぎます（行数×列数は" + std::to_string(kMaxGridCells) +
                         "まで）") {}

std::array<std::string, 10> CountComboItems() {
  std::array<std::string, 10> items;
  for (int n = 1; n <= 10; ++n) items[n - 1] = std::to_string(n);
  return items;
}

std::array<std::string, 10> SpacingComboItems() {
  std::array<std::string, 10> items;
  for (int n = 1; n <= 10; ++n) items[n - 1] = std::to_string(4 * n);
  return items;
}

bool IsBelowOne(std::string_view field) {
  return field.empty() || static_cast<unsigned char>(field.front()) < '1';
}

std::string TableStartTag(const TableSettings& t) {
  return TableAttributes(t) + " width=\"" + t.Edit1 + "\" height=\"" + t.Edit2 + "\">\r\n" +
         CaptionLine(t);
}

std::string GridTable(const TableSettings& t) {
  const int rows = ToInteger(t.ComboBox1);
  const int cols = ToInteger(t.ComboBox2);
  CheckGridSize(rows, cols);
  std::string out = TableStartTag(t);
  AppendGridRows(out, rows, cols);
  return out;
}

std::string TestTable(const TableSettings& t) {
  const int width = ToInteger(t.Edit1);
  const int height = ToInteger(t.Edit2);
  const int rows = ToInteger(t.ComboBox1);
  const int cols = ToInteger(t.ComboBox2);
  CheckGridSize(rows, cols);
  std::string out = TableAttributes(t) + " width=\"" + std::to_string(width / 2) + "\" height=\"" +
                    std::to_string(height / 2) + "\">" + CaptionLine(t);
  AppendGridRows(out, rows, cols);
  return out;
}

// ---------------------------------------------------------------- colours

std::array<std::string, 7> FontSizeComboItems() {
  std::array<std::string, 7> items;
  for (int n = 1; n <= 7; ++n) items[n - 1] = std::to_string(n);
  return items;
}

std::string RgbNotation(int r, int g, int b) {
  return "RGB(" + std::to_string(Clamp255(r)) + "," + std::to_string(Clamp255(g)) + "," +
         std::to_string(Clamp255(b)) + ")";
}

std::string DollarNotation(int r, int g, int b) { return "$" + TwoHex(b) + TwoHex(g) + TwoHex(r); }

std::string HashNotation(int r, int g, int b) { return "#" + TwoHex(r) + TwoHex(g) + TwoHex(b); }

// ----------------------------------------------------------- style sheets

const std::array<BorderStyle, 8> BorderStyleKeywords = {{
    {"実線", "solid"},
    {"二重実線", "double"},
    {"溝線", "groove"},
    {"稜線", "ridge"},
    {"埋め込み", "inset"},
    {"浮き上がり", "outset"},
    {"点線", "dotted"},
    {"破線", "dashed"},
}};

const std::array<const char*, 10> StyleAttributes = {
    "background", "border-style", "border-width", "border-color", "margin",
    "padding",    "border",       "border-left",  "color",        "text-align",
};

BorderStyleChoice BorderStyleFromText(std::string_view sjis_text) {
  for (std::size_t i = 0; i < BorderStyleKeywords.size(); ++i) {
    if (text::Sjis(BorderStyleKeywords[i].item) == sjis_text) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::optional<std::string> BorderStyleKeyword(BorderStyleChoice choice) {
  if (!choice || *choice < 0 || *choice >= static_cast<int>(BorderStyleKeywords.size()))
    return std::nullopt;
  return std::string(BorderStyleKeywords[*choice].keyword);
}

std::optional<std::string> StyleDeclarationLine(const StyleSheetSettings& s, bool color_wanted,
                                                bool memo_empty) {
  const int index = s.RadioGroup1;
  if (index < 0 || index >= static_cast<int>(StyleAttributes.size())) return std::nullopt;
  const std::string placeholder = text::Sjis("色を指定してね");
  const std::string& unit = s.cmbTani;

  std::string line;
  if (memo_empty) line = "." + s.EdClassName + "{";
  line += StyleAttributes[index];
  line += ":";

  if (index == 6 || index == 7) {  // border, border-left
    auto keyword = BorderStyleKeyword(s.cmbstyle);
    if (!keyword) return std::nullopt;
    line += s.EdSize + unit + " " + *keyword + " " + placeholder + ";";
  } else if (index == 9) {  // text-align
    line += s.cmbAlign + ";";
  } else if (s.RadioSize1) {
    if (s.visible.EdSize && !s.EdSize.empty()) line += s.EdSize + unit + ";";
    if (s.visible.cmbstyle) {
      auto keyword = BorderStyleKeyword(s.cmbstyle);
      if (!keyword) return std::nullopt;
      line += *keyword + ";";
    }
    if (color_wanted) line += placeholder + ";";
  } else {
    if (s.visible.sideSizes && !s.EdTop.empty()) {
      line += s.EdTop + unit + " " + s.EdRight + unit + " " + s.EdBottom + unit + " " + s.EdLeft +
              unit + ";";
    }
    if (s.visible.sideStyles) {
      std::string keywords;
      for (const BorderStyleChoice* c :
           {&s.cmbstyleTop, &s.cmbstyleRight, &s.cmbstyleBottom, &s.cmbstyleLeft}) {
        auto keyword = BorderStyleKeyword(*c);
        if (!keyword) return std::nullopt;
        if (!keywords.empty()) keywords += " ";
        keywords += *keyword;
      }
      line += keywords + ";";
    }
    if (color_wanted) {
      line += placeholder + " " + placeholder + " " + placeholder + " " + placeholder + ";";
    }
  }
  return line;
}

// ------------------------------------------------------------ the dialog

bool BuilderModel::Button1Click(Prompts& prompts) {
  for (const std::string* field :
       {&table.ComboBox1, &table.ComboBox2, &table.Edit1, &table.Edit2}) {
    if (IsBelowOne(*field)) {
      prompts.Message(kMessageCaption, "未記入の項目があります", Buttons::Ok, Icon::None);
      return false;
    }
  }
  TableAccepted = true;
  return true;
}

bool BuilderModel::Button2Click() {
  SettingResult.clear();
  return true;
}

bool BuilderModel::Button3Click(Prompts& prompts) {
  if (!colorSize.CheckColor && !colorSize.CheckSize) {
    prompts.Message(kMessageCaption, "色か文字サイズのどちらかを指定してください。", Buttons::Ok,
                    Icon::None);
    return false;
  }
  const ColorLabels labels = SetColor();
  if (colorSize.RadioButton1) {
    SettingResult = labels.LblRGB;
  } else if (colorSize.RadioButton2) {
    SettingResult = labels.LblS;
  } else {
    SettingResult = labels.LblH;
  }
  return true;
}

std::optional<std::string> BuilderModel::Button4Click(Prompts& prompts) {
  std::string html;
  try {
    html = TestTable(table);
  } catch (const IntegerConversionError& e) {
    prompts.Error(e.Message());
    return std::nullopt;
  } catch (const TableTooLargeError& e) {
    prompts.Error(e.what());
    return std::nullopt;
  }
  html += "\r\n";
  const std::filesystem::path file = TableTestFile();
  if (auto written = WriteFileAtomically(file, html); !written) {
    prompts.Error(file.string() + ": " + written.error);
    return std::nullopt;
  }
  return "file://" + std::filesystem::absolute(file).string();
}

void BuilderModel::Button5Message(Prompts& prompts) {
  prompts.Message(kMessageCaption,
                  "マウスの形が十字形になったら、\r\n取得したい色のところでクリックしてください",
                  Buttons::Ok, Icon::None);
}

void BuilderModel::ApplyPickedColor(const std::optional<PickedColor>& picked) {
  if (!picked) return;
  colorSize.ScrollBar1 = Clamp255(picked->red);
  colorSize.ScrollBar2 = Clamp255(picked->green);
  colorSize.ScrollBar3 = Clamp255(picked->blue);
}

void BuilderModel::Button6Click(Prompts& prompts) {
  if (style.RadioGroup1 < 0 || style.RadioGroup1 >= static_cast<int>(StyleAttributes.size())) {
    prompts.Message(kMessageCaption, "属性を選択してください", Buttons::Ok, Icon::None);
    return;
  }
  auto line = StyleDeclarationLine(style, ColorWanted, style.Memo1.empty());
  if (!line) {
    prompts.Message(kMessageCaption, kNoBorderStyleMessage, Buttons::Ok, Icon::None);
    return;
  }
  // A box the user typed into may lack the final line break: the new
  // declaration still goes on a line of its own.
  if (!style.Memo1.empty() && style.Memo1.back() != '\n') style.Memo1 += "\r\n";
  style.Memo1 += *line + "\r\n";
}

bool BuilderModel::Button7Click() {
  if (!style.Memo1.empty()) SettingResult = style.Memo1 + "}";
  return true;
}

void BuilderModel::Button8Click() { style.Memo1.clear(); }

void BuilderModel::RadioGroup1Click(int index) {
  style.RadioGroup1 = index;
  StyleVisibility& v = style.visible;
  v = StyleVisibility{false, false, false, false, false};
  ColorWanted = false;
  auto select_whole = [this] {
    style.RadioSize1 = true;
    style.RadioSize2 = false;
  };
  switch (index) {
    case 0:  // background
      select_whole();
      ColorWanted = true;
      break;
    case 1:  // border-style
      v.cmbstyle = v.sideStyles = true;
      break;
    case 2:  // border-width
    case 4:  // margin
    case 5:  // padding
      v.EdSize = v.sideSizes = true;
      break;
    case 3:  // border-color
      ColorWanted = true;
      break;
    case 6:  // border
    case 7:  // border-left
      v.EdSize = v.cmbstyle = true;
      select_whole();
      ColorWanted = true;
      break;
    case 8:  // color
      select_whole();
      ColorWanted = true;
      break;
    case 9:  // text-align
      v.cmbAlign = true;
      break;
    default:
      break;
  }
}

ColorLabels BuilderModel::SetColor() const {
  const int r = colorSize.ScrollBar1, g = colorSize.ScrollBar2, b = colorSize.ScrollBar3;
  return {RgbNotation(r, g, b), DollarNotation(r, g, b), HashNotation(r, g, b)};
}

}  // namespace hemlo::authoring
