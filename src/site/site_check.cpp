#include "site/site_check.h"

#include <algorithm>
#include <cctype>
#include <atomic>
#include <set>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "base/atomic_file.h"
#include "base/version_store.h"
#include "site/html_tags.h"
#include "site/markup_check.h"
#include "site/page_text.h"
#include "site/site_files.h"
#include "text/cp932.h"
#include "text/utf8.h"

namespace hemlo::site {

namespace fs = std::filesystem;

namespace {

struct Link {
  std::size_t offset;
  std::string value;  // UTF-8, entities decoded
};

struct PageScan {
  Encoding encoding = Encoding::kShiftJis;
  // Until the page's own check takes them: a page scanned for a link's
  // fragment before its turn is not scanned twice.
  std::vector<Tag> tags;
  std::unordered_set<std::string> ids;  // UTF-8
};

std::string ToUtf8(std::string_view bytes, Encoding encoding) {
  // Addresses and ids are nearly always ASCII, the same bytes in both encodings.
  if (std::all_of(bytes.begin(), bytes.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(bytes);
  if (encoding == Encoding::kShiftJis)
    if (auto u = text::Cp932ToUtf8(bytes)) return *u;
  return DisplayText(bytes, encoding);
}

bool IsPage(const fs::path& p) {
  return MatchesPattern(p.filename().string(), "*.htm") ||
         MatchesPattern(p.filename().string(), "*.html");
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view v) {
  std::string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '%' && i + 2 < v.size() && Hex(v[i + 1]) >= 0 && Hex(v[i + 2]) >= 0) {
      out.push_back(static_cast<char>(Hex(v[i + 1]) * 16 + Hex(v[i + 2])));
      i += 2;
    } else {
      out.push_back(v[i]);
    }
  }
  return out;
}

// Which attributes of which tags name a file the page needs.
bool IsLinkAttribute(std::string_view tag, std::string_view attribute) {
  if (attribute == "href") return tag == "a" || tag == "area" || tag == "link";
  if (attribute == "src")
    return tag == "img" || tag == "script" || tag == "iframe" || tag == "frame" || tag == "embed" ||
           tag == "source" || tag == "audio" || tag == "video" || tag == "input" || tag == "track";
  if (attribute == "background")
    return tag == "body" || tag == "table" || tag == "td" || tag == "th";
  return false;
}

bool StartsWithNoCase(std::string_view v, std::string_view prefix) {
  if (v.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(v[i])) != prefix[i]) return false;
  return true;
}

bool ContainsWordNoCase(std::string_view v, std::string_view word) {
  for (std::size_t i = 0; i + word.size() <= v.size(); ++i)
    if (StartsWithNoCase(v.substr(i), word)) return true;
  return false;
}

std::size_t FindNoCase(std::string_view v, std::string_view needle, std::size_t from) {
  for (std::size_t i = from; i + needle.size() <= v.size(); ++i)
    if (StartsWithNoCase(v.substr(i), needle)) return i;
  return std::string_view::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// url(...) values of style text, with their offsets in it; comments skipped.
std::vector<Link> CssUrls(std::string_view css) {
  std::vector<Link> out;
  for (std::size_t i = 0; i < css.size();) {
    if (css.substr(i, 2) == "/*") {
      const std::size_t end = css.find("*/", i + 2);
      if (end == std::string_view::npos) break;
      i = end + 2;
      continue;
    }
    if (!StartsWithNoCase(css.substr(i), "url(")) {
      ++i;
      continue;
    }
    std::size_t at = i + 4;
    while (at < css.size() && IsBlank(css[at])) ++at;
    std::size_t end;
    if (at < css.size() && (css[at] == '"' || css[at] == '\'')) {
      end = css.find(css[at], at + 1);
      ++at;
    } else {
      end = css.find(')', at);
      while (end != std::string_view::npos && end > at && IsBlank(css[end - 1])) --end;
    }
    if (end == std::string_view::npos) break;
    out.push_back({at, std::string(css.substr(at, end - at))});
    i = end + 1;
  }
  return out;
}

// "a.jpg 1x, b.jpg 2x": each candidate's address and its offset in the value.
std::vector<Link> SrcsetUrls(std::string_view value) {
  std::vector<Link> out;
  std::size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && (IsBlank(value[i]) || value[i] == ',')) ++i;
    const std::size_t start = i;
    while (i < value.size() && !IsBlank(value[i])) ++i;
    std::size_t end = i;
    // A comma right after the address ends the candidate ("a.jpg, b.jpg").
    while (end > start && value[end - 1] == ',') --end;
    if (end > start) out.push_back({start, std::string(value.substr(start, end - start))});
    while (i < value.size() && value[i] != ',') ++i;
  }
  return out;
}

