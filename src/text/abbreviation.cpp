#include "text/abbreviation.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "text/closing_tags.h"
#include "text/cp932.h"

namespace hemlo::text {

namespace {

constexpr int kMostCopies = 1000;  // "*n" beyond this is not an abbreviation

struct Node {
  std::string name;
  std::string id;
  std::vector<std::string> classes;
  std::vector<std::pair<std::string, std::string>> attrs;
  std::string text;
  bool group = false;
  int repeat = 1;
  std::vector<Node> children;
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '-' || c == ':'; }
bool IsWordChar(char c) { return IsNameChar(c) || c == '_' || c == '$'; }
bool IsOperatorChar(char c) {
  return IsWordChar(c) || c == '.' || c == '#' || c == '>' || c == '+' || c == '^' || c == '*' ||
         c == '(' || c == ')';
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool IsKnownElement(std::string_view name) {
  static constexpr std::string_view kNames[] = {
      "a", "abbr", "address", "area", "article", "aside", "audio", "b", "base", "bdi", "bdo",
      "blockquote", "body", "br", "button", "canvas", "caption", "center", "cite", "code", "col",
      "colgroup", "data", "datalist", "dd", "del", "details", "dfn", "dialog", "div", "dl", "dt",
      "em", "embed", "fieldset", "figcaption", "figure", "font", "footer", "form", "frame",
      "frameset", "h1", "h2", "h3", "h4", "h5", "h6", "head", "header", "hgroup", "hr", "html",
      "i", "iframe", "img", "input", "ins", "kbd", "label", "legend", "li", "link", "main", "map",
      "mark", "menu", "meta", "meter", "nav", "noscript", "object", "ol", "optgroup", "option",
      "output", "p", "param", "picture", "pre", "progress", "q", "rp", "rt", "ruby", "s", "samp",
      "script", "section", "select", "small", "source", "span", "strong", "style", "sub",
      "summary", "sup", "table", "tbody", "td", "template", "textarea", "tfoot", "th", "thead",
      "time", "title", "tr", "track", "u", "ul", "var", "video", "wbr"};
  const std::string lower = Lower(name);
  if (std::find(std::begin(kNames), std::end(kNames), lower) != std::end(kNames)) return true;
  // A custom element: a name with a hyphen after a letter.
  return IsLetter(name.front()) && name.find('-') != std::string_view::npos && name.back() != '-';
}

// The element an abbreviation without a name makes inside `parent`.
std::string ImpliedName(std::string_view parent) {
  const std::string p = Lower(parent);
  if (p == "ul" || p == "ol" || p == "menu") return "li";
  if (p == "table" || p == "tbody" || p == "thead" || p == "tfoot") return "tr";
  if (p == "tr") return "td";
  if (p == "select" || p == "optgroup") return "option";
  if (p == "span" || p == "a" || p == "em" || p == "strong" || p == "b" || p == "i" || p == "p")
    return "span";
  return "div";
}

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  std::optional<std::vector<Node>> Parse() {
    auto roots = Sequence();
    if (!roots || i_ != s_.size()) return std::nullopt;
    return roots;
  }

 private:
  bool At(char c) const { return i_ < s_.size() && s_[i_] == c; }
  // One character (two bytes for a double-byte one).
  std::size_t Step() const { return CharLength(s_, i_); }

  std::optional<std::vector<Node>> Sequence() {
    std::vector<Node> roots;
    std::vector<std::vector<Node>*> path{&roots};
    for (;;) {
      auto term = Term();
      if (!term) return std::nullopt;
      path.back()->push_back(std::move(*term));
      Node* last = &path.back()->back();
      if (At('>')) {
        ++i_;
        path.push_back(&last->children);
      } else if (At('+')) {
        ++i_;
      } else if (At('^')) {
        while (At('^')) {
          ++i_;
          if (path.size() > 1) path.pop_back();
        }
      } else {
        return roots;
      }
    }
  }

  std::optional<Node> Term() {
    Node node;
    if (At('(')) {
      ++i_;
      auto inner = Sequence();
      if (!inner || !At(')')) return std::nullopt;
      ++i_;
      node.group = true;
      node.children = std::move(*inner);
    } else {
      const std::size_t from = i_;
      while (i_ < s_.size() && IsNameChar(s_[i_])) ++i_;
      node.name = std::string(s_.substr(from, i_ - from));
      if (!node.name.empty() && !IsKnownElement(node.name)) return std::nullopt;
      bool any = !node.name.empty();
      for (;;) {
        if (At('.') || At('#')) {
          const char kind = s_[i_++];
          const std::size_t w = i_;
          while (i_ < s_.size() && IsWordChar(s_[i_])) ++i_;
          if (i_ == w) return std::nullopt;
          std::string word(s_.substr(w, i_ - w));
          if (kind == '.') node.classes.push_back(std::move(word));
          else node.id = std::move(word);
        } else if (At('[')) {
          ++i_;
          if (!Attributes(node)) return std::nullopt;
        } else if (At('{')) {
          ++i_;
          const std::size_t t = i_;
          while (i_ < s_.size() && !At('}')) i_ += Step();
          if (!At('}')) return std::nullopt;
          node.text = std::string(s_.substr(t, i_ - t));
          ++i_;
        } else {
          break;
        }
        any = true;
      }
      if (!any) return std::nullopt;
    }
    if (At('*')) {
      ++i_;
      int n = 0;
      const std::size_t d = i_;
      while (i_ < s_.size() && IsDigit(s_[i_]) && n <= kMostCopies) n = n * 10 + (s_[i_++] - '0');
      if (i_ == d || n < 1 || n > kMostCopies) return std::nullopt;
      node.repeat = n;
    }
    return node;
  }

  // name[=value] ... up to ']'; values quoted or bare.
  bool Attributes(Node& node) {
    for (;;) {
      while (At(' ')) ++i_;
      if (At(']')) {
        ++i_;
        return true;
      }
      const std::size_t n = i_;
      while (i_ < s_.size() && (IsWordChar(s_[i_]) || At('.') || At('@'))) ++i_;
      if (i_ == n) return false;
      std::string name(s_.substr(n, i_ - n));
      std::string value;
      if (At('=')) {
        ++i_;
        if (At('"') || At('\'')) {
          const char q = s_[i_++];
          const std::size_t v = i_;
          while (i_ < s_.size() && !At(q)) i_ += Step();
          if (!At(q)) return false;
          value = std::string(s_.substr(v, i_ - v));
          ++i_;
        } else {
          const std::size_t v = i_;
          while (i_ < s_.size() && !At(' ') && !At(']')) i_ += Step();
          value = std::string(s_.substr(v, i_ - v));
        }
      }
      node.attrs.emplace_back(std::move(name), std::move(value));
    }
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

// "$" runs become the copy's number, zero-padded to the run's length.
std::string Numbered(std::string_view s, int index) {
  if (s.find('$') == std::string_view::npos) return std::string(s);
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] != '$') {
      const std::size_t n = CharLength(s, i);
      out.append(s.substr(i, n));
      i += n;
      continue;
    }
    std::size_t run = 0;
    while (i < s.size() && s[i] == '$') ++run, ++i;
    std::string digits = std::to_string(index);
    if (digits.size() < run) digits.insert(0, run - digits.size(), '0');
    out += digits;
  }
  return out;
}

bool HasElements(const std::vector<Node>& nodes) {
  return std::any_of(nodes.begin(), nodes.end(), [](const Node& n) {
    return n.group ? HasElements(n.children)
                   : !n.name.empty() || !n.classes.empty() || !n.id.empty() || !n.attrs.empty();
  });
}

class Writer {
 public:
  Writer(std::string_view indent, std::string_view unit) : indent_(indent), unit_(unit) {}

