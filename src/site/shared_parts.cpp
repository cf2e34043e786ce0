#include "site/shared_parts.h"

#include <algorithm>
#include <cstdint>
#include <tuple>

#include "base/ascii_case.h"
#include "base/atomic_file.h"
#include "site/html_tags.h"
#include "text/cp932.h"
#include "text/utf8.h"

namespace hemlo::site {

namespace {

std::vector<std::string_view> Segments(std::string_view path) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i <= path.size()) {
    const std::size_t slash = std::min(path.find('/', i), path.size());
    if (slash > i) out.push_back(path.substr(i, slash - i));
    i = slash + 1;
  }
  return out;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (AsciiLower(s[i]) != AsciiLower(prefix[i])) return false;
  return true;
}

struct Edit {
  std::size_t offset = 0;
  std::size_t length = 0;
  std::string text;
};

std::string Applied(std::string_view text, std::vector<Edit>& edits) {
  std::sort(edits.begin(), edits.end(),
            [](const Edit& a, const Edit& b) { return a.offset < b.offset; });
  std::string out;
  std::size_t done = 0;
  for (const Edit& e : edits) {
    if (e.offset < done) continue;  // overlapping: the first one wins
    out.append(text.substr(done, e.offset - done));
    out += e.text;
    done = e.offset + e.length;
  }
  out.append(text.substr(done));
  return out;
}

// "a.jpg 1x, b/c.jpg 2x": every candidate's address relocated.
std::string RelocateSrcset(std::string_view value, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t i = 0;
  while (i < value.size()) {
    std::size_t start = i;
    while (start < value.size() && (value[start] == ' ' || value[start] == '\t' ||
                                    value[start] == '\n' || value[start] == '\r'))
      ++start;
    out.append(value.substr(i, start - i));
    std::size_t end = start;
    while (end < value.size() && value[end] != ' ' && value[end] != '\t' && value[end] != '\n' &&
           value[end] != '\r' && value[end] != ',')
      ++end;
    out += RelocateUrl(value.substr(start, end - start), from, to);
    const std::size_t comma = std::min(value.find(',', end), value.size());
    out.append(value.substr(end, std::min(comma + 1, value.size()) - end));
    i = comma + 1;
  }
  return out;
}

std::string FolderOf(const std::filesystem::path& site, const std::filesystem::path& folder) {
  std::string rel = folder.lexically_normal().lexically_relative(site.lexically_normal())
                        .generic_string();
  if (rel == ".") rel.clear();
  return rel;
}

std::string ToLineBreak(std::string_view text, std::string_view line_break) {
  if (line_break == "\n") return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (char c : text) {
    if (c == '\n')
      out += line_break;
    else
      out.push_back(c);
  }
  return out;
}

std::string NormalLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// The copy's text for a page: links moved, line breaks and encoding the page's.
std::optional<std::string> CopyFor(std::string_view text, std::string_view part_folder,
                                   std::string_view page_folder, Encoding encoding,
                                   std::string_view line_break, std::string* refused) {
  return EncodeText(ToLineBreak(RelocateLinks(text, part_folder, page_folder), line_break),
                    encoding, refused);
}

std::string PartFolderOf(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  std::string folder(slash == std::string_view::npos ? std::string_view{} : name.substr(0, slash));
  while (!folder.empty() && folder.front() == '/') folder.erase(0, 1);
  return folder;
}

std::filesystem::path PartFile(const std::filesystem::path& site, std::string_view name) {
  std::string rel(name);
  while (!rel.empty() && rel.front() == '/') rel.erase(0, 1);
  return site / std::filesystem::path(rel);
}

// Records: one file per part under a folder per site, its texts apart by NUL.
constexpr std::size_t kRecordedTexts = 8;

std::filesystem::path RecordFile(const std::filesystem::path& site,
                                 const std::filesystem::path& records, std::string_view name) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : site.lexically_normal().generic_string()) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char folder[17];
  static const char* const kHex = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) folder[i] = kHex[(h >> (60 - 4 * i)) & 0xF];
  folder[16] = 0;
  return records / folder / PartFile("", name).relative_path();
}

