#include "text/completion.h"

#include <algorithm>
#include <cstring>

#include "text/completion_data.h"

namespace hemlo::text {

namespace {

constexpr std::size_t npos = std::string_view::npos;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameByte(char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':' || c == '.';
}
bool IsCssIdent(char c) { return IsLetter(c) || (c >= '0' && c <= '9') || c == '-'; }
// CP932 lead bytes (the view's own 4-byte codes start with one too).
bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::string LowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

// The last "<name" (case-insensitive, followed by a space, '>' or '/') in
// `s`; npos when none. '<' is never a trail byte, so any '<' found is one.
std::size_t LastTagStart(std::string_view s, std::string_view name) {
  for (std::size_t at = s.size(); at > 0;) {
    const std::size_t lt = s.rfind('<', at - 1);
    if (lt == npos) return npos;
    at = lt;
    const std::size_t end = lt + 1 + name.size();
    if (end > s.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) same = Lower(s[lt + 1 + i]) == name[i];
    if (same && (end == s.size() || IsSpace(s[end]) || s[end] == '>' || s[end] == '/')) return lt;
  }
  return npos;
}

// Where the content of an open raw-text element (<script>, <style>) starts,
// npos when the caret is not in one (nor in its start tag).
std::size_t OpenRawText(std::string_view before, std::string_view name) {
  const std::size_t open = LastTagStart(before, name);
  if (open == npos) return npos;
  const std::string closing = "/" + std::string(name);
  const std::size_t close = LastTagStart(before, closing);
  if (close != npos && close > open) return npos;
  // The start tag's '>' outside quotes.
  char quote = 0;
  for (std::size_t i = open + 1; i < before.size(); ++i) {
    const char c = before[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return npos;  // still in the start tag
}

// CSS from `from` to the end of `s`; `declarations`: a style="" value (a
// declaration list), else a style sheet.
CompletionContext CssContext(std::string_view s, std::size_t from, bool declarations) {
  CompletionContext none;
  std::vector<bool> blocks;  // per open '{': true for a declaration block
  if (declarations) blocks.push_back(true);
  std::size_t segment = from;  // after the last '{', '}' or ';'
  std::size_t colon = npos;    // after the segment's ':' in a declaration block
  char quote = 0;
  for (std::size_t i = from; i < s.size(); ++i) {
    const char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (IsLead(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      const std::size_t end = s.find("*/", i + 2);
      if (end == npos) return none;  // in a comment
      i = end + 1;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '{') {
      std::size_t p = segment;
      while (p < i && IsSpace(s[p])) ++p;
      std::size_t e = p;
      if (e < i && s[e] == '@') ++e;
      while (e < i && IsCssIdent(s[e])) ++e;
      const std::string rule = LowerCopy(s.substr(p, e - p));
      const bool rules = rule == "@media" || rule == "@supports" || rule == "@layer" ||
                         rule == "@container" || rule == "@document" || rule == "@scope";
      blocks.push_back(!rules);
      segment = i + 1;
      colon = npos;
    } else if (c == '}') {
      if (!blocks.empty()) blocks.pop_back();
      segment = i + 1;
      colon = npos;
    } else if (c == ';') {
      segment = i + 1;
      colon = npos;
    } else if (c == ':' && colon == npos && !blocks.empty() && blocks.back()) {
      colon = i + 1;
    }
  }
  if (quote || blocks.empty() || !blocks.back()) return none;
  if (colon == npos) {
    std::size_t p = segment;
    while (p < s.size() && IsSpace(s[p])) ++p;
    for (std::size_t i = p; i < s.size(); ++i)
      if (!IsCssIdent(s[i])) return none;
    CompletionContext c;
    c.kind = CompletionKind::kCssProperty;
    c.start = p;
    return c;
  }
  std::size_t p = segment;
  while (p < colon - 1 && IsSpace(s[p])) ++p;
  std::size_t e = colon - 1;
  while (e > p && IsSpace(s[e - 1])) --e;
  for (std::size_t i = p; i < e; ++i)
    if (!IsCssIdent(s[i])) return none;
  std::size_t word = s.size();
  while (word > colon && IsCssIdent(s[word - 1])) --word;
  if (word > colon && !IsSpace(s[word - 1]) && s[word - 1] != ',' && s[word - 1] != '(' &&
      s[word - 1] != '!')
    return none;
  CompletionContext c;
  c.kind = CompletionKind::kCssValue;
  c.start = word;
  c.property = LowerCopy(s.substr(p, e - p));
  return c;
}

// The caret in the tag that starts at `lt` (a '<'), or none when that tag
// has closed before it.
CompletionContext TagContext(std::string_view s, std::size_t lt) {
  CompletionContext none;
  std::size_t i = lt + 1;
  if (i == s.size()) {
    CompletionContext c;
    c.kind = CompletionKind::kElement;
    c.start = i;
    return c;
  }
  if (!IsLetter(s[i])) return none;  // </, <!, <?, "a < b"
  const std::size_t name_at = i;
  while (i < s.size() && IsNameByte(s[i])) ++i;
  if (i == s.size()) {
    CompletionContext c;
    c.kind = CompletionKind::kElement;
    c.start = name_at;
    return c;
  }
  const std::string element = LowerCopy(s.substr(name_at, i - name_at));
  if (!IsSpace(s[i]) && s[i] != '/') return none;
  std::string attribute;
  while (i < s.size()) {
    while (i < s.size() && (IsSpace(s[i]) || s[i] == '/')) ++i;
    CompletionContext c;
    c.element = element;
    if (i == s.size()) {
      c.kind = CompletionKind::kAttribute;
      c.start = i;
      return c;
    }
    if (s[i] == '>') return none;
    const std::size_t attr_at = i;
    while (i < s.size() && !IsSpace(s[i]) && s[i] != '=' && s[i] != '>' && s[i] != '/' &&
           s[i] != '"' && s[i] != '\'')
      ++i;
    if (i == s.size()) {
      c.kind = CompletionKind::kAttribute;
      c.start = attr_at;
      return c;
    }
    attribute = LowerCopy(s.substr(attr_at, i - attr_at));
    std::size_t j = i;
    while (j < s.size() && IsSpace(s[j])) ++j;
    if (j == s.size() || s[j] != '=') {
      if (s[i] == '"' || s[i] == '\'') return none;  // a stray quote
      continue;
    }
    i = j + 1;
    while (i < s.size() && IsSpace(s[i])) ++i;
    c.attribute = attribute;
    c.kind = CompletionKind::kAttributeValue;
    if (i == s.size()) {
      c.start = i;
      return c;
    }
    if (s[i] == '"' || s[i] == '\'') {
      const char q = s[i];
      const std::size_t close = s.find(q, i + 1);
      if (close == npos) {
        if (attribute == "style") return CssContext(s, i + 1, true);
        c.start = i + 1;
        if (attribute == "srcset") {
          // The candidate after the last comma; none once its width is typed.
          const std::size_t comma = s.rfind(',');
          if (comma != npos && comma > i) c.start = comma + 1;
          while (c.start < s.size() && IsSpace(s[c.start])) ++c.start;
          for (std::size_t k = c.start; k < s.size(); ++k)
            if (IsSpace(s[k])) return none;
        }
        return c;
      }
      i = close + 1;
      // Right after the closing quote: no attribute before a space.
      if (i == s.size()) return none;
      continue;
    }
    const std::size_t value_at = i;
    while (i < s.size() && !IsSpace(s[i]) && s[i] != '>') ++i;
    if (i == s.size()) {
      c.start = value_at;
      return c;
    }
  }
  return none;
}

}  // namespace

CompletionContext FindCompletionContext(std::string_view before) {
  // In a comment: nothing.
  const std::size_t comment = before.rfind("<!--");
  if (comment != npos) {
    const std::size_t end = before.rfind("-->");
    if (end == npos || end < comment) return {};
  }
  // In a script: nothing (its start tag, still open, is a tag as any).
  if (OpenRawText(before, "script") != npos) return {};
  const std::size_t css = OpenRawText(before, "style");
  const std::size_t lt = before.rfind('<');
  if (css != npos && (lt == npos || lt < css)) return CssContext(before, css, false);
  if (css != npos && lt != npos && lt >= css) {
    // A '<' in the style sheet (a selector like "a>b" is not one): the sheet still.
    if (!(lt + 1 < before.size() && before[lt + 1] == '/')) return CssContext(before, css, false);
    return {};
  }
  if (lt == npos) return {};
  return TagContext(before, lt);
}

bool CompletionMayStart(std::string_view recent) {
  const std::size_t lt = recent.rfind('<');
  const std::size_t gt = recent.rfind('>');
  if (lt != npos && (gt == npos || lt > gt)) return true;
  const std::string_view text = gt == npos ? recent : recent.substr(gt + 1);
  return text.find_first_of(":;{") != npos;
}

bool NarrowsCompletion(std::string_view typed) {
  if (typed.empty()) return false;
  for (const char c : typed)
    if (!(IsCssIdent(c) || c == '_' || c == '.' || c == '/' || c == '#' ||
          static_cast<unsigned char>(c) >= 0x80))
      return false;
  return true;
}

bool WantsSiteFiles(const CompletionContext& c) {
  if (c.kind != CompletionKind::kAttributeValue) return false;
  const std::string& a = c.attribute;
  return a == "href" || a == "src" || a == "srcset" || a == "poster" || a == "action" ||
         a == "data";
}

namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (prefix.size() > s.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (Lower(s[i]) != Lower(prefix[i])) return false;
  return true;
}

std::string_view Extension(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == npos || (slash != npos && dot < slash)) return {};
  return path.substr(dot + 1);
}

bool OneOf(std::string_view ext, std::initializer_list<std::string_view> list) {
  const std::string lower = LowerCopy(ext);
  return std::find(list.begin(), list.end(), lower) != list.end();
}

// Which files a file-naming value may take.
bool FileFits(const CompletionContext& c, std::string_view path) {
  const std::string_view ext = Extension(path);
  const bool image = OneOf(ext, {"png", "jpg", "jpeg", "gif", "webp", "svg", "avif", "bmp", "ico"});
  const std::string& e = c.element;
  if (e == "img" || c.attribute == "srcset" || c.attribute == "poster") return image;
  if (e == "script") return OneOf(ext, {"js", "mjs"});
  if (e == "link") return image || OneOf(ext, {"css", "json", "webmanifest", "xml"});
  if (e == "audio" || e == "video" || e == "source" || e == "track")
    return OneOf(ext, {"mp3", "m4a", "ogg", "oga", "wav", "mp4", "webm", "ogv", "vtt"}) || image;
  if (e == "iframe" || e == "frame" || e == "form")
    return OneOf(ext, {"htm", "html", "shtml", "php", "cgi", "pl"});
  return true;
}

void Add(std::vector<CompletionItem>& out, std::string_view typed, std::string_view label,
         std::string insert, std::size_t caret_back = 0, bool reopen = false) {
  if (!StartsWithNoCase(label, typed)) return;
  for (const CompletionItem& have : out)
    if (have.label == label) return;
  out.push_back({std::string(label), std::move(insert), caret_back, reopen});
}

void AddWords(std::vector<CompletionItem>& out, std::string_view typed, const char* const* words) {
  for (; words && *words; ++words) Add(out, typed, *words, *words);
}

}  // namespace

std::vector<CompletionItem> NarrowCompletion(const std::vector<CompletionItem>& all,
                                             std::string_view typed, std::size_t most) {
  std::vector<CompletionItem> out;
  for (const CompletionItem& item : all) {
    if (out.size() == most) break;
    if (StartsWithNoCase(item.label, typed)) out.push_back(item);
  }
  return out;
}

std::vector<CompletionItem> CompletionItems(const CompletionContext& c, std::string_view typed,
                                            const std::vector<std::string>& files) {
  std::vector<CompletionItem> out;
  switch (c.kind) {
    case CompletionKind::kNone:
      break;
    case CompletionKind::kElement:
      AddWords(out, typed, data::kElements);
      break;
    case CompletionKind::kAttribute: {
      const auto add = [&](const char* const* names) {
        for (; names && *names; ++names) {
          const std::string_view n = *names;
          if (data::IsBooleanAttribute(n))
            Add(out, typed, n, std::string(n));
          else
            Add(out, typed, n, std::string(n) + "=\"\"", 1, true);
        }
      };
      add(data::AttributesOf(c.element));
      add(data::kGlobalAttributes);
      break;
    }
    case CompletionKind::kAttributeValue:
      if (WantsSiteFiles(c)) {
        // A site's paths are distinct: no need to look for one listed twice.
        for (const std::string& f : files)
          if (FileFits(c, f) && StartsWithNoCase(f, typed)) out.push_back({f, f});
      } else {
        AddWords(out, typed, data::ValuesOf(c.element, c.attribute));
      }
      break;
    case CompletionKind::kCssProperty:
      for (const char* const* p = data::kCssProperties; *p; ++p)
        Add(out, typed, *p, std::string(*p) + ": ", 0, true);
      break;
    case CompletionKind::kCssValue:
      AddWords(out, typed, data::CssValuesOf(c.property));
      AddWords(out, typed, data::kCssGlobalValues);
      break;
  }
  return out;
}

}  // namespace hemlo::text
