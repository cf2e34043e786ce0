#pragma once
// The one way between the toolkit's strings and Shift-JIS (CP932) bytes, for
// every form: decoding for display, encoding with an explicit result, the
// twin-character policy, and the input guard for fields whose text is bound
// for Shift-JIS.
#include <QString>
#include <QValidator>
#include <functional>
#include <string>
#include <string_view>

#include "text/document_encoding.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace hemlo::sjis {

// Bytes for display. Every byte sequence shows: bytes that form no character
// appear as stand-ins that Encode turns back into the same bytes. A character
// with two codes comes back with its preferred one; a form that must keep the
// other keeps the bytes beside the text.
QString Decode(std::string_view bytes);
// The same for a multi-line box: every CR, LF and CRLF becomes one '\n'.
QString DecodeLines(std::string_view bytes);

// The twin policy: a character Shift-JIS holds only as a near twin (U+301C
// WAVE DASH, U+2212 MINUS SIGN and the like) becomes that twin, as Windows
// encodes it. Applied to everything typed, pasted or encoded.
QString WithTwins(QString text);

// The first character (one code point) that Shift-JIS cannot hold, twins
// applied and line breaks allowed; empty when there is none.
QString FirstUnencodable(const QString& text);

struct Encoded {
  std::string bytes;  // valid only when ok()
  QString refused;    // the first character that cannot be encoded
  bool ok() const { return refused.isEmpty(); }
};
// Twins applied first; nothing is ever dropped: either all of it or the
// character that stops it.
Encoded Encode(const QString& text);
// For a multi-line box: every '\n' becomes CRLF.
Encoded EncodeLines(const QString& text);

// Text bound for a document of `encoding`, as its commands see it. For a
// Shift-JIS document: Encode / EncodeLines. For a UTF-8 document the command
// view (view_codes.h), as the edit pane encodes typed text: every character
// is taken as it is (no twins), so nothing is refused.
Encoded EncodeFor(const QString& text, text::Encoding encoding);
Encoded EncodeLinesFor(const QString& text, text::Encoding encoding);
// The reverse for display: bytes from EncodeFor for either encoding (plain
// Shift-JIS bytes decode as Decode would); line breaks become '\n'.
QString DecodeFor(std::string_view bytes, text::Encoding encoding);

// The first character of text a user enters (typed, pasted, committed by an
// input method) that a document of `encoding` cannot take, as shown in a
// message; empty when there is none. Twins are the caller's business. Half
// a surrogate pair is refused by both (shown as "U+D800"); a Shift-JIS
// document also refuses U+F780-U+F7FF, which it would read as raw bytes.
QString FirstRefusedInput(const QString& text, text::Encoding encoding);

// "Shift-JIS で表せない文字は入力できません（é）": the status-bar message for
// refused input, the same as the edit pane's (for a UTF-8 document: "UTF-8
// で表せない...").
QString RefusedMessage(const QString& what, text::Encoding encoding = text::Encoding::kShiftJis);
// Shows the message on the status bar of the frame the field belongs to
// (its own window or, for a dialog, the window that owns it).
void ReportRefused(QWidget* field, const QString& what,
                   text::Encoding encoding = text::Encoding::kShiftJis);

// The encoding of the document a field's text is bound for, asked as the
// text arrives; a field without one is bound for Shift-JIS.
using EncodingSource = std::function<text::Encoding()>;

// Applies the twin policy as text is typed or pasted and refuses text with a
// character Shift-JIS lacks, reporting it on the status bar; while the field
// is bound for a UTF-8 document it takes any text as it is but half a
// surrogate pair. Raw-byte stand-ins a program put there stay; the same
// characters entered by the user are refused. One per field: GuardField
// makes it a child of the field it watches.
class SjisValidator : public QValidator {
  Q_OBJECT
 public:
  explicit SjisValidator(QWidget* field, EncodingSource encoding = {});
  State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;

 private:
  text::Encoding Bound() const;
  EncodingSource encoding_;
  // The text last set by the program, whose raw-byte stand-ins are its own.
  mutable QString baseline_;
};

void GuardField(QLineEdit* edit, EncodingSource encoding = {});
void GuardField(QComboBox* combo, EncodingSource encoding = {});  // editable combos
// A multi-line box has no validator: refused characters are taken out again
// as soon as they arrive, with the same message.
void GuardField(QPlainTextEdit* box, EncodingSource encoding = {});

}  // namespace hemlo::sjis
