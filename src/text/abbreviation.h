#pragma once
// Abbreviations in the common shorthand ("ul>li.item$*3") expanded into
// markup, on the command view's bytes (CP932, CRLF). Text in {} and
// attribute values is copied byte for byte, so a double-byte character is
// never split or taken for a delimiter.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hemlo::text {

struct Expansion {
  std::size_t start = 0;  // where the abbreviation starts in the line
  std::string text;       // what takes its place, lines broken with CRLF
  std::size_t caret = 0;  // where the caret goes in `text`
};

// Expands the abbreviation that ends at the end of `line` (the line up to
// the caret). Lines after the first start with `indent` (the line's own
// indentation) and one `unit` per level. Nothing when the text before the
// caret is not an abbreviation: an unknown element name, an unbalanced
// bracket, an operator with nothing to act on.
std::optional<Expansion> ExpandAbbreviation(std::string_view line, std::string_view indent,
                                            std::string_view unit);

}  // namespace hemlo::text
