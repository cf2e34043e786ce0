#pragma once
// The one integer conversion of typed numbers (tab width, jump to line, the
// builder dialog's fields) and its messages for the user.
#include <optional>
#include <string>
#include <string_view>

namespace hemlo {

// Leading blanks, an optional sign, then decimal digits or "$"/"0x"
// hexadecimal, within the range of a 32-bit int; nothing may follow.
std::optional<int> ParseInteger(std::string_view text);

// "'abc' は整数ではありません" for the text as the user sees it (UTF-8).
std::string NotAnIntegerMessage(std::string_view shown_text);
// "1 から 64 までの数を入れてください".
std::string OutOfRangeMessage(int low, int high);

// A number the user typed for a setting from `low` to `high`: the value, or
// the message that says what is wrong with it.
struct IntegerInput {
  std::optional<int> value;
  std::string error;
};
IntegerInput ReadInteger(std::string_view utf8_text, int low, int high);

}  // namespace hemlo
