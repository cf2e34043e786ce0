#include "search/find_replace.h"

#include <algorithm>
#include <functional>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>

#include "base/ascii_case.h"
#include "base/integer_text.h"
#include "text/cp932.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace hemlo::search {
namespace {

constexpr const char* kConfirmCaption = "確認";
constexpr const char* kEmptyReplacement =
    "置換後の文字列が指定されていません。\r\nこのまま実行すると検索文字列を削除することになります。"
    "\r\n\r\n実行しますか？";
constexpr const char* kSearchEnded = "検索終了しました。\r\n最初から検索しますか？";
constexpr const char* kReplaceDone = "置換処理完了";
constexpr const char* kMessageCaption = "Hemlo２";
constexpr const char* kJumpCaption = "指定行へジャンプ";
constexpr const char* kJumpPrompt = "何行目へジャンプしますか？";

inline unsigned char LowerByte(unsigned char b) { return AsciiLower(b); }

// n bytes at p (only `avail` of them real, the rest zero) equal `search`?
bool EqualPadded(const unsigned char* p, std::size_t avail, std::string_view search) {
  const std::size_t n = search.size();
  if (avail >= n) return std::memcmp(p, search.data(), n) == 0;
  if (std::memcmp(p, search.data(), avail) != 0) return false;
  for (std::size_t j = avail; j < n; ++j)
    if (search[j] != '\0') return false;
  return true;
}

// Asks for transparent huge pages on a large output buffer before it is
// written: first-touch page faults otherwise dominate building a result of
// tens of megabytes. Only advice; without it the buffer works the same.
void AdviseHugePages(std::string& s) {
#ifdef __linux__
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (s.capacity() < 4 * kHuge) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(s.data());
  const std::uintptr_t from = (begin + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t to = (begin + s.capacity()) & ~(kHuge - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)s;
#endif
}

// Releases the busy cursor however the replace ends.
class BusyScope {
 public:
  explicit BusyScope(SearchFeedback* feedback) : feedback_(feedback) {
    if (feedback_) feedback_->SetBusy(true);
  }
  ~BusyScope() { Release(); }
  void Release() {
    if (feedback_) feedback_->SetBusy(false);
    feedback_ = nullptr;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  SearchFeedback* feedback_;
};

// Finds character boundaries whose byte is c1 or c2 and where a predicate
// holds, from a start offset that is itself a boundary.
//
// Candidates come from memchr, so the scan runs at memory speed instead of a
// step per character. A candidate is a boundary only if the character walk
// from the start lands on it; the walk need not begin at the start: a byte
// below 0x40 can neither open a double-byte character nor end one, so a
// character always starts right there. The walk resumes from the last such
// byte before the candidate (or from the last known boundary), which keeps
// the whole scan linear, also across the many matches of a replace all.
class CandidateScanner {
 public:
  CandidateScanner(std::string_view text, std::size_t start, unsigned char c1, unsigned char c2)
      : text_(text), c1_(c1), c2_(c2), boundary_(start), pos_(start) {}

  // Goes on from `offset`, taken as a character start (after a match).
  void ResumeAt(std::size_t offset) { boundary_ = pos_ = offset; }

  template <typename Matches>
  std::ptrdiff_t Next(const Matches& matches) {
    const char* p = text_.data();
    const std::size_t len = text_.size();
    for (;;) {
      if (next1_ < pos_ || !have1_) {
        next1_ = Find(c1_);
        have1_ = true;
      }
      if (c1_ != c2_ && (next2_ < pos_ || !have2_)) {
        next2_ = Find(c2_);
        have2_ = true;
      }
      const std::size_t c = c1_ != c2_ ? std::min(next1_, next2_) : next1_;
      if (c >= len) return -1;
      pos_ = c + 1;
      if (c < boundary_) continue;  // inside the character that ends at boundary_
      if (c > boundary_) {
        std::size_t w = c;
        while (w > boundary_ && static_cast<unsigned char>(p[w - 1]) >= 0x40) --w;
        while (w < c) w += text::CharLength(text_, w);
        boundary_ = w;
        if (w != c) continue;  // a trail byte
      }
      boundary_ = c + text::CharLength(text_, c);
      if (matches(c)) return static_cast<std::ptrdiff_t>(c);
    }
  }

 private:
  std::size_t Find(unsigned char c) const {
    const std::size_t len = text_.size();
    if (pos_ >= len) return len;
    const void* hit = std::memchr(text_.data() + pos_, c, len - pos_);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) : len;
  }

  std::string_view text_;
  unsigned char c1_, c2_;
  std::size_t boundary_;  // a known character start
  std::size_t pos_;       // candidates are searched from here
  std::size_t next1_ = 0, next2_ = 0;
  bool have1_ = false, have2_ = false;
};

}  // namespace

std::ptrdiff_t FindFrom(std::string_view text, std::string_view search, std::size_t start) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t len = text.size();
  std::size_t k = start;
  if (k >= len) {
    // Only the zero padding is left to compare with.
    return (k == len && EqualPadded(p + len, 0, search)) ? static_cast<std::ptrdiff_t>(k) : -1;
  }
  if (search.empty()) return static_cast<std::ptrdiff_t>(k);
  const auto first = static_cast<unsigned char>(search[0]);
  CandidateScanner scanner(text, k, first, first);
  return scanner.Next([&](std::size_t c) { return EqualPadded(p + c, len - c, search); });
}

