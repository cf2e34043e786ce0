#pragma once
// Line differences between an earlier version of a page and its present
// text, for the 以前の版 window: unchanged runs far from a change are left
// out, changed lines are marked "-" (only in the version) or "+" (only now).
#include <string>
#include <string_view>
#include <vector>

namespace hemlo {

struct DiffLine {
  char mark = ' ';   // ' ', '-', '+', or '~' for a run of unchanged lines left out
  std::string text;  // the line's bytes without its break; for '~' empty
  std::size_t skipped = 0;  // for '~': how many lines
};

// `context` unchanged lines stay on each side of a change.
std::vector<DiffLine> DiffLines(std::string_view version, std::string_view now,
                                std::size_t context = 3);

}  // namespace hemlo
