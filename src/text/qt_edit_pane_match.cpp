// QtEditPane's matching tags: the rule (matching_tag.h) on the bytes around
// the caret, its answer shown as extra selections.
#include <QPainter>
#include <QPalette>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <iterator>

#include "text/matching_tag.h"
#include "text/qt_edit_pane.h"

namespace hemlo::text {

namespace {
// Characters each side of the caret the rule sees: a small stretch first,
// which settles almost every caret, then wider ones while the partner lies
// beyond the stretch.
constexpr int kMatchWindows[] = {2048, 256 * 1024, 4 * 1024 * 1024};
// Copying the widest stretch out of a large page costs a key tens of
// milliseconds (more than a frame), so it is looked at only once the caret
// rests; after a typed key even the middle one (a megabyte of bytes) waits,
// since typing inside a tag whose partner is far would pay it on every key.
constexpr int kWindowsOnEveryMove = 2;
constexpr int kWindowsOnEveryKey = 1;
constexpr int kWideMatchPauseMs = 300;
}  // namespace

void QtEditPane::SetMatchingTags(bool on) {
  matching_tags_ = on;
  if (on) {
    QueueTagMatch();
    return;
  }
  if (wide_match_timer_) wide_match_timer_->stop();
  for (const QRect& r : TagMatchRects()) viewport()->update(r);
  tag_marks_.clear();
  matched_tags_.clear();
}

void QtEditPane::QueueTagMatch() {
  if (tag_match_queued_ || !matching_tags_) return;
  tag_match_queued_ = true;
  QMetaObject::invokeMethod(
      this, [this] { FlushTagMatch(); }, Qt::QueuedConnection);
}

void QtEditPane::FlushTagMatch() {
  if (!tag_match_queued_) return;
  tag_match_queued_ = false;
  UpdateTagMatch();
}

void QtEditPane::UpdateTagMatch(bool wide) {
  std::vector<std::pair<std::size_t, std::size_t>> found;
  bool wider_wanted = false;
  const QTextCursor cursor = textCursor();
  const int at_once = typed_since_match_ ? kWindowsOnEveryKey : kWindowsOnEveryMove;
  typed_since_match_ = false;
  if (!cursor.hasSelection()) {
    const int caret = cursor.position();
    const int last = document()->characterCount() - 1;
    for (int i = 0; i < static_cast<int>(std::size(kMatchWindows)); ++i) {
      if (i == at_once && !wide) {
        wider_wanted = true;
        break;
      }
      const int window = kMatchWindows[i];
      const int from = std::max(0, caret - window);
      const int to = std::min(last, caret + window);
      const std::string before = EncodeRange(from, caret);
      const std::string text = before + EncodeRange(caret, to);
      const TagMatch m = MatchingTag(text, before.size());
      if (m.kind == TagMatch::Kind::kFound) {
        const std::size_t base = OffsetOfPosition(from);
        found = {{base + m.tag_start, base + m.tag_end},
                 {base + m.partner_start, base + m.partner_end}};
        break;
      }
      const bool cut = m.partner_after ? to < last : from > 0;
      if (m.kind != TagMatch::Kind::kNoPartner || !cut) break;
    }
  }
  if (wider_wanted) {
    if (!wide_match_timer_) {
      wide_match_timer_ = new QTimer(this);
      wide_match_timer_->setSingleShot(true);
      wide_match_timer_->setInterval(kWideMatchPauseMs);
      connect(wide_match_timer_, &QTimer::timeout, this, [this] { UpdateTagMatch(true); });
    }
    wide_match_timer_->start();
  } else if (wide_match_timer_) {
    wide_match_timer_->stop();
  }
  if (!matching_tags_) {
    matched_tags_ = std::move(found);  // for the jump only, not shown
    return;
  }
  if (found == matched_tags_) return;
  matched_tags_ = std::move(found);
  for (const QRect& r : TagMatchRects()) viewport()->update(r);
  tag_marks_.clear();
  for (const auto& [start, end] : matched_tags_)
    tag_marks_.push_back({PositionOfOffset(start), PositionOfOffset(end)});
  for (const QRect& r : TagMatchRects()) viewport()->update(r);
}

void QtEditPane::MoveTagMarks(int position, int removed, int added) {
  for (auto& [from, to] : tag_marks_) {
    if (to <= position) continue;
    if (from >= position + removed) {
      from += added - removed;
      to += added - removed;
    } else {
      // Edited inside: the mark keeps covering all it may have painted.
      from = std::min(from, position);
      to = std::max(position + added, to + added - removed);
    }
  }
}

std::vector<QRect> QtEditPane::TagMatchRects() const {
  std::vector<QRect> rects;
  if (tag_marks_.empty()) return rects;
  // Only the lines in view, walked as the paint walks them.
  QTextBlock block = firstVisibleBlock();
  const QPointF offset = contentOffset();
  qreal top = blockBoundingGeometry(block).translated(offset).top();
  const int bottom = viewport()->height();
  int last = 0;
  for (const auto& mark : tag_marks_) last = std::max(last, mark.second);
  for (; block.isValid() && top <= bottom; block = block.next()) {
    const int start = block.position();
    if (start > last) break;                                 // the lines below hold no mark
    const qreal height = blockBoundingRect(block).height();  // lays the line out
    const int end = start + block.length() - 1;
    const QTextLayout* layout = block.layout();
    for (const auto& [from, to] : tag_marks_) {
      if (to <= start || from > end || !block.isVisible()) continue;
      for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const int a = std::max(from - start, line.textStart());
        const int b = std::min(to - start, line.textStart() + line.textLength());
        if (a >= b) continue;
        const qreal x = line.cursorToX(a);
        rects.push_back(QRectF(offset.x() + x, top + line.y(), line.cursorToX(b) - x, line.height())
                            .toAlignedRect());
      }
    }
    top += height;
  }
  return rects;
}

void QtEditPane::PaintTagMatch(const QRect& area) {
  if (tag_marks_.empty()) return;
  // Beneath the text, before it is drawn: as extra selections Qt would draw
  // the whole line once more for each tag.
  QPainter painter(viewport());
  const QColor colour = palette().color(QPalette::Highlight).lighter(170);
  for (const QRect& r : TagMatchRects())
    if (r.intersects(area)) painter.fillRect(r, colour);
}

bool QtEditPane::JumpToMatchingTag() {
  UpdateTagMatch(true);
  if (matched_tags_.size() != 2) return false;
  SetSelStart(matched_tags_[1].first);
  ensureCursorVisible();
  return true;
}

std::vector<std::pair<std::size_t, std::size_t>> QtEditPane::MatchedTags() const {
  return matched_tags_;
}

}  // namespace hemlo::text
