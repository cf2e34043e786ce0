#pragma once
// The fragments of the authoring commands as pure functions of the command
// (handler and menu tag), the selected text and the builder dialog's values.
// Fragments are Shift-JIS (CP932) bytes with CRLF line breaks.
#include <optional>
#include <string>
#include <string_view>

#include "authoring/builder_model.h"

namespace hemlo::authoring {

// The shared menu handlers; menu items of one handler differ by their tag.
enum class Handler {
  Font1Click,
  mnuSetAlignClick,
  mnuInsertClick,
  URL1Click,
  mnuKaigyoClick,
  mnuTableClick,
  mnuTable2Click,
  mnuTableSetClick,
  mnuStyleClick,
  java1Click,
  mnuFormClick,
  mnuColorSetClick,
  mnuCommentClick,
  mnuDelTagClick,
  N44Click,
};

// What a command does to the builder dialog before it shows it.
struct DialogStep {
  bool show = false;
  std::optional<int> tab;          // nullopt: the tab shown last
  std::optional<bool> checkColor;  // CheckColor set to this before showing
  std::optional<bool> checkSize;   // CheckSize set to this before showing
  bool clearSettingResult = false;
};
DialogStep DialogBefore(Handler handler, int tag);

// Whether a command still acts (shows its dialog, composes) with no document
// window open; the others do nothing at all then.
bool ActsWithoutDocument(Handler handler);

enum class Placement {
  Selection,     // replaces the selection
  HeadOrCaret,   // before the first "</head>"; at the caret when there is none
  HeadOrRefuse,  // before the first "</head>"; refused when there is none
};

struct Composition {
  bool insert = false;  // false: the command inserts nothing
  std::string fragment;
  Placement placement = Placement::Selection;
};

// The fragment of a command after its dialog (if any) has closed. Throws
// IntegerConversionError or TableTooLargeError for the drawn grid.
// ファイル名... (mnuInsertClick tag 0) needs the file dialog and is composed by
// RelativeFileName instead; it yields insert = false here.
Composition Compose(Handler handler, int tag, std::string_view sel, const BuilderModel& dialog);

// ------------------------------------------------------- fixed fragments
std::string PageTemplate();                         // 401 bytes
inline constexpr std::size_t kTemplateCaret = 318;  // after bgcolor="#ffffff"
std::string StyleSheetBlock();                      // 341 bytes, CRLF first and after every line
std::string QuestionnaireBody();                    // 440 bytes
std::string ScriptTail();

// Offset of the first "</head>" compared without regard to ASCII case.
std::optional<std::size_t> FindHeadEnd(std::string_view text);

// True when the Shift-JIS text holds the character `c` (an ASCII character),
// never taking the second byte of a double-byte character for it.
bool ContainsAsciiChar(std::string_view sjis, char c);

// ファイル名...: `file` relative to the folder `base` (both absolute local
// paths, UTF-8), "/" separated. Leading folders the two share are dropped and
// one ".." stands for each remaining folder of the base.
std::string RelativeFileName(std::string_view base, std::string_view file);

}  // namespace hemlo::authoring