std::string LowerLatin(std::string_view s) {
  std::string out(s);
  for (std::size_t i = 0; i < out.size();) {
    const std::size_t len = text::CharLength(s, i);
    if (len == 1) out[i] = static_cast<char>(LowerByte(static_cast<unsigned char>(out[i])));
    i += len;
  }
  return out;
}

LatinFoldMatcher::LatinFoldMatcher(std::string_view search) : folded_(LowerLatin(search)) {}

// Compares LowerLatin of the text from k (a character boundary) with the
// folded search text, lowering the text's single-byte characters on the fly.
bool LatinFoldMatcher::MatchesAt(std::string_view text, std::size_t k) const {
  const std::size_t n = folded_.size();
  const std::size_t len = text.size();
  std::size_t j = 0;
  while (j < n) {
    const std::size_t at = k + j;
    if (at >= len) {
      // The zero padding: zero bytes only.
      for (; j < n; ++j)
        if (folded_[j] != '\0') return false;
      return true;
    }
    const std::size_t clen = text::CharLength(text, at);
    if (clen == 2) {
      if (text[at] != folded_[j]) return false;
      if (j + 1 < n && text[at + 1] != folded_[j + 1]) return false;
    } else if (LowerByte(static_cast<unsigned char>(text[at])) !=
               static_cast<unsigned char>(folded_[j])) {
      return false;
    }
    j += clen;
  }
  return true;
}

std::ptrdiff_t LatinFoldMatcher::FindFrom(std::string_view text, std::size_t start) const {
  std::ptrdiff_t found = -1;
  ForEachMatch(text, start, [&](std::size_t m) {
    found = static_cast<std::ptrdiff_t>(m);
    return false;
  });
  return found;
}

std::size_t LatinFoldMatcher::ForEachMatch(std::string_view text, std::size_t start,
                                           const std::function<bool(std::size_t)>& on_match) const {
  const std::size_t len = text.size();
  const std::size_t n = folded_.size();
  if (start >= len) {
    if (start == len && MatchesAt(text, start)) on_match(start);
    return start;
  }
  if (n == 0) {
    on_match(start);
    return start;
  }
  // The first byte of a match: the folded byte, or its capital.
  const auto c1 = static_cast<unsigned char>(folded_[0]);
  const unsigned char c2 = AsciiUpper(c1);
  CandidateScanner scanner(text, start, c1, c2);
  for (;;) {
    const std::ptrdiff_t m = scanner.Next([&](std::size_t c) { return MatchesAt(text, c); });
    if (m < 0) return len;
    const auto at = static_cast<std::size_t>(m);
    if (!on_match(at)) return at;
    if (at + n >= len) return len;
    scanner.ResumeAt(at + n);
  }
}