// What an http:// address in this place loads, for the message; empty when
// it is only a link (a link to an http:// page is no mixed content).
std::string_view SubresourceKind(const Tag& t, std::string_view attribute) {
  if (attribute == "srcset") return "画像";
  if (attribute == "href")
    return t.name == "link" && t.Find("rel") &&
                   ContainsWordNoCase(t.Find("rel")->value, "stylesheet")
               ? "スタイルシート"
               : "";
  if (attribute != "src") return "";
  if (t.name == "img" || t.name == "input" || t.name == "source") return "画像";
  if (t.name == "script") return "スクリプト";
  if (t.name == "iframe" || t.name == "frame") return "フレーム";
  if (t.name == "video" || t.name == "audio" || t.name == "embed") return "動画や音声";
  return "";
}

std::string Thousands(std::uintmax_t n) {
  std::string s = std::to_string(n);
  for (std::size_t i = s.size(); i > 3; i -= 3) s.insert(i - 3, ",");
  return s;
}

class Checker {
 public:
  explicit Checker(fs::path root) : root_(std::move(root)) {}

  CheckResult Run(std::vector<fs::path> files) {
    CheckResult result;
    if (files.empty()) files = ListSiteFiles(root_, "*.htm;*.html;*.css");
    // Markup is the long part and each page stands alone: every core takes
    // the next page while this thread does the checks that share caches.
    std::vector<std::vector<MarkupIssue>> markup(files.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      std::string bytes;
      for (std::size_t i; (i = next.fetch_add(1)) < files.size();)
        if (IsPage(files[i]) && ReadWholeFile(files[i], bytes))
          markup[i] = CheckMarkupRemembered(bytes, ClassifyPage(bytes).encoding);
    };
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::thread> pool;
    for (unsigned i = 0; i < (files.size() < 16 ? 0 : cores); ++i) pool.emplace_back(work);
    std::vector<std::vector<Finding>> found(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
      std::string bytes;
      if (!ReadWholeFile(files[i], bytes)) {
        result.unreadable.push_back(files[i]);
        continue;
      }
      if (IsPage(files[i])) {
        ++result.pages;
        CheckPage(files[i], bytes, found[i]);
      } else {
        CheckStyleSheet(files[i], bytes, found[i]);
      }
    }
    work();
    for (std::thread& t : pool) t.join();
    for (std::size_t i = 0; i < files.size(); ++i) {
      std::vector<Finding>& page = found[i];
      for (MarkupIssue& m : markup[i]) {
        // An image without alt is reported once, as kMissingAlt.
        if (m.code == "MISSING_ATTRIBUTE" &&
            m.message.find("<img> lacks \"alt\"") != std::string::npos)
          continue;
        Finding f;
        f.page = files[i];
        f.problem =
            m.severity == MarkupSeverity::kError ? Problem::kMarkupError : Problem::kMarkupWarning;
        f.offset = m.offset;
        f.line = m.line;
        f.column = m.column;
        f.detail = std::move(m.code);
        f.message = std::move(m.message);
        page.push_back(std::move(f));
      }
      std::stable_sort(page.begin(), page.end(), [](const Finding& a, const Finding& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
      });
      std::move(page.begin(), page.end(), std::back_inserter(result.findings));
    }
    return result;
  }

 private:
  PageScan* Scan(const fs::path& page, const std::string* known_bytes = nullptr) {
    const fs::path key = page.lexically_normal();
    auto it = scans_.find(key.native());
    if (it != scans_.end()) return &it->second;
    std::string read;
    if (!known_bytes) {
      if (!ReadWholeFile(key, read)) return nullptr;
      known_bytes = &read;
    }
    PageScan scan;
    scan.encoding = ClassifyPage(*known_bytes).encoding;
    scan.tags = ScanTags(*known_bytes);
    for (const Tag& t : scan.tags) {
      if (const Attribute* id = t.Find("id"))
        scan.ids.insert(DecodeBasicEntities(ToUtf8(id->value, scan.encoding)));
      if (t.name == "a")
        if (const Attribute* name = t.Find("name"))
          scan.ids.insert(DecodeBasicEntities(ToUtf8(name->value, scan.encoding)));
    }
    return &scans_.emplace(key.native(), std::move(scan)).first->second;
  }

