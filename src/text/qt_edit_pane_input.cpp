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
#include "text/qt_edit_pane_marks.h"
#include "text/utf8.h"
#include "text/sjis_bridge.h"

namespace hemlo::text {

using pane::View;

namespace {

// Indices of U+F780-U+F7FF in text a user enters.
std::vector<std::size_t> UserPrivateUse(const QString& text) {
  std::vector<std::size_t> at;
  for (qsizetype i = 0; i < text.size(); ++i)
    if (IsUtf8RawUnit(text[i].unicode())) at.push_back(static_cast<std::size_t>(i));
  return at;
}

// True when a key press carries text to insert (not a control character).
// Private-use characters and half a surrogate pair are not printable, but
// they arrive as text: they are taken or refused like any other.
bool IsTypedText(const QString& text) {
  if (text.isEmpty()) return false;
  const QChar first = text.at(0);
  char32_t cp = first.unicode();
  if (text.size() > 1 && first.isHighSurrogate() && text.at(1).isLowSurrogate()) {
    cp = QChar::surrogateToUcs4(first, text.at(1));
  } else if (first.isSurrogate()) {
    return true;
  }
  if (QChar::category(cp) == QChar::Other_PrivateUse) return true;
  return QChar::isPrint(cp) && cp != 0x7F;
}

}  // namespace

bool QtEditPane::AcceptInput(QString& text) {
  if (encoding_ == Encoding::kShiftJis) text = sjis::WithTwins(std::move(text));
  // A pasted paragraph separator becomes a line break, like '\n'.
  const QString bad = sjis::FirstRefusedInput(
      text.contains(QChar::ParagraphSeparator)
          ? QString(text).replace(QChar::ParagraphSeparator, QLatin1Char('\n'))
          : text,
      encoding_);
  if (!bad.isEmpty()) {
    emit inputRefused(sjis::RefusedMessage(bad, encoding_));
    return false;
  }
  if (encoding_ == Encoding::kShiftJis) return true;
  // Every character typed into a UTF-8 document needs a command-view code.
  if (const std::size_t at = codes_.Admit(View(text), UserPrivateUse(text));
      at != std::u16string_view::npos) {
    emit inputRefused(QString::fromStdString(CodeTableFullMessage(View(text), at)));
    return false;
  }
  return true;
}

void QtEditPane::InsertUserText(const QString& text, int caret_back) {
  QTextCursor cursor = textCursor();
  // Characters typed one after another at the caret are one undo step;
  // anything else in between (a command, an undo, a caret move) starts a new one.
  if (!cursor.hasSelection() && cursor.position() == typing_end_ && HistoryPoint() == typing_at_)
    cursor.joinPreviousEditBlock();
  else
    cursor.beginEditBlock();
  const std::vector<std::size_t> genuine =
      encoding_ == Encoding::kUtf8 ? UserPrivateUse(text) : std::vector<std::size_t>{};
  if (genuine.empty()) {
    cursor.insertText(text, QTextCharFormat());
  } else {
    // Private-use characters the user enters are characters, not raw bytes.
    QTextCharFormat mark;
    mark.setProperty(pane::kCodeProperty, static_cast<unsigned>(pane::kGenuineMark));
    has_alternates_ = true;
    std::size_t from = 0;
    for (const std::size_t at : genuine) {
      cursor.insertText(text.mid(static_cast<qsizetype>(from), static_cast<qsizetype>(at - from)),
                        QTextCharFormat());
      cursor.insertText(text.mid(static_cast<qsizetype>(at), 1), mark);
      from = at + 1;
    }
    cursor.insertText(text.mid(static_cast<qsizetype>(from)), QTextCharFormat());
  }
  cursor.endEditBlock();
  if (caret_back > 0) cursor.setPosition(cursor.position() - caret_back);
  setTextCursor(cursor);
  typing_end_ = cursor.position();
  typing_at_ = HistoryPoint();
  typed_since_match_ = true;
  ensureCursorVisible();
}

void QtEditPane::keyPressEvent(QKeyEvent* event) {
  emit keyDown(event->key(), event->modifiers());
  if (CompletionKey(event)) {
    event->accept();
    return;
  }
  QString text = event->text();
  // Ctrl with a letter is a command even where the key comes with the
  // letter as its text (input methods, remote desktops, synthetic keys):
  // Ctrl+Z and Ctrl+Y must undo and redo, not type. AltGr (Ctrl+Alt) types.
  const Qt::KeyboardModifiers command =
      event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  const bool typed = command != Qt::ControlModifier && IsTypedText(text);
  if (typed && !isReadOnly()) {
    if (TakeTypedEndTag(text)) {
      HideCompletion();
      event->accept();
      return;
    }
    if (AcceptInput(text)) {
      if (!closing_tags_ || text.size() != 1 || !TypeWithEndTag(text.at(0)))
        InsertUserText(text);
      if (completion_ && text.size() == 1) CompleteAfter(text.at(0));
    }
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
  // Backspace narrows the list back; any other key ends it.
  if (CompletionShown()) {
    if (event->key() == Qt::Key_Backspace)
      RefreshCompletion(false);
    else if (event->key() != Qt::Key_Shift && event->key() != Qt::Key_Control)
      HideCompletion();
  }
}

void QtEditPane::keyReleaseEvent(QKeyEvent* event) {
  QPlainTextEdit::keyReleaseEvent(event);
  emit keyUp(event->key(), event->modifiers());
}

void QtEditPane::mousePressEvent(QMouseEvent* event) {
  HideCompletion();
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
  HideCompletion();
  if (text.isEmpty() || !AcceptInput(text)) return;
  InsertUserText(text);
}

}  // namespace hemlo::text
