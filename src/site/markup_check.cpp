#include "site/markup_check.h"

#include <openssl/evp.h>
#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <type_traits>

#include "site/page_text.h"

namespace hemlo::site {

namespace {

struct Raw {
  int line = 0;
  int column = 0;
  MarkupSeverity severity = MarkupSeverity::kWarning;
  std::string code;
  std::string text;
};

// libtidy makes and frees a great many small blocks while it parses (a
// fifth of the check's time went to malloc and free). Each document gets an
// arena instead: blocks come from large chunks and all go with the document.
// Past kArenaMost a document's blocks come from the heap, so a huge page
// cannot keep every block it ever freed.
class Arena {
 public:
  Arena() { base_.vtbl = &kTable; }
  ~Arena() {
    for (void* chunk : chunks_) std::free(chunk);
  }
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  TidyAllocator* get() { return &base_; }

 private:
  static constexpr std::size_t kChunk = 256 * 1024;
  static constexpr std::size_t kArenaMost = 64 * 1024 * 1024;
  struct Header {
    std::size_t size;
    std::size_t heap;  // 1: from malloc, freed on its own
  };
  static_assert(sizeof(Header) == 16);

  static Arena& Of(TidyAllocator* a) { return *reinterpret_cast<Arena*>(a); }
  static Header* HeaderOf(void* block) { return static_cast<Header*>(block) - 1; }

  void* Take(std::size_t n) {
    const std::size_t need = sizeof(Header) + ((n + 15) & ~std::size_t{15});
    Header* h;
    if (need > left_ && (held_ + std::max(need, kChunk) > kArenaMost || need > kChunk / 4)) {
      h = static_cast<Header*>(std::malloc(need));
      if (!h) return nullptr;
      h->heap = 1;
    } else {
      if (need > left_) {
        at_ = static_cast<char*>(std::malloc(kChunk));
        if (!at_) return nullptr;
        chunks_.push_back(at_);
        held_ += kChunk;
        left_ = kChunk;
      }
      h = reinterpret_cast<Header*>(at_);
      at_ += need;
      left_ -= need;
      h->heap = 0;
    }
    h->size = n;
    return h + 1;
  }

  static void* TIDY_CALL Alloc(TidyAllocator* a, size_t n) { return Of(a).Take(n); }
  static void* TIDY_CALL Realloc(TidyAllocator* a, void* block, size_t n) {
    if (!block) return Of(a).Take(n);
    Header* h = HeaderOf(block);
    if (n <= h->size) return block;
    if (h->heap) {
      auto* grown = static_cast<Header*>(std::realloc(h, sizeof(Header) + n));
      if (!grown) return nullptr;
      grown->size = n;
      return grown + 1;
    }
    void* fresh = Of(a).Take(n);
    if (fresh) std::memcpy(fresh, block, h->size);
    return fresh;
  }
  static void TIDY_CALL Free(TidyAllocator*, void* block) {
    if (block && HeaderOf(block)->heap) std::free(HeaderOf(block));
  }
  static void TIDY_CALL Panic(TidyAllocator*, ctmbstr) { std::abort(); }
  static constexpr TidyAllocatorVtbl kTable = {&Alloc, &Realloc, &Free, &Panic};

