#include "text/sjis_bridge.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QStatusTipEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

#include "text/cp932.h"
#include "text/utf8.h"
#include "text/view_codes.h"

namespace hemlo::sjis {

namespace {
std::u16string_view View(const QString& s) {
  return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

// Index and length of the first unit run CP932 cannot hold; -1 when none.
qsizetype FirstRefused(const QString& text, qsizetype* length) {
  const QChar* d = text.constData();
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = d[i].unicode();
    if (u == u'\r' || u == u'\n') continue;
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(d[i + 1].unicode())) {
      if (!text::CanEncode(QChar::surrogateToUcs4(d[i], d[i + 1]))) {
        *length = 2;
        return i;
      }
      ++i;
      continue;
    }
    if (!text::CanEncode(u)) {
      *length = 1;
      return i;
    }
  }
  return -1;
}

// Index of the first half of a surrogate pair that stands alone; -1 when none.
qsizetype LoneSurrogate(const QString& text) {
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
      ++i;
      continue;
    }
    if (c.isSurrogate()) return i;
  }
  return -1;
}

// Half a pair cannot be shown: it is named by its number.
QString Shown(QChar unit) {
  return QStringLiteral("U+%1").arg(unit.unicode(), 4, 16, QLatin1Char('0')).toUpper();
}

Encoded EncodeWith(const QString& text, bool lines) {
  const QString twins = WithTwins(text);
  Encoded out;
  out.refused = FirstUnencodable(twins);
  if (!out.ok()) return out;
  if (lines) {
    out.bytes = text::EncodeLines(View(twins), u'\n');
  } else if (auto bytes = text::Encode(View(twins))) {
    out.bytes = std::move(*bytes);
  }
  return out;
}
}  // namespace

QString Decode(std::string_view bytes) {
  const text::Decoded d = text::Decode(bytes);
  return QString::fromUtf16(d.text.data(), static_cast<qsizetype>(d.text.size()));
}

QString DecodeLines(std::string_view bytes) {
  std::u16string buffer(bytes.size(), u'\0');
  const std::size_t n = text::DecodeLines(bytes, buffer.data(), nullptr, nullptr, nullptr);
  return QString::fromUtf16(buffer.data(), static_cast<qsizetype>(n));
}

QString WithTwins(QString text) {
  for (QChar& c : text) c = QChar(text::ToCp932Twin(c.unicode()));
  return text;
}

QString FirstUnencodable(const QString& text) {
  const QString twins = WithTwins(text);
  qsizetype length = 0;
  const qsizetype at = FirstRefused(twins, &length);
  return at < 0 ? QString() : twins.mid(at, length);
}

Encoded Encode(const QString& text) { return EncodeWith(text, false); }
Encoded EncodeLines(const QString& text) { return EncodeWith(text, true); }

Encoded EncodeFor(const QString& text, text::Encoding encoding) {
  if (encoding == text::Encoding::kShiftJis) return Encode(text);
  if (const qsizetype at = LoneSurrogate(text); at >= 0) return Encoded{{}, Shown(text[at])};
  // Private-use characters typed here are characters, never raw-byte stand-ins.
  std::vector<std::size_t> genuine;
  for (qsizetype i = 0; i < text.size(); ++i)
    if (text::IsUtf8RawUnit(text[i].unicode())) genuine.push_back(static_cast<std::size_t>(i));
  text::ViewCodes codes;
  if (const std::size_t at = codes.Admit(View(text), genuine); at != std::u16string_view::npos)
    return Encoded{{}, text.mid(static_cast<qsizetype>(at), text[at].isHighSurrogate() ? 2 : 1)};
  return Encoded{text::EncodeView(View(text), u'\n', genuine, {}, {}, codes), {}};
}

Encoded EncodeLinesFor(const QString& text, text::Encoding encoding) {
  return encoding == text::Encoding::kShiftJis ? EncodeLines(text) : EncodeFor(text, encoding);
}

QString DecodeFor(std::string_view bytes, text::Encoding encoding) {
  if (encoding == text::Encoding::kShiftJis) return DecodeLines(bytes);
  const text::ViewText v = text::DecodeView(bytes, text::ViewCodes());
  return QString::fromUtf16(v.text.data(), static_cast<qsizetype>(v.text.size()));
}

QString FirstRefusedInput(const QString& text, text::Encoding encoding) {
  if (const qsizetype at = LoneSurrogate(text); at >= 0) return Shown(text[at]);
  if (encoding == text::Encoding::kUtf8) return {};
  for (const QChar c : text)
    if (text::IsUtf8RawUnit(c.unicode())) return QString(c);
  return FirstUnencodable(text);
}

