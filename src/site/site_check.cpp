#include "site/site_check.h"

#include <algorithm>
#include <unordered_map>
#include <set>

#include "base/atomic_file.h"
#include "base/version_store.h"
#include "site/html_tags.h"
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
  std::vector<Tag> tags;
  std::set<std::string> ids;  // UTF-8
};

std::string ToUtf8(std::string_view bytes, Encoding encoding) {
  if (encoding == Encoding::kShiftJis)
    if (auto u = text::Cp932ToUtf8(bytes)) return *u;
  return DisplayText(bytes, encoding);
}

bool IsPage(const fs::path& p) {
  return MatchesPattern(p.filename().string(), "*.htm") ||
         MatchesPattern(p.filename().string(), "*.html");
}

bool HasScheme(std::string_view v) {
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

class Checker {
 public:
  explicit Checker(fs::path root) : root_(std::move(root)) {}

  CheckResult Run() {
    CheckResult result;
    for (const fs::path& page : ListSiteFiles(root_, kPagePatterns)) {
      std::string bytes;
      if (!ReadWholeFile(page, bytes)) {
        result.unreadable.push_back(page);
        continue;
      }
      ++result.pages;
      CheckPage(page, bytes, result.findings);
    }
    return result;
  }

 private:
  const PageScan* Scan(const fs::path& page, const std::string* known_bytes = nullptr) {
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
    if (v.empty() || HasScheme(v)) return;
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
      target = page.parent_path().native() + "/" + decoded;
    }
    const Target& t = Resolve(target);
    if (!t.exists) {
      Add(out, page, Problem::kMissingTarget, link.offset, std::string(v),
          "リンク先のファイルがありません: " + std::string(v));
      return;
    }
    const std::string id = PercentDecoded(fragment);
    if (id.empty() || id == "top" || !t.page) return;
    const PageScan* scan = Scan(t.normal);
    if (scan && !scan->ids.count(id))
      Add(out, page, Problem::kMissingFragment, link.offset, std::string(v),
          "リンク先のページに id \"" + id + "\" がありません: " + std::string(v));
  }

  void CheckPage(const fs::path& page, const std::string& bytes, std::vector<Finding>& out) {
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
    const PageScan* scan = Scan(page, &bytes);
    std::set<std::string> seen;
    for (const Tag& t : scan->tags) {
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
          if (!HasScheme(src) && !decoded.empty()) {
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
    std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                     [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
    const std::string_view all = bytes;
    Place place;
    for (std::size_t i = first; i < out.size(); ++i) {
      place = PlaceOf(all, scan->encoding, out[i].offset, place);
      out[i].line = place.line;
      out[i].column = place.column - (place.line == 1 && kind.bom && place.column > 0 ? 1 : 0);
    }
  }

  // What a link's file is; pages link to the same few files many times over.
  struct Target {
    bool exists = false;
    bool page = false;  // a regular .htm or .html file
    fs::path normal;
  };
  const Target& Resolve(const std::string& target) {
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
  std::unordered_map<std::string, PageScan> scans_;
  std::unordered_map<std::string, Target> targets_;
};

}  // namespace

CheckResult CheckSite(const fs::path& site_root) {
  return Checker(site_root.lexically_normal()).Run();
}

std::string FillImageSize(const Finding& finding) {
  if (finding.problem != Problem::kImageWithoutSize || !finding.image_size)
    return "画像の大きさを読み取れません。";
  std::string bytes;
  std::string error;
  if (!ReadWholeFile(finding.page, bytes, &error)) return finding.page.string() + ": " + error;
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
