#include "text/qt_edit_pane.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "text/byte_text.h"
#include "text/cp932.h"

namespace hemlo::text {

namespace {

// Character-format property holding the non-preferred CP932 code of a character.
constexpr int kCodeProperty = QTextFormat::UserProperty + 932;
constexpr std::size_t kMaxLineListItem = 4096;

std::u16string_view View(const QString& s) {
  return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

// Bytes of units [from, to) of a block's text.
std::size_t BytesOf(const QString& text, qsizetype from, qsizetype to) {
  std::size_t n = 0;
  const QChar* d = text.constData();
  for (qsizetype i = from; i < to; ++i) n += static_cast<std::size_t>(EncodedLength(d[i].unicode()));
  return n;
}

// The first code point of text that CP932 cannot hold (line breaks pass), or
// an empty string.
QString FirstUnencodable(const QString& text) {
  const QChar* d = text.constData();
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    char16_t u = d[i].unicode();
    if (u == u'\r' || u == u'\n' || u == QChar::ParagraphSeparator) continue;
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(d[i + 1].unicode())) {
      return text.mid(i, 2);
    }
    if (!CanEncode(u)) return text.mid(i, 1);
  }
  return {};
}

// True when a key press carries text to insert (not a control character).
bool IsTypedText(const QString& text) {
  if (text.isEmpty()) return false;
  char32_t cp = text.at(0).unicode();
  if (text.size() > 1 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate()) {
    cp = QChar::surrogateToUcs4(text.at(0), text.at(1));
  }
  return QChar::isPrint(cp) && cp != 0x7F;
}

}  // namespace

QtEditPane::QtEditPane(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setTabChangesFocus(false);
  connect(document(), &QTextDocument::contentsChange, this, &QtEditPane::OnContentsChange);
  RebuildBlocks();
}

QString QtEditPane::RefusedMessage(const QString& what) {
  return QStringLiteral("Shift-JIS で表せない文字は入力できません（%1）").arg(what);
}

// ---------------------------------------------------------------------------
// Block cache.

QtEditPane::BlockInfo QtEditPane::Measure(const QTextBlock& block) const {
  const QString text = block.text();
  std::size_t bytes = BytesOf(text, 0, text.size());
  return BlockInfo{static_cast<std::uint32_t>(bytes), bytes == static_cast<std::size_t>(text.size())};
}

void QtEditPane::RebuildBlocks() {
  blocks_.clear();
  blocks_.reserve(static_cast<std::size_t>(document()->blockCount()));
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) blocks_.push_back(Measure(b));
  valid_starts_ = 0;
}

void QtEditPane::OnContentsChange(int position, int /*removed*/, int added) {
  if (loading_) return;
  QTextDocument* doc = document();
  const int new_count = doc->blockCount();
  const int old_count = static_cast<int>(blocks_.size());
  const QTextBlock first = doc->findBlock(position);
  const QTextBlock last = doc->findBlock(std::min(position + added, doc->characterCount() - 1));
  if (!first.isValid() || !last.isValid() || old_count == 0) {
    RebuildBlocks();
    return;
  }
  const int b = first.blockNumber();
  const int e = last.blockNumber();
  const int old_e = e - (new_count - old_count);
  if (old_e < b || old_e >= old_count) {
    RebuildBlocks();
    return;
  }
  // Old blocks [b, old_e] became new blocks [b, e].
  const auto ub = static_cast<std::size_t>(b);
  const std::size_t old_n = static_cast<std::size_t>(old_e - b + 1);
  const std::size_t new_n = static_cast<std::size_t>(e - b + 1);
  if (new_n > old_n) {
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(ub + old_n), new_n - old_n, BlockInfo{});
  } else if (new_n < old_n) {
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(ub + new_n),
                  blocks_.begin() + static_cast<std::ptrdiff_t>(ub + old_n));
  }
  QTextBlock block = first;
  for (std::size_t i = 0; i < new_n && block.isValid(); ++i, block = block.next()) blocks_[ub + i] = Measure(block);
  valid_starts_ = std::min(valid_starts_, ub + 1);
}

void QtEditPane::EnsureStarts(int block) const {
  const std::size_t n = blocks_.size();
  if (starts_.size() != n) {
    starts_.resize(n);
    valid_starts_ = std::min(valid_starts_, n);
  }
  const auto want = std::min(static_cast<std::size_t>(std::max(block, 0)) + 1, n);
  if (valid_starts_ == 0 && n > 0) {
    starts_[0] = 0;
    valid_starts_ = 1;
  }
  for (std::size_t i = valid_starts_; i < want; ++i) starts_[i] = starts_[i - 1] + blocks_[i - 1].bytes + 2;
  valid_starts_ = std::max(valid_starts_, want);
}

