#include "text/completion_popup.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QWheelEvent>
#include <algorithm>

namespace hemlo::text {

namespace {

constexpr int kFrame = 1;
constexpr int kPadding = 4;     // between the frame and a label
constexpr int kScrollMark = 4;  // the width of the mark of where the rows stand

}  // namespace

CompletionPopup::CompletionPopup(QWidget* parent, int rows_shown)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint), rows_shown_(rows_shown) {
  // A window of its own: the text beneath it need not be painted again
  // whenever the list appears, moves or goes. It never takes the focus.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  // Every pixel is painted below: Qt need not clear the widget first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::ArrowCursor);
}

void CompletionPopup::SetLabels(const QStringList& labels) {
  if (labels != labels_) {
    labels_ = labels;
    widest_ = 0;
    for (const QString& label : labels_) widest_ = std::max(widest_, Width(label));
    current_ = 0;
    top_ = 0;
    update();
    return;
  }
  if (current_ != 0 || top_ != 0) {
    current_ = 0;
    top_ = 0;
    update();
  }
}

void CompletionPopup::SetCurrentRow(int row) {
  if (labels_.isEmpty()) return;
  row = std::clamp(row, 0, static_cast<int>(labels_.size()) - 1);
  if (row == current_) return;
  current_ = row;
  if (row < top_)
    top_ = row;
  else if (row >= top_ + rows_shown_)
    top_ = row - rows_shown_ + 1;
  update();
}

int CompletionPopup::Width(const QString& label) {
  // The same few hundred names come back again and again.
  if (widths_font_ != font()) {
    widths_.clear();
    laid_.clear();
    widths_font_ = font();
  }
  auto it = widths_.constFind(label);
  if (it == widths_.cend()) it = widths_.insert(label, fontMetrics().horizontalAdvance(label));
  return *it;
}

const QStaticText& CompletionPopup::Laid(const QString& label) {
  Width(label);  // drops what was laid out in another font
  auto it = laid_.find(label);
  if (it == laid_.end()) {
    QStaticText text(label);
    text.setTextFormat(Qt::PlainText);
    text.prepare(QTransform(), font());
    it = laid_.insert(label, text);
  }
  return *it;
}

int CompletionPopup::RowHeight() const { return fontMetrics().height() + 2; }

QSize CompletionPopup::SizeFor(int rows) const {
  const int mark = labels_.size() > rows_shown_ ? kScrollMark : 0;
  return {widest_ + 2 * (kFrame + kPadding) + mark, rows * RowHeight() + 2 * kFrame};
}

int CompletionPopup::RowAt(int y) const {
  if (y < kFrame) return -1;
  const int row = top_ + (y - kFrame) / RowHeight();
  return row < labels_.size() ? row : -1;
}

void CompletionPopup::ScrollTo(int top) {
  top = std::clamp(top, 0, std::max(0, static_cast<int>(labels_.size()) - rows_shown_));
  if (top == top_) return;
  top_ = top;
  update();
}

void CompletionPopup::showEvent(QShowEvent* event) {
  // A window of its own does not move with the pane: it goes when anything
  // holding the pane moves, is resized or hidden.
  for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
    w->installEventFilter(this);
    if (w->isWindow()) break;
  }
  QWidget::showEvent(event);
}

bool CompletionPopup::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Hide) hide();
  return QWidget::eventFilter(watched, event);
}

void CompletionPopup::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QPalette& pal = palette();
  const QRect all = rect();
  painter.fillRect(event->rect(), pal.color(QPalette::Base));
  painter.setPen(pal.color(QPalette::Mid));
  painter.drawRect(all.adjusted(0, 0, -1, -1));
  const int height = RowHeight();
  const bool marked = labels_.size() > rows_shown_;
  const int text_width = all.width() - 2 * kFrame - (marked ? kScrollMark : 0);
  const int last = std::min(static_cast<int>(labels_.size()), top_ + rows_shown_);
  painter.setClipRect(kFrame, kFrame, text_width - kPadding, all.height() - 2 * kFrame);
  for (int row = top_; row < last; ++row) {
    const QRect band(kFrame, kFrame + (row - top_) * height, text_width, height);
    if (!band.intersects(event->rect())) continue;
    if (row == current_) {
      painter.fillRect(band, pal.color(QPalette::Highlight));
      painter.setPen(pal.color(QPalette::HighlightedText));
    } else {
      painter.setPen(pal.color(QPalette::Text));
    }
    // Laid out once per label: shaping every row again cost most of the paint.
    painter.drawStaticText(QPoint(band.left() + kPadding, band.top() + 1), Laid(labels_[row]));
  }
  painter.setClipping(false);
  if (marked) {
    // Where the rows in view stand among all of them.
    const int track = all.height() - 2 * kFrame;
    const int count = static_cast<int>(labels_.size());
    const int thumb = std::max(4, track * rows_shown_ / count);
    const int y = kFrame + (track - thumb) * top_ / std::max(1, count - rows_shown_);
    painter.fillRect(all.width() - kFrame - kScrollMark, y, kScrollMark, thumb,
                     pal.color(QPalette::Mid));
  }
}

void CompletionPopup::mousePressEvent(QMouseEvent* event) {
  const int row = RowAt(static_cast<int>(event->position().y()));
  if (row < 0) return;
  SetCurrentRow(row);
  if (on_clicked) on_clicked();
}

void CompletionPopup::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  ScrollTo(top_ - 3 * steps);
  event->accept();
}

}  // namespace hemlo::text