std::vector<std::string> ReadRecord(const std::filesystem::path& file) {
  std::vector<std::string> out;
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) return out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::size_t nul = std::min(bytes.find('\0', i), bytes.size());
    out.push_back(bytes.substr(i, nul - i));
    i = nul + 1;
  }
  return out;
}

bool AddToRecord(const std::filesystem::path& file, const std::string& text) {
  std::vector<std::string> texts = ReadRecord(file);
  texts.erase(std::remove(texts.begin(), texts.end(), text), texts.end());
  texts.push_back(text);
  if (texts.size() > kRecordedTexts) texts.erase(texts.begin(), texts.end() - kRecordedTexts);
  std::string bytes;
  for (const std::string& t : texts) (bytes += t) += '\0';
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  return static_cast<bool>(WriteFileAtomically(file, bytes, 0600));
}

// The copy's text back in the part's own form (UTF-8, "\n", links relative
// to the part's folder), to compare copies of different pages.
std::optional<std::string> Canonical(std::string_view copy, Encoding encoding,
                                     std::string_view page_folder, std::string_view part_folder) {
  std::string utf8;
  if (encoding == Encoding::kUtf8) {
    if (!text::IsValidUtf8(copy)) return std::nullopt;
    utf8 = copy;
  } else {
    auto decoded = text::Cp932ToUtf8(copy);
    if (!decoded) return std::nullopt;
    utf8 = std::move(*decoded);
  }
  return RelocateLinks(NormalLines(utf8), page_folder, part_folder);
}

}  // namespace

std::string RelocateUrl(std::string_view url, std::string_view from, std::string_view to) {
  const std::string unchanged(url);
  if (url.empty() || url[0] == '#' || url[0] == '/' || url[0] == '?' || url[0] == '\\')
    return unchanged;
  const std::size_t cut = std::min(url.find_first_of("?#"), url.size());
  const std::string_view path = url.substr(0, cut);
  // A scheme ("http:", "mailto:"), or markup of a template: not an address to move.
  if (path.empty() || path.find_first_of(":<>{}$ \t\r\n") != std::string_view::npos)
    return unchanged;
  std::vector<std::string_view> target = Segments(from);
  bool folder = path.back() == '/';
  const auto parts = Segments(path);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string_view s = parts[i];
    const bool last = i + 1 == parts.size();
    if (s == "." || s == "..") {
      if (s == "..") {
        if (target.empty()) return unchanged;
        target.pop_back();
      }
      if (last) folder = true;
      continue;
    }
    target.push_back(s);
  }
  std::string_view file;
  if (!folder) {
    file = target.back();
    target.pop_back();
  }
  const auto base = Segments(to);
  std::size_t common = 0;
  while (common < base.size() && common < target.size() && base[common] == target[common])
    ++common;
  std::string out;
  for (std::size_t i = common; i < base.size(); ++i) out += "../";
  for (std::size_t i = common; i < target.size(); ++i) (out += target[i]) += '/';
  out += file;
  if (out.empty()) out = "./";
  out += url.substr(cut);
  return out;
}

