#include "site/link_rewrite.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <system_error>
#include <thread>

#include "base/ascii_case.h"
#include "base/atomic_file.h"
#include "site/html_tags.h"
#include "site/link_paths.h"
#include "site/site_files.h"
#include "text/cp932.h"
#include "text/utf8.h"

namespace hemlo::site {

namespace fs = std::filesystem;

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

fs::path Normal(const fs::path& p) {
  fs::path n = fs::absolute(p).lexically_normal();
  if (!n.has_filename() && n.has_parent_path() && n != n.root_path()) n = n.parent_path();
  return n;
}

// A fragment alone, or an address with a scheme: nothing a move of a local
// file changes.
bool External(std::string_view v) { return v.empty() || v[0] == '#' || HasUrlScheme(v); }

// How a reference spelled its names, so new names are spelled alike.
struct Spelling {
  bool percent = false;       // non-ASCII written as %XX
  bool percent_sjis = false;  // ... of Shift-JIS bytes
  std::map<std::string, std::string> segments;  // UTF-8 name -> as written
};

// One segment of a reference's path as a UTF-8 file name.
std::string DecodeSegment(std::string_view seg, Encoding enc, Spelling& sp) {
  std::string raw;
  bool pct_high = false;
  for (std::size_t i = 0; i < seg.size(); ++i) {
    if (seg[i] == '%' && i + 2 < seg.size() + 0 && HexDigit(seg[i + 1]) >= 0 &&
        HexDigit(seg[i + 2]) >= 0) {
      const char b = static_cast<char>(HexDigit(seg[i + 1]) * 16 + HexDigit(seg[i + 2]));
      pct_high |= static_cast<unsigned char>(b) >= 0x80;
      raw.push_back(b);
      i += 2;
    } else {
      raw.push_back(seg[i]);
    }
  }
  std::string name;
  if (pct_high) {
    sp.percent = true;
    if (text::IsValidUtf8(raw)) {
      name = raw;
    } else {
      sp.percent_sjis = true;
      name = DisplayText(raw, Encoding::kShiftJis);
    }
  } else {
    name = DisplayText(raw, enc);
  }
  sp.segments.emplace(name, std::string(seg));
  return name;
}

void AppendPercent(std::string& out, std::string_view bytes) {
  static const char* hex = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out.push_back('%');
    out.push_back(hex[b >> 4]);
    out.push_back(hex[b & 15]);
  }
}

// A UTF-8 file name as a path segment of a reference in a page of `enc`.
std::string EncodeSegment(const std::string& name, Encoding enc, const Spelling& sp) {
  if (const auto it = sp.segments.find(name); it != sp.segments.end()) return it->second;
  std::string out;
  for (std::size_t i = 0; i < name.size();) {
    char32_t cp = 0;
    std::size_t n = text::Utf8SequenceAt(name, i, cp);
    if (n == 0) n = 1;
    const std::string_view one(name.data() + i, n);
    i += n;
    const auto b = static_cast<unsigned char>(one[0]);
    if (b < 0x80) {
      if (b <= 0x20 || std::strchr("%#?\"'<>\\", one[0]))
        AppendPercent(out, one);
      else
        out += one;
      continue;
    }
    if (sp.percent && !sp.percent_sjis) {
      AppendPercent(out, one);
      continue;
    }
    const auto sjis = EncodeText(one, Encoding::kShiftJis);
    if (sp.percent && sjis)
      AppendPercent(out, *sjis);
    else if (enc == Encoding::kUtf8)
      out += one;
    else if (sjis)
      out += *sjis;
    else
      AppendPercent(out, one);  // a Shift-JIS page cannot hold it raw
  }
  return out;
}

struct Context {
  fs::path root, from, to;
};

