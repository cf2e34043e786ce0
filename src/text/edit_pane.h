#pragma once
// The edit pane as every editing command sees it: Shift-JIS (CP932) text with
// CRLF line breaks, every offset counting bytes of that text. A UTF-8
// document shows commands the same bytes (see view_codes.h); only
// LoadDocument and DocumentBytes deal in the file's own encoding.
//
// Every change (ReplaceSelection, SetText, typing, an encoding conversion) is
// one undo step; only LoadDocument clears the history.
#include <cstddef>
#include <string>
#include <string_view>

#include "text/document_encoding.h"

namespace hemlo::text {

struct CaretPos {
  int column = 0;  // bytes from the start of the line
  int line = 0;    // from 0
};

class EditPane {
 public:
  virtual ~EditPane() = default;

  // Bytes of the selection; empty when nothing is selected.
  virtual std::string SelectedText() const = 0;
  // Puts bytes in place of the selection (or at the caret). Afterwards the
  // caret stands after the inserted text, nothing selected. Sets the modified flag.
  // Line breaks in `bytes` (CR, LF or CRLF) arrive as CRLF, as in SetText.
  virtual void ReplaceSelection(std::string_view bytes) = 0;

  // Selection start (the caret when nothing is selected). Offsets past the
  // end are clamped; an offset inside a double-byte character or a CRLF is
  // moved to the start of that character.
  virtual std::size_t SelStart() const = 0;
  // Moves the caret there and collapses the selection.
  virtual void SetSelStart(std::size_t offset) = 0;
  virtual std::size_t SelLength() const = 0;
  // Selects `length` bytes from the selection start (clamped to the end; an
  // end inside a double-byte character or a CRLF moves to its start).
  virtual void SetSelLength(std::size_t length) = 0;

  virtual std::string Text() const = 0;
  // Replaces the content (one undo step): every lone CR, lone LF and CRLF
  // becomes CRLF, the modified flag is cleared, the caret goes to 0.
  virtual void SetText(std::string_view bytes) = 0;
  virtual std::size_t TextLength() const = 0;

  // Line list: a last line left empty after the final line break is not
  // counted (an empty pane has none); items are at most 4096 bytes.
  virtual int LineListCount() const = 0;
  // Empty for an index out of range; cut at a character boundary.
  virtual std::string LineListItem(int index) const = 0;

  // The control's own line queries: an empty pane has 1 line.
  virtual int LineCount() const = 0;
  virtual int LineFromOffset(std::size_t offset) const = 0;
  // First offset of a line; a negative line gives 0, a line at or beyond
  // LineCount() gives TextLength().
  virtual std::size_t LineStart(int line) const = 0;
  // Line and column of the selection start (the caret when nothing is selected).
  virtual CaretPos CaretPosition() const = 0;

  virtual void SelectAll() = 0;
  // Follows the undo history: undoing back to the text last marked
  // unmodified clears it again.
  virtual bool Modified() const = 0;
  virtual void SetModified(bool modified) = 0;

  // The document as a file. LoadDocument takes a file's bytes (line breaks
  // normalised to CRLF, a UTF-8 byte-order mark included) in `encoding`,
  // clears the undo history, the modified flag and the caret. A UTF-8 file
  // with more kinds of characters than the program-wide code table has room
  // for is refused (nothing changes): returns a Japanese message, else empty.
  virtual Encoding DocumentEncoding() const = 0;
  virtual bool HasByteOrderMark() const = 0;
  virtual std::string LoadDocument(std::string_view bytes, Encoding encoding) = 0;
  virtual std::string DocumentBytes() const = 0;
  // Converts the document to `to` as one undo step, renaming its declared
  // charset. Refused (nothing changes) when a character cannot be written in
  // `to`: returns a Japanese message naming it, else empty.
  virtual std::string ConvertEncoding(Encoding to) = 0;

  virtual void Undo() = 0;
  virtual void Redo() = 0;

  // Presentation; no-ops for panes without a screen.
  virtual void ScrollCaretIntoView() {}
  virtual void Focus() {}
};

}  // namespace hemlo::text
