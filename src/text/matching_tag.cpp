#include "text/matching_tag.h"

#include <algorithm>
#include <vector>

#include "text/closing_tags.h"
#include "text/tag_scan.h"

namespace hemlo::text {

namespace {

using namespace tag_scan;

// Where "</name" (any case, not followed by a name character) starts at or
// after `from`.
std::size_t FindEndTag(std::string_view s, std::size_t from, std::string_view name) {
  for (std::size_t i = from; (i = s.find("</", i)) != std::string_view::npos; i += 2) {
    const std::size_t n = i + 2;
    if (n + name.size() > s.size()) return std::string_view::npos;
    if (SameName(s.substr(n, name.size()), name) &&
        (n + name.size() == s.size() || !IsNameChar(s[n + name.size()])))
      return i;
  }
  return std::string_view::npos;
}

struct Tag {
  std::size_t start = 0, end = 0;
  std::string_view name;
  bool closing = false;
  bool single = false;
};

// Every tag of `s` in order, markup-free stretches skipped.
std::vector<Tag> Tags(std::string_view s) {
  std::vector<Tag> out;
  std::size_t i = 0;
  while ((i = s.find('<', i)) != std::string_view::npos) {
    if (s.compare(i, 4, "<!--") == 0) {
      const std::size_t close = s.find("-->", i + 4);
      if (close == std::string_view::npos) break;
      i = close + 3;
      continue;
    }
    if (i + 1 < s.size() && (s[i + 1] == '!' || s[i + 1] == '?')) {
      const std::size_t close = s.find('>', i);
      if (close == std::string_view::npos) break;
      i = close + 1;
      continue;
    }
    const bool closing = i + 1 < s.size() && s[i + 1] == '/';
    const std::size_t at = i + (closing ? 2 : 1);
    const std::string_view name = NameAt(s, at);
    if (name.empty()) {
      ++i;
      continue;
    }
    const std::size_t gt = TagEnd(s, at + name.size());
    if (gt == std::string_view::npos) break;
    Tag tag{i, gt + 1, name, closing, false};
    tag.single = !closing && (s[gt - 1] == '/' || IsVoidElement(name));
    out.push_back(tag);
    i = gt + 1;
    if (!closing && !tag.single && IsRawText(name)) {
      // Its text up to its own end tag holds no tags.
      const std::size_t close = FindEndTag(s, i, name);
      if (close == std::string_view::npos) break;
      i = close;
    }
  }
  return out;
}

}  // namespace

TagMatch MatchingTag(std::string_view text, std::size_t caret) {
  TagMatch m;
  const std::vector<Tag> tags = Tags(text);
  // Inside a tag first, then the tag starting at the caret, then one ending there.
  std::size_t at = tags.size();
  for (std::size_t k = 0; k < tags.size() && tags[k].start <= caret; ++k) {
    if (caret > tags[k].start && caret < tags[k].end) {
      at = k;
      break;
    }
    if (caret == tags[k].start) {
      at = k;
      break;
    }
    if (caret == tags[k].end) at = k;
  }
  if (at == tags.size()) return m;
  const Tag& tag = tags[at];
  m.tag_start = tag.start;
  m.tag_end = tag.end;
  m.partner_after = !tag.closing;
  if (tag.single) {
    m.kind = TagMatch::Kind::kSingle;
    return m;
  }
  m.kind = TagMatch::Kind::kNoPartner;
  int depth = 0;
  const auto found = [&](const Tag& t) {
    m.kind = TagMatch::Kind::kFound;
    m.partner_start = t.start;
    m.partner_end = t.end;
  };
  if (!tag.closing) {
    for (std::size_t k = at + 1; k < tags.size(); ++k) {
      const Tag& t = tags[k];
      if (t.single || !SameName(t.name, tag.name)) continue;
      if (!t.closing) {
        ++depth;
      } else if (depth-- == 0) {
        found(t);
        break;
      }
    }
  } else {
    for (std::size_t k = at; k-- > 0;) {
      const Tag& t = tags[k];
      if (t.single || !SameName(t.name, tag.name)) continue;
      if (t.closing) {
        ++depth;
      } else if (depth-- == 0) {
        found(t);
        break;
      }
    }
  }
  return m;
}

}  // namespace hemlo::text
