// QtEditPane's end tags while typing: the rules (closing_tags.h) on the
// bytes around the caret, applied in the typed key's undo step.
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "text/closing_tags.h"
#include "text/qt_edit_pane.h"

namespace hemlo::text {

namespace {
// Bytes after the caret the rules look at: enough for any end tag typed.
constexpr int kAfterCaret = 256;
}  // namespace

void QtEditPane::SetClosingTags(bool on) {
  closing_tags_ = on;
  end_tag_rest_.clear();
}

bool QtEditPane::TakeTypedEndTag(QString& text) {
  if (end_tag_rest_.isEmpty()) return false;
  const QTextCursor cursor = textCursor();
  const bool in_place = !cursor.hasSelection() && cursor.position() == end_tag_at_ &&
                        HistoryPoint() == end_tag_history_;
  if (in_place && end_tag_rest_.startsWith(text)) {
    end_tag_typed_ += text;
    end_tag_rest_.remove(0, text.size());
    return true;
  }
  // Something else typed: what was taken was meant as text after all.
  if (in_place) text.prepend(end_tag_typed_);
  end_tag_rest_.clear();
  end_tag_typed_.clear();
  return false;
}

bool QtEditPane::TypeWithEndTag(QChar typed) {
  if (typed != QLatin1Char('>') && typed != QLatin1Char('/')) return false;
  QTextCursor cursor = textCursor();
  // The rules see the text as it is once the key is in (over the selection,
  // if any); deciding before it goes in makes the key and its end tag one
  // change, so Qt lays the line out once, not once for each.
  const int caret = cursor.selectionStart();
  const int end = cursor.selectionEnd();
  const int from = std::max(0, caret + 1 - static_cast<int>(kClosingTagWindow));
  const int to = std::min(document()->characterCount() - 1, end + kAfterCaret);
  std::string before = EncodeRange(from, caret);
  before += static_cast<char>(typed.unicode());
  const std::string after = EncodeRange(end, to);
  std::string insert;
  int skip = 0;
  std::string name;
  if (typed == QLatin1Char('>')) {
    insert = EndTagAfterGreaterThan(before, after);
  } else {
    EndTagCompletion c = CompleteEndTag(before, after);
    insert = std::move(c.insert);
    skip = static_cast<int>(c.skip);
    name = std::move(c.name);
  }
  if (insert.empty() && skip == 0) return false;
  if (skip > 0) {
    // The end tag is there already: the '<' typed before it goes, and the
    // caret goes over the tag. Tag names are ASCII: one character per byte.
    if (!cursor.hasSelection() && caret == typing_end_ && HistoryPoint() == typing_at_)
      cursor.joinPreviousEditBlock();
    else
      cursor.beginEditBlock();
    cursor.removeSelectedText();
    cursor.deletePreviousChar();
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, skip);
    cursor.endEditBlock();
    setTextCursor(cursor);
    typing_end_ = cursor.position();
    typing_at_ = HistoryPoint();
    typed_since_match_ = true;
    ensureCursorVisible();
  } else {
    // After '>' the caret stays before the end tag; after "</" it goes past it.
    const QString tag = QString::fromLatin1(insert.data(), static_cast<qsizetype>(insert.size()));
    InsertUserText(typed + tag, typed == QLatin1Char('>') ? static_cast<int>(tag.size()) : 0);
  }
  if (!name.empty()) {
    // The user may go on typing the end tag by hand.
    end_tag_rest_ = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())) +
                    QLatin1Char('>');
    end_tag_typed_.clear();
    end_tag_at_ = textCursor().position();
    end_tag_history_ = HistoryPoint();
  }
  return true;
}

}  // namespace hemlo::text
