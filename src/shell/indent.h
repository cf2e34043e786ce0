#pragma once
#include <string>
#include <string_view>

namespace hemlo {

// The leading run of half-width spaces, tabs and full-width spaces (0x81 0x40)
// of a Shift-JIS line.
std::string LeadingIndent(std::string_view line);

}  // namespace hemlo
