#include "text/closing_tags.h"

#include <algorithm>
#include <array>
#include <vector>

namespace hemlo::text {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameChar(char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == ':' || c == '_' || c == '.';
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string LowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

// The name that starts at `i` (a letter), empty otherwise.
std::string_view NameAt(std::string_view s, std::size_t i) {
  if (i >= s.size() || !IsLetter(s[i])) return {};
  std::size_t end = i;
  while (end < s.size() && IsNameChar(s[end])) ++end;
  return s.substr(i, end - i);
}

// The '>' that ends the tag whose attributes start at `i`, quotes honoured;
// npos when the tag does not end in `s`.
std::size_t TagEnd(std::string_view s, std::size_t i) {
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
bool IsRawText(std::string_view name) {
  for (std::string_view raw : {"script", "style", "textarea", "title"})
    if (SameName(name, raw)) return true;
  return false;
}

// Whether `at` stands inside a comment, <script> or <style> of `lower` (the
// window in lower case).
bool InsideCommentOrCode(const std::string& lower, std::size_t at) {
  const std::string_view head(lower.data(), at);
  const std::size_t open = head.rfind("<!--");
  if (open != std::string_view::npos) {
    const std::size_t close = head.rfind("-->");
    if (close == std::string_view::npos || close < open + 4) return true;
  }
  for (std::string_view code : {"script", "style"}) {
    const std::string start = "<" + std::string(code);
    const std::string end = "</" + std::string(code);
    std::size_t s = head.rfind(start);
    // "<scripts" is not <script>.
    while (s != std::string_view::npos && s + start.size() < head.size() &&
           IsNameChar(head[s + start.size()]))
      s = s == 0 ? std::string_view::npos : head.rfind(start, s - 1);
    if (s == std::string_view::npos) continue;
    const std::size_t e = head.rfind(end);
    if (e == std::string_view::npos || e < s) return true;
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
  if (InsideCommentOrCode(LowerCopy(before.substr(0, lt)), lt)) return {};
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