  TidyAllocator base_;  // first: libtidy hands this pointer back
  std::vector<void*> chunks_;
  char* at_ = nullptr;
  std::size_t left_ = 0;
  std::size_t held_ = 0;
};

static_assert(std::is_standard_layout_v<Arena>);  // Of() needs base_ first

Bool Collect(TidyMessage message) {
  auto* out = static_cast<std::vector<Raw>*>(tidyGetAppData(tidyGetMessageDoc(message)));
  const TidyReportLevel level = tidyGetMessageLevel(message);
  Raw r;
  if (level == TidyWarning) {
    r.severity = MarkupSeverity::kWarning;
  } else if (level == TidyError || level == TidyBadDocument || level == TidyFatal) {
    r.severity = MarkupSeverity::kError;
  } else {
    return no;  // information and tidy's own chatter
  }
  r.line = tidyGetMessageLine(message);
  r.column = tidyGetMessageColumn(message);
  if (const char* key = tidyGetMessageKey(message)) r.code = key;
  if (const char* text = tidyGetMessageDefault(message)) r.text = text;
  out->push_back(std::move(r));
  return no;  // nothing to tidy's error output
}

// One tidy document over `body`, its errors and warnings in order.
std::vector<Raw> RunTidy(std::string_view body) {
  std::vector<Raw> raw;
  Arena arena;  // outlives the document
  std::unique_ptr<std::remove_pointer_t<TidyDoc>, void (*)(TidyDoc)> doc(
      tidyCreateWithAllocator(arena.get()), &tidyRelease);
  tidySetAppData(doc.get(), &raw);
  tidySetMessageCallback(doc.get(), &Collect);
  // Bytes as they are: every byte that shapes markup is below 0x40 and so
  // never half of a Shift-JIS character, and tidy's columns stay bytes of
  // the page, which is also twice as fast as letting it decode UTF-8.
  tidySetInCharEncoding(doc.get(), "raw");
  tidyOptSetBool(doc.get(), TidyQuiet, yes);
  tidyOptSetBool(doc.get(), TidyShowWarnings, yes);
  tidyOptSetBool(doc.get(), TidyShowInfo, no);
  tidyOptSetInt(doc.get(), TidyShowErrors, INT_MAX);
  tidyOptSetInt(doc.get(), TidyTabSize, 1);  // a tab is one column, as in the editor
  TidyBuffer errors;
  tidyBufInit(&errors);
  tidySetErrorBuffer(doc.get(), &errors);
  TidyBuffer in;
  tidyBufInit(&in);
  // tidy only reads the buffer; attaching spares a copy of the page.
  tidyBufAttach(&in, reinterpret_cast<byte*>(const_cast<char*>(body.data())),
                static_cast<uint>(body.size()));
  if (tidyParseBuffer(doc.get(), &in) >= 0) tidyRunDiagnostics(doc.get());
  tidyBufDetach(&in);
  tidyBufFree(&errors);
  return raw;
}

// tidy takes the page one call per byte, and most bytes of a Japanese page
// are text between tags. Read raw, such text shapes markup only by its
// '<', '&', blanks and the like, all below 0x40: a run that starts with a
// byte from 0x80 up and goes on through bytes from 0x40 up (the second
// bytes of Shift-JIS, English words) is only "some characters", and tidy
// sees the same page with the run cut to its first and last byte. So text
// is cut so before tidy reads it and each place tidy names is moved back
// past what was cut. '[' and ']' end a run (a "]]>" may close a CDATA
// section), and 0x7F is left alone.
struct Shortened {
  std::string bytes;
  // Where a stretch of kept bytes starts: in `bytes`, in the page.
  std::vector<std::pair<std::size_t, std::size_t>> stretches{{0, 0}};

  std::size_t PageOffset(std::size_t at) const {
    auto it = std::upper_bound(stretches.begin(), stretches.end(), at,
                               [](std::size_t a, const auto& s) { return a < s.first; });
    --it;
    return it->second + (at - it->first);
  }
};

bool Starts(char c) { return static_cast<unsigned char>(c) >= 0x80 && c != '\xA0'; }
bool Goes(char c) { return static_cast<unsigned char>(c) >= 0x40 && c != '[' && c != ']' && c != 0x7F; }

// Text is what follows a tag's '>' up to the next '<'. A stretch holding a
// quote may still be inside an attribute value ('>' is allowed there) and
// is left whole; so is anything before a '>'.
Shortened ShortenText(std::string_view page) {
  Shortened out;
  out.bytes.reserve(page.size());
  std::size_t done = 0;  // page bytes copied so far
  auto cut_runs = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to;) {
      if (!Starts(page[i])) {
        ++i;
        continue;
      }
      std::size_t end = i + 1;
      while (end < to && Goes(page[end])) ++end;
      if (end - i >= 3) {
        out.bytes.append(page, done, i + 1 - done);
        out.stretches.emplace_back(out.bytes.size(), end - 1);
        done = end - 1;
      }
      i = end;
    }
  };
  std::size_t text = 0;  // where the text of the present stretch starts
  while (text < page.size()) {
    const std::size_t lt = std::min(page.find('<', text), page.size());
    const char* at = page.data() + text;
    if (!std::memchr(at, '"', lt - text) && !std::memchr(at, '\'', lt - text)) cut_runs(text, lt);
    if (lt == page.size()) break;
    const std::size_t gt = page.find('>', lt + 1);
    if (gt == std::string_view::npos) break;
    text = gt + 1;
  }
  out.bytes.append(page, done);
  return out;
}

// A message quoting the page's own bytes: from the shortened page it could
// quote a cut run, so that page is given to tidy whole.
bool QuotesHighBytes(const std::vector<Raw>& raw) {
  for (const Raw& r : raw)
    for (char c : r.text)
      if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

// tidy keeps what it read as UTF-8, each raw byte its own character
// (U+0080 to U+00FF), and quotes it so: the page's own bytes again.
std::string PageBytesOf(std::string_view quoted) {
  std::string out;
  out.reserve(quoted.size());
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    const auto c = static_cast<unsigned char>(quoted[i]);
    if ((c == 0xC2 || c == 0xC3) && i + 1 < quoted.size() &&
        (static_cast<unsigned char>(quoted[i + 1]) & 0xC0) == 0x80) {
      out.push_back(static_cast<char>(((c & 0x03) << 6) | (quoted[i + 1] & 0x3F)));
      ++i;
    } else {
      out.push_back(quoted[i]);
    }
  }
  return out;
}

}  // namespace

