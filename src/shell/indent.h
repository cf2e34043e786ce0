#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace hemlo {

// The leading run of half-width spaces, tabs and full-width spaces (0x81 0x40)
// of a Shift-JIS line.
std::string LeadingIndent(std::string_view line);

// Lines above the caret IndentStep looks at.
inline constexpr int kIndentSampleLines = 200;

// One level of the page's indentation, from the leading indents of lines
// (nearest first): a tab, a full-width space, or the narrowest run of
// half-width spaces; a tab when no line is indented.
std::string IndentStep(const std::vector<std::string>& indents);

}  // namespace hemlo
