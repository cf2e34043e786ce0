// QtEditPane: programmatic edits, selection and line queries, and the
// modified flag over Qt's undo history.
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "text/byte_text.h"
#include "text/qt_edit_pane.h"
#include "text/qt_edit_pane_marks.h"

namespace hemlo::text {

using pane::kCodeProperty;

namespace {
constexpr std::size_t kMaxLineListItem = 4096;
}  // namespace

QtEditPane::QtEditPane(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setTabChangesFocus(false);
  connect(document(), &QTextDocument::contentsChange, this, &QtEditPane::OnContentsChange);
  connect(this, &QPlainTextEdit::cursorPositionChanged, this, &QtEditPane::QueueTagMatch);
}

// ---------------------------------------------------------------------------
// Programmatic edits.

void QtEditPane::InsertDecoded(const QString& text, const std::vector<std::size_t>& alternates,
                               const std::vector<std::uint16_t>& codes) {
  QTextCursor cursor = textCursor();
  cursor.beginEditBlock();
  const int start = cursor.selectionStart();
  cursor.insertText(text, QTextCharFormat());
  if (!alternates.empty()) {
    QTextCursor mark(document());
    for (std::size_t i = 0; i < alternates.size(); ++i) {
      QTextCharFormat format;
      format.setProperty(kCodeProperty, static_cast<unsigned>(codes[i]));
      mark.setPosition(start + static_cast<int>(alternates[i]));
      mark.setPosition(start + static_cast<int>(alternates[i]) + 1, QTextCursor::KeepAnchor);
      mark.mergeCharFormat(format);
    }
    has_alternates_ = true;
  }
  cursor.endEditBlock();
  setTextCursor(cursor);
}

void QtEditPane::SetText(std::string_view bytes) {
  const Decoded d = DecodeForDocument(bytes);
  QTextCursor all(document());
  all.select(QTextCursor::Document);
  setTextCursor(all);
  InsertDecoded(d.text, d.marked, d.codes);
  setTextCursor(QTextCursor(document()));
  soft_clean_at_ = HistoryPoint();
  forced_at_ = {-1, -1};
}

void QtEditPane::ReplaceSelection(std::string_view bytes) {
  const Decoded d = DecodeForDocument(bytes);
  InsertDecoded(d.text, d.marked, d.codes);
}

// ---------------------------------------------------------------------------
// Selection and line queries.

std::size_t QtEditPane::SelStart() const { return OffsetOfPosition(textCursor().selectionStart()); }

std::size_t QtEditPane::SelLength() const {
  const QTextCursor cursor = textCursor();
  if (!cursor.hasSelection()) return 0;
  return OffsetOfPosition(cursor.selectionEnd()) - OffsetOfPosition(cursor.selectionStart());
}

void QtEditPane::SetSelStart(std::size_t offset) {
  QTextCursor cursor = textCursor();
  cursor.setPosition(PositionOfOffset(offset));
  setTextCursor(cursor);
}

void QtEditPane::SetSelLength(std::size_t length) {
  QTextCursor cursor = textCursor();
  const int start = cursor.selectionStart();
  const std::size_t start_offset = OffsetOfPosition(start);
  const std::size_t total = TextLength();
  const std::size_t end_offset = length >= total - start_offset ? total : start_offset + length;
  cursor.setPosition(start);
  cursor.setPosition(std::max(start, PositionOfOffset(end_offset)), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
}

std::size_t QtEditPane::TextLength() const { return lines_.TotalBytes(); }

int QtEditPane::LineListCount() const {
  const int count = document()->blockCount();
  return document()->lastBlock().length() == 1 ? count - 1 : count;
}

std::string QtEditPane::LineListItem(int index) const {
  if (index < 0 || index >= LineListCount()) return {};
  const QTextBlock block = document()->findBlockByNumber(index);
  std::string line = EncodeRange(block.position(), block.position() + block.length() - 1);
  if (line.size() > kMaxLineListItem) line.resize(CutAtCharBoundary(line, kMaxLineListItem).size());
  return line;
}

int QtEditPane::LineCount() const { return document()->blockCount(); }

int QtEditPane::LineFromOffset(std::size_t offset) const {
  return static_cast<int>(lines_.LineAt(offset).first);
}

std::size_t QtEditPane::LineStart(int line) const {
  if (line < 0) return 0;
  if (line >= static_cast<int>(lines_.size())) return TextLength();
  return lines_.LineStart(static_cast<std::size_t>(line));
}

CaretPos QtEditPane::CaretPosition() const {
  const int position = textCursor().selectionStart();
  const QTextBlock block = document()->findBlock(position);
  const int k = block.blockNumber();
  const std::size_t column =
      ColumnBytes(block, lines_.at(static_cast<std::size_t>(k)), position - block.position());
  return CaretPos{static_cast<int>(column), k};
}

void QtEditPane::SelectAll() { selectAll(); }
std::pair<int, int> QtEditPane::HistoryPoint() const {
  return {document()->availableUndoSteps(), document()->availableRedoSteps()};
}

bool QtEditPane::Modified() const {
  const auto now = HistoryPoint();
  if (forced_at_ == now) return true;
  return soft_clean_at_ != now && document()->isModified();
}

void QtEditPane::SetModified(bool modified) {
  soft_clean_at_ = forced_at_ = {-1, -1};
  if (!modified)
    document()->setModified(false);
  else if (!document()->isModified())
    forced_at_ = HistoryPoint();
}
void QtEditPane::ScrollCaretIntoView() { ensureCursorVisible(); }
void QtEditPane::Focus() { setFocus(Qt::OtherFocusReason); }
void QtEditPane::Undo() { undo(); }
void QtEditPane::Redo() { redo(); }

}  // namespace hemlo::text
