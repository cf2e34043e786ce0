#include "text/html_syntax.h"

#include "base/ascii_case.h"

namespace hemlo::text {

namespace {

// State: the kind of place in the low bits, the raw-text element whose
// start tag is being read (or whose contents follow) above them.
enum Place {
  kText = 0,
  kInTag = 1,
  kDoubleQuoted = 2,
  kSingleQuoted = 3,
  kInComment = 4,
  kRawText = 5
};
enum Raw { kNoRaw = 0, kScriptRaw = 1, kStyleRaw = 2 };

int Make(Place p, Raw r) { return p | r << 4; }
Place PlaceOf(int state) { return static_cast<Place>(state & 15); }
Raw RawOf(int state) { return static_cast<Raw>(state >> 4 & 3); }

char16_t Lower(char16_t c) { return AsciiLower(c); }
bool IsSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\f' || c == 0x3000; }
bool IsNameStart(char16_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == '!' || c == '?';
}
bool IsAlnum(char16_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool StartsWithNoCase(std::u16string_view s, std::size_t at, std::u16string_view word) {
  if (s.size() - at < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Lower(s[at + k]) != word[k]) return false;
  return true;
}

std::size_t FindNoCase(std::u16string_view s, std::size_t from, std::u16string_view word) {
  for (std::size_t i = from; i + word.size() <= s.size(); ++i)
    if (s[i] == '<' && StartsWithNoCase(s, i, word)) return i;
  return std::u16string_view::npos;
}

}  // namespace

int ScanHtmlLine(std::u16string_view line, int state, std::vector<SyntaxSpan>* spans) {
  const std::size_t n = line.size();
  auto add = [spans](std::size_t start, std::size_t end, SyntaxKind kind) {
    if (spans && end > start) spans->push_back(SyntaxSpan{start, end - start, kind});
  };
  Place place = PlaceOf(state);
  // A state this scanner never makes (a stale or foreign value) would match
  // no case and never advance: read on as plain text instead.
  if (place > kRawText) place = kText;
  Raw raw = RawOf(state);
  std::size_t i = 0;
  // Colours from i through a closing mark `mark` characters long found at
  // `end`, or to the end of the line when there is none; true when found.
  const auto colour_to = [&](std::size_t end, std::size_t mark, SyntaxKind kind) {
    const bool found = end != std::u16string_view::npos;
    const std::size_t stop = found ? end + mark : n;
    add(i, stop, kind);
    i = stop;
    return found;
  };
  while (i < n) {
    switch (place) {
      case kText: {
        const char16_t c = line[i];
        if (c == '&') {
          std::size_t j = i + 1;
          if (j < n && line[j] == '#') ++j;
          while (j < n && j - i < 32 && IsAlnum(line[j])) ++j;
          if (j > i + 1 && j < n && line[j] == ';') {
            add(i, j + 1, SyntaxKind::kEntity);
            i = j + 1;
            continue;
          }
          ++i;
          continue;
        }
        if (c == '<' && line.substr(i, 4) == u"<!--") {
          place = colour_to(line.find(u"-->", i + 4), 3, SyntaxKind::kComment) ? kText : kInComment;
          continue;
        }
        if (c == '<' && i + 1 < n && IsNameStart(line[i + 1])) {
          std::size_t j = i + 1;
          while (j < n && !IsSpace(line[j]) && line[j] != '>' && !(line[j] == '/' && j > i + 1))
            ++j;
          add(i, j, SyntaxKind::kTag);
          raw = StartsWithNoCase(line, i, u"<script") && (j - i == 7)  ? kScriptRaw
                : StartsWithNoCase(line, i, u"<style") && (j - i == 6) ? kStyleRaw
                                                                       : kNoRaw;
          place = kInTag;
          i = j;
          continue;
        }
        // Plain text up to the next mark.
        std::size_t j = i + 1;
        while (j < n && line[j] != '<' && line[j] != '&') ++j;
        i = j;
        continue;
      }
      case kInTag: {
        const char16_t c = line[i];
        if (IsSpace(c)) {
          ++i;
          continue;
        }
        if (c == '>' || (c == '/' && i + 1 < n && line[i + 1] == '>')) {
          const std::size_t end = c == '>' ? i + 1 : i + 2;
          add(i, end, SyntaxKind::kTag);
          place = (raw != kNoRaw && c == '>') ? kRawText : kText;
          if (place == kText) raw = kNoRaw;
          i = end;
          continue;
        }
        if (c == '"' || c == '\'') {
          if (!colour_to(line.find(c, i + 1), 1, SyntaxKind::kAttributeValue))
            place = c == '"' ? kDoubleQuoted : kSingleQuoted;
          continue;
        }
        if (c == '=') {
          ++i;
          // An unquoted value.
          if (i < n && line[i] != '"' && line[i] != '\'' && !IsSpace(line[i])) {
            std::size_t j = i;
            while (j < n && !IsSpace(line[j]) && line[j] != '>') ++j;
            add(i, j, SyntaxKind::kAttributeValue);
            i = j;
          }
          continue;
        }
        std::size_t j = i;
        while (j < n && !IsSpace(line[j]) && line[j] != '=' && line[j] != '>' && line[j] != '"' &&
               line[j] != '\'')
          ++j;
        if (j == i) ++j;
        add(i, j, SyntaxKind::kAttributeName);
        i = j;
        continue;
      }
      case kDoubleQuoted:
      case kSingleQuoted: {
        const char16_t quote = place == kDoubleQuoted ? u'"' : u'\'';
        // A value that began on an earlier line.
        if (colour_to(line.find(quote, i), 1, SyntaxKind::kAttributeValue)) place = kInTag;
        continue;
      }
      case kInComment: {
        if (colour_to(line.find(u"-->", i), 3, SyntaxKind::kComment)) place = kText;
        continue;
      }
      case kRawText: {
        const bool script = raw == kScriptRaw;
        if (colour_to(FindNoCase(line, i, script ? u"</script" : u"</style"), 0,
                      script ? SyntaxKind::kScript : SyntaxKind::kStyle)) {
          place = kText;
          raw = kNoRaw;
        }
        continue;
      }
    }
  }
  return Make(place, raw);
}

}  // namespace hemlo::text
