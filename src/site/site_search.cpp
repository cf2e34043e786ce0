#include "site/site_search.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <thread>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "base/ascii_case.h"
#include "base/atomic_file.h"
#include "text/cp932.h"
#include "text/utf8.h"

namespace hemlo::site {

namespace {

constexpr std::array<unsigned char, 256> kFold = [] {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = AsciiLower(static_cast<unsigned char>(c));
  return t;
}();

unsigned char Fold(unsigned char c) { return kFold[c]; }

bool IsWordByte(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsWordChar(char32_t c) { return c < 0x80 && IsWordByte(static_cast<unsigned char>(c)); }

// Horspool over bytes, the 26 Latin letters folded when asked.
class ByteSearcher {
 public:
  ByteSearcher(std::string needle, bool fold) : needle_(std::move(needle)), fold_(fold) {
    if (fold_)
      for (char& c : needle_) c = static_cast<char>(Fold(static_cast<unsigned char>(c)));
    skip_.fill(needle_.size());
    for (std::size_t i = 0; i + 1 < needle_.size(); ++i) {
      const auto c = static_cast<unsigned char>(needle_[i]);
      skip_[c] = needle_.size() - 1 - i;
      if (fold_ && AsciiUpper(c) != c) skip_[AsciiUpper(c)] = skip_[c];
    }
  }
  std::size_t size() const { return needle_.size(); }
  // First candidate at or after `from`, or npos.
  std::size_t Next(std::string_view hay, std::size_t from) const {
    const std::size_t n = needle_.size();
    if (n == 0 || hay.size() < n || from > hay.size() - n) return std::string_view::npos;
    if (!fold_) {
      const void* p = memmem(hay.data() + from, hay.size() - from, needle_.data(), n);
      return p ? static_cast<const char*>(p) - hay.data() : std::string_view::npos;
    }
    const auto* h = reinterpret_cast<const unsigned char*>(hay.data());
    const auto* k = reinterpret_cast<const unsigned char*>(needle_.data());
    for (std::size_t i = from; i + n <= hay.size();) {
      const unsigned char last = h[i + n - 1];
      if (Fold(last) == k[n - 1]) {
        std::size_t j = n - 1;
        while (j > 0 && Fold(h[i + j - 1]) == k[j - 1]) --j;
        if (j == 0) return i;
      }
      i += skip_[last];
    }
    return std::string_view::npos;
  }

 private:
  std::string needle_;
  bool fold_;
  std::array<std::size_t, 256> skip_{};
};

// Character starts of a Shift-JIS text, found walking forward from the last
// byte below 0x40 before the asked offset (such a byte is never the second
// byte of a character), so a scan over increasing offsets stays linear.
class SjisWalker {
 public:
  explicit SjisWalker(std::string_view s) : s_(s) {}
  // True when a character starts at `offset`; prev_start_ then holds the
  // start of the character before it (npos at the text's start).
  bool StartsAt(std::size_t offset) {
    if (offset < pos_) pos_ = 0, prev_ = std::string_view::npos;
    std::size_t k = offset;
    while (k > pos_ && static_cast<unsigned char>(s_[k - 1]) >= 0x40) --k;
    if (k > pos_) pos_ = k, prev_ = k - 1;  // s_[k - 1] is a one-byte character
    while (pos_ < offset) {
      prev_ = pos_;
      pos_ += text::CharLength(s_, pos_);
    }
    return pos_ == offset;
  }
  std::size_t prev_start() const { return prev_; }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
  std::size_t prev_ = std::string_view::npos;
};

std::string ExpandLine(std::string_view text, std::string_view line_break) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out.append(line_break);
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

struct Matcher::Compiled {
  std::optional<ByteSearcher> sjis;
  std::optional<ByteSearcher> utf8;
  std::string sjis_pattern;  // exact bytes, for the case-folded check
  // PCRE2: no recursion on the machine stack and a bound on the work of one
  // line, so no pattern can crash or stall the search on a long packed line.
  pcre2_code* regex = nullptr;
  pcre2_match_context* limits = nullptr;
  ~Compiled() {
    pcre2_match_context_free(limits);
    pcre2_code_free(regex);
  }
  bool first_is_word = false;
  bool last_is_word = false;
};

Matcher::Matcher(const SearchOptions& options)
    : options_(options), compiled_(std::make_unique<Compiled>()) {
  if (options_.pattern.empty()) {
    error_ = "検索する文字列を入力してください。";
    return;
  }
  if (options_.pattern.find_first_of("\r\n") != std::string::npos) {
    error_ = "改行を含む文字列は検索できません。";
    return;
  }
  Compiled& c = *compiled_;
  const std::string& p = options_.pattern;
  c.first_is_word = IsWordByte(static_cast<unsigned char>(p.front()));
  c.last_is_word = IsWordByte(static_cast<unsigned char>(p.back()));
  if (options_.regex) {
    const std::string expression = options_.whole_word ? "\\b(?:" + p + ")\\b" : p;
    int code = 0;
    PCRE2_SIZE at = 0;
    c.regex = pcre2_compile(
        reinterpret_cast<PCRE2_SPTR>(expression.data()), expression.size(),
        PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | (options_.match_case ? 0u : PCRE2_CASELESS), &code,
        &at, nullptr);
    if (!c.regex) {
      error_ = "正規表現が正しくありません。";
      return;
    }
    pcre2_jit_compile(c.regex, PCRE2_JIT_COMPLETE);  // slower without, never wrong
    c.limits = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(c.limits, 5'000'000);
    pcre2_set_depth_limit(c.limits, 100'000);
    return;
  }
  c.utf8.emplace(p, !options_.match_case);
  if (auto s = EncodeText(p, Encoding::kShiftJis)) {
    c.sjis_pattern = *s;
    c.sjis.emplace(*s, !options_.match_case);
  }
}

Matcher::~Matcher() = default;

std::vector<Hit> Matcher::Find(std::string_view bytes, Encoding encoding) const {
  if (!error_.empty()) return {};
  return options_.regex ? FindRegex(bytes, encoding) : FindLiteral(bytes, encoding);
}

std::vector<Hit> Matcher::FindLiteral(std::string_view bytes, Encoding encoding) const {
  std::vector<Hit> hits;
  const Compiled& c = *compiled_;
  const bool sjis = encoding == Encoding::kShiftJis;
  const std::optional<ByteSearcher>& searcher = sjis ? c.sjis : c.utf8;
  if (!searcher) return hits;
  const std::size_t n = searcher->size();
  SjisWalker walker(bytes);
  for (std::size_t at = searcher->Next(bytes, 0); at != std::string_view::npos;) {
    bool ok = true;
    char32_t before = 0;
    if (sjis) {
      ok = walker.StartsAt(at);
      if (ok && walker.prev_start() != std::string_view::npos)
        before = CharAt(bytes, walker.prev_start(), encoding).code;
      // Folding found candidates byte by byte; a double-byte character must match whole.
      for (std::size_t k = 0; ok && !options_.match_case && k < n;) {
        const std::size_t len = text::CharLength(c.sjis_pattern, k);
        if (text::CharLength(bytes, at + k) != len) ok = false;
        if (len == 2 && bytes.compare(at + k, 2, c.sjis_pattern, k, 2) != 0) ok = false;
        k += len;
      }
    } else if (at > 0) {
      std::size_t k = at - 1;
      while (k > 0 && (static_cast<unsigned char>(bytes[k]) & 0xC0) == 0x80) --k;
      before = CharAt(bytes, k, encoding).code;
    }
    if (ok && options_.whole_word) {
      const char32_t after = at + n < bytes.size() ? CharAt(bytes, at + n, encoding).code : 0;
      if ((c.first_is_word && IsWordChar(before)) || (c.last_is_word && IsWordChar(after)))
        ok = false;
    }
    if (ok) {
      Hit h;
      h.offset = at;
      h.length = n;
      if (options_.replacement) h.replacement = *options_.replacement;
      hits.push_back(std::move(h));
    }
    at = searcher->Next(bytes, ok ? at + n : at + 1);
  }
  return hits;
}

namespace {

// "$&" and "$0".."$9" of a replacement text from a match's groups ("$$" is "$").
std::string Expand(std::string_view format, std::string_view subject, const PCRE2_SIZE* groups,
                   int count) {
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    const char n = i + 1 < format.size() ? format[i + 1] : '\0';
    if (c != '$' || !(n == '&' || n == '$' || (n >= '0' && n <= '9'))) {
      out.push_back(c);
      continue;
    }
    ++i;
    if (n == '$') {
      out.push_back('$');
      continue;
    }
    const int g = n == '&' ? 0 : n - '0';
    if (g < count && groups[2 * g] != PCRE2_UNSET)
      out.append(subject.substr(groups[2 * g], groups[2 * g + 1] - groups[2 * g]));
  }
  return out;
}

}  // namespace

std::vector<Hit> Matcher::FindRegex(std::string_view bytes, Encoding encoding) const {
  std::vector<Hit> hits;
  const Compiled& c = *compiled_;
  pcre2_match_data* match = pcre2_match_data_create_from_pattern(c.regex, nullptr);
  // A Shift-JIS line is matched as UTF-8; `starts` maps its offsets back.
  std::string utf8;
  std::vector<std::size_t> starts;
  for (std::size_t ls = 0; ls <= bytes.size();) {
    std::size_t le = bytes.find_first_of("\r\n", ls);
    if (le == std::string_view::npos) le = bytes.size();
    std::string_view subject = bytes.substr(ls, le - ls);
    if (encoding == Encoding::kShiftJis) {
      utf8.clear();
      starts.clear();
      for (std::size_t i = ls; i < le;) {
        const PageChar ch = CharAt(bytes, i, encoding);
        text::AppendUtf8(utf8, ch.code);
        starts.resize(utf8.size(), i);
        i += ch.size;
      }
      starts.resize(utf8.size() + 1, le);
      subject = utf8;
    }
    auto back = [&](std::size_t k) { return encoding == Encoding::kShiftJis ? starts[k] : ls + k; };
    for (PCRE2_SIZE from = 0; from <= subject.size();) {
      const int rc = pcre2_match(c.regex, reinterpret_cast<PCRE2_SPTR>(subject.data()),
                                 subject.size(), from, 0, match, c.limits);
      if (rc <= 0) break;  // no match, or the line is beyond the work bound
      const PCRE2_SIZE* g = pcre2_get_ovector_pointer(match);
      if (g[1] == g[0]) {  // an empty match: go on after the next character
        from = g[1] + 1;
        while (from < subject.size() && (static_cast<unsigned char>(subject[from]) & 0xC0) == 0x80)
          ++from;
        continue;
      }
      Hit h;
      h.offset = back(g[0]);
      h.length = back(g[1]) - h.offset;
      if (options_.replacement) h.replacement = Expand(*options_.replacement, subject, g, rc);
      hits.push_back(std::move(h));
      from = g[1];
    }
    if (le == bytes.size()) break;
    ls = le + 1;
    if (bytes[le] == '\r' && ls < bytes.size() && bytes[ls] == '\n') ++ls;
  }
  pcre2_match_data_free(match);
  return hits;
}

void PlaceHits(std::string_view bytes, Encoding encoding, std::vector<Hit>& hits) {
  constexpr std::size_t kShownBytes = 400;
  Place place;
  for (Hit& h : hits) {
    place = PlaceOf(bytes, encoding, h.offset, place);
    h.line = place.line;
    h.column = place.column;
    h.line_start = place.line_start;
    h.line_end = place.line_end;
    std::size_t from = place.line_start;
    std::size_t to = place.line_end;
    std::string prefix;
    if (to - from > kShownBytes) {
      // A long line (a packed script) shows from the hit on.
      from = h.offset;
      to = from;
      while (to < place.line_end && to - from < kShownBytes) to += CharAt(bytes, to, encoding).size;
      prefix = "…";
    }
    h.line_text = prefix + DisplayText(bytes.substr(from, to - from), encoding);
  }
}

std::size_t SearchResult::HitCount() const {
  std::size_t n = 0;
  for (const FileHits& f : files) n += f.hits.size();
  return n;
}

namespace {

struct FileOutcome {
  bool unreadable = false;
  bool searched = false;
  FileHits found;  // path empty when the file has no hits
};

FileOutcome SearchFile(const std::filesystem::path& path, const Matcher& matcher,
                       const SearchOptions& options, std::string& bytes) {
  FileOutcome out;
  if (!ReadWholeFile(path, bytes)) {
    out.unreadable = true;
    return out;
  }
  out.searched = true;
  const PageBytes page = ClassifyPage(bytes);
  const std::string_view body = std::string_view(bytes).substr(page.bom);
  std::vector<Hit> hits = matcher.Find(body, page.encoding);
  if (hits.empty()) return out;
  PlaceHits(body, page.encoding, hits);
  const std::string_view line_break = LineBreakOf(body);
  for (Hit& h : hits) {
    h.offset += page.bom;
    h.line_start += page.bom;
    h.line_end += page.bom;
    if (options.replacement) h.replacement = ExpandLine(h.replacement, line_break);
  }
  // The bytes are kept only where a replacement will need them.
  out.found = {path, page.encoding, options.replacement ? bytes : std::string(), std::move(hits)};
  return out;
}

}  // namespace

SearchResult SearchSite(const std::filesystem::path& root, const SearchOptions& options) {
  SearchResult result;
  const Matcher matcher(options);
  if (!matcher.error().empty()) {
    result.error = matcher.error();
    return result;
  }
  const std::vector<std::filesystem::path> paths = ListSiteFiles(root, options.file_patterns);
  std::vector<FileOutcome> outcomes(paths.size());
  // Files are independent: every core takes the next one, results keep the
  // files' order. A small site is not worth a thread.
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    std::string bytes;
    for (std::size_t i; (i = next.fetch_add(1)) < paths.size();)
      outcomes[i] = SearchFile(paths[i], matcher, options, bytes);
  };
  const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  const unsigned helpers = paths.size() < 64 ? 0 : cores - 1;
  std::vector<std::thread> pool;
  for (unsigned i = 0; i < helpers; ++i) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    FileOutcome& o = outcomes[i];
    if (o.unreadable) result.unreadable.push_back(paths[i]);
    if (o.searched) ++result.files_searched;
    if (!o.found.path.empty()) result.files.push_back(std::move(o.found));
  }
  return result;
}

}  // namespace hemlo::site
