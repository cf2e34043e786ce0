#include "text/line_index.h"

#include <algorithm>

namespace hemlo::text {

namespace {
constexpr std::size_t kChunk = 512;      // lines per chunk after a split or Assign
constexpr std::size_t kMaxChunk = 1024;  // a longer chunk is split
}  // namespace

LineIndex::LineIndex() { Assign({Line{}}); }

std::uint64_t LineIndex::SpanOf(const std::vector<Line>& lines, std::size_t from, std::size_t to) {
  std::uint64_t span = 0;
  for (std::size_t i = from; i < to; ++i) span += lines[i].bytes + 2u;
  return span;
}

std::vector<LineIndex::Chunk> LineIndex::ChunksOf(const std::vector<Line>& lines) {
  std::vector<Chunk> chunks;
  for (std::size_t i = 0; i < lines.size(); i += kChunk) {
    Chunk chunk;
    const std::size_t end = std::min(lines.size(), i + kChunk);
    chunk.lines.assign(lines.begin() + static_cast<std::ptrdiff_t>(i),
                       lines.begin() + static_cast<std::ptrdiff_t>(end));
    chunk.span = SpanOf(chunk.lines, 0, chunk.lines.size());
    chunks.push_back(std::move(chunk));
  }
  return chunks;
}

void LineIndex::Assign(const std::vector<Line>& lines) {
  chunks_ = ChunksOf(lines);
  count_ = lines.size();
  if (chunks_.empty()) {  // never expected: keep one empty line
    chunks_.push_back(Chunk{{Line{}}, 2});
    count_ = 1;
  }
  valid_ = 0;
}

void LineIndex::EnsurePrefix() const {
  const std::size_t n = chunks_.size();
  if (valid_ >= n && first_line_.size() == n) return;
  first_line_.resize(n);
  first_byte_.resize(n);
  if (valid_ == 0) {
    first_line_[0] = 0;
    first_byte_[0] = 0;
    valid_ = 1;
  }
  for (std::size_t c = valid_; c < n; ++c) {
    first_line_[c] = first_line_[c - 1] + chunks_[c - 1].lines.size();
    first_byte_[c] = first_byte_[c - 1] + chunks_[c - 1].span;
  }
  valid_ = n;
}

std::pair<std::size_t, std::size_t> LineIndex::Locate(std::size_t line) const {
  EnsurePrefix();
  auto it = std::upper_bound(first_line_.begin(), first_line_.end(), line);
  const auto c = static_cast<std::size_t>(it - first_line_.begin()) - 1;
  return {c, line - first_line_[c]};
}

LineIndex::Line LineIndex::at(std::size_t line) const {
  auto [c, j] = Locate(line);
  return chunks_[c].lines[j];
}

std::uint64_t LineIndex::LineStart(std::size_t line) const {
  auto [c, j] = Locate(line);
  const Chunk& chunk = chunks_[c];
  // Sum from the nearer end of the chunk.
  if (j <= chunk.lines.size() / 2) return first_byte_[c] + SpanOf(chunk.lines, 0, j);
  return first_byte_[c] + chunk.span - SpanOf(chunk.lines, j, chunk.lines.size());
}

std::uint64_t LineIndex::TotalBytes() const {
  EnsurePrefix();
  return first_byte_.back() + chunks_.back().span - 2;
}

std::pair<std::size_t, std::uint64_t> LineIndex::LineAt(std::uint64_t offset) const {
  EnsurePrefix();
  auto it = std::upper_bound(first_byte_.begin(), first_byte_.end(), offset);
  const auto c = static_cast<std::size_t>(it - first_byte_.begin()) - 1;
  const Chunk& chunk = chunks_[c];
  std::uint64_t start = first_byte_[c];
  for (std::size_t j = 0; j < chunk.lines.size(); ++j) {
    const std::uint64_t next = start + chunk.lines[j].bytes + 2;
    if (offset < next || (c + 1 == chunks_.size() && j + 1 == chunk.lines.size())) {
      return {first_line_[c] + j, start};
    }
    start = next;
  }
  // Not reached: the chunk's span covers the offset.
  return {first_line_[c] + chunk.lines.size() - 1, start - chunk.lines.back().bytes - 2};
}

void LineIndex::Replace(std::size_t first, std::size_t old_count, const std::vector<Line>& lines) {
  if (first >= count_) first = count_ - 1;
  old_count = std::min(old_count, count_ - first);
  if (old_count == 0 && lines.empty()) return;
  auto [c, j] = Locate(first);

  // One line changed in place: the common case of typing.
  if (old_count == 1 && lines.size() == 1) {
    Chunk& chunk = chunks_[c];
    chunk.span = chunk.span - chunk.lines[j].bytes + lines[0].bytes;
    chunk.lines[j] = lines[0];
    Invalidate(c + 1);
    return;
  }

  // Remove the old lines, which may run over several chunks.
  std::size_t remaining = old_count;
  std::size_t cc = c;
  std::size_t jj = j;
  while (remaining > 0) {
    Chunk& chunk = chunks_[cc];
    const std::size_t take = std::min(remaining, chunk.lines.size() - jj);
    chunk.span -= SpanOf(chunk.lines, jj, jj + take);
    chunk.lines.erase(chunk.lines.begin() + static_cast<std::ptrdiff_t>(jj),
                      chunk.lines.begin() + static_cast<std::ptrdiff_t>(jj + take));
    remaining -= take;
    ++cc;
    jj = 0;
  }
  // Insert the new lines where the old ones began.
  Chunk& target = chunks_[c];
  target.lines.insert(target.lines.begin() + static_cast<std::ptrdiff_t>(j), lines.begin(),
                      lines.end());
  target.span += SpanOf(lines, 0, lines.size());
  count_ = count_ - old_count + lines.size();

  // Drop emptied chunks after c (and c itself when it emptied and is not alone).
  std::size_t end = cc;  // chunks [c, end) were touched
  for (std::size_t k = end; k-- > c;) {
    if (chunks_[k].lines.empty() && chunks_.size() > 1) {
      chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(k));
    }
  }
  if (count_ == 0) {  // never expected: keep one empty line
    Assign({Line{}});
    return;
  }
  // Merge a small chunk with its successor, so that deletions do not leave
  // many tiny chunks behind.
  if (c + 1 < chunks_.size() && chunks_[c].lines.size() < kChunk / 8 &&
      chunks_[c].lines.size() + chunks_[c + 1].lines.size() <= kMaxChunk) {
    Chunk& next = chunks_[c + 1];
    chunks_[c].lines.insert(chunks_[c].lines.end(), next.lines.begin(), next.lines.end());
    chunks_[c].span += next.span;
    chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c + 1));
  }
  // Split an overlong chunk.
  if (c < chunks_.size() && chunks_[c].lines.size() > kMaxChunk) {
    std::vector<Chunk> pieces = ChunksOf(chunks_[c].lines);
    chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c));
    chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c),
                   std::make_move_iterator(pieces.begin()), std::make_move_iterator(pieces.end()));
  }
  Invalidate(c);
  first_line_.resize(std::min(first_line_.size(), valid_));
  first_byte_.resize(std::min(first_byte_.size(), valid_));
}

std::vector<LineIndex::Line> LineIndex::Lines() const {
  std::vector<Line> all;
  all.reserve(count_);
  for (const Chunk& chunk : chunks_) all.insert(all.end(), chunk.lines.begin(), chunk.lines.end());
  return all;
}

}  // namespace hemlo::text
