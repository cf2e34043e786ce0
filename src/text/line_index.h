#pragma once
// Byte lengths of the lines of a text with CRLF breaks, for mapping byte
// offsets to lines and back without rescanning the text.
//
// Lines are kept in chunks of a few hundred; each chunk knows its byte total,
// and the chunk prefix sums are rebuilt lazily from the first changed chunk.
// So every query and every edit costs O(chunk size + number of chunks), about
// O(sqrt n), also for an edit at the top followed by a query at the end, and
// for edits that add or remove lines.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace hemlo::text {

class LineIndex {
 public:
  struct Line {
    std::uint32_t bytes = 0;  // bytes of the line, its line break excluded
    bool single_byte = true;  // every character of the line is one byte
    bool operator==(const Line&) const = default;
  };

  LineIndex();  // one empty line

  // Replaces everything; `lines` must not be empty.
  void Assign(const std::vector<Line>& lines);
  // Lines [first, first + old_count) become `lines` (old_count >= 1 or lines
  // not empty; the index never becomes empty).
  void Replace(std::size_t first, std::size_t old_count, const std::vector<Line>& lines);

  std::size_t size() const { return count_; }
  Line at(std::size_t line) const;
  // Byte offset where the line starts (line < size()).
  std::uint64_t LineStart(std::size_t line) const;
  // Bytes of the whole text: every line plus a CRLF between lines.
  std::uint64_t TotalBytes() const;
  // The line that holds byte `offset` (an offset in a line's CRLF belongs to
  // that line; past the end: the last line), and that line's start.
  std::pair<std::size_t, std::uint64_t> LineAt(std::uint64_t offset) const;

  // All lines, in order (for tests).
  std::vector<Line> Lines() const;

 private:
  struct Chunk {
    std::vector<Line> lines;
    std::uint64_t span = 0;  // sum of (bytes + 2) over its lines
  };
  static std::uint64_t SpanOf(const std::vector<Line>& lines, std::size_t from, std::size_t to);
  // `lines` cut into chunks of kChunk lines (the last one shorter).
  static std::vector<Chunk> ChunksOf(const std::vector<Line>& lines);
  void EnsurePrefix() const;
  // Chunk and index in it of a line (line < size()).
  std::pair<std::size_t, std::size_t> Locate(std::size_t line) const;
  void Invalidate(std::size_t chunk) { valid_ = std::min(valid_, chunk); }

  std::vector<Chunk> chunks_;
  std::size_t count_ = 0;
  // Per chunk: first line and byte offset; valid for chunks [0, valid_).
  mutable std::vector<std::size_t> first_line_;
  mutable std::vector<std::uint64_t> first_byte_;
  mutable std::size_t valid_ = 0;
};

}  // namespace hemlo::text
