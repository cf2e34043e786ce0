// QtEditPane's presentation: source colours and the line-number gutter.
// Only the blocks in view are coloured, when they are painted, so loading a
// page never scans it whole; a key costs at most a bounded scan, however
// long the page and wherever the change.
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <limits>
#include <utility>

#include "text/html_syntax.h"
#include "text/qt_edit_pane.h"

namespace hemlo::text {

namespace {

// Lines longer than this are coloured in their first part only.
constexpr int kMaxColouredUnits = 20000;
// Characters one paint may scan to reach the view, and one round of the
// scan between events (a few milliseconds each).
constexpr std::size_t kPaintBudget = 200000;
constexpr std::size_t kIdleBudget = 250000;
constexpr int kUnknown = -1;
// Qt draws every coloured run of a line, in view or not: a long line has
// only its runs near the columns in view coloured. The window moves in steps,
// so scrolling a little does not make Qt lay the line out again.
constexpr int kWindowedLine = 2000;
constexpr int kWindowStep = 128;

// The columns [first, last) of a block to colour, for the view's x range
// [left, right) in the block's own coordinates.
std::pair<int, int> ColumnWindow(const QTextBlock& block, qreal left, qreal right) {
  constexpr std::pair<int, int> kAll{0, std::numeric_limits<int>::max()};
  const QTextLayout* layout = block.layout();
  if (block.length() <= kWindowedLine || !layout || layout->lineCount() != 1) return kAll;
  const QTextLine line = layout->lineAt(0);
  const int first = line.xToCursor(left) / kWindowStep;
  const int last = line.xToCursor(right) / kWindowStep;
  return {std::max(0, first - 1) * kWindowStep, (last + 2) * kWindowStep};
}

QColor ColourOf(SyntaxKind kind, bool dark);

// The colour runs of a line's spans that touch columns [from, to).
QList<QTextLayout::FormatRange> RangesOf(const std::vector<SyntaxSpan>& spans, int from, int to,
                                         bool dark) {
  QList<QTextLayout::FormatRange> ranges;
  ranges.reserve(static_cast<qsizetype>(spans.size()));
  for (const SyntaxSpan& span : spans) {
    if (span.start + span.length <= static_cast<std::size_t>(from) ||
        span.start >= static_cast<std::size_t>(to))
      continue;
    QTextLayout::FormatRange r;
    r.start = static_cast<int>(span.start);
    r.length = static_cast<int>(span.length);
    r.format.setForeground(ColourOf(span.kind, dark));
    ranges.push_back(r);
  }
  return ranges;
}

std::u16string_view View(const QString& s, int limit) {
  return {reinterpret_cast<const char16_t*>(s.utf16()),
          static_cast<std::size_t>(std::min<qsizetype>(s.size(), limit))};
}

QColor ColourOf(SyntaxKind kind, bool dark) {
  // Two sets, each readable on its own background.
  switch (kind) {
    case SyntaxKind::kTag:
      return dark ? QColor(0x7F, 0xB4, 0xFF) : QColor(0x00, 0x30, 0xB0);
    case SyntaxKind::kAttributeName:
      return dark ? QColor(0xE8, 0xB0, 0x60) : QColor(0x9A, 0x40, 0x00);
    case SyntaxKind::kAttributeValue:
      return dark ? QColor(0x8E, 0xD8, 0x8E) : QColor(0x10, 0x75, 0x10);
    case SyntaxKind::kComment:
      return dark ? QColor(0x9A, 0x9A, 0x9A) : QColor(0x70, 0x70, 0x70);
    case SyntaxKind::kEntity:
      return dark ? QColor(0xE0, 0x90, 0xE0) : QColor(0x90, 0x10, 0x90);
    case SyntaxKind::kScript:
      return dark ? QColor(0xD8, 0xC8, 0x70) : QColor(0x6A, 0x50, 0x00);
    case SyntaxKind::kStyle:
      return dark ? QColor(0x70, 0xD0, 0xD0) : QColor(0x00, 0x60, 0x70);
  }
  return {};
}

// New formats leave the document a pending change for their block, which
// Qt would otherwise report with the next edit as one change from that block
// to the edit: far more lines to lay out and scan again than were edited.
// Marking the block dirty lays it out now and drops the pending change.
void ClaimFormatChange(QTextDocument* document, const QTextBlock& block) {
  document->markContentsDirty(block.position(), block.length());
}

class Gutter : public QWidget {
 public:
  explicit Gutter(QtEditPane* pane) : QWidget(pane), pane_(pane) {
    setObjectName(QStringLiteral("LineNumbers"));
  }
  QSize sizeHint() const override { return {pane_->GutterWidth(), 0}; }