std::vector<MarkupIssue> CheckMarkup(std::string_view bytes, text::Encoding encoding) {
  const std::size_t bom =
      encoding == text::Encoding::kUtf8 && bytes.substr(0, text::kUtf8Bom.size()) == text::kUtf8Bom
          ? text::kUtf8Bom.size()
          : 0;
  const std::string_view body = bytes.substr(bom);
  const Shortened shortened = ShortenText(body);
  const bool cut = shortened.stretches.size() > 1;
  std::string_view parsed = cut ? std::string_view(shortened.bytes) : body;
  std::vector<Raw> raw = RunTidy(parsed);
  if (cut && QuotesHighBytes(raw)) {
    parsed = body;
    raw = RunTidy(body);
  }
  const bool mapped = parsed.data() != body.data();

  // Line starts as the editor counts lines: CRLF, LF or a lone CR.
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < parsed.size(); ++i) {
    if (parsed[i] == '\r' && i + 1 < parsed.size() && parsed[i + 1] == '\n') ++i;
    if (parsed[i] == '\r' || parsed[i] == '\n') starts.push_back(i + 1);
  }
  std::vector<MarkupIssue> issues;
  issues.reserve(raw.size());
  for (Raw& r : raw) {
    MarkupIssue issue;
    const std::size_t line = std::clamp<std::size_t>(r.line > 0 ? r.line : 1, 1, starts.size());
    const std::size_t start = starts[line - 1];
    const std::size_t end = line < starts.size() ? starts[line] : parsed.size();
    issue.offset = std::min(start + (r.column > 0 ? r.column - 1 : 0), end);
    if (mapped) issue.offset = shortened.PageOffset(issue.offset);
    issue.severity = r.severity;
    issue.code = std::move(r.code);
    // tidy quotes the page's own bytes in some messages (names, values).
    issue.message = (r.severity == MarkupSeverity::kError ? "エラー: " : "警告: ") +
                    DisplayText(PageBytesOf(r.text), encoding);
    issues.push_back(std::move(issue));
  }
  std::stable_sort(issues.begin(), issues.end(),
                   [](const MarkupIssue& a, const MarkupIssue& b) { return a.offset < b.offset; });
  Place place;
  for (MarkupIssue& issue : issues) {
    place = PlaceOf(body, encoding, issue.offset, place);
    issue.line = place.line;
    issue.column = place.column;
    issue.offset += bom;
  }
  return issues;
}

namespace {

// Memory the remembered results may take at most: a clean page's costs a
// few hundred bytes, so sites of tens of thousands of pages fit; a page with
// thousands of issues takes its share and goes first when it is the oldest.
constexpr std::size_t kRememberedMost = 64u << 20;

std::size_t CostOf(const std::vector<MarkupIssue>& issues) {
  std::size_t n = 256;  // the key, the map's node, the order's entry
  for (const MarkupIssue& i : issues) n += sizeof i + i.code.size() + i.message.size();
  return n;
}

struct Remembered {
  std::mutex mutex;
  std::unordered_map<std::string, std::pair<std::vector<MarkupIssue>, std::size_t>> results;
  std::deque<std::string> order;  // oldest first
  std::size_t bytes = 0;  // the results' cost
};

Remembered& TheRemembered() {
  static Remembered r;
  return r;
}

std::string KeyOf(std::string_view bytes, text::Encoding encoding) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(bytes.data(), bytes.size(), md, &n, EVP_sha256(), nullptr);
  std::string key(reinterpret_cast<const char*>(md), n);
  key += static_cast<char>(encoding);
  return key;
}

}  // namespace

std::vector<MarkupIssue> CheckMarkupRemembered(std::string_view bytes, text::Encoding encoding) {
  const std::string key = KeyOf(bytes, encoding);
  Remembered& r = TheRemembered();
  {
    std::lock_guard lock(r.mutex);
    if (auto it = r.results.find(key); it != r.results.end()) return it->second.first;
  }
  std::vector<MarkupIssue> issues = CheckMarkup(bytes, encoding);
  std::lock_guard lock(r.mutex);
  const std::size_t cost = CostOf(issues);
  if (cost <= kRememberedMost && r.results.try_emplace(key, issues, cost).second) {
    r.order.push_back(key);
    r.bytes += cost;
    while (r.bytes > kRememberedMost && !r.order.empty()) {
      auto old = r.results.find(r.order.front());
      r.bytes -= old->second.second;
      r.results.erase(old);
      r.order.pop_front();
    }
  }
  return issues;
}

}  // namespace hemlo::site