std::string RelocateLinks(std::string_view html, std::string_view from, std::string_view to) {
  if (from == to) return std::string(html);
  static constexpr std::string_view kLinks[] = {"href",   "src",  "action",     "formaction",
                                                "poster", "data", "background"};
  std::vector<Edit> edits;
  for (const Tag& tag : ScanTags(html)) {
    for (const Attribute& a : tag.attributes) {
      std::string moved;
      if (a.name == "srcset")
        moved = RelocateSrcset(a.value, from, to);
      else if (std::find(std::begin(kLinks), std::end(kLinks), a.name) != std::end(kLinks))
        moved = RelocateUrl(a.value, from, to);
      else
        continue;
      if (moved != a.value) edits.push_back({a.value_offset, a.value.size(), std::move(moved)});
    }
  }
  // CSS url(): in style elements and style attributes alike.
  for (std::size_t i = 0; (i = html.find('(', i)) != std::string_view::npos; ++i) {
    if (i < 3 || !StartsWithNoCase(html.substr(i - 3), "url")) continue;
    std::size_t start = i + 1;
    while (start < html.size() && (html[start] == ' ' || html[start] == '\t')) ++start;
    char quote = 0;
    if (start < html.size() && (html[start] == '"' || html[start] == '\'')) quote = html[start++];
    std::size_t end = start;
    while (end < html.size() && html[end] != (quote ? quote : ')') && html[end] != '\n' &&
           (quote || (html[end] != ' ' && html[end] != '\t')))
      ++end;
    if (end >= html.size()) break;
    const std::string_view url = html.substr(start, end - start);
    std::string moved = RelocateUrl(url, from, to);
    if (moved != url) edits.push_back({start, url.size(), std::move(moved)});
    i = end;
  }
  return Applied(html, edits);
}

MarkerScan ScanMarkers(std::string_view page) {
  MarkerScan scan;
  bool open = false;
  PartCopy current;
  auto skip_blanks = [&](std::size_t k) {
    while (k < page.size() && (page[k] == ' ' || page[k] == '\t' || page[k] == '\r' ||
                               page[k] == '\n'))
      ++k;
    return k;
  };
  for (std::size_t i = 0; (i = page.find("<!--", i)) != std::string_view::npos; i += 4) {
    std::size_t k = skip_blanks(i + 4);
    const std::string_view rest = page.substr(k);
    const bool begin = StartsWithNoCase(rest, "#BeginLibraryItem");
    const bool end = !begin && StartsWithNoCase(rest, "#EndLibraryItem");
    if (!begin && !end) continue;
    k = skip_blanks(k + (begin ? 17 : 15));
    std::string name;
    if (begin) {
      const std::size_t close = k < page.size() && page[k] == '"' ? page.find('"', k + 1)
                                                                   : std::string_view::npos;
      if (close == std::string_view::npos) {
        scan.broken = true;
        return scan;
      }
      name = page.substr(k + 1, close - k - 1);
      k = skip_blanks(close + 1);
    }
    if (page.substr(k, 3) != "-->" || open == begin) {
      scan.broken = true;
      return scan;
    }
    if (begin) {
      current = {std::move(name), k + 3, 0};
    } else {
      current.length = i - current.offset;
      scan.copies.push_back(std::move(current));
    }
    open = begin;
  }
  scan.broken = open;
  return scan;
}

std::string BeginMarker(std::string_view name) {
  return "<!-- #BeginLibraryItem \"" + std::string(name) + "\" -->";
}

std::optional<std::string> ReadPart(const std::filesystem::path& file) {
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) return std::nullopt;
  if (bytes.starts_with(text::kUtf8Bom)) bytes.erase(0, text::kUtf8Bom.size());
  if (text::IsValidUtf8(bytes)) return NormalLines(bytes);
  auto decoded = text::Cp932ToUtf8(bytes);
  if (!decoded) return std::nullopt;
  return NormalLines(*decoded);
}

std::string PartName(const std::filesystem::path& site, const std::filesystem::path& part) {
  const std::string rel = FolderOf(site, part);
  if (rel.empty() || rel.starts_with("..") || !StartsWithNoCase(rel, "Library/")) return {};
  const std::size_t dot = rel.rfind('.');
  if (dot == std::string::npos || !StartsWithNoCase(rel.substr(dot), ".lbi")) return {};
  return "/" + rel;
}

std::filesystem::path SiteOfPage(const std::filesystem::path& page_folder) {
  std::error_code ec;
  for (std::filesystem::path f = page_folder.lexically_normal(); !f.empty();
       f = f.parent_path()) {
    if (std::filesystem::is_directory(f / "Library", ec)) return f;
    if (f == f.parent_path()) break;
  }
  return {};
}