QString RefusedMessage(const QString& what, text::Encoding encoding) {
  return encoding == text::Encoding::kUtf8
             ? QStringLiteral("UTF-8 で表せない文字は入力できません（%1）").arg(what)
             : QStringLiteral("Shift-JIS で表せない文字は入力できません（%1）").arg(what);
}

void ReportRefused(QWidget* field, const QString& what, text::Encoding encoding) {
  // Status tips stop at a window; a dialog's message goes on to its owner's.
  for (QWidget* w = field; w; w = w->parentWidget()) {
    if (qobject_cast<QMainWindow*>(w)) {
      QStatusTipEvent tip(RefusedMessage(what, encoding));
      QCoreApplication::sendEvent(w, &tip);
      return;
    }
  }
}

SjisValidator::SjisValidator(QWidget* field, EncodingSource encoding)
    : QValidator(field), encoding_(std::move(encoding)) {}

text::Encoding SjisValidator::Bound() const {
  return encoding_ ? encoding_() : text::Encoding::kShiftJis;
}

QValidator::State SjisValidator::validate(QString& input, int&) const {
  const text::Encoding encoding = Bound();
  if (encoding == text::Encoding::kShiftJis) input = WithTwins(input);
  // Text the program sets leaves the field unmodified; its stand-ins for raw
  // bytes are the bytes it was given.
  const auto* edit = qobject_cast<const QLineEdit*>(parent());
  if (const auto* combo = qobject_cast<const QComboBox*>(parent())) edit = combo->lineEdit();
  if (edit && !edit->isModified()) baseline_ = input;
  QString own = baseline_;
  QString entered;
  for (const QChar c : input) {
    const qsizetype at = text::IsUtf8RawUnit(c.unicode()) ? own.indexOf(c) : -1;
    if (at >= 0)
      own.remove(at, 1);
    else
      entered += c;
  }
  const QString refused = FirstRefusedInput(entered, encoding);
  if (refused.isEmpty()) return Acceptable;
  ReportRefused(qobject_cast<QWidget*>(parent()), refused, encoding);
  return Invalid;
}

void SjisValidator::fixup(QString& input) const {
  if (Bound() == text::Encoding::kShiftJis) input = WithTwins(input);
}

void GuardField(QLineEdit* edit, EncodingSource encoding) {
  edit->setValidator(new SjisValidator(edit, std::move(encoding)));
}

void GuardField(QComboBox* combo, EncodingSource encoding) {
  combo->setValidator(new SjisValidator(combo, std::move(encoding)));
}

void GuardField(QPlainTextEdit* box, EncodingSource encoding) {
  QObject::connect(
      box->document(), &QTextDocument::contentsChange, box,
      [box, encoding = std::move(encoding)](int position, int, int added) {
        if (added <= 0) return;
        const text::Encoding bound = encoding ? encoding() : text::Encoding::kShiftJis;
        // setPlainText turns undo off while it fills the box: raw-byte
        // stand-ins the program puts there are the bytes it was given.
        const bool set_by_program = !box->document()->isUndoRedoEnabled();
        // A whole new text counts the closing paragraph too.
        const int end = std::min(position + added, box->document()->characterCount() - 1);
        if (end <= position) return;
        QTextCursor cursor(box->document());
        cursor.setPosition(position);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        const QString arrived = cursor.selectedText();
        const QString twins = bound == text::Encoding::kShiftJis ? WithTwins(arrived) : arrived;
        QString kept;
        QString refused;
        for (qsizetype i = 0; i < twins.size(); ++i) {
          qsizetype length = 1;
          if (twins[i].isHighSurrogate() && i + 1 < twins.size() && twins[i + 1].isLowSurrogate())
            length = 2;
          const QString one = twins.mid(i, length);
          i += length - 1;
          if (one == QChar::ParagraphSeparator ||
              (set_by_program && text::IsUtf8RawUnit(one[0].unicode()))) {
            kept += one;
          } else if (const QString bad = FirstRefusedInput(one, bound); bad.isEmpty()) {
            kept += one;
          } else if (refused.isEmpty()) {
            refused = bad;
          }
        }
        if (kept == arrived) return;
        cursor.insertText(kept);  // the edit re-enters with acceptable text only
        if (!refused.isEmpty()) ReportRefused(box, refused, bound);
      });
}

}  // namespace hemlo::sjis
