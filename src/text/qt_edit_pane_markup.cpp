// QtEditPane's markup marks: the checker runs on a copy of the page on a
// worker thread after a pause in editing; each result carries the edit count
// it was taken at, so a result for older text never lands on newer text.
#include <QFutureWatcher>
#include <QTextBlock>
#include <QTextDocument>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "text/qt_edit_pane.h"

namespace hemlo::text {

void QtEditPane::SetMarkupChecker(MarkupChecker checker) { markup_checker_ = std::move(checker); }

void QtEditPane::SetMarkupMarks(bool on) {
  if (on == markup_marks_) return;
  markup_marks_ = on;
  ++markup_generation_;  // a check under way is for a pane that did not want it
  if (!on) {
    if (markup_timer_) markup_timer_->stop();
    line_marks_.clear();
    if (gutter_) gutter_->update();
    return;
  }
  if (!markup_timer_) {
    markup_timer_ = new QTimer(this);
    markup_timer_->setSingleShot(true);
    markup_timer_->setInterval(kMarkupPauseMs);
    connect(markup_timer_, &QTimer::timeout, this, &QtEditPane::StartMarkupCheck);
  }
  markup_blocks_ = document()->blockCount();
  markup_timer_->start();
}

void QtEditPane::NoteMarkupEdit(int position) {
  ++markup_generation_;
  markup_timer_->start();
  const int blocks = document()->blockCount();
  const int delta = blocks - markup_blocks_;
  markup_blocks_ = blocks;
  if (delta == 0 || line_marks_.empty()) return;
  // Marks below the edit move with their lines; lines taken out lose theirs.
  const int first = document()->findBlock(position).blockNumber();
  std::vector<LineMark> kept;
  kept.reserve(line_marks_.size());
  for (LineMark& m : line_marks_) {
    if (m.line > first) {
      if (delta < 0 && m.line <= first - delta) continue;
      m.line += delta;
    }
    kept.push_back(std::move(m));
  }
  line_marks_ = std::move(kept);
  if (gutter_) gutter_->update();
}

void QtEditPane::StartMarkupCheck() {
  if (!markup_marks_ || !markup_checker_) return;
  if (markup_running_) {
    markup_again_ = true;
    return;
  }
  if (TextLength() > kMarkupMarksLimit) {
    ApplyMarkupResult(markup_generation_, {});
    return;
  }
  const std::uint64_t generation = markup_generation_;
  markup_running_ = true;
  auto* watcher = new QFutureWatcher<std::vector<MarkupMark>>(this);
  connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
    watcher->deleteLater();
    markup_running_ = false;
    ApplyMarkupResult(generation, watcher->result());
    if (markup_again_) {
      markup_again_ = false;
      if (generation != markup_generation_) StartMarkupCheck();
    }
  });
  watcher->setFuture(QtConcurrent::run(
      [checker = markup_checker_, bytes = DocumentBytes(), encoding = encoding_] {
        return checker(bytes, encoding);
      }));
}

void QtEditPane::ApplyMarkupResult(std::uint64_t generation, std::vector<MarkupMark> marks) {
  if (generation != markup_generation_ || !markup_marks_) return;  // the text moved on
  std::vector<LineMark> lines;
  for (MarkupMark& m : marks) {
    const int line = static_cast<int>(std::min<std::size_t>(m.line, INT_MAX)) - 1;
    const QString message = QString::fromStdString(m.message);
    if (!lines.empty() && lines.back().line == line) {
      lines.back().error = lines.back().error || m.error;
      lines.back().message += QLatin1Char('\n') + message;
    } else {
      lines.push_back({line, m.error, message});
    }
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const LineMark& a, const LineMark& b) { return a.line < b.line; });
  line_marks_ = std::move(lines);
  markup_blocks_ = document()->blockCount();
  if (gutter_) gutter_->update();
}

const QtEditPane::LineMark* QtEditPane::MarkOfLine(int line) const {
  const auto it = std::lower_bound(line_marks_.begin(), line_marks_.end(), line,
                                   [](const LineMark& m, int l) { return m.line < l; });
  return it != line_marks_.end() && it->line == line ? &*it : nullptr;
}

QString QtEditPane::GutterToolTip(int y) const {
  QTextBlock block = firstVisibleBlock();
  int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
  while (block.isValid() && top <= y) {
    const int bottom = top + qRound(blockBoundingRect(block).height());
    if (y < bottom) {
      const LineMark* mark = MarkOfLine(block.blockNumber());
      return mark ? mark->message : QString();
    }
    block = block.next();
    top = bottom;
  }
  return {};
}

}  // namespace hemlo::text
