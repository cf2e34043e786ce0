// QtEditPane's bytes: encoding the document (with the stored codes of
// alternates and genuine characters), decoding bytes into it, loading a file
// and converting between Shift-JIS and UTF-8.
#include <QAbstractUndoItem>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "text/byte_text.h"
#include "text/cp932.h"
#include "text/qt_edit_pane.h"
#include "text/qt_edit_pane_marks.h"
#include "text/utf8.h"

namespace hemlo::text {

using pane::kCodeProperty;
using pane::kGenuineMark;
using pane::View;

namespace {

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

}  // namespace

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

namespace {
// The most characters of the stretch kept (four looks of the widest rule).
constexpr int kMostKept = 256 * 1024;
// The most characters read or moved to keep the stretch whole: after its
// end (the end tag a typed "</" went over), or behind an edit in it.
constexpr int kMostGap = 4096;
}  // namespace

// The typing rules read up to 64 KiB before the caret on every key, and a
// little after it; typing only changes the text at the caret. The stretch
// last read is kept and followed along with edits (FollowRawCache).
bool QtEditPane::CoverRaw(int from, int to) const {
  if (!RawBytesUsable()) raw_bytes_valid_ = false;
  const int cached_end = raw_cache_from_ + static_cast<int>(raw_cache_.size());
  if (raw_cache_from_ < 0 || from > cached_end + kMostGap || to < raw_cache_from_ ||
      std::max(to, cached_end) - std::min(from, raw_cache_from_) > kMostKept)
    return false;
  // Only what the stretch lacks is read: a wider look back (end tags look
  // further than completion), or what lies after it.
  if (from < raw_cache_from_) {
    const QString head = ReadRaw(from, raw_cache_from_);
    raw_cache_.prepend(head);
    raw_cache_from_ = from;
    if (raw_bytes_valid_) {
      const std::string bytes = EncodeLines(View(head), QChar::ParagraphSeparator);
      raw_bytes_.insert(0, bytes);
      for (RawMark& m : raw_marks_)
        if (m.at >= 0) m = {m.at + static_cast<int>(head.size()), m.bytes + bytes.size()};
    }
  }
  if (to > cached_end) {
    const QString tail = ReadRaw(cached_end, to);
    raw_cache_ += tail;
    if (raw_bytes_valid_) raw_bytes_ += EncodeLines(View(tail), QChar::ParagraphSeparator);
  }
  return true;
}

QString QtEditPane::RawRange(int from, int to) const {
  if (CoverRaw(from, to)) return raw_cache_.mid(from - raw_cache_from_, to - from);
  QString raw = ReadRaw(from, to);
  if (to == textCursor().position() && to - from <= kMostKept) {
    raw_cache_ = raw;
    raw_cache_from_ = from;
    raw_bytes_valid_ = false;
  }
  return raw;
}

bool QtEditPane::RawBytesUsable() const {
  return encoding_ == Encoding::kShiftJis && !has_alternates_;
}

// Bytes of the stretch before `position`, counted from whichever end is nearer.
std::size_t QtEditPane::RawBytesOffset(int position) const {
  const auto bytes = [](QStringView s) {
    std::size_t n = 0;
    for (const QChar c : s)
      n +=
          c == QChar::ParagraphSeparator ? 2 : static_cast<std::size_t>(EncodedLength(c.unicode()));
    return n;
  };
  const int at = position - raw_cache_from_;
  RawMark base{0, 0};
  const RawMark end{static_cast<int>(raw_cache_.size()), raw_bytes_.size()};
  if (end.at - at < at) base = end;
  RawMark* near = nullptr;
  for (RawMark& m : raw_marks_) {
    if (m.at >= 0 && std::abs(m.at - at) < std::abs(base.at - at)) {
      base = m;
      near = &m;
    }
  }
  const std::size_t n = at >= base.at
                            ? base.bytes + bytes(QStringView(raw_cache_).mid(base.at, at - base.at))
                            : base.bytes - bytes(QStringView(raw_cache_).mid(at, base.at - at));
  // The mark it came from follows this read; a read far from every mark
  // takes the place of the oldest.
  if (near == nullptr || std::abs(near->at - at) > kMostGap) {
    near = &raw_marks_[raw_mark_next_];
    raw_mark_next_ = (raw_mark_next_ + 1) % raw_marks_.size();
  }
  *near = {at, n};
  return n;
}

void QtEditPane::FollowRawCache(int position, int removed, int added) {
  if (raw_cache_from_ < 0) return;
  const int end = raw_cache_from_ + static_cast<int>(raw_cache_.size());
  if (position + removed <= raw_cache_from_) {
    raw_cache_from_ += added - removed;  // before it: only moved
    return;
  }
  if (position < raw_cache_from_) {
    raw_cache_from_ = -1;  // its start changed: read again when next wanted
    raw_cache_.clear();
    raw_bytes_valid_ = false;
    return;
  }
  if (position > end) return;  // after it: as it was
  if (!RawBytesUsable()) raw_bytes_valid_ = false;
  // An edit inside the stretch or at its end. Near the end (a key typed at
  // the caret, with what follows the caret kept for the matching tag and
  // end tags) the edit is put in place; further back, only the part before
  // it is kept, and the rest is read again when wanted.
  const int at = position - raw_cache_from_;
  const int gone = std::min(removed, static_cast<int>(raw_cache_.size()) - at);
  const int after = static_cast<int>(raw_cache_.size()) - at - gone;
  if (added > kMostGap) {
    raw_cache_.truncate(at);
    raw_bytes_valid_ = false;
  } else if (after > kMostGap) {
    raw_cache_.truncate(at);
    raw_cache_ += ReadRaw(position, position + added);
    raw_bytes_valid_ = false;
  } else {
    const QString put = ReadRaw(position, position + added);
    if (raw_bytes_valid_) {
      // The bytes from the edit on are few: counted from the end.
      const std::size_t from = RawBytesOffset(position);
      const std::size_t to = RawBytesOffset(position + gone);
      raw_bytes_.replace(from, to - from, EncodeLines(View(put), QChar::ParagraphSeparator));
      // Marks after the edit's start no longer hold; those before it do.
      for (RawMark& m : raw_marks_)
        if (m.at > at) m = {};
    }
    raw_cache_.replace(at, gone, put);
  }
  if (raw_cache_.size() > kMostKept) {
    const qsizetype drop = raw_cache_.size() - kMostKept / 2;
    raw_cache_.remove(0, drop);
    raw_cache_from_ += static_cast<int>(drop);
    raw_bytes_valid_ = false;
  }
}

bool QtEditPane::RawCacheIsConsistent() const {
  if (raw_cache_from_ >= 0 && raw_bytes_valid_ && RawBytesUsable() &&
      raw_bytes_ != EncodeLines(View(raw_cache_), QChar::ParagraphSeparator))
    return false;
  return raw_cache_from_ < 0 ||
         raw_cache_ ==
             ReadRaw(raw_cache_from_, raw_cache_from_ + static_cast<int>(raw_cache_.size()));
}

// The characters from `from` to `to`, lines separated by U+2029 as a
// selection gives them. Read from the blocks: a cursor would place itself
// on the line (laying out and measuring it) only to be read from.
QString QtEditPane::ReadRaw(int from, int to) const {
  QString raw;
  raw.reserve(to - from);
  QTextBlock block = document()->findBlock(from);
  // A block's position is a search of the document; its length is not.
  for (int at = block.position(); block.isValid() && at < to;
       at += block.length(), block = block.next()) {
    const int start = std::max(0, from - at);
    const int end = std::min(block.length() - 1, to - at);
    if (end > start) raw += QStringView(block.text()).mid(start, end - start);
    if (at + block.length() - 1 < to) raw += QChar::ParagraphSeparator;
  }
  return raw;
}

std::string QtEditPane::EncodeRange(int from, int to) const {
  if (to <= from) return {};
  if (RawBytesUsable() && CoverRaw(from, to)) {
    if (!raw_bytes_valid_) {
      raw_bytes_ = EncodeLines(View(raw_cache_), QChar::ParagraphSeparator);
      raw_bytes_valid_ = true;
      raw_marks_.fill({});
    }
    const std::size_t start = RawBytesOffset(from);
    return raw_bytes_.substr(start, RawBytesOffset(to) - start);
  }
  const QString raw = RawRange(from, to);
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
// Decoding and loading.

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
  setPlainText(text);
  ResetSyntax();
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

std::string QtEditPane::LoadDocument(std::string_view bytes, Encoding encoding) {
  // Qt lays a line out whole, in time that grows faster than its length: a
  // page of one 50 MB line froze the window for a minute and took 2.4 GB,
  // one of 2 MB still took 8 s. Such a page is refused before any work.
  if (const LongestLine longest = FindLongestLine(bytes); longest.bytes > kLongestLine) {
    char size[32];
    std::snprintf(size, sizeof size, "%.1f", static_cast<double>(longest.bytes) / (1 << 20));
    return "このページは " + std::to_string(longest.line) + " 行目が " + size +
           " MB あり、1 行が長すぎるため開けません（1 行 1 MB まで）。"
           "ほかのエディタで改行を入れてから開いてください。";
  }
  const bool bom = encoding == Encoding::kUtf8 && bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
  if (bom) bytes.remove_prefix(kUtf8Bom.size());
  std::vector<std::size_t> marked;
  std::vector<std::uint16_t> codes;
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  if (encoding == Encoding::kUtf8) {
    text.truncate(static_cast<qsizetype>(
        DecodeUtf8Lines(bytes, reinterpret_cast<char16_t*>(text.data()), &marked)));
    if (const std::size_t at = codes_.Admit(View(text), marked); at != std::u16string::npos)
      return CodeTableFullMessage(View(text), at);
  }
  encoding_ = encoding;
  bom_ = bom;
  if (encoding == Encoding::kUtf8) {
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
  return {};
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

}  // namespace hemlo::text