  void Items(const std::vector<Node>& nodes, const std::string& parent, int depth, int index) {
    for (const Node& n : nodes) {
      for (int r = 0; r < n.repeat; ++r) {
        const int i = n.repeat > 1 ? r + 1 : index;
        if (n.group) Items(n.children, parent, depth, i);
        else Element(n, parent, depth, i);
      }
    }
  }

  std::string text;
  std::optional<std::size_t> caret;

 private:
  void Line(int depth) {
    if (!first_) {
      text += "\r\n";
      text += indent_;
      for (int d = 0; d < depth; ++d) text += unit_;
    }
    first_ = false;
  }

  void Attribute(std::string_view name, std::string_view value) {
    text += ' ';
    text += name;
    text += "=\"";
    if (value.empty() && !caret) caret = text.size();
    text += value;
    text += '"';
  }

  void Element(const Node& n, const std::string& parent, int depth, int index) {
    const bool text_only =
        n.name.empty() && n.classes.empty() && n.id.empty() && n.attrs.empty();
    Line(depth);
    if (text_only) {
      text += Numbered(n.text, index);
      return;
    }
    const std::string name = n.name.empty() ? ImpliedName(parent) : Numbered(n.name, index);
    text += '<' + name;
    if (!n.id.empty()) Attribute("id", Numbered(n.id, index));
    if (!n.classes.empty()) {
      std::string classes;
      for (const std::string& c : n.classes) classes += (classes.empty() ? "" : " ") + Numbered(c, index);
      Attribute("class", classes);
    }
    auto has = [&](std::string_view a) {
      return std::any_of(n.attrs.begin(), n.attrs.end(),
                         [&](const auto& kv) { return Lower(kv.first) == a; });
    };
    for (const auto& [key, value] : n.attrs) Attribute(key, Numbered(value, index));
    const std::string lower = Lower(name);
    if (lower == "a" && !has("href")) Attribute("href", "");
    if (lower == "img") {
      if (!has("src")) Attribute("src", "");
      if (!has("alt")) Attribute("alt", "");
    }
    text += '>';
    if (IsVoidElement(name)) return;
    text += Numbered(n.text, index);
    if (HasElements(n.children)) {
      Items(n.children, name, depth + 1, index);
      Line(depth);
    } else {
      if (n.text.empty() && !caret) caret = text.size();
      for (const Node& c : n.children) text += Numbered(c.text, index);  // {text} children
    }
    text += "</" + name + '>';
  }

