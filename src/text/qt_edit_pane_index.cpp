// QtEditPane's byte index: the byte length of every block, kept up to date
// from each change, and the mapping between document positions and byte
// offsets.
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

#include "text/cp932.h"
#include "text/qt_edit_pane.h"
#include "text/qt_edit_pane_marks.h"

namespace hemlo::text {

using pane::kGenuineMark;
using pane::View;

namespace {

// Bytes of units [from, to) of a block's text.
std::size_t BytesOf(const QString& text, qsizetype from, qsizetype to) {
  std::size_t n = 0;
  const QChar* d = text.constData();
  for (qsizetype i = from; i < to; ++i)
    n += static_cast<std::size_t>(EncodedLength(d[i].unicode()));
  return n;
}

}  // namespace

void QtEditPane::UnitLengths(const QTextBlock& block, std::vector<std::uint8_t>& out) const {
  const QString text = block.text();
  std::vector<bool> genuine;
  if (has_alternates_) {
    std::vector<std::size_t> at;
    std::vector<std::uint16_t> codes;
    CollectMarks(block.position(), block.position() + block.length() - 1, at, codes);
    for (std::size_t i = 0; i < at.size(); ++i) {
      if (codes[i] != kGenuineMark) continue;
      genuine.resize(static_cast<std::size_t>(text.size()));
      genuine[at[i] - static_cast<std::size_t>(block.position())] = true;
    }
  }
  ViewUnitLengths(View(text), genuine.empty() ? nullptr : &genuine, out);
}

LineIndex::Line QtEditPane::Measure(const QTextBlock& block) const {
  const QString text = block.text();
  std::size_t bytes = 0;
  if (encoding_ == Encoding::kUtf8) {
    std::vector<std::uint8_t> lengths;
    UnitLengths(block, lengths);
    for (std::uint8_t n : lengths) bytes += n;
  } else {
    bytes = BytesOf(text, 0, text.size());
  }
  return LineIndex::Line{static_cast<std::uint32_t>(bytes),
                         bytes == static_cast<std::size_t>(text.size())};
}

void QtEditPane::RebuildBlocks() {
  std::vector<LineIndex::Line> lines;
  lines.reserve(static_cast<std::size_t>(document()->blockCount()));
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) lines.push_back(Measure(b));
  lines_.Assign(lines);
}

void QtEditPane::OnContentsChange(int position, int removed, int added) {
  if (decorating_) return;    // colours only
  MoveTagMarks(position, removed, added);
  FollowRawCache(position, removed, added);
  if (markup_marks_) NoteMarkupEdit(position);
  text_cache_valid_ = false;  // text or a character's stored code changed
  if (loading_) return;
  QTextDocument* doc = document();
  const int new_count = doc->blockCount();
  const int old_count = static_cast<int>(lines_.size());
  const QTextBlock first = doc->findBlock(position);
  const QTextBlock last = doc->findBlock(std::min(position + added, doc->characterCount() - 1));
  if (!first.isValid() || !last.isValid()) {
    RebuildBlocks();
    ResetSyntax();
    return;
  }
  const int b = first.blockNumber();
  const int e = last.blockNumber();
  const int old_e = e - (new_count - old_count);
  if (old_e < b || old_e >= old_count) {
    RebuildBlocks();
    ResetSyntax();
    return;
  }
  NoteSyntaxEdit(b, old_e, e);
  // Old blocks [b, old_e] became new blocks [b, e].
  std::vector<LineIndex::Line> fresh;
  fresh.reserve(static_cast<std::size_t>(e - b + 1));
  QTextBlock block = first;
  for (int i = b; i <= e && block.isValid(); ++i, block = block.next())
    fresh.push_back(Measure(block));
  lines_.Replace(static_cast<std::size_t>(b), static_cast<std::size_t>(old_e - b + 1), fresh);
  KeepGlyphs(first);
  if (b == e) ColourEditedBlock(first);
}

void QtEditPane::KeepGlyphs(const QTextBlock& block) {
  // Qt shapes a line again for the caret and again for painting unless its
  // layout keeps the glyphs; on a long line each shaping costs tens of ms per
  // key. Only the line being edited keeps them, so memory stays bounded.
  constexpr int kMinUnits = 1000;
  constexpr int kMaxUnits = 1 << 20;
  const int k = block.length() > kMinUnits && block.length() < kMaxUnits ? block.blockNumber() : -1;
  if (k == glyphs_kept_) return;
  if (glyphs_kept_ >= 0) {
    const QTextBlock old = document()->findBlockByNumber(glyphs_kept_);
    if (old.isValid() && old.layout()) old.layout()->setCacheEnabled(false);
  }
  glyphs_kept_ = k;
  if (k >= 0 && block.layout()) block.layout()->setCacheEnabled(true);
}

bool QtEditPane::BlockCacheIsConsistent() const {
  std::vector<LineIndex::Line> measured;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
    measured.push_back(Measure(b));
  return measured == lines_.Lines() && TextLength() == Text().size();
}

std::size_t QtEditPane::ColumnBytes(const QTextBlock& block, const LineIndex::Line& info,
                                    int column) const {
  if (info.single_byte) return static_cast<std::size_t>(column);
  if (encoding_ == Encoding::kUtf8) {
    std::vector<std::uint8_t> lengths;
    UnitLengths(block, lengths);
    std::size_t n = 0;
    for (int i = 0; i < column && i < static_cast<int>(lengths.size()); ++i)
      n += lengths[static_cast<std::size_t>(i)];
    return n;
  }
  const QString text = block.text();
  // Count from the nearer end of the line.
  if (column <= text.size() / 2) return BytesOf(text, 0, column);
  return info.bytes - BytesOf(text, column, text.size());
}

std::size_t QtEditPane::OffsetOfPosition(int position) const {
  const QTextDocument* doc = document();
  position = std::clamp(position, 0, doc->characterCount() - 1);
  const QTextBlock block = doc->findBlock(position);
  const auto k = static_cast<std::size_t>(block.blockNumber());
  return lines_.LineStart(k) + ColumnBytes(block, lines_.at(k), position - block.position());
}

int QtEditPane::PositionOfOffset(std::size_t offset) const {
  const auto [k, start] = lines_.LineAt(offset);
  const LineIndex::Line info = lines_.at(k);
  const QTextBlock block = document()->findBlockByNumber(static_cast<int>(k));
  const int line_units = block.length() - 1;
  const std::uint64_t within = offset > start ? offset - start : 0;
  // At or past the end of the line (inside its CRLF, or past the text): the line end.
  if (within >= info.bytes) return block.position() + line_units;
  if (info.single_byte) return block.position() + static_cast<int>(within);
  if (encoding_ == Encoding::kUtf8) {
    std::vector<std::uint8_t> lengths;
    UnitLengths(block, lengths);
    std::uint64_t acc = 0;
    for (int i = 0; i < line_units; ++i) {
      const std::uint8_t len = lengths[static_cast<std::size_t>(i)];
      if (len != 0 && acc + len > within) return block.position() + i;
      acc += len;
    }
    return block.position() + line_units;
  }
  const QString text = block.text();
  const QChar* d = text.constData();
  std::uint64_t acc = 0;
  for (int i = 0; i < line_units; ++i) {
    const auto len = static_cast<std::uint64_t>(EncodedLength(d[i].unicode()));
    if (acc + len > within) return block.position() + i;  // inside (or at) this character
    acc += len;
  }
  return block.position() + line_units;
}

}  // namespace hemlo::text
