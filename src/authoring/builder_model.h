#pragma once
// The builder dialog (caption "設定") without its window: the values of its
// controls as plain structs, its result fields, and the logic of its buttons.
// The Qt dialog copies its controls into a BuilderModel before it calls a
// button handler and copies the model back afterwards; the authoring commands
// read the model after the dialog has closed.
//
// Every text held here is Shift-JIS (CP932) bytes, as it goes into fragments;
// values filled in for a UTF-8 page are its command view (view_codes.h).
#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/integer_text.h"
#include "base/prompts.h"
#include "text/document_encoding.h"

namespace hemlo::authoring {

// Tab indexes of PageControl1.
enum BuilderTab : int { kTableTab = 0, kColorSizeTab = 1, kStyleSheetTab = 2 };

// A number typed into a field is not an integer. `text` is the offending
// Shift-JIS text; Message() is the UTF-8 text of the standard error box.
class IntegerConversionError : public std::runtime_error {
 public:
  explicit IntegerConversionError(std::string text);
  const std::string& text() const { return text_; }
  std::string Message() const;

 private:
  std::string text_;
};

using hemlo::ParseInteger;
// As ParseInteger, throwing IntegerConversionError.
int ToInteger(std::string_view text);

// "'%s' は整数ではありません" in UTF-8 with the offending text.
std::string NotAnIntegerMessage(std::string_view sjis_text);

// ---------------------------------------------------------------- table tab
struct TableSettings {
  bool CheckTitle = false;
  std::string EdTitle;
  std::string Edit1 = "320";    // 全体の横幅
  std::string Edit2 = "150";    // 全体の高さ
  std::string ComboBox1 = "2";  // 行数
  std::string ComboBox2 = "2";  // 列数
  bool CheckKeisen = true;
  bool CheckKeisenColor = false;
  bool Checkcellpadding = false;
  std::string Cmbcellpadding = "4";
  bool Checkcellspacing = false;
  std::string Cmbcellspacing = "4";
};

// Items of the 行数/列数 combos ("1".."10") and the spacing combos ("4".."40").
std::array<std::string, 10> CountComboItems();
std::array<std::string, 10> SpacingComboItems();

// The check of 設定: a field fails when it sorts below "1" byte by byte
// (empty, "0", "-3", " 5", ...).
bool IsBelowOne(std::string_view field);

// The start tag shared by the drawn tables, with its CRLF and optional
// caption line.
std::string TableStartTag(const TableSettings& t);
// The grid drawn by 表描画(直前の設定). Throws IntegerConversionError.
std::string GridTable(const TableSettings& t);
// The half-size table of テスト (one line, no CRLF at its end). Throws
// IntegerConversionError.
std::string TestTable(const TableSettings& t);

// Largest grid drawn (rows × columns); beyond it the fragment would run to
// gigabytes and exhaust memory.
inline constexpr long long kMaxGridCells = 100000;
// Thrown when a grid exceeds kMaxGridCells; Message() is UTF-8.
class TableTooLargeError : public std::runtime_error {
 public:
  TableTooLargeError();
};

// ------------------------------------------------------- colour / size tab
struct ColorSizeSettings {
  bool CheckColor = false;
  bool CheckSize = false;
  std::string ComboBox3 = "4";  // font size
  int ScrollBar1 = 0;           // red
  int ScrollBar2 = 0;           // green
  int ScrollBar3 = 0;           // blue
  bool RadioButton1 = false;    // RGB(...)
  bool RadioButton2 = false;    // $BBGGRR
  bool RadioButton3 = true;     // #RRGGBB
};

std::array<std::string, 7> FontSizeComboItems();

std::string RgbNotation(int r, int g, int b);     // LblRGB: "RGB(255,128,0)"
std::string DollarNotation(int r, int g, int b);  // LblS:   "$0080FF"
std::string HashNotation(int r, int g, int b);    // LblH:   "#FF8000"

struct ColorLabels {
  std::string LblRGB, LblS, LblH;
};

struct PickedColor {
  int red = 0, green = 0, blue = 0;
};

// ------------------------------------------------------- style-sheet tab
// Index into BorderStyleKeywords of the item picked in a border-style combo;
// nullopt when the combo holds typed text that is none of its items.
using BorderStyleChoice = std::optional<int>;

struct BorderStyle {
  const char* item;     // UTF-8 caption of the combo item
  const char* keyword;  // CSS keyword
};
extern const std::array<BorderStyle, 8> BorderStyleKeywords;

// The item index whose Shift-JIS caption equals `sjis_text`, else nullopt.
BorderStyleChoice BorderStyleFromText(std::string_view sjis_text);
// Keyword of a choice; nullopt for no choice or an index out of range.
std::optional<std::string> BorderStyleKeyword(BorderStyleChoice choice);

// RadioGroup1 items, indexes 0..9.
extern const std::array<const char*, 10> StyleAttributes;

struct StyleVisibility {
  bool cmbstyle = true;
  bool sideStyles = true;  // cmbstyleTop/Right/Bottom/Left
  bool EdSize = true;
  bool sideSizes = true;  // EdTop/Right/Bottom/Left
  bool cmbAlign = true;
};

struct StyleSheetSettings {
  std::string EdClassName = "MyClass00";
  std::string cmbTani = "px";
  int RadioGroup1 = -1;  // none selected
  std::string cmbAlign = "center";
  bool RadioSize1 = true;   // 全体指定4方向
  bool RadioSize2 = false;  // 個別指定
  std::string EdSize = "4";
  BorderStyleChoice cmbstyle = 0;
  std::string EdTop = "4", EdRight = "8", EdBottom = "4", EdLeft = "8";
  BorderStyleChoice cmbstyleTop = 0, cmbstyleRight = 0, cmbstyleBottom = 0, cmbstyleLeft = 0;
  std::string Memo1;  // CRLF lines
  StyleVisibility visible;
};

// The declaration line 追記↓ appends (without its CRLF): the class opener when
// `memo_empty`, the attribute, its value. nullopt when a border-style combo
// that the value needs holds no keyword.
std::optional<std::string> StyleDeclarationLine(const StyleSheetSettings& s, bool color_wanted,
                                                bool memo_empty);

// ------------------------------------------------------------ the dialog
class BuilderModel {
 public:
  TableSettings table;
  ColorSizeSettings colorSize;
  StyleSheetSettings style;