  void Add(std::vector<Finding>& out, const fs::path& page, Problem problem, std::size_t offset,
           std::string detail, std::string message) {
    Finding f;
    f.page = page;
    f.problem = problem;
    f.offset = offset;
    f.detail = std::move(detail);
    f.message = std::move(message);
    out.push_back(std::move(f));
  }

  void CheckLink(std::vector<Finding>& out, const fs::path& page, const Link& link) {
    std::string_view v = link.value;
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
    if (v.empty() || HasUrlScheme(v)) return;
    std::string_view path = v;
    std::string_view fragment;
    if (const std::size_t hash = path.find('#'); hash != std::string_view::npos) {
      fragment = path.substr(hash + 1);
      path = path.substr(0, hash);
    }
    if (const std::size_t q = path.find('?'); q != std::string_view::npos) path = path.substr(0, q);
    // Paths are put together as strings: a site has links by the hundred thousand.
    const std::string decoded = PercentDecoded(path);
    std::string target;
    if (decoded.empty()) {
      target = page.native();
    } else if (decoded.front() == '/') {
      target = root_.native() + decoded;
    } else {
      target = folder_ + "/" + decoded;
    }
    Target& t = Resolve(target);
    if (!t.exists) {
      Add(out, page, Problem::kMissingTarget, link.offset, std::string(v),
          "リンク先のファイルがありません: " + std::string(v));
      return;
    }
    const std::string id = PercentDecoded(fragment);
    if (id.empty() || id == "top" || !t.page) return;
    if (!t.scanned) {
      t.scanned = true;
      t.scan = Scan(t.normal);
    }
    if (t.scan && !t.scan->ids.count(id))
      Add(out, page, Problem::kMissingFragment, link.offset, std::string(v),
          "リンク先のページに id \"" + id + "\" がありません: " + std::string(v));
  }

  void CheckPage(const fs::path& page, const std::string& bytes, std::vector<Finding>& out) {
    folder_ = page.parent_path().native();
    const std::size_t first = out.size();
    const PageBytes kind = ClassifyPage(bytes);
    const std::string_view body = std::string_view(bytes).substr(kind.bom);
    const bool utf8 = text::IsValidUtf8(body);
    const bool sjis_needed = !utf8 || (!kind.bom && kind.declared == Encoding::kShiftJis);
    const bool sjis = sjis_needed && IsValidShiftJis(bytes);
    // As the editor's detector judges it: the mark or the declaration against the bytes.
    const bool disagrees = kind.bom ? (kind.declared && *kind.declared != Encoding::kUtf8) || !utf8
                           : kind.declared ? (*kind.declared == Encoding::kUtf8 ? !utf8 : !sjis)
                                           : false;
    if (!utf8 && !sjis) {
      Add(out, page, Problem::kNeitherEncoding, 0, "",
          "Shift-JIS としても UTF-8 としても読めない文字があります");
    } else if (disagrees) {
      const auto d = text::FindCharsetDeclaration(bytes);
      const std::string name = d ? bytes.substr(d->offset, d->length) : "BOM";
      Add(out, page, Problem::kCharsetMismatch, d ? d->offset : 0, name,
          "宣言された文字コード (" + name + ") と内容が食い違っています");
    }
    PageScan* scan = Scan(page, &bytes);
    const std::vector<Tag> tags = std::move(scan->tags);
    scan->tags.clear();
    std::unordered_set<std::string> seen;
    bool viewport = false;
    for (const Tag& t : tags) {
      if (t.name == "meta")
        if (const Attribute* name = t.Find("name"))
          viewport = viewport || StartsWithNoCase(name->value, "viewport");
      if (t.name == "style") {
        const std::size_t start = std::min(t.close + 1, bytes.size());
        const std::size_t end = std::min(FindNoCase(bytes, "</style", start), bytes.size());
        CheckStyle(out, page, std::string_view(bytes).substr(start, end - start), start,
                   scan->encoding);
      }
      if (const Attribute* style = t.Find("style"))
        CheckStyle(out, page, style->value, style->value_offset, scan->encoding);
      for (const Attribute& a : t.attributes) {
        const std::string_view kind = SubresourceKind(t, a.name);
        if (kind.empty()) continue;
        const std::vector<Link> urls =
            a.name == "srcset" ? SrcsetUrls(a.value) : std::vector<Link>{{0, std::string(a.value)}};
        for (const Link& u : urls) {
          const Link link{a.value_offset + u.offset,
                          DecodeBasicEntities(ToUtf8(u.value, scan->encoding))};
          if (StartsWithNoCase(link.value, "http://"))
            Add(out, page, Problem::kMixedContent, link.offset, link.value,
                "http:// の" + std::string(kind) +
                    "です。https で公開すると読み込まれません: " + link.value);
          if (a.name == "srcset") CheckLink(out, page, link);
          if (kind == "画像") CheckImageFile(out, page, link);
        }
      }
      if (const Attribute* id = t.Find("id")) {
        const std::string value = DecodeBasicEntities(ToUtf8(id->value, scan->encoding));
        if (!seen.insert(value).second)
          Add(out, page, Problem::kDuplicateId, id->value_offset, value,
              "id \"" + value + "\" がページ内で重複しています");
      }
      for (const Attribute& a : t.attributes)
        if (IsLinkAttribute(t.name, a.name))
          CheckLink(out, page,
                    {a.value_offset, DecodeBasicEntities(ToUtf8(a.value, scan->encoding))});
      if (t.name != "img") continue;
      if (!t.Find("alt"))
        Add(out, page, Problem::kMissingAlt, t.offset, "", "画像に alt がありません");
      if (!t.Find("width") || !t.Find("height")) {
        std::string src;
        std::optional<ImageSize> size;
        if (const Attribute* a = t.Find("src")) {
          src = DecodeBasicEntities(ToUtf8(a->value, scan->encoding));
          const std::string decoded = PercentDecoded(src.substr(0, src.find_first_of("?#")));
          if (!HasUrlScheme(src) && !decoded.empty()) {
            const fs::path file =
                decoded.front() == '/' ? root_ / decoded.substr(1) : page.parent_path() / decoded;
            size = ReadImageSize(file.lexically_normal());
          }
        }
        std::string message = "画像に width と height の指定がありません";
        if (size)
          message += "（" + std::to_string(size->width) + "×" + std::to_string(size->height) + "）";
        Add(out, page, Problem::kImageWithoutSize, t.offset, src, message);
        out.back().image_size = size;
      }
    }
    if (!viewport)
      Add(out, page, Problem::kNoViewport, 0, "",
          "<meta name=\"viewport\"> がありません。スマートフォンでは縮小して表示されます");
    PlaceFindings(out, first, bytes, scan->encoding, kind.bom);
  }

