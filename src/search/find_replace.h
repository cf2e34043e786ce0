#pragma once
// Find, replace and jump to a line over an EditPane: Shift-JIS bytes, byte
// offsets, matches only at character boundaries. No Qt here; the dialog reads
// its controls into FindReplaceOptions and calls Button1Click.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/prompts.h"
#include "search/search_host.h"
#include "text/edit_pane.h"

namespace hemlo::search {

// Tags of the dialog's three action buttons.
enum FindTag : int { kFindNext = 0, kReplaceAndFindNext = 1, kReplaceAll = 2 };

// Offset of the first match of `search` at or after `start`, or -1. Compares
// bytes exactly, only at character boundaries reached by stepping whole
// characters (text::CharLength, as the edit pane counts them) from `start`;
// the text is read as if followed by search.size() zero bytes.
std::ptrdiff_t FindFrom(std::string_view text, std::string_view search, std::size_t start);

// Single-byte A-Z become a-z; every other byte, and both bytes of a
// double-byte character, stay.
std::string LowerLatin(std::string_view s);

// Find next's matching: LowerLatin(text) compared with LowerLatin(search) at
// the characters of the original text (for valid Shift-JIS that is exactly
// FindFrom(LowerLatin(text), LowerLatin(search), start)), without copying the
// text. A scan that resumes after each match (replace all) costs one pass.
class LatinFoldMatcher {
 public:
  explicit LatinFoldMatcher(std::string_view search);
  std::ptrdiff_t FindFrom(std::string_view text, std::size_t start) const;
  // Calls on_match with each match from `start`, going on after the matched
  // bytes (matches never overlap) while it returns true.
  std::size_t ForEachMatch(std::string_view text, std::size_t start,
                           const std::function<bool(std::size_t)>& on_match) const;
  std::size_t size() const { return folded_.size(); }

 private:
  bool MatchesAt(std::string_view text, std::size_t k) const;
  std::string folded_;
};

// Every non-overlapping occurrence, left to right, replaced; the 26 Latin
// letters match in either case, double-byte characters only whole. `count`
// receives the number of replacements when given.
std::string ReplaceAllText(std::string_view text, std::string_view search,
                           std::string_view replacement, std::size_t* count = nullptr);

// The dialog's fields, as Shift-JIS bytes.
struct FindReplaceOptions {
  std::string search;           // Edit1
  std::string replace;          // Edit2
  bool warn_empty = true;       // CheckBox1 "文字列"
  bool add_line_break = false;  // CheckBox2 "改行キー"
  bool add_tab = false;         // CheckBox3 "タブキー"
};

// Edit2, then CRLF and a tab as ticked.
std::string BuildReplacement(const FindReplaceOptions& options);

// Presentation hooks the dialog supplies; both optional.
class SearchFeedback {
 public:
  virtual ~SearchFeedback() = default;
  virtual void BringFrameToFront() {}
  virtual void SetBusy(bool /*busy*/) {}
};

// The shared handler of the three buttons (tag: FindTag). `pane` is the
// active document's edit pane, or null with no document window.
void Button1Click(int tag, const FindReplaceOptions& options, text::EditPane* pane,
                  Prompts& prompts, SearchFeedback* feedback = nullptr);

// Jump to a line: asks for a 1-based number, puts the caret at the start of
// that line. Numbers below 1 go to the first line, numbers past the end to the
// last; text that is no integer shows the conversion error and moves nothing.
void N47Click(text::EditPane* pane, Prompts& prompts);

}  // namespace hemlo::search
