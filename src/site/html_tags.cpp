#include "site/html_tags.h"

#include <cstring>

#include "base/ascii_case.h"

namespace hemlo::site {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool Alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return AsciiLower(c); }

// Offset of "</name" (any case) at or after `from`, or the end.
std::size_t EndOfRawText(std::string_view s, std::size_t from, std::string_view name) {
  for (std::size_t i = s.find("</", from); i != std::string_view::npos; i = s.find("</", i + 2)) {
    bool same = i + 2 + name.size() <= s.size();
    for (std::size_t k = 0; same && k < name.size(); ++k) same = Lower(s[i + 2 + k]) == name[k];
    if (same) return i;
  }
  return s.size();
}

}  // namespace

const Attribute* Tag::Find(std::string_view wanted) const {
  for (const Attribute& a : attributes)
    if (a.name == wanted) return &a;
  return nullptr;
}

std::vector<Tag> ScanTags(std::string_view s) {
  std::vector<Tag> tags;
  std::size_t i = 0;
  while (true) {
    const void* lt = i < s.size() ? std::memchr(s.data() + i, '<', s.size() - i) : nullptr;
    if (!lt) break;
    i = static_cast<const char*>(lt) - s.data();
    if (s.compare(i, 4, "<!--") == 0) {
      const std::size_t end = s.find("-->", i + 4);
      if (end == std::string_view::npos) break;
      i = end + 3;
      continue;
    }
    if (i + 1 >= s.size() || !Alpha(s[i + 1])) {
      ++i;
      continue;
    }
    Tag tag;
    tag.offset = i;
    std::size_t k = i + 1;
    while (k < s.size() && !Blank(s[k]) && s[k] != '>' && s[k] != '/')
      tag.name.push_back(Lower(s[k++]));
    bool closed = false;
    while (k < s.size()) {
      while (k < s.size() && (Blank(s[k]) || s[k] == '/')) {
        if (s[k] == '/' && k + 1 < s.size() && s[k + 1] == '>') break;
        ++k;
      }
      if (k >= s.size()) break;
      if (s[k] == '>' || s[k] == '/') {
        tag.close = k;
        closed = true;
        k += s[k] == '/' ? 2 : 1;
        break;
      }
      Attribute a;
      while (k < s.size() && !Blank(s[k]) && s[k] != '=' && s[k] != '>' &&
             !(s[k] == '/' && k + 1 < s.size() && s[k + 1] == '>'))
        a.name.push_back(Lower(s[k++]));
      std::size_t v = k;
      while (v < s.size() && Blank(s[v])) ++v;
      if (v < s.size() && s[v] == '=') {
        ++v;
        while (v < s.size() && Blank(s[v])) ++v;
        if (v < s.size() && (s[v] == '"' || s[v] == '\'')) {
          const char q = s[v];
          const std::size_t end = s.find(q, v + 1);
          if (end == std::string_view::npos) break;
          a.value_offset = v + 1;
          a.value = std::string(s.substr(v + 1, end - v - 1));
          k = end + 1;
        } else {
          a.value_offset = v;
          while (v < s.size() && !Blank(s[v]) && s[v] != '>') a.value.push_back(s[v++]);
          k = v;
        }
      } else {
        a.value_offset = k;
      }
      if (a.name.empty()) {
        ++k;
        continue;
      }
      tag.attributes.push_back(std::move(a));
    }
    if (!closed) break;
    i = k;
    const std::string name = tag.name;
    tags.push_back(std::move(tag));
    if (name == "script" || name == "style") i = EndOfRawText(s, i, name);
  }
  return tags;
}

bool HasUrlScheme(std::string_view v) {
  if (v.substr(0, 2) == "//") return true;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (c == ':') return i > 0;
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
    if (!ok) return false;
  }
  return false;
}

std::string DecodeBasicEntities(std::string_view v) {
  if (v.find('&') == std::string_view::npos) return std::string(v);
  std::string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '&') {
      out.push_back(v[i]);
      continue;
    }
    const std::size_t semi = v.find(';', i);
    if (semi == std::string_view::npos || semi - i > 8) {
      out.push_back('&');
      continue;
    }
    const std::string_view name = v.substr(i + 1, semi - i - 1);
    char c = 0;
    if (name == "amp")
      c = '&';
    else if (name == "lt")
      c = '<';
    else if (name == "gt")
      c = '>';
    else if (name == "quot")
      c = '"';
    else if (name == "apos" || name == "#39")
      c = '\'';
    else if (name.size() > 1 && name[0] == '#') {
      int n = 0;
      const bool hex = name[1] == 'x' || name[1] == 'X';
      for (std::size_t k = hex ? 2 : 1; k < name.size() && n < 0x80; ++k) {
        const char d = name[k];
        const int digit = d >= '0' && d <= '9'                        ? d - '0'
                          : hex && Lower(d) >= 'a' && Lower(d) <= 'f' ? Lower(d) - 'a' + 10
                                                                      : -1;
        if (digit < 0) {
          n = 0x80;
          break;
        }
        n = n * (hex ? 16 : 10) + digit;
      }
      if (n > 0 && n < 0x80) c = static_cast<char>(n);
    }
    if (c == 0) {
      out.push_back('&');
      continue;
    }
    out.push_back(c);
    i = semi;
  }
  return out;
}

}  // namespace hemlo::site