  void CheckStyleSheet(const fs::path& sheet, const std::string& bytes, std::vector<Finding>& out) {
    folder_ = sheet.parent_path().native();
    const PageBytes kind = ClassifyPage(bytes);
    const Encoding encoding = text::IsValidUtf8(std::string_view(bytes).substr(kind.bom))
                                  ? Encoding::kUtf8
                                  : Encoding::kShiftJis;
    CheckStyle(out, sheet, bytes, 0, encoding);
    PlaceFindings(out, 0, bytes, encoding, kind.bom);
  }

  // url() in a style sheet, a <style> element or a style attribute.
  void CheckStyle(std::vector<Finding>& out, const fs::path& page, std::string_view css,
                  std::size_t offset, Encoding encoding) {
    if (css.find('(') == std::string_view::npos) return;
    for (const Link& u : CssUrls(css)) {
      const Link link{offset + u.offset, DecodeBasicEntities(ToUtf8(u.value, encoding))};
      if (link.value.empty() || link.value.front() == '#') continue;  // an SVG reference
      if (StartsWithNoCase(link.value, "http://"))
        Add(out, page, Problem::kMixedContent, link.offset, link.value,
            "http:// のスタイルの画像です。https で公開すると読み込まれません: " + link.value);
      CheckLink(out, page, link);
      CheckImageFile(out, page, link);
    }
  }

  // An image file far bigger than a page needs.
  void CheckImageFile(std::vector<Finding>& out, const fs::path& page, const Link& link) {
    std::string_view v = link.value;
    v = v.substr(0, v.find_first_of("?#"));
    if (v.empty() || HasUrlScheme(v)) return;
    const std::string decoded = PercentDecoded(v);
    Target& t = Resolve(decoded.front() == '/' ? root_.native() + decoded : folder_ + "/" + decoded);
    if (!t.exists || t.page) return;
    if (!t.image_read) {
      t.image_read = true;
      std::error_code ec;
      t.bytes = fs::file_size(t.normal, ec);
      if (ec) t.bytes = 0;
      t.size = ReadImageSize(t.normal);
    }
    const bool heavy = t.bytes > kLargeImageBytes;
    const bool wide = t.size && t.size->width > kLargeImageWidth;
    if (!heavy && !wide) return;
    std::string what = Thousands((t.bytes + 1023) / 1024) + " KB";
    if (t.size) what += "、" + std::to_string(t.size->width) + "×" + std::to_string(t.size->height);
    Add(out, page, Problem::kLargeImage, link.offset, link.value,
        "画像が大きすぎます（" + what +
            "）。500 KB 以下、幅 2,000 ピクセル以下に縮めてください: " + link.value);
  }