std::filesystem::path SiteOfPart(const std::filesystem::path& part) {
  for (std::filesystem::path f = part.lexically_normal().parent_path(); !f.empty();
       f = f.parent_path()) {
    if (f.filename() == "Library") return PartName(f.parent_path(), part).empty() ? std::filesystem::path() : f.parent_path();
    if (f == f.parent_path()) break;
  }
  return {};
}

std::optional<std::string> PartForPage(const std::filesystem::path& site, std::string_view name,
                                       std::string_view text,
                                       const std::filesystem::path& page_folder,
                                       Encoding encoding, std::string_view line_break,
                                       std::string* refused) {
  auto copy = CopyFor(text, PartFolderOf(name), FolderOf(site, page_folder), encoding, line_break,
                      refused);
  if (!copy) return std::nullopt;
  auto begin = EncodeText(BeginMarker(name), encoding, refused);
  if (!begin) return std::nullopt;
  return *begin + *copy + std::string(kEndMarker);
}

namespace {

struct FoundCopy {
  PartCopy copy;
  bool current = false;    // already the part's current text
  bool by_part = false;    // one of the texts the part wrote
  std::optional<std::string> canonical;  // for the majority, when there is no record
};

struct FoundPage {
  std::filesystem::path path;
  std::string bytes;
  Encoding encoding = Encoding::kShiftJis;
  std::string folder;
  bool broken = false;
  std::vector<FoundCopy> copies;
};

struct Part {
  bool readable = false;
  std::string text;
  std::vector<std::string> written;  // recorded texts and the previous one
  std::map<std::string, std::size_t> votes;  // canonical copy -> pages
};

}  // namespace