 protected:
  void paintEvent(QPaintEvent* event) override { pane_->PaintGutter(event); }
  bool event(QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    // The markup messages of the line under the pointer.
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = pane_->GutterToolTip(help->pos().y());
    if (tip.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), tip, this);
    return true;
  }

 private:
  QtEditPane* pane_;
};

}  // namespace

void QtEditPane::SetHighlighting(bool on) {
  if (highlighting_ == on) return;
  highlighting_ = on;
  if (!on) {
    if (syntax_timer_) syntax_timer_->stop();
    // Take the colours off every block that has them.
    decorating_ = true;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
      if (b.layout() && !b.layout()->formats().isEmpty()) {
        b.layout()->setFormats({});
        ClaimFormatChange(document(), b);
      }
    decorating_ = false;
  }
  viewport()->update();
}

bool QtEditPane::SyntaxScanPending() const { return syntax_timer_ && syntax_timer_->isActive(); }

void QtEditPane::ResetSyntax() {
  line_states_.assign(static_cast<std::size_t>(document()->blockCount()), kUnknown);
  syntax_dirty_ = 0;
}

void QtEditPane::NoteSyntaxEdit(int first, int old_last, int new_last) {
  if (line_states_.size() !=
      static_cast<std::size_t>(document()->blockCount() - (new_last - old_last))) {
    ResetSyntax();
    return;
  }
  const auto at = line_states_.begin() + first;
  const int removed = old_last - first + 1;
  const int added = new_last - first + 1;
  std::fill(at, at + std::min(removed, added), kUnknown);
  if (added > removed)
    line_states_.insert(at + removed, static_cast<std::size_t>(added - removed), kUnknown);
  else if (removed > added)
    line_states_.erase(at + added, at + removed);
  syntax_dirty_ = std::min(syntax_dirty_, first);
}

void QtEditPane::StoreSyntaxState(int k, int state) {
  int& stored = line_states_[static_cast<std::size_t>(k)];
  if (stored == state) {
    // The state came out as it was: the lines after hold theirs, up to the
    // next one whose text changed.
    const auto next = std::find(line_states_.begin() + k + 1, line_states_.end(), kUnknown);
    syntax_dirty_ = static_cast<int>(next - line_states_.begin());
  } else {
    stored = state;
    syntax_dirty_ = k + 1;
  }
}

bool QtEditPane::AdvanceSyntax(int target, std::size_t budget) {
  if (line_states_.size() != static_cast<std::size_t>(document()->blockCount())) ResetSyntax();
  QTextBlock block;
  while (syntax_dirty_ < target) {
    if (!block.isValid() || block.blockNumber() != syntax_dirty_)
      block = document()->findBlockByNumber(syntax_dirty_);
    if (!block.isValid()) break;
    const std::size_t units =
        static_cast<std::size_t>(std::min(block.length(), kMaxColouredUnits)) + 1;
    if (units > budget) return false;
    budget -= units;
    syntax_scanned_ += units;
    const int k = syntax_dirty_;
    const int before = k == 0 ? kSyntaxStart : line_states_[static_cast<std::size_t>(k - 1)];
    StoreSyntaxState(k, ScanHtmlLine(View(block.text(), kMaxColouredUnits), before, nullptr));
    block = block.next();
  }
  return true;
}