bool QtEditPane::BlockCacheIsConsistent() const {
  if (static_cast<int>(blocks_.size()) != document()->blockCount()) return false;
  std::size_t i = 0;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next(), ++i) {
    BlockInfo m = Measure(b);
    if (m.bytes != blocks_[i].bytes || m.single_byte != blocks_[i].single_byte) return false;
  }
  return TextLength() == Text().size();
}

std::size_t QtEditPane::OffsetOfPosition(int position) const {
  const QTextDocument* doc = document();
  position = std::clamp(position, 0, doc->characterCount() - 1);
  const QTextBlock block = doc->findBlock(position);
  const int k = block.blockNumber();
  EnsureStarts(k);
  const auto uk = static_cast<std::size_t>(k);
  const int column = position - block.position();
  if (blocks_[uk].single_byte) return starts_[uk] + static_cast<std::size_t>(column);
  const QString text = block.text();
  // Count from the nearer end of the line.
  if (column <= text.size() / 2) return starts_[uk] + BytesOf(text, 0, column);
  return starts_[uk] + blocks_[uk].bytes - BytesOf(text, column, text.size());
}

int QtEditPane::PositionOfOffset(std::size_t offset) const {
  const int n = static_cast<int>(blocks_.size());
  EnsureStarts(n - 1);
  const auto begin = starts_.begin();
  const auto it = std::upper_bound(begin, begin + n, static_cast<std::uint64_t>(offset));
  const auto k = static_cast<std::size_t>((it - begin) - 1);
  const QTextBlock block = document()->findBlockByNumber(static_cast<int>(k));
  const std::uint64_t within = offset - starts_[k];
  const int line_units = block.length() - 1;
  // At or past the end of the line (inside its CRLF, or past the text): the line end.
  if (within >= blocks_[k].bytes) return block.position() + line_units;
  if (blocks_[k].single_byte) return block.position() + static_cast<int>(within);
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

// ---------------------------------------------------------------------------
// Encoding.

std::string QtEditPane::EncodeRange(int from, int to) const {
  if (to <= from) return {};
  QTextCursor cursor(document());
  cursor.setPosition(from);
  cursor.setPosition(to, QTextCursor::KeepAnchor);
  const QString raw = cursor.selectedText();  // lines separated by U+2029
  std::vector<std::size_t> alternates;
  std::vector<std::uint16_t> codes;
  if (has_alternates_) {
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid()) continue;
        const QVariant code = fragment.charFormat().property(kCodeProperty);
        if (!code.isValid()) continue;
        const int start = std::max(fragment.position(), from);
        const int end = std::min(fragment.position() + fragment.length(), to);
        for (int p = start; p < end; ++p) {
          alternates.push_back(static_cast<std::size_t>(p - from));
          codes.push_back(static_cast<std::uint16_t>(code.toUInt()));
        }
      }
    }
  }
  return EncodeLines(View(raw), QChar::ParagraphSeparator, alternates, codes);
}

std::string QtEditPane::Text() const {
  if (!has_alternates_) return EncodeLines(View(document()->toRawText()), QChar::ParagraphSeparator);
  return EncodeRange(0, document()->characterCount() - 1);
}

std::string QtEditPane::SelectedText() const {
  const QTextCursor cursor = textCursor();
  return EncodeRange(cursor.selectionStart(), cursor.selectionEnd());
}

// ---------------------------------------------------------------------------
// Programmatic edits.

void QtEditPane::SetText(std::string_view bytes) {
  std::vector<std::size_t> alternates;
  std::vector<std::uint16_t> codes;
  std::vector<std::uint32_t> line_bytes;
  std::vector<std::uint32_t> line_units;
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  const std::size_t n = DecodeLines(bytes, reinterpret_cast<char16_t*>(text.data()), &alternates, &codes,
                                    &line_bytes, &line_units);
  text.truncate(static_cast<qsizetype>(n));

  loading_ = true;
  setPlainText(text);
  QTextDocument* doc = document();
  if (!alternates.empty()) {
    QTextCursor cursor(doc);
    for (std::size_t i = 0; i < alternates.size(); ++i) {
      QTextCharFormat format;
      format.setProperty(kCodeProperty, static_cast<unsigned>(codes[i]));
      cursor.setPosition(static_cast<int>(alternates[i]));
      cursor.setPosition(static_cast<int>(alternates[i]) + 1, QTextCursor::KeepAnchor);
      cursor.mergeCharFormat(format);
    }
  }
  loading_ = false;
  has_alternates_ = !alternates.empty();

  blocks_.resize(line_bytes.size());
  for (std::size_t i = 0; i < line_bytes.size(); ++i) blocks_[i] = BlockInfo{line_bytes[i], line_bytes[i] == line_units[i]};
  valid_starts_ = 0;
  if (static_cast<int>(blocks_.size()) != doc->blockCount()) RebuildBlocks();  // never expected

  doc->clearUndoRedoStacks();
  QTextCursor start(doc);
  setTextCursor(start);
  doc->setModified(false);
}

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

