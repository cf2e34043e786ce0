#pragma once
// Comma-separated fields as stored in Ferrox.ini: one profile per line,
// Shift-JIS bytes. Quoting follows the long-standing Windows "comma text"
// convention so files written by older versions stay readable.
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::transfer {

// Fields of one line. Unquoted fields end at a comma, blank or control
// character; a quoted field ends at its closing quote ("" inside is one
// quote). A comma at the very end of the line yields one more empty field.
std::vector<std::string> SplitCommaText(std::string_view line);

// The line for `fields`: fields joined by ","; a field holding a blank, a
// comma, a double quote or a control character is quoted with its quotes
// doubled, any other field (the empty one included) is written as it is.
std::string JoinCommaText(const std::vector<std::string>& fields);

// Splits file bytes into lines at CR LF, CR or LF; a final line break does
// not open another line.
std::vector<std::string> SplitFileLines(std::string_view bytes);
// Every line followed by CR LF.
std::string JoinFileLines(const std::vector<std::string>& lines);

}  // namespace hemlo::transfer
