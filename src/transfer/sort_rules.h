#pragma once
// The sort state shared by the remote and the local list, and the row
// comparison both lists use.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::transfer {

struct SortState {
  int SortColumn = 0;
  // +(column + 1) ascending, -(column + 1) descending, 0 before any sort.
  int SortDirection = 0;

  // A click on the header of `column` (0-based).
  void HeaderClick(int column);
};

// Case-insensitive comparison that folds only a-z onto A-Z and otherwise
// compares bytes (dates and sizes compare as text).
int CompareTextAscii(std::string_view a, std::string_view b);

// Locale-aware, case-sensitive name comparison; negative, 0 or positive.
using NameCollator = std::function<int(const std::string& a, const std::string& b)>;
// The C library's collation in the user's locale, for UTF-8 names.
int CollateUtf8(const std::string& a, const std::string& b);

// Two cells of a column other than the name: sizes compare as numbers, so
// "1,200,000,000" follows "123,456" however wide the cells are; other
// cells, and a size against other text, as text (CompareTextAscii).
int CompareCells(std::string_view a, std::string_view b);

// A cell read once, for sorting many rows: CompareCellKeys(a, b) is
// CompareCells(a.text, b.text) without reading the sizes again.
struct CellKey {
  explicit CellKey(std::string cell);
  std::string text;
  std::optional<unsigned long long> size;
};
int CompareCellKeys(const CellKey& a, const CellKey& b);

// Compares two rows given as their cell texts. Column 0 uses `names`; in the
// others two size cells (blanks, digits, commas) compare by value, any other
// text with CompareTextAscii (a size sorts after other text); a column a row lacks counts as empty
// text, so a list without the chosen column keeps its order. The direction applies.
int CompareRows(const SortState& state, const std::vector<std::string>& a,
                const std::vector<std::string>& b, const NameCollator& names = CollateUtf8);

}  // namespace hemlo::transfer