  std::string_view indent_;
  std::string_view unit_;
  bool first_ = true;
};

// Where the abbreviation before the end of `line` starts: after the last
// blank, tag or other character that cannot be part of one, brackets and
// double-byte characters honoured. npos when a bracket is left open.
std::size_t AbbreviationStart(std::string_view line) {
  std::size_t start = 0;
  bool in_tag = false;
  for (std::size_t i = 0; i < line.size();) {
    const char c = line[i];
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      std::size_t j = i + 1;
      char quote = 0;
      while (j < line.size() && (quote != 0 || line[j] != close)) {
        if (close == ']' && (line[j] == '"' || line[j] == '\'')) quote = quote == line[j] ? 0 : quote == 0 ? line[j] : quote;
        j += CharLength(line, j);
      }
      if (j >= line.size()) return std::string_view::npos;
      i = j + 1;
      continue;
    }
    const std::size_t n = CharLength(line, i);
    if (c == '<') {
      in_tag = true;
      start = i + 1;
    } else if (c == '>' && in_tag) {
      in_tag = false;
      start = i + 1;
    } else if (n > 1 || !IsOperatorChar(c)) {
      start = i + n;
    }
    i += n;
  }
  return in_tag ? std::string_view::npos : start;
}

}  // namespace

std::optional<Expansion> ExpandAbbreviation(std::string_view line, std::string_view indent,
                                            std::string_view unit) {
  const std::size_t start = AbbreviationStart(line);
  if (start == std::string_view::npos || start >= line.size()) return std::nullopt;
  const std::string_view abbreviation = line.substr(start);
  auto roots = Parser(abbreviation).Parse();
  if (!roots || !HasElements(*roots)) return std::nullopt;
  Writer w(indent, unit);
  w.Items(*roots, "", 0, 1);
  if (w.text.empty()) return std::nullopt;
  Expansion e;
  e.start = start;
  e.caret = w.caret.value_or(w.text.size());
  e.text = std::move(w.text);
  return e;
}

}  // namespace hemlo::text
