// QtEditPane's user input: typed keys, input-method commits, paste and
// drops, with input a Shift-JIS document cannot hold refused.
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <utility>

#include "text/qt_edit_pane.h"
#include "text/sjis_bridge.h"

namespace hemlo::text {

namespace {

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

bool QtEditPane::AcceptInput(QString& text) {
  if (encoding_ == Encoding::kUtf8) return true;  // UTF-8 holds every character
  text = sjis::WithTwins(std::move(text));
  // A pasted paragraph separator becomes a line break, like '\n'.
  const QString bad = sjis::FirstUnencodable(
      text.contains(QChar::ParagraphSeparator)
          ? QString(text).replace(QChar::ParagraphSeparator, QLatin1Char('\n'))
          : text);
  if (bad.isEmpty()) return true;
  emit inputRefused(sjis::RefusedMessage(bad));
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
  // Ctrl with a letter is a command even where the key comes with the
  // letter as its text (input methods, remote desktops, synthetic keys):
  // Ctrl+Z and Ctrl+Y must undo and redo, not type. AltGr (Ctrl+Alt) types.
  const Qt::KeyboardModifiers command =
      event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  const bool typed = command != Qt::ControlModifier && IsTypedText(text);
  if (typed && !isReadOnly()) {
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