std::string ReplaceAllText(std::string_view text, std::string_view search,
                           std::string_view replacement, std::size_t* count) {
  std::size_t replaced = 0;
  std::string out;
  if (search.empty()) {
    out.assign(text);
  } else {
    const LatinFoldMatcher matcher(search);
    const std::size_t n = search.size();
    out.reserve(text.size() + (replacement.size() > n ? text.size() / 8 : 0));
    AdviseHugePages(out);
    std::size_t pos = 0;
    matcher.ForEachMatch(text, 0, [&](std::size_t m) {
      out.append(text.substr(pos, m - pos));
      out.append(replacement);
      ++replaced;
      pos = std::min(m + n, text.size());
      return true;
    });
    if (pos < text.size()) out.append(text.substr(pos));
  }
  if (count) *count = replaced;
  return out;
}

std::string BuildReplacement(const FindReplaceOptions& options) {
  std::string r = options.replace;
  if (options.add_line_break) r += "\r\n";
  if (options.add_tab) r += '\t';
  return r;
}

void Button1Click(int tag, const FindReplaceOptions& options, text::EditPane* pane,
                  Prompts& prompts, SearchFeedback* feedback) {
  if (tag < kFindNext || tag > kReplaceAll) return;
  if (options.search.empty()) return;
  if (!pane || pane->TextLength() == 0) return;

  std::string replacement;
  if (tag != kFindNext) {
    replacement = BuildReplacement(options);
    if (options.warn_empty && options.replace.empty() &&
        prompts.Message(kConfirmCaption, kEmptyReplacement, Buttons::YesNoCancel, Icon::None,
                        Answer::No) != Answer::Yes)
      return;
  }

  if (tag != kReplaceAll) {
    const LatinFoldMatcher matcher(options.search);
    for (;;) {
      std::size_t start = 0;  // nothing selected: from the top, wherever the caret is
      if (pane->SelLength() != 0) {
        if (tag == kReplaceAndFindNext) {
          pane->ReplaceSelection(replacement);
          start = pane->SelStart();
        } else {
          start = pane->SelStart() + pane->SelLength();
        }
      }
      const std::ptrdiff_t m = matcher.FindFrom(pane->Text(), start);
      if (m >= 0) {
        pane->SetSelStart(static_cast<std::size_t>(m));
        pane->SetSelLength(options.search.size());
        pane->ScrollCaretIntoView();
        if (feedback) feedback->BringFrameToFront();
        return;
      }
      // Yes and Cancel: anything but Yes ends the search.
      if (prompts.Message(kConfirmCaption, kSearchEnded, Buttons::YesCancel, Icon::Question) !=
          Answer::Yes)
        return;
      pane->SetSelStart(pane->SelStart());
    }
  }

  BusyScope busy(feedback);
  {
    std::string before = pane->Text();
    std::size_t count = 0;
    std::string after = ReplaceAllText(before, options.search, replacement, &count);
    const bool changed = count != 0 && after != before;
    // Freed before the pane rebuilds, so its copy can take these pages
    // instead of faulting in fresh ones (a large share of the time on big texts).
    std::string().swap(before);
    if (changed) {
      pane->SetText(after);
      // Putting the text back clears the flag, yet the document differs from
      // its file now: keep it marked so closing still asks.
      pane->SetModified(true);
    }
  }
  if (feedback) feedback->BringFrameToFront();
  pane->ScrollCaretIntoView();
  busy.Release();
  prompts.Message(kMessageCaption, kReplaceDone, Buttons::Ok, Icon::None);
}

void N47Click(text::EditPane* pane, Prompts& prompts) {
  if (!pane) return;
  const auto answer = prompts.Input(kJumpCaption, kJumpPrompt, "");
  if (!answer) return;
  const auto n = ParseInteger(*answer);
  if (!n) {
    prompts.Error(NotAnIntegerMessage(*answer));
    return;
  }
  // Out-of-range numbers land on the nearest line instead of failing.
  const long long wanted = static_cast<long long>(*n) - 1;
  const int last = std::max(pane->LineCount() - 1, 0);
  const int line = wanted < 0 ? 0 : (wanted > last ? last : static_cast<int>(wanted));
  pane->SetSelStart(pane->LineStart(line));
  pane->ScrollCaretIntoView();
}

}  // namespace hemlo::search
