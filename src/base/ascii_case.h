#pragma once
// ASCII case: protocol words, host names, charset labels, HTML names and
// file extensions compare without regard to case, while bytes above 0x7F
// (Shift-JIS, UTF-8) and the process locale never take part. Header-only,
// so the Qt-free libraries use it without linking anything.
#include <string>
#include <string_view>

namespace hemlo {

// For char, unsigned char and char16_t alike.
template <class C>
constexpr C AsciiLower(C c) {
  return c >= C('A') && c <= C('Z') ? static_cast<C>(c + ('a' - 'A')) : c;
}
template <class C>
constexpr C AsciiUpper(C c) {
  return c >= C('a') && c <= C('z') ? static_cast<C>(c - ('a' - 'A')) : c;
}

inline std::string AsciiLowered(std::string s) {
  for (char& c : s) c = AsciiLower(c);
  return s;
}
inline std::string AsciiUppered(std::string s) {
  for (char& c : s) c = AsciiUpper(c);
  return s;
}

constexpr bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace hemlo