// The new spelling of a reference `value` in a file now at `file` and later
// at `moved`; empty when it stays as it is.
std::string Rewritten(std::string_view value, Encoding enc, const fs::path& file,
                      const fs::path& moved, const Context& cx) {
  while (!value.empty() && Blank(value.front())) value.remove_prefix(1);
  while (!value.empty() && Blank(value.back())) value.remove_suffix(1);
  if (External(value)) return {};
  const std::size_t cut = std::min(value.find('?'), value.find('#'));
  const std::string_view path = value.substr(0, cut);
  const std::string_view suffix = cut == std::string_view::npos ? "" : value.substr(cut);
  if (path.empty()) return {};
  Spelling sp;
  const bool rooted = path[0] == '/';
  const bool folder = path.back() == '/';
  fs::path target = rooted ? cx.root : file.parent_path();
  for (std::size_t s = 0; s <= path.size();) {
    std::size_t e = path.find('/', s);
    if (e == std::string_view::npos) e = path.size();
    if (e > s) target /= DecodeSegment(path.substr(s, e - s), enc, sp);
    s = e + 1;
  }
  target = target.lexically_normal();
  if (!target.has_filename() && target.has_parent_path()) target = target.parent_path();
  const fs::path mapped = Mapped(target, cx.from, cx.to);
  if (mapped == target && moved == file) return {};
  if (mapped == target && rooted) return {};
  if (!rooted && !Within(target, cx.root) && moved == file) return {};
  fs::path written;
  if (rooted)
    written = mapped.lexically_relative(cx.root);
  else
    written = mapped.lexically_relative(moved.parent_path());
  if (written.empty()) return {};
  std::string rel;
  for (const fs::path& part : written) {
    if (part.native() == ".") continue;
    if (!rel.empty()) rel.push_back('/');
    rel += part.native() == ".." ? part.native() : EncodeSegment(part.native(), enc, sp);
  }
  std::string out;
  if (rooted)
    out = "/" + rel;
  else if (path.substr(0, 2) == "./" && rel.compare(0, 2, "..") != 0)
    out = "./" + rel;
  else
    out = rel.empty() ? "./" : rel;
  if (folder && out.back() != '/') out.push_back('/');
  out += suffix;
  return out == value ? std::string() : out;
}

// Needles that any reference to the moved name must contain, in the file's
// encoding and %-encoded: the bytes above 0x7F and the blanks, and also the
// ASCII that may not stand in an address (a Shift-JIS trail byte '[' is
// written "%5B"), each in upper and lower case.
std::vector<std::string> NeedlesFor(const std::string& name) {
  std::vector<std::string> n{name};
  if (auto s = EncodeText(name, Encoding::kShiftJis)) n.push_back(*s);
  for (std::size_t k = 0, count = n.size(); k < count; ++k) {
    for (const bool unsafe_too : {false, true}) {
      std::string upper, lower;
      bool any = false;
      for (const char c : n[k]) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 || b <= 0x20 || (unsafe_too && std::strchr("\"<>[\\]^`{|}", c))) {
          AppendPercent(upper, std::string_view(&c, 1));
          any = true;
        } else {
          upper.push_back(c);
        }
      }
      if (!any) continue;
      for (const char c : upper) lower.push_back(AsciiLower(c));
      n.push_back(upper);
      n.push_back(lower);
    }
  }
  std::sort(n.begin(), n.end());
  n.erase(std::unique(n.begin(), n.end()), n.end());
  return n;
}

bool Holds(std::string_view bytes, const std::vector<std::string>& needles) {
  for (const std::string& n : needles)
    if (::memmem(bytes.data(), bytes.size(), n.data(), n.size())) return true;
  return false;
}

class Collector {
 public:
  Collector(LinkFile& f, const Context& cx, const std::vector<std::string>& needles)
      : f_(f), cx_(cx), needles_(needles) {}

  void Reference(std::size_t offset, std::string_view value) {
    // In a file that stays, only a reference naming what moves can change
    // (the test the file as a whole passed): most links are passed over here.
    if (f_.moved == f_.path && !Holds(value, needles_)) return;
    std::size_t lead = 0;
    while (lead < value.size() && Blank(value[lead])) ++lead;
    std::size_t len = value.size();
    while (len > lead && Blank(value[len - 1])) --len;
    value = value.substr(lead, len - lead);
    offset += lead;
    std::string after = Rewritten(value, f_.encoding, f_.path, f_.moved, cx_);
    if (after.empty()) return;
    LinkChange c;
    c.offset = offset;
    c.length = value.size();
    c.before = std::string(value);
    c.after = std::move(after);
    f_.changes.push_back(std::move(c));
  }

  // What a script might build from the moved name: listed, never written.
  void Unchecked(std::size_t begin, std::size_t end, const std::vector<std::string>& needles) {
    const std::string_view b(f_.bytes);
    for (const std::string& n : needles) {
      for (std::size_t at = b.find(n, begin); at != std::string_view::npos && at + n.size() <= end;
           at = b.find(n, at + n.size())) {
        std::size_t s = at, e = at + n.size();
        while (s > begin && !std::strchr("\"'`() \t\r\n;,=+", b[s - 1])) --s;
        while (e < end && !std::strchr("\"'`() \t\r\n;,=+", b[e])) ++e;
        LinkChange c;
        c.offset = s;
        c.length = e - s;
        c.before = std::string(b.substr(s, e - s));
        c.decidable = false;
        c.included = false;
        f_.changes.push_back(std::move(c));
      }
    }
  }