  std::string SettingResult;
  bool TableAccepted = false;
  bool ColorWanted = false;
  int currentTab = kColorSizeTab;  // shown before any command switched tabs
  // The page the fields are filled in for (the active one when the dialog
  // was last shown): what characters they take.
  text::Encoding document_encoding = text::Encoding::kShiftJis;

  // Results of the button handlers: whether the dialog closes.
  // 設定 of the table tab.
  bool Button1Click(Prompts& prompts);
  // 閉じる (also Escape).
  bool Button2Click();
  // 設定 of the colour tab.
  bool Button3Click(Prompts& prompts);
  // テスト: writes "TABLEFILE.$$$" in the scratch folder and returns the
  // file:// address the test view navigates to; nullopt after an error (shown).
  std::optional<std::string> Button4Click(Prompts& prompts);
  // 色取得, step 1: the message before the picker is shown.
  void Button5Message(Prompts& prompts);
  // 色取得, after the picker closed: a picked pixel moves the sliders; no pixel
  // (Escape, failed capture) leaves them as they are.
  void ApplyPickedColor(const std::optional<PickedColor>& picked);
  // 追記↓.
  void Button6Click(Prompts& prompts);
  // 設定 of the style-sheet tab.
  bool Button7Click();
  // クリア.
  void Button8Click();
  // Attribute picked.
  void RadioGroup1Click(int index);

  // The three notations of the slider positions (SetColor).
  ColorLabels SetColor() const;
};

}  // namespace hemlo::authoring
