#include "base/integer_text.h"

namespace hemlo {

std::optional<int> ParseInteger(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  long long value = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * base + digit;
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL || value < -2147483648LL) return std::nullopt;
  return static_cast<int>(value);
}

std::string NotAnIntegerMessage(std::string_view shown_text) {
  return "'" + std::string(shown_text) + "' は整数ではありません";
}

std::string OutOfRangeMessage(int low, int high) {
  return std::to_string(low) + " から " + std::to_string(high) + " までの数を入れてください";
}

IntegerInput ReadInteger(std::string_view utf8_text, int low, int high) {
  IntegerInput in;
  const std::optional<int> value = ParseInteger(utf8_text);
  if (!value) {
    in.error = NotAnIntegerMessage(utf8_text);
  } else if (*value < low || *value > high) {
    in.error = OutOfRangeMessage(low, high);
  } else {
    in.value = value;
  }
  return in;
}

}  // namespace hemlo
