#include "text/qt_edit_pane.h"

#include <QAbstractUndoItem>
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
#include "text/utf8.h"

namespace hemlo::text {

namespace {

// Character-format property holding the non-preferred CP932 code of a character.
constexpr int kCodeProperty = QTextFormat::UserProperty + 932;
// Its value for a genuine U+F780-U+F7FF character of a UTF-8 document.
constexpr std::uint16_t kGenuineMark = 0xFFFF;
constexpr std::size_t kMaxLineListItem = 4096;

// An encoding conversion in the undo history.
class EncodingUndo : public QAbstractUndoItem {
 public:
  EncodingUndo(QtEditPane* pane, Encoding before, bool bom_before, Encoding after, bool bom_after)
      : pane_(pane),
        before_(before),
        after_(after),
        bom_before_(bom_before),
        bom_after_(bom_after) {}
  void undo() override { pane_->SetDocumentState(before_, bom_before_); }
  void redo() override { pane_->SetDocumentState(after_, bom_after_); }

 private:
  QtEditPane* pane_;
  Encoding before_, after_;
  bool bom_before_, bom_after_;
};

// Splits marks into genuine characters and alternates.
void SplitMarks(const std::vector<std::size_t>& at, const std::vector<std::uint16_t>& codes,
                std::vector<std::size_t>& genuine, std::vector<std::size_t>& alternates,
                std::vector<std::uint16_t>& alternate_codes) {
  for (std::size_t i = 0; i < at.size(); ++i) {
    if (codes[i] == kGenuineMark) {
      genuine.push_back(at[i]);
    } else {
      alternates.push_back(at[i]);
      alternate_codes.push_back(codes[i]);
    }
  }
}

std::u16string_view View(const QString& s) {
  return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

// Bytes of units [from, to) of a block's text.
std::size_t BytesOf(const QString& text, qsizetype from, qsizetype to) {
  std::size_t n = 0;
  const QChar* d = text.constData();
  for (qsizetype i = from; i < to; ++i)
    n += static_cast<std::size_t>(EncodedLength(d[i].unicode()));
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
}

QString QtEditPane::RefusedMessage(const QString& what) {
  return QStringLiteral("Shift-JIS で表せない文字は入力できません（%1）").arg(what);
}

// ---------------------------------------------------------------------------
// Block cache.

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

void QtEditPane::OnContentsChange(int position, int /*removed*/, int added) {
  if (decorating_) return;    // colours only
  text_cache_valid_ = false;  // text or a character's stored code changed
  states_valid_ = std::min(states_valid_, document()->findBlock(position).blockNumber());
  if (states_valid_ < 0) states_valid_ = 0;
  if (loading_) return;
  QTextDocument* doc = document();
  const int new_count = doc->blockCount();
  const int old_count = static_cast<int>(lines_.size());
  const QTextBlock first = doc->findBlock(position);
  const QTextBlock last = doc->findBlock(std::min(position + added, doc->characterCount() - 1));
  if (!first.isValid() || !last.isValid()) {
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
  std::vector<LineIndex::Line> fresh;
  fresh.reserve(static_cast<std::size_t>(e - b + 1));
  QTextBlock block = first;
  for (int i = b; i <= e && block.isValid(); ++i, block = block.next())
    fresh.push_back(Measure(block));
  lines_.Replace(static_cast<std::size_t>(b), static_cast<std::size_t>(old_e - b + 1), fresh);
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

// ---------------------------------------------------------------------------
// Encoding.

void QtEditPane::CollectMarks(int from, int to, std::vector<std::size_t>& at,
                              std::vector<std::uint16_t>& codes) const {
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
        at.push_back(static_cast<std::size_t>(p));
        codes.push_back(static_cast<std::uint16_t>(code.toUInt()));
      }
    }
  }
}

std::string QtEditPane::EncodeRange(int from, int to) const {
  if (to <= from) return {};
  QTextCursor cursor(document());
  cursor.setPosition(from);
  cursor.setPosition(to, QTextCursor::KeepAnchor);
  const QString raw = cursor.selectedText();  // lines separated by U+2029
  std::vector<std::size_t> at;
  std::vector<std::uint16_t> codes;
  if (has_alternates_) {
    CollectMarks(from, to, at, codes);
    for (std::size_t& p : at) p -= static_cast<std::size_t>(from);
  }
  std::vector<std::size_t> genuine, alternates;
  std::vector<std::uint16_t> alternate_codes;
  SplitMarks(at, codes, genuine, alternates, alternate_codes);
  if (encoding_ == Encoding::kUtf8)
    return EncodeView(View(raw), QChar::ParagraphSeparator, genuine, alternates, alternate_codes,
                      codes_);
  return EncodeLines(View(raw), QChar::ParagraphSeparator, alternates, alternate_codes);
}

std::string QtEditPane::Text() const {
  // Find next, save and preview each read the whole text; encoding 20 MB
  // every time would dominate them, so the bytes are kept until an edit.
  if (text_cache_valid_) return text_cache_;
  if (has_alternates_)
    text_cache_ = EncodeRange(0, document()->characterCount() - 1);
  else if (encoding_ == Encoding::kUtf8)
    text_cache_ =
        EncodeView(View(document()->toRawText()), QChar::ParagraphSeparator, {}, {}, {}, codes_);
  else
    text_cache_ = EncodeLines(View(document()->toRawText()), QChar::ParagraphSeparator);
  text_cache_valid_ = true;
  return text_cache_;
}

std::string QtEditPane::SelectedText() const {
  const QTextCursor cursor = textCursor();
  return EncodeRange(cursor.selectionStart(), cursor.selectionEnd());
}

// ---------------------------------------------------------------------------
// Programmatic edits.

QtEditPane::Decoded QtEditPane::DecodeForDocument(std::string_view bytes) const {
  Decoded d;
  if (encoding_ == Encoding::kUtf8) {
    ViewText v = DecodeView(bytes, codes_);
    d.text = QString::fromUtf16(v.text.data(), static_cast<qsizetype>(v.text.size()));
    // Both kinds of mark, merged in order.
    std::size_t g = 0, a = 0;
    while (g < v.genuine.size() || a < v.alternates.size()) {
      if (a == v.alternates.size() || (g < v.genuine.size() && v.genuine[g] < v.alternates[a])) {
        d.marked.push_back(v.genuine[g++]);
        d.codes.push_back(kGenuineMark);
      } else {
        d.marked.push_back(v.alternates[a]);
        d.codes.push_back(v.alternate_codes[a++]);
      }
    }
    return d;
  }
  d.text = QString(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  d.text.truncate(static_cast<qsizetype>(DecodeLines(
      bytes, reinterpret_cast<char16_t*>(d.text.data()), &d.marked, &d.codes, nullptr)));
  return d;
}

void QtEditPane::LoadText(const QString& text, const std::vector<std::size_t>& marked,
                          const std::vector<std::uint16_t>& codes) {
  loading_ = true;
  states_valid_ = 0;
  setPlainText(text);
  QTextDocument* doc = document();
  if (!marked.empty()) {
    QTextCursor cursor(doc);
    for (std::size_t i = 0; i < marked.size(); ++i) {
      QTextCharFormat format;
      format.setProperty(kCodeProperty, static_cast<unsigned>(codes[i]));
      cursor.setPosition(static_cast<int>(marked[i]));
      cursor.setPosition(static_cast<int>(marked[i]) + 1, QTextCursor::KeepAnchor);
      cursor.mergeCharFormat(format);
    }
  }
  loading_ = false;
  has_alternates_ = !marked.empty();
  doc->clearUndoRedoStacks();
  setTextCursor(QTextCursor(doc));
  doc->setModified(false);
  soft_clean_at_ = forced_at_ = {-1, -1};
}

void QtEditPane::LoadDocument(std::string_view bytes, Encoding encoding) {
  encoding_ = encoding;
  bom_ = encoding == Encoding::kUtf8 && bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
  if (bom_) bytes.remove_prefix(kUtf8Bom.size());
  std::vector<std::size_t> marked;
  std::vector<std::uint16_t> codes;
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  if (encoding == Encoding::kUtf8) {
    text.truncate(static_cast<qsizetype>(
        DecodeUtf8Lines(bytes, reinterpret_cast<char16_t*>(text.data()), &marked)));
    codes.assign(marked.size(), kGenuineMark);
    LoadText(text, marked, codes);
    if (!marked.empty()) {
      RebuildBlocks();
    } else {
      // Line sizes straight from the decoded text: most characters have a
      // CP932 code, and only lines with others need the full rule.
      std::vector<LineIndex::Line> lines;
      std::vector<std::uint8_t> lengths;
      const char16_t* d = reinterpret_cast<const char16_t*>(text.utf16());
      const std::size_t n = static_cast<std::size_t>(text.size());
      for (std::size_t start = 0;;) {
        std::size_t end = start;
        std::size_t bytes = 0;
        bool plain = true;
        for (; end < n && d[end] != u'\n'; ++end) {
          const char16_t u = d[end];
          const int len = (u >= 0xD800 && u <= 0xDFFF) || IsUtf8RawUnit(u) ? 0 : EncodedLength(u);
          if (len == 0) plain = false;
          bytes += static_cast<std::size_t>(len);
        }
        if (!plain) {
          ViewUnitLengths(std::u16string_view(d + start, end - start), nullptr, lengths);
          bytes = 0;
          for (std::uint8_t l : lengths) bytes += l;
        }
        lines.push_back(LineIndex::Line{static_cast<std::uint32_t>(bytes), bytes == end - start});
        if (end >= n) break;
        start = end + 1;
      }
      lines_.Assign(lines);
      if (static_cast<int>(lines_.size()) != document()->blockCount())
        RebuildBlocks();  // never expected
    }
  } else {
    std::vector<std::uint32_t> line_bytes;
    std::vector<std::uint32_t> line_units;
    text.truncate(
        static_cast<qsizetype>(DecodeLines(bytes, reinterpret_cast<char16_t*>(text.data()), &marked,
                                           &codes, &line_bytes, &line_units)));
    LoadText(text, marked, codes);
    std::vector<LineIndex::Line> lines(line_bytes.size());
    for (std::size_t i = 0; i < line_bytes.size(); ++i)
      lines[i] = LineIndex::Line{line_bytes[i], line_bytes[i] == line_units[i]};
    lines_.Assign(lines);
    if (static_cast<int>(lines_.size()) != document()->blockCount())
      RebuildBlocks();  // never expected
    // Decoding is lossless, so the loaded bytes are the pane's text.
    text_cache_ = NormalizeLineBreaks(bytes);
    text_cache_valid_ = true;
  }
  emit encodingChanged();
}

std::string QtEditPane::DocumentBytes() const {
  if (encoding_ == Encoding::kShiftJis) return Text();
  std::vector<std::size_t> genuine;
  if (has_alternates_) {
    std::vector<std::size_t> at, alternates;
    std::vector<std::uint16_t> codes, alternate_codes;
    CollectMarks(0, document()->characterCount() - 1, at, codes);
    SplitMarks(at, codes, genuine, alternates, alternate_codes);
  }
  std::string out = bom_ ? std::string(kUtf8Bom) : std::string();
  out += EncodeUtf8Lines(View(document()->toRawText()), QChar::ParagraphSeparator, genuine);
  return out;
}

void QtEditPane::SetDocumentState(Encoding encoding, bool bom) {
  encoding_ = encoding;
  bom_ = bom;
  text_cache_valid_ = false;
  RebuildBlocks();
  emit encodingChanged();
}

std::string QtEditPane::ConvertEncoding(Encoding to) {
  if (to == encoding_) return {};
  QTextDocument* doc = document();
  if (to == Encoding::kShiftJis) {
    std::vector<std::size_t> genuine;
    if (has_alternates_) {
      std::vector<std::size_t> at, alternates;
      std::vector<std::uint16_t> codes, alternate_codes;
      CollectMarks(0, doc->characterCount() - 1, at, codes);
      SplitMarks(at, codes, genuine, alternates, alternate_codes);
    }
    QString raw = doc->toRawText();
    raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    if (std::string refusal = ShiftJisRefusal(View(raw), genuine); !refusal.empty()) return refusal;
  }
  // The charset declaration near the top, found in the text's ASCII form.
  const int head_units = std::min(doc->characterCount() - 1, 1024);
  QString head = doc->toRawText().left(head_units);
  std::string ascii(static_cast<std::size_t>(head.size()), '?');
  for (qsizetype i = 0; i < head.size(); ++i) {
    const char16_t u = head.at(i).unicode();
    ascii[static_cast<std::size_t>(i)] =
        u < 0x80 ? static_cast<char>(u) : (u == QChar::ParagraphSeparator ? '\n' : '?');
  }
  const auto declaration = FindCharsetDeclaration(ascii);

  QTextCursor cursor(doc);
  cursor.beginEditBlock();
  auto* item = new EncodingUndo(this, encoding_, bom_, to, false);
  item->redo();
  doc->appendUndoItem(item);
  if (declaration) {
    cursor.setPosition(static_cast<int>(declaration->offset));
    cursor.setPosition(static_cast<int>(declaration->offset + declaration->length),
                       QTextCursor::KeepAnchor);
    cursor.insertText(to == Encoding::kUtf8 ? QStringLiteral("UTF-8") : QStringLiteral("Shift_JIS"),
                      QTextCharFormat());
  }
  cursor.endEditBlock();
  setTextCursor(QTextCursor(doc));
  return {};
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

// ---------------------------------------------------------------------------
// User input.

bool QtEditPane::AcceptInput(QString& text) {
  if (encoding_ == Encoding::kUtf8) return true;  // UTF-8 holds every character
  QChar* d = text.data();
  for (qsizetype i = 0; i < text.size(); ++i) d[i] = QChar(ToCp932Twin(d[i].unicode()));
  const QString bad = FirstUnencodable(text);
  if (bad.isEmpty()) return true;
  emit inputRefused(RefusedMessage(bad));
  return false;
}

void QtEditPane::InsertUserText(const QString& text) {
  QTextCursor cursor = textCursor();
  // Characters typed one after another at the caret are one undo step;
  // anything else in between (a command, an undo, a caret move) starts a new one.
  if (!cursor.hasSelection() && cursor.position() == typing_end_ && HistoryPoint() == typing_at_)
    cursor.joinPreviousEditBlock();
  else
    cursor.beginEditBlock();
  cursor.insertText(text, QTextCharFormat());
  cursor.endEditBlock();
  setTextCursor(cursor);
  typing_end_ = cursor.position();
  typing_at_ = HistoryPoint();
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

QMimeData* QtEditPane::createMimeDataFromSelection() const {
  QMimeData* mime = QPlainTextEdit::createMimeDataFromSelection();
  const std::string bytes = SelectedText();
  mime->setData(QString::fromLatin1(kCp932MimeType),
                QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return mime;
}

void QtEditPane::insertFromMimeData(const QMimeData* source) {
  if (source == nullptr || !source->hasText() || isReadOnly()) return;
  QString text = source->text();
  if (source->hasFormat(QString::fromLatin1(kCp932MimeType))) {
    // Our own copy: insert the exact bytes, if they still match the text.
    const QByteArray bytes = source->data(QString::fromLatin1(kCp932MimeType));
    const Decoded d = DecodeForDocument(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    const QString& decoded = d.text;
    const std::vector<std::size_t>& alternates = d.marked;
    const std::vector<std::uint16_t>& codes = d.codes;
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (decoded == plain) {
      InsertDecoded(decoded, alternates, codes);
      ensureCursorVisible();
      return;
    }
  }
  if (text.isEmpty() || !AcceptInput(text)) return;
  InsertUserText(text);
}

}  // namespace hemlo::text