PartsPlan PlanPartsUpdate(const std::filesystem::path& site, const std::filesystem::path& records,
                          const std::vector<std::string>& only,
                          const std::map<std::string, std::string>& previous) {
  PartsPlan plan;
  std::map<std::string, Part> parts;
  auto part_of = [&](const std::string& name) -> Part& {
    auto [it, fresh] = parts.try_emplace(name);
    if (fresh) {
      Part& p = it->second;
      if (auto text = ReadPart(PartFile(site, name))) {
        p.readable = true;
        p.text = std::move(*text);
        p.written = ReadRecord(RecordFile(site, records, name));
        if (auto prev = previous.find(name); prev != previous.end())
          p.written.push_back(NormalLines(prev->second));
      }
    }
    return it->second;
  };
  // Pages in one folder with one encoding and line break hold the same copy:
  // each is made once, not once a page.
  std::map<std::tuple<const std::string*, std::string, std::string, Encoding, std::string_view>,
           std::optional<std::string>>
      made;
  auto copy_for = [&](const std::string& text, const std::string& part_folder,
                      const std::string& page_folder, Encoding encoding,
                      std::string_view line_break) -> const std::optional<std::string>& {
    auto key = std::make_tuple(&text, part_folder, page_folder, encoding, line_break);
    auto it = made.find(key);
    if (it == made.end())
      it = made.emplace(std::move(key), CopyFor(text, part_folder, page_folder, encoding,
                                                line_break, nullptr))
               .first;
    return it->second;
  };
  std::vector<FoundPage> pages;
  for (const auto& path : ListSiteFiles(site, kPagePatterns)) {
    FoundPage page;
    if (!ReadWholeFile(path, page.bytes)) continue;
    const MarkerScan scan = ScanMarkers(page.bytes);
    if (scan.copies.empty() && !scan.broken) continue;
    page.path = path;
    page.encoding = ClassifyPage(page.bytes).encoding;
    page.folder = FolderOf(site, path.parent_path());
    page.broken = scan.broken;
    const std::string_view line_break = LineBreakOf(page.bytes);
    bool holds = false;
    for (const PartCopy& c : scan.copies) {
      if (!only.empty() && std::find(only.begin(), only.end(), c.name) == only.end()) continue;
      holds = true;
      Part& part = part_of(c.name);
      if (!part.readable) {
        plan.missing.push_back(path.string() + ": " + c.name);
        continue;
      }
      FoundCopy found;
      found.copy = c;
      const std::string_view bytes = std::string_view(page.bytes).substr(c.offset, c.length);
      const std::string folder = PartFolderOf(c.name);
      const auto& now = copy_for(part.text, folder, page.folder, page.encoding, line_break);
      found.current = now && *now == bytes;
      for (const std::string& t : part.written) {
        if (found.current || found.by_part) break;
        const auto& then = copy_for(t, folder, page.folder, page.encoding, line_break);
        found.by_part = then && *then == bytes;
      }
      if (part.written.empty()) {
        found.canonical = Canonical(bytes, page.encoding, page.folder, folder);
        if (found.canonical) ++part.votes[*found.canonical];
      }
      page.copies.push_back(std::move(found));
    }
    if (holds || page.broken) pages.push_back(std::move(page));
  }
  // Without a record, the copy most pages hold is what the part last wrote.
  std::map<std::string, std::string> majority;
  for (const auto& [name, part] : parts) {
    std::size_t best = 0;
    for (const auto& [text, n] : part.votes) {
      if (n > best) majority[name] = text;
      best = std::max(best, n);
    }
    if (part.readable) plan.texts[name] = part.text;
  }
  for (FoundPage& page : pages) {
    ++plan.pages_holding;
    PartPage out;
    out.path = page.path;
    out.change.path = page.path;
    out.change.encoding = page.encoding;
    if (page.broken) {
      out.state = PageState::kBroken;
      out.included = false;
      out.change.bytes = std::move(page.bytes);
      plan.pages.push_back(std::move(out));
      continue;
    }
    const std::string_view line_break = LineBreakOf(page.bytes);
    for (const FoundCopy& f : page.copies) {
      if (f.current) continue;
      Part& part = parts[f.copy.name];
      bool by_part = f.by_part;
      if (part.written.empty()) {
        const auto m = majority.find(f.copy.name);
        by_part = m != majority.end() && f.canonical == m->second;
      }
      if (!by_part) out.state = PageState::kHandEdited;
      Hit hit;
      hit.offset = f.copy.offset;
      hit.length = f.copy.length;
      hit.replacement =
          ToLineBreak(RelocateLinks(part.text, PartFolderOf(f.copy.name), page.folder), line_break);
      std::string refused;
      if (out.state != PageState::kUnencodable &&
          !EncodeText(hit.replacement, page.encoding, &refused)) {
        out.state = PageState::kUnencodable;
        out.refused = refused;
      }
      out.change.hits.push_back(std::move(hit));
      if (std::find(out.parts.begin(), out.parts.end(), f.copy.name) == out.parts.end())
        out.parts.push_back(f.copy.name);
    }
    if (out.change.hits.empty()) continue;
    out.included = out.state == PageState::kUpdate;
    out.change.bytes = std::move(page.bytes);
    PlaceHits(out.change.bytes, out.change.encoding, out.change.hits);
    plan.pages.push_back(std::move(out));
  }
  return plan;
}

SearchResult PlanAsReplacement(const PartsPlan& plan) {
  SearchResult result;
  for (const PartPage& p : plan.pages) {
    if (!p.included || p.state == PageState::kBroken || p.state == PageState::kUnencodable)
      continue;
    result.files.push_back(p.change);
  }
  return result;
}

bool WritePartRecords(const std::filesystem::path& site, const std::filesystem::path& records,
                      const PartsPlan& plan) {
  bool ok = true;
  for (const auto& [name, text] : plan.texts) ok = RecordPartText(site, records, name, text) && ok;
  return ok;
}

bool RecordPartText(const std::filesystem::path& site, const std::filesystem::path& records,
                    const std::string& name, const std::string& text) {
  return AddToRecord(RecordFile(site, records, name), NormalLines(text));
}

}  // namespace hemlo::site