void QtEditPane::ContinueSyntaxScan() {
  if (!highlighting_) return;
  const QTextBlock first = firstVisibleBlock();
  if (!first.isValid()) return;
  if (AdvanceSyntax(first.blockNumber(), kIdleBudget))
    viewport()->update();
  else
    syntax_timer_->start();
}

void QtEditPane::ColourVisibleBlocks(const QRect& painting) {
  const bool dark = palette().color(QPalette::Base).lightness() < 128;
  const int bottom = viewport()->height();
  QTextBlock block = firstVisibleBlock();
  if (!block.isValid()) return;
  const int first = block.blockNumber();
  const bool exact = AdvanceSyntax(first, kPaintBudget);
  // Short of the view, the nearest state known (perhaps stale) stands in
  // until the scan between events reaches it.
  int state = first == 0 ? kSyntaxStart : line_states_[static_cast<std::size_t>(first - 1)];
  if (state == kUnknown) state = kSyntaxStart;
  if (!exact) {
    if (!syntax_timer_) {
      syntax_timer_ = new QTimer(this);
      syntax_timer_->setSingleShot(true);
      syntax_timer_->setInterval(0);
      connect(syntax_timer_, &QTimer::timeout, this, [this] { ContinueSyntaxScan(); });
    }
    syntax_timer_->start();
  }
  std::vector<SyntaxSpan> spans;
  decorating_ = true;
  for (; block.isValid(); block = block.next()) {
    const QRectF where = blockBoundingGeometry(block).translated(contentOffset());
    if (block.isVisible() && where.top() > bottom) break;
    spans.clear();
    const auto [from, to] = ColumnWindow(block, -where.left(), viewport()->width() - where.left());
    const QString text = block.text();
    // A line whose end state is known is scanned only as far as the window.
    const int k = block.blockNumber();
    const bool known = exact && k < syntax_dirty_;
    const int limit = known ? std::min(to, kMaxColouredUnits) : kMaxColouredUnits;
    const int end = ScanHtmlLine(View(text, limit), state, &spans);
    syntax_scanned_ += static_cast<std::size_t>(std::min<qsizetype>(text.size(), limit)) + 1;
    if (known) {
      state = line_states_[static_cast<std::size_t>(k)];
    } else {
      state = end;
      if (exact && k == syntax_dirty_) StoreSyntaxState(k, state);
    }
    const QList<QTextLayout::FormatRange> ranges = RangesOf(spans, from, to, dark);
    QTextLayout* layout = block.layout();
    if (layout && layout->formats() != ranges) {
      layout->setFormats(ranges);
      {
        // The layout would ask for the whole view to be painted again after
        // this paint; only lines outside the area being painted need that.
        const QSignalBlocker quiet(document()->documentLayout());
        ClaimFormatChange(document(), block);
      }
      const QRect line(0, static_cast<int>(where.top()), viewport()->width(),
                       static_cast<int>(where.height()) + 1);
      if (!painting.contains(line)) viewport()->update(line);
    }
  }
  decorating_ = false;
}

void QtEditPane::ColourEditedBlock(const QTextBlock& block) {
  // Qt lays the edited line out right after this; colouring it only at the
  // paint lays it out a second time, and when that second width comes out a
  // hair narrower (runs of another colour shape apart) on the page's widest
  // line, Qt measures every line of the page again to find the widest.
  // Coloured now, the paint finds the colours in place. Long lines are
  // coloured by the columns in view, which need the layout: left to the paint.
  if (!highlighting_ || block.length() > kWindowedLine) return;
  const int k = block.blockNumber();
  if (k > 0 && (k - 1 >= syntax_dirty_ ||
                static_cast<std::size_t>(k) > line_states_.size()))
    return;
  const int state = k == 0 ? kSyntaxStart : line_states_[static_cast<std::size_t>(k - 1)];
  if (state == kUnknown) return;
  std::vector<SyntaxSpan> spans;
  const QString text = block.text();
  ScanHtmlLine(View(text, kMaxColouredUnits), state, &spans);
  const bool dark = palette().color(QPalette::Base).lightness() < 128;
  QList<QTextLayout::FormatRange> ranges =
      RangesOf(spans, 0, std::numeric_limits<int>::max(), dark);
  QTextLayout* layout = block.layout();
  if (!layout || layout->formats() == ranges) return;
  // Inside the document's own change report: the block is laid out with it.
  decorating_ = true;
  layout->setFormats(ranges);
  decorating_ = false;
}