  // url(...) and @import "..." in CSS text bytes[begin, end).
  void Css(std::size_t begin, std::size_t end) {
    const std::string_view s(f_.bytes);
    std::size_t i = begin;
    auto step = [&](std::size_t k) {
      if (f_.encoding == Encoding::kShiftJis && static_cast<unsigned char>(s[k]) >= 0x80)
        return std::max<std::size_t>(1, text::CharLength(s, k));
      return std::size_t{1};
    };
    while (i < end) {
      if (s.compare(i, 2, "/*") == 0) {
        const std::size_t e = s.find("*/", i + 2);
        i = e == std::string_view::npos || e >= end ? end : e + 2;
        continue;
      }
      const bool url = i + 4 <= end && AsciiLower(s[i]) == 'u' && AsciiLower(s[i + 1]) == 'r' &&
                       AsciiLower(s[i + 2]) == 'l' && s[i + 3] == '(';
      const bool import = !url && i + 7 <= end && s.compare(i, 7, "@import") == 0;
      if (!url && !import) {
        i += step(i);
        continue;
      }
      std::size_t v = i + (url ? 4 : 7);
      while (v < end && Blank(s[v])) ++v;
      if (import && v + 4 <= end && AsciiLower(s[v]) == 'u' && s.compare(v + 1, 3, "rl(") == 0) {
        i = v;  // @import url(...): the url( branch takes it
        continue;
      }
      std::size_t e = v;
      if (v < end && (s[v] == '"' || s[v] == '\'')) {
        const char q = s[v++];
        e = s.find(q, v);
        if (e == std::string_view::npos || e > end) e = end;
      } else if (url) {
        while (e < end && s[e] != ')' && !Blank(s[e])) e += step(e);
      } else {
        i = v;
        continue;
      }
      Reference(v, s.substr(v, e - v));
      i = e + 1;
    }
  }

  void Srcset(std::size_t offset, std::string_view v) {
    std::size_t i = 0;
    while (i < v.size()) {
      while (i < v.size() && (Blank(v[i]) || v[i] == ',')) ++i;
      std::size_t e = i;
      while (e < v.size() && !Blank(v[e])) ++e;
      std::size_t u = e;
      while (u > i && v[u - 1] == ',') --u;
      if (u > i) Reference(offset + i, v.substr(i, u - i));
      if (u < e) {
        i = e;
        continue;
      }
      while (e < v.size() && v[e] != ',') ++e;
      i = e;
    }
  }

 private:
  LinkFile& f_;
  const Context& cx_;
  const std::vector<std::string>& needles_;
};

// Offset of "</name" (any case) at or after `from`, or the end.
std::size_t EndOf(std::string_view s, std::size_t from, std::string_view name) {
  for (std::size_t i = s.find("</", from); i != std::string_view::npos; i = s.find("</", i + 2)) {
    bool same = i + 2 + name.size() <= s.size();
    for (std::size_t k = 0; same && k < name.size(); ++k) same = AsciiLower(s[i + 2 + k]) == name[k];
    if (same) return i;
  }
  return s.size();
}

bool IsCss(const fs::path& p) {
  std::string ext = p.extension().native();
  for (char& c : ext) c = AsciiLower(c);
  return ext == ".css";
}

void CollectPage(LinkFile& f, const Context& cx, const std::vector<std::string>& needles) {
  Collector c(f, cx, needles);
  const std::string_view s(f.bytes);
  if (IsCss(f.path)) {
    c.Css(0, s.size());
    return;
  }
  for (const Tag& t : ScanTags(s)) {
    for (const Attribute& a : t.attributes) {
      if (a.name == "href" || a.name == "src" || a.name == "action" || a.name == "poster" ||
          a.name == "data" || a.name == "background" || a.name == "cite" ||
          a.name == "formaction") {
        std::string_view v = a.value;
        std::size_t lead = 0;
        while (lead < v.size() && Blank(v[lead])) ++lead;
        if (v.size() - lead >= 11) {
          std::string scheme;
          for (std::size_t k = lead; k < lead + 11; ++k) scheme.push_back(AsciiLower(v[k]));
          if (scheme == "javascript:") {
            c.Unchecked(a.value_offset, a.value_offset + v.size(), needles);
            continue;
          }
        }
        c.Reference(a.value_offset, v);
      } else if (a.name == "srcset") {
        c.Srcset(a.value_offset, a.value);
      } else if (a.name == "style") {
        c.Css(a.value_offset, a.value_offset + a.value.size());
      } else if (a.name.size() > 2 && a.name.compare(0, 2, "on") == 0) {
        c.Unchecked(a.value_offset, a.value_offset + a.value.size(), needles);
      }
    }
    if (t.name == "style" || t.name == "script") {
      const std::size_t begin = t.close + (s[t.close] == '/' ? 2 : 1);
      if (s[t.close] == '/' && t.name == "script") continue;
      const std::size_t end = EndOf(s, begin, t.name);
      if (t.name == "style")
        c.Css(begin, end);
      else
        c.Unchecked(begin, end, needles);
    }
  }
}

