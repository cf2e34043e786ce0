#pragma once
// The small scanning steps the typing rules share: names, tag ends, raw-text
// elements. ASCII only, so they hold on Shift-JIS and UTF-8 bytes alike. No Qt here.
#include <algorithm>
#include <string_view>

namespace hemlo::text::tag_scan {

inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsNameChar(char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == ':' || c == '_' || c == '.';
}

inline bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// The name that starts at `i` (a letter), empty otherwise.
inline std::string_view NameAt(std::string_view s, std::size_t i) {
  if (i >= s.size() || !IsLetter(s[i])) return {};
  std::size_t end = i;
  while (end < s.size() && IsNameChar(s[end])) ++end;
  return s.substr(i, end - i);
}

// The '>' that ends the tag whose attributes start at `i`, quotes honoured;
// npos when the tag does not end in `s`.
inline std::size_t TagEnd(std::string_view s, std::size_t i) {
  char quote = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return std::string_view::npos;
}

// Elements whose content is not markup.
inline bool IsRawText(std::string_view name) {
  for (std::string_view raw : {"script", "style", "textarea", "title"})
    if (SameName(name, raw)) return true;
  return false;
}

}  // namespace hemlo::text::tag_scan