void QtEditPane::paintEvent(QPaintEvent* event) {
  if (highlighting_) ColourVisibleBlocks(event->rect());
  PaintTagMatch(event->rect());
  QPlainTextEdit::paintEvent(event);
}

void QtEditPane::changeEvent(QEvent* event) {
  QPlainTextEdit::changeEvent(event);
  if (event->type() == QEvent::PaletteChange && highlighting_) viewport()->update();
}

// ---------------------------------------------------------------------------
// Gutter.

int QtEditPane::GutterWidth() const {
  int digits = 1;
  for (int n = std::max(1, document()->blockCount()); n >= 10; n /= 10) ++digits;
  return fontMetrics().horizontalAdvance(QLatin1Char('9')) * (digits + 1) + 6;
}

void QtEditPane::UpdateGutterGeometry() {
  const bool shown = gutter_ != nullptr && !gutter_->isHidden();
  setViewportMargins(shown ? GutterWidth() : 0, 0, 0, 0);
  if (shown) {
    const QRect cr = contentsRect();
    gutter_->setGeometry(QRect(cr.left(), cr.top(), GutterWidth(), cr.height()));
  }
}

void QtEditPane::SetLineNumbers(bool on) {
  if (on && gutter_ == nullptr) {
    gutter_ = new Gutter(this);
    connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { UpdateGutterGeometry(); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
      if (gutter_->isHidden()) return;
      if (dy != 0)
        gutter_->scroll(0, dy);
      else
        gutter_->update(0, rect.y(), gutter_->width(), rect.height());
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
      if (!gutter_->isHidden()) gutter_->update();
    });
  }
  if (gutter_) gutter_->setVisible(on);
  UpdateGutterGeometry();
}

void QtEditPane::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  UpdateGutterGeometry();
}

void QtEditPane::PaintGutter(QPaintEvent* event) {
  QPainter painter(gutter_);
  const QPalette pal = palette();
  painter.fillRect(event->rect(), pal.color(QPalette::Window));
  const int caret_block = textCursor().blockNumber();
  const int width = gutter_->width() - 4;
  const int line_height = fontMetrics().height();
  QFont bold = font();
  bold.setBold(true);
  QTextBlock block = firstVisibleBlock();
  int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
  while (block.isValid() && top <= event->rect().bottom()) {
    const int bottom = top + qRound(blockBoundingRect(block).height());
    if (block.isVisible() && bottom >= event->rect().top()) {
      const bool caret = block.blockNumber() == caret_block;
      if (caret) {
        // The caret's line: highlighted background and a bold number.
        painter.fillRect(0, top, gutter_->width(), line_height, pal.color(QPalette::Highlight));
        painter.setPen(pal.color(QPalette::HighlightedText));
        painter.setFont(bold);
      } else {
        painter.setPen(pal.color(QPalette::PlaceholderText));
        painter.setFont(font());
      }
      painter.drawText(0, top, width, line_height, Qt::AlignRight,
                       QString::number(block.blockNumber() + 1));
      if (const LineMark* mark = MarkOfLine(block.blockNumber())) {
        // A markup issue on the line: a dot in the gutter's spare column.
        const int d = std::max(4, line_height / 2);
        painter.setPen(Qt::NoPen);
        painter.setBrush(mark->error ? QColor(0xd0, 0x20, 0x20) : QColor(0xe0, 0x90, 0x00));
        painter.drawEllipse(2, top + (line_height - d) / 2, d, d);
        painter.setBrush(Qt::NoBrush);
      }
    }
    block = block.next();
    top = bottom;
  }
}

}  // namespace hemlo::text
