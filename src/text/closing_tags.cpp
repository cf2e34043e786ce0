#include "text/closing_tags.h"

#include <algorithm>
#include <array>
#include <vector>

#include "text/tag_scan.h"

namespace hemlo::text {

namespace {

using namespace tag_scan;

std::string LowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

// Whether `s` has `word` (lower case) at `i`, in any case, followed by
// something that cannot go on a name.
bool WordAt(std::string_view s, std::size_t i, std::string_view word) {
  if (i + word.size() > s.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Lower(s[i + k]) != word[k]) return false;
  return i + word.size() == s.size() || !IsNameChar(s[i + word.size()]);
}

// Whether the end of `head` stands inside a comment, <script> or <style>:
// one pass back, each kind settled by whichever of its start and end comes
// last.
bool InsideCommentOrCode(std::string_view head) {
  int comment = -1, script = -1, style = -1;  // -1 unknown, 0 outside, 1 inside
  for (std::size_t i = head.size(); i-- > 0;) {
    const char c = head[i];
    if (c == '>' && comment < 0 && i >= 2 && head.compare(i - 2, 3, "-->") == 0) comment = 0;
    if (c != '<') continue;
    if (comment < 0 && head.compare(i, 4, "<!--") == 0) return true;
    const bool end = i + 1 < head.size() && head[i + 1] == '/';
    const std::size_t name = i + (end ? 2 : 1);
    if (script < 0 && WordAt(head, name, "script")) {
      if (!end) return true;
      script = 0;
    }
    if (style < 0 && WordAt(head, name, "style")) {
      if (!end) return true;
      style = 0;
    }
    if (comment == 0 && script == 0 && style == 0) return false;
  }
  return false;
}

// Elements that a following sibling of these names closes without an end tag.
bool ClosesImplicitly(std::string_view open, std::string_view next) {
  if (SameName(open, "li")) return SameName(next, "li");
  if (SameName(open, "td") || SameName(open, "th"))
    return SameName(next, "td") || SameName(next, "th") || SameName(next, "tr");
  if (SameName(open, "tr")) return SameName(next, "tr");
  if (SameName(open, "dt") || SameName(open, "dd"))
    return SameName(next, "dt") || SameName(next, "dd");
  if (SameName(open, "option")) return SameName(next, "option");
  if (SameName(open, "p")) return SameName(next, "p");
  return false;
}

}  // namespace

bool IsVoidElement(std::string_view name) {
  static constexpr std::array<std::string_view, 14> kVoid = {
      "area", "base", "br", "col", "embed", "hr", "img",
      "input", "link", "meta", "source", "track", "wbr", "param"};
  return std::any_of(kVoid.begin(), kVoid.end(), [&](std::string_view v) { return SameName(name, v); });
}

std::string EndTagAfterGreaterThan(std::string_view before, std::string_view after) {
  if (before.empty() || before.back() != '>') return {};
  if (before.size() > kClosingTagWindow) before = before.substr(before.size() - kClosingTagWindow);
  const std::size_t gt = before.size() - 1;
  // The last '<' starts the tag, if its own end (quotes honoured) is this '>'.
  const std::size_t lt = before.rfind('<', gt);
  if (lt == std::string_view::npos) return {};
  const std::string_view name = NameAt(before, lt + 1);
  if (name.empty()) return {};  // "<!", "<?", "</", "< "
  const std::size_t attrs = lt + 1 + name.size();
  if (TagEnd(before, attrs) != gt) return {};  // the '>' is inside a quoted value
  if (before[gt - 1] == '/' || IsVoidElement(name)) return {};
  if (InsideCommentOrCode(before.substr(0, lt))) return {};
  const std::string end = "</" + std::string(name) + ">";
  if (after.size() >= end.size() && SameName(after.substr(0, end.size()), end)) return {};
  return end;
}

EndTagCompletion CompleteEndTag(std::string_view before, std::string_view after) {
  EndTagCompletion out;
  if (before.size() < 2 || before.substr(before.size() - 2) != "</") return out;
  if (before.size() > kClosingTagWindow) before = before.substr(before.size() - kClosingTagWindow);
  const std::string_view text = before.substr(0, before.size() - 2);
  std::vector<std::string_view> open;
  std::size_t i = 0;
  while ((i = text.find('<', i)) != std::string_view::npos) {
    if (text.compare(i, 4, "<!--") == 0) {
      const std::size_t close = text.find("-->", i + 4);
      if (close == std::string_view::npos) return out;  // inside a comment
      i = close + 3;
      continue;
    }
    if (i + 1 < text.size() && (text[i + 1] == '!' || text[i + 1] == '?')) {
      const std::size_t close = text.find('>', i);
      if (close == std::string_view::npos) return out;
      i = close + 1;
      continue;
    }
    const bool closing = i + 1 < text.size() && text[i + 1] == '/';
    const std::string_view name = NameAt(text, i + (closing ? 2 : 1));
    if (name.empty()) {
      ++i;
      continue;
    }
    const std::size_t end = TagEnd(text, i + (closing ? 2 : 1) + name.size());
    if (end == std::string_view::npos) return out;  // "</" typed inside a tag
    i = end + 1;
    if (closing) {
      const auto it = std::find_if(open.rbegin(), open.rend(),
                                   [&](std::string_view o) { return SameName(o, name); });
      if (it != open.rend()) open.erase(std::next(it).base(), open.end());
      continue;
    }
    if (text[end - 1] == '/' || IsVoidElement(name)) continue;
    while (!open.empty() && ClosesImplicitly(open.back(), name)) open.pop_back();
    open.push_back(name);
    if (IsRawText(name)) {
      // Its content up to its own end tag is text; an end tag yet to come
      // means the "</" typed closes it.
      const std::string lower = LowerCopy(text.substr(i));
      const std::size_t close = lower.find("</" + LowerCopy(name));
      if (close == std::string::npos) break;
      i += close;
    }
  }
  if (open.empty()) return out;
  out.name = std::string(open.back());
  const std::string tag = "</" + out.name + ">";
  if (after.size() >= tag.size() && SameName(after.substr(0, tag.size()), tag))
    out.skip = tag.size();
  else
    out.insert = out.name + ">";
  return out;
}

}  // namespace hemlo::text