void QtEditPane::ReplaceSelection(std::string_view bytes) {
  std::vector<std::size_t> alternates;
  std::vector<std::uint16_t> codes;
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  text.truncate(static_cast<qsizetype>(
      DecodeLines(bytes, reinterpret_cast<char16_t*>(text.data()), &alternates, &codes, nullptr)));
  InsertDecoded(text, alternates, codes);
  // Not an undoable step: like the Windows control, forget the undo history.
  document()->clearUndoRedoStacks();
  document()->setModified(true);
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

std::size_t QtEditPane::TextLength() const {
  const int n = static_cast<int>(blocks_.size());
  EnsureStarts(n - 1);
  return starts_[static_cast<std::size_t>(n - 1)] + blocks_.back().bytes;
}

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
  return document()->findBlock(PositionOfOffset(offset)).blockNumber();
}

std::size_t QtEditPane::LineStart(int line) const {
  if (line < 0) return 0;
  if (line >= static_cast<int>(blocks_.size())) return TextLength();
  EnsureStarts(line);
  return starts_[static_cast<std::size_t>(line)];
}

CaretPos QtEditPane::CaretPosition() const {
  const int position = textCursor().selectionStart();
  const QTextBlock block = document()->findBlock(position);
  const std::size_t offset = OffsetOfPosition(position);
  return CaretPos{static_cast<int>(offset - LineStart(block.blockNumber())), block.blockNumber()};
}

void QtEditPane::SelectAll() { selectAll(); }
bool QtEditPane::Modified() const { return document()->isModified(); }
void QtEditPane::SetModified(bool modified) { document()->setModified(modified); }
void QtEditPane::ScrollCaretIntoView() { ensureCursorVisible(); }
void QtEditPane::Focus() { setFocus(Qt::OtherFocusReason); }
void QtEditPane::Undo() { undo(); }

// ---------------------------------------------------------------------------
// User input.

bool QtEditPane::AcceptInput(QString& text) {
  QChar* d = text.data();
  for (qsizetype i = 0; i < text.size(); ++i) d[i] = QChar(ToCp932Twin(d[i].unicode()));
  const QString bad = FirstUnencodable(text);
  if (bad.isEmpty()) return true;
  emit inputRefused(RefusedMessage(bad));
  return false;
}

void QtEditPane::InsertUserText(const QString& text) {
  QTextCursor cursor = textCursor();
  cursor.insertText(text, QTextCharFormat());
  setTextCursor(cursor);
  ensureCursorVisible();
}

void QtEditPane::keyPressEvent(QKeyEvent* event) {
  emit keyDown(event->key(), event->modifiers());
  QString text = event->text();
  if (IsTypedText(text) && !isReadOnly()) {
    if (AcceptInput(text)) InsertUserText(text);
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void QtEditPane::keyReleaseEvent(QKeyEvent* event) {
  QPlainTextEdit::keyReleaseEvent(event);
  emit keyUp(event->key(), event->modifiers());
}

void QtEditPane::mousePressEvent(QMouseEvent* event) {
  QPlainTextEdit::mousePressEvent(event);
  emit mouseDown(event->button());
}

void QtEditPane::inputMethodEvent(QInputMethodEvent* event) {
  QString commit = event->commitString();
  if (commit.isEmpty() || isReadOnly()) {
    QPlainTextEdit::inputMethodEvent(event);
    return;
  }
  if (!AcceptInput(commit)) {
    // Drop the commit and the composition with it.
    QInputMethodEvent cleared;
    QPlainTextEdit::inputMethodEvent(&cleared);
    event->accept();
    return;
  }
  if (event->replacementLength() == 0) {
    // Insert the commit ourselves (plain format), then let the base class
    // show the new composition, if any.
    InsertUserText(commit);
    QInputMethodEvent rest(event->preeditString(), event->attributes());
    QPlainTextEdit::inputMethodEvent(&rest);
    event->accept();
    return;
  }
  QInputMethodEvent copy(event->preeditString(), event->attributes());
  copy.setCommitString(commit, event->replacementStart(), event->replacementLength());
  QPlainTextEdit::inputMethodEvent(&copy);
  event->accept();
}

bool QtEditPane::canInsertFromMimeData(const QMimeData* source) const {
  // Text with characters CP932 lacks is still accepted here, so that the
  // drop or paste reaches insertFromMimeData and is refused with a message.
  return source != nullptr && source->hasText();
}

void QtEditPane::insertFromMimeData(const QMimeData* source) {
  if (source == nullptr || !source->hasText() || isReadOnly()) return;
  QString text = source->text();
  if (text.isEmpty() || !AcceptInput(text)) return;
  InsertUserText(text);
}

}  // namespace hemlo::text