void Finish(LinkFile& f) {
  std::sort(f.changes.begin(), f.changes.end(),
            [](const LinkChange& a, const LinkChange& b) { return a.offset < b.offset; });
  // One place is one change (a needle found twice in the same word).
  f.changes.erase(std::unique(f.changes.begin(), f.changes.end(),
                              [](const LinkChange& a, const LinkChange& b) {
                                return a.offset == b.offset;
                              }),
                  f.changes.end());
  Place at;
  for (LinkChange& c : f.changes) {
    at = PlaceOf(f.bytes, f.encoding, c.offset, at);
    c.line = at.line;
    c.shown_before = DisplayText(c.before, f.encoding);
    c.shown_after = DisplayText(c.after, f.encoding);
  }
}

}  // namespace

std::string LinkBetween(const fs::path& page, const fs::path& target, Encoding encoding) {
  Spelling sp;
  std::string rel;
  for (const fs::path& part : target.lexically_relative(page.parent_path())) {
    if (part.native() == ".") continue;
    if (!rel.empty()) rel.push_back('/');
    rel += part.native() == ".." ? part.native() : EncodeSegment(part.native(), encoding, sp);
  }
  return rel;
}

LinkPlan PlanLinkUpdate(const fs::path& root, const fs::path& from, const fs::path& to) {
  LinkPlan plan;
  plan.root = Normal(root);
  plan.from = Normal(from);
  plan.to = Normal(to);
  std::error_code ec;
  if (!fs::exists(plan.from, ec)) {
    plan.error = plan.from.string() + " がありません。";
    return plan;
  }
  if (plan.from == plan.root || !Within(plan.from, plan.root) || !Within(plan.to, plan.root)) {
    plan.error = "サイトのフォルダーの中でだけ移動できます。";
    return plan;
  }
  if (fs::exists(plan.to, ec) || fs::is_symlink(plan.to, ec)) {
    plan.error = plan.to.string() + " はすでにあります。";
    return plan;
  }
  if (Within(plan.to, plan.from)) {
    plan.error = "フォルダーをその中へは移動できません。";
    return plan;
  }
  if (!fs::is_directory(plan.to.parent_path(), ec)) {
    plan.error = plan.to.parent_path().string() + " がありません。";
    return plan;
  }
  const Context cx{plan.root, plan.from, plan.to};
  const std::vector<std::string> needles = NeedlesFor(plan.from.filename().native());
  const std::vector<fs::path> paths = ListSiteFiles(plan.root, kLinkFilePatterns);
  // Each file stands alone: reading and looking through 2,000 pages goes on
  // every core, the plan keeps the listing's order.
  std::vector<LinkFile> found(paths.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < paths.size();) {
      LinkFile& f = found[i];
      f.path = Normal(paths[i]);
      f.moved = Mapped(f.path, plan.from, plan.to);
      // Only a file that moves or names what moves can change.
      if (!ReadWholeFile(f.path, f.bytes) || (f.moved == f.path && !Holds(f.bytes, needles))) {
        f.bytes = {};
        continue;
      }
      f.encoding = ClassifyPage(f.bytes).encoding;
      CollectPage(f, cx, needles);
      if (!f.changes.empty()) Finish(f);
    }
  };
  const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::thread> pool;
  for (unsigned i = 1; i < (paths.size() < 16 ? 1 : cores); ++i) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  for (LinkFile& f : found)
    if (!f.changes.empty()) plan.files.push_back(std::move(f));
  return plan;
}

std::string RewrittenBytes(const LinkFile& file) {
  std::string out;
  out.reserve(file.bytes.size() + 64);
  std::size_t done = 0;
  for (const LinkChange& c : file.changes) {
    if (!c.decidable || !c.included || c.offset < done) continue;
    out.append(file.bytes, done, c.offset - done);
    out += c.after;
    done = c.offset + c.length;
  }
  out.append(file.bytes, done);
  return out;
}

}  // namespace hemlo::site