  void PlaceFindings(std::vector<Finding>& out, std::size_t first, std::string_view all,
                     Encoding encoding, std::size_t bom) {
    std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                     [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
    Place place;
    for (std::size_t i = first; i < out.size(); ++i) {
      place = PlaceOf(all, encoding, out[i].offset, place);
      out[i].line = place.line;
      out[i].column = place.column - (place.line == 1 && bom && place.column > 0 ? 1 : 0);
    }
  }

  // What a link's file is; pages link to the same few files many times over.
  struct Target {
    bool exists = false;
    bool page = false;  // a regular .htm or .html file
    fs::path normal;
    bool scanned = false;  // `scan` looked up
    const PageScan* scan = nullptr;
    bool image_read = false;  // bytes and size below looked up
    std::uintmax_t bytes = 0;
    std::optional<ImageSize> size;
  };
  Target& Resolve(const std::string& target) {
    auto [it, added] = targets_.try_emplace(target);
    if (added) {
      std::error_code ec;
      Target& t = it->second;
      t.normal = fs::path(target).lexically_normal();
      t.exists = fs::exists(t.normal, ec);
      t.page = t.exists && IsPage(t.normal) && fs::is_regular_file(t.normal, ec);
    }
    return it->second;
  }

  fs::path root_;
  std::string folder_;  // of the page or style sheet being checked
  std::unordered_map<std::string, PageScan> scans_;
  std::unordered_map<std::string, Target> targets_;
};

}  // namespace

CheckResult CheckSite(const fs::path& site_root, const std::vector<fs::path>& files) {
  std::vector<fs::path> normal;
  for (const fs::path& f : files) normal.push_back(f.lexically_normal());
  std::sort(normal.begin(), normal.end());
  normal.erase(std::unique(normal.begin(), normal.end()), normal.end());
  return Checker(site_root.lexically_normal()).Run(std::move(normal));
}

std::vector<fs::path> CheckedFiles(const std::vector<fs::path>& files) {
  std::vector<fs::path> kept;
  for (const fs::path& f : files)
    if (IsPage(f) || MatchesPattern(f.filename().string(), "*.css")) kept.push_back(f);
  return kept;
}

std::string FillImageSize(const Finding& finding) {
  if (finding.problem != Problem::kImageWithoutSize || !finding.image_size)
    return "画像の大きさを読み取れません。";
  std::string bytes;
  if (const FileResult read = ReadWholeFile(finding.page, bytes); !read)
    return finding.page.string() + ": " + read.message;
  const std::vector<Tag> tags = ScanTags(bytes);
  const auto tag = std::find_if(tags.begin(), tags.end(),
                                [&](const Tag& t) { return t.offset == finding.offset; });
  if (tag == tags.end() || tag->name != "img")
    return finding.page.string() +
           " はチェックの後で変更されています。もう一度チェックしてください。";
  std::string insert;
  if (!tag->Find("width")) insert += " width=\"" + std::to_string(finding.image_size->width) + "\"";
  if (!tag->Find("height"))
    insert += " height=\"" + std::to_string(finding.image_size->height) + "\"";
  std::size_t at = tag->close;
  // Keep "<img ... />" spaced as it was: the new attributes go before the blanks.
  while (at > tag->offset && (bytes[at - 1] == ' ' || bytes[at - 1] == '\t')) --at;
  bytes.insert(at, insert);
  if (IsWriteProtected(finding.page))
    return finding.page.string() + " は読み取り専用のため書き換えません。";
  // The check's answer says nothing of the store; a page is never left unfixed for it.
  (void)KeepBeforeWrite(finding.page, "サイトチェック");
  const WriteResult r = WriteFileAtomically(finding.page, bytes);
  return r ? std::string() : finding.page.string() + ": " + r.error;
}

}  // namespace hemlo::site
