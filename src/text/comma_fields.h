#pragma once
// The fields of one line of "comma text", the quoting both the favourites
// file and the transfer profiles keep. Byte-wise: Shift-JIS trail bytes and
// UTF-8 continuation bytes never equal a quote, a comma or a blank, so
// either encoding splits exactly.
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::text {

// Unquoted fields end at a comma or, with `blank_ends_field`, a blank (a
// byte up to the space; NUL only with `nul_is_blank`); without it an
// unquoted field keeps its inner blanks. A quoted field ends at its closing
// quote ("" inside is one quote). Blanks around fields are skipped. A comma
// at the very end of the line yields one more empty field.
std::vector<std::string> SplitCommaFields(std::string_view line, bool nul_is_blank,
                                          bool blank_ends_field = true);

}  // namespace hemlo::text
