#include "shell/version_diff.h"

#include <algorithm>

namespace hemlo {

namespace {

std::vector<std::string_view> Lines(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  while (start < s.size()) {
    std::size_t end = s.find('\n', start);
    if (end == std::string_view::npos) end = s.size();
    std::string_view line = s.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

// Beyond this many cells the middle is shown as removed then added: a
// quadratic table over two large unrelated pages would freeze the window.
constexpr std::size_t kMostCells = 4'000'000;

}  // namespace

std::vector<DiffLine> DiffLines(std::string_view version, std::string_view now,
                                std::size_t context) {
  const auto a = Lines(version), b = Lines(now);
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
    ++tail;
  const std::size_t n = a.size() - head - tail, m = b.size() - head - tail;

  // The whole comparison as marks, then unchanged runs far from a change folded.
  std::vector<DiffLine> all;
  for (std::size_t i = 0; i < head; ++i) all.push_back({' ', std::string(a[i]), 0});
  if (n * m <= kMostCells) {
    // Longest common subsequence of the middle, walked from the front.
    std::vector<std::vector<unsigned>> len(n + 1, std::vector<unsigned>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;)
      for (std::size_t j = m; j-- > 0;)
        len[i][j] = a[head + i] == b[head + j] ? len[i + 1][j + 1] + 1
                                               : std::max(len[i + 1][j], len[i][j + 1]);
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
      if (i < n && j < m && a[head + i] == b[head + j]) {
        all.push_back({' ', std::string(a[head + i]), 0});
        ++i, ++j;
      } else if (j < m && (i == n || len[i][j + 1] >= len[i + 1][j])) {
        all.push_back({'+', std::string(b[head + j++]), 0});
      } else {
        all.push_back({'-', std::string(a[head + i++]), 0});
      }
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) all.push_back({'-', std::string(a[head + i]), 0});
    for (std::size_t j = 0; j < m; ++j) all.push_back({'+', std::string(b[head + j]), 0});
  }
  for (std::size_t i = a.size() - tail; i < a.size(); ++i) all.push_back({' ', std::string(a[i]), 0});

  std::vector<bool> near(all.size(), false);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].mark == ' ') continue;
    const std::size_t from = i > context ? i - context : 0;
    const std::size_t to = std::min(all.size(), i + context + 1);
    for (std::size_t k = from; k < to; ++k) near[k] = true;
  }
  std::vector<DiffLine> out;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (near[i]) {
      out.push_back(std::move(all[i]));
    } else if (!out.empty() && out.back().mark == '~') {
      ++out.back().skipped;
    } else {
      out.push_back({'~', {}, 1});
    }
  }
  return out;
}

}  // namespace hemlo
