#pragma once
// The document window's edit pane `Memo1`: a QPlainTextEdit that is also the
// EditPane of the document window, with every offset counting bytes of CP932 text with
// CRLF line breaks (for a UTF-8 document: of its command view, view_codes.h).
//
// Byte offsets: the pane keeps the byte length of every block (line) in a
// LineIndex (chunked, with lazily rebuilt prefix sums), updated from the
// blocks that each QTextDocument::contentsChange touches, so offset queries
// never rescan the document. A line break counts 2 bytes (CRLF), one
// document position.
//
// Characters with two CP932 codes keep the code the text had: the
// non-preferred code is stored in a character-format property of that
// character (set by SetText and ReplaceSelection, read when encoding).
// Text the user types, pastes, drops or commits through an input method is
// inserted with a plain format, so it takes the preferred codes.
//
// In a Shift-JIS document, input CP932 cannot hold is refused at the pane
// (key presses, input-method commits, paste and drops) and inputRefused() is
// emitted with a Japanese message for the status bar. Characters that CP932
// holds only as a twin (U+301C WAVE DASH and the like, see ToCp932Twin) are
// converted instead. A UTF-8 document takes any input as it is, but half a
// surrogate pair (refused in both, with the same signal) and characters the
// full view-code table has no room for. In a UTF-8 document the same
// property marks a genuine U+F780-U+F7FF character (as against a raw byte
// of the file) with kGenuineMark; such characters the user enters are
// always genuine (a Shift-JIS document refuses them).
//
// Every edit, typed or programmatic, goes through Qt's undo stack: one edit
// block per ReplaceSelection or SetText, and an encoding conversion is a custom
// undo item in the block that renames the charset, so the byte cache is
// rebuilt whichever way the history moves.
#include <QPlainTextEdit>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "text/completion.h"
#include "text/edit_pane.h"
#include "text/line_index.h"
#include "text/view_codes.h"


namespace hemlo::text {

class CompletionPopup;
class SiteFiles;

class QtEditPane : public QPlainTextEdit, public EditPane {
  Q_OBJECT

 public:
  explicit QtEditPane(QWidget* parent = nullptr);

  // EditPane.
  std::string SelectedText() const override;
  void ReplaceSelection(std::string_view bytes) override;
  std::size_t SelStart() const override;
  void SetSelStart(std::size_t offset) override;
  std::size_t SelLength() const override;
  void SetSelLength(std::size_t length) override;
  std::string Text() const override;
  void SetText(std::string_view bytes) override;
  std::size_t TextLength() const override;
  int LineListCount() const override;
  std::string LineListItem(int index) const override;
  int LineCount() const override;
  int LineFromOffset(std::size_t offset) const override;
  std::size_t LineStart(int line) const override;
  CaretPos CaretPosition() const override;
  void SelectAll() override;
  bool Modified() const override;
  void SetModified(bool modified) override;
  void ScrollCaretIntoView() override;
  void Focus() override;
  void Undo() override;
  void Redo() override;
  Encoding DocumentEncoding() const override { return encoding_; }
  bool HasByteOrderMark() const override { return bom_; }
  // Refuses a page with a line longer than kLongestLine bytes.
  std::string LoadDocument(std::string_view bytes, Encoding encoding) override;
  static constexpr std::size_t kLongestLine = 1 << 20;
  std::string DocumentBytes() const override;
  std::string ConvertEncoding(Encoding to) override;

  // Byte offset of a document position, and the document position of a byte
  // offset (clamped like SetSelStart).
  std::size_t OffsetOfPosition(int position) const;
  int PositionOfOffset(std::size_t offset) const;

  // Clipboard format holding the exact CP932 bytes of copied text.
  static constexpr const char* kCp932MimeType = "application/x-hemlo-cp932";

  // Source colouring (syntax_colouring.cpp): computed only for the blocks
  // being painted, from the scanner state at the end of every line. A change
  // forgets the states of the lines it touched only; they are scanned again
  // from the line before, and the lines after keep theirs as soon as a
  // state comes out as it was. A paint scans a bounded number of characters;
  // when the view needs more, it is coloured from the nearest state known
  // and the scan goes on between events until the view can be coloured
  // exactly.
  void SetHighlighting(bool on);
  bool Highlighting() const { return highlighting_; }
  // Test aids: characters the colouring has scanned so far, and whether
  // the scan is still going on between events.
  std::size_t SyntaxUnitsScanned() const { return syntax_scanned_; }
  bool SyntaxScanPending() const;
  // The line-number gutter, with the caret's line marked.
  void SetLineNumbers(bool on);
  bool LineNumbers() const { return gutter_ != nullptr && gutter_->isVisible(); }
  int GutterWidth() const;
  void PaintGutter(QPaintEvent* event);

  // End tags while typing (qt_edit_pane_tags.cpp): a typed '>' of a start
  // tag puts its end tag after the caret, a typed "</" completes the
  // innermost open element or goes over its end tag where it stands, and the
  // rest of that end tag typed on by hand is taken as already there. Each is
  // one undo step with the key.
  void SetClosingTags(bool on);
  bool ClosingTags() const { return closing_tags_; }

  // Completion while typing (qt_edit_pane_completion.cpp): after '<', a
  // space in a tag, a quote of a value, or ':', ';' and '{' in CSS, a list
  // of what may follow the caret, narrowed by each key typed on. It never
  // takes the focus nor a typed character: Up/Down/PageUp/PageDown move,
  // Enter or Tab accepts, Escape (or a click elsewhere) closes.
  void SetCompletion(bool on);
  bool Completion() const { return completion_; }
  // The site folder and the page's folder (absolute), asked when a value
  // names a file; an empty page folder: no files.
  using SiteOfPage = std::function<std::pair<std::filesystem::path, std::filesystem::path>()>;
  void SetSiteOfPage(SiteOfPage site_of_page) { site_of_page_ = std::move(site_of_page); }
  bool CompletionShown() const;
  // Test aid: the labels listed.
  QStringList CompletionLabels() const;

  // The partner of the tag at the caret (qt_edit_pane_match.cpp): both are
  // highlighted while the caret is on a start or end tag, and
  // JumpToMatchingTag puts the caret at the partner's '<' (false, nothing
  // moved, when there is none).
  bool JumpToMatchingTag();
  // Whether the partner of the tag at the caret is highlighted (on by
  // default); the jump works either way.
  void SetMatchingTags(bool on);
  // Test aid: the highlighted tags as byte ranges, empty when none.
  std::vector<std::pair<std::size_t, std::size_t>> MatchedTags() const;

  // Markup marks (qt_edit_pane_markup.cpp): a pause in editing of
  // kMarkupPauseMs runs the checker on a copy of the page's bytes on another
  // thread, and its issues mark their lines in the line-number gutter, the
  // messages as the tooltip. A result for text that has changed since is
  // dropped; marks already shown move with the lines edited until the next
  // result. Pages over kMarkupMarksLimit bytes get none (copying the text
  // for the check would stall the window).
  struct MarkupMark {
    std::size_t line = 1;  // of the page, from 1
    bool error = false;
    std::string message;  // UTF-8
  };
  using MarkupChecker = std::function<std::vector<MarkupMark>(const std::string& bytes, Encoding)>;
  static constexpr int kMarkupPauseMs = 500;
  static constexpr std::size_t kMarkupMarksLimit = 4u << 20;
  void SetMarkupChecker(MarkupChecker checker);
  void SetMarkupMarks(bool on);
  bool MarkupMarks() const { return markup_marks_; }
  // The marked lines (from 0) and their messages, one per line; for the
  // gutter and for tests.
  struct LineMark {
    int line = 0;
    bool error = false;
    QString message;
  };
  const std::vector<LineMark>& LineMarks() const { return line_marks_; }
  // The gutter's tooltip at a height in the gutter.
  QString GutterToolTip(int y) const;

  // Test aid: true when the block cache agrees with a full recount.
  bool BlockCacheIsConsistent() const;
  // Test aid: the characters kept for the typing rules are the document's.
  bool RawCacheIsConsistent() const;

  // Sets the encoding and byte-order mark and recounts every line (undo items).
  void SetDocumentState(Encoding encoding, bool bom);

 signals:
  // The document's encoding changed (load, conversion, undo of one).
  void encodingChanged();
  // Input was refused because CP932 cannot hold it.
  void inputRefused(const QString& message);
  // Memo1KeyDown (before the pane acts on the key), Memo1KeyUp and
  // Memo1MouseDown (after the click has placed the caret).
  void keyDown(int key, Qt::KeyboardModifiers modifiers);
  void keyUp(int key, Qt::KeyboardModifiers modifiers);
  void mouseDown(Qt::MouseButton button);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  bool event(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
  // Copies and drags also carry the CP932 bytes (kCp932MimeType), so that a
  // copy within the program keeps alternate codes and raw bytes.
  QMimeData* createMimeDataFromSelection() const override;

 private:
  // Colours the blocks in view; states of earlier lines are scanned as needed.
  // Lines whose colours change outside `painting` are painted again.
  void ColourVisibleBlocks(const QRect& painting);
  // Colours a line that was just edited before Qt lays it out.
  void ColourEditedBlock(const QTextBlock& block);
  // Brings the states of the blocks before `target` up to date, scanning at
  // most about `budget` characters; true when they are.
  bool AdvanceSyntax(int target, std::size_t budget);
  // Stores the end state of block k, the first one not up to date.
  void StoreSyntaxState(int k, int state);
  // Blocks [first, old_last] became [first, new_last]; their states are unknown.
  void NoteSyntaxEdit(int first, int old_last, int new_last);
  void ResetSyntax();
  void ContinueSyntaxScan();
  void UpdateGutterGeometry();
  void OnContentsChange(int position, int removed, int added);
  // Lets the layout of the block being edited keep its shaped glyphs.
  void KeepGlyphs(const QTextBlock& block);
  LineIndex::Line Measure(const QTextBlock& block) const;
  void RebuildBlocks();
  // Bytes of the first `column` characters of a block.
  std::size_t ColumnBytes(const QTextBlock& block, const LineIndex::Line& info, int column) const;
  // Encodes document positions [from, to) with CRLF line breaks and the
  // stored codes of alternates.
  std::string EncodeRange(int from, int to) const;
  QString RawRange(int from, int to) const;
  QString ReadRaw(int from, int to) const;
  void FollowRawCache(int position, int removed, int added);
  mutable QString raw_cache_;        // the characters from raw_cache_from_ on
  mutable int raw_cache_from_ = -1;  // -1: nothing kept
  // Whether the stretch covers [from, to), reading what it lacks if it can.
  bool CoverRaw(int from, int to) const;
  // The stretch's bytes, for a Shift-JIS page without alternates (whose
  // bytes follow from its characters alone): encoding 64 KiB of Japanese
  // text on every '>' costs more than the rule that reads it.
  bool RawBytesUsable() const;
  std::size_t RawBytesOffset(int position) const;
  mutable std::string raw_bytes_;
  mutable bool raw_bytes_valid_ = false;
  // Byte offsets of a few indexes of the stretch, for the reads each key
  // repeats a character further on: counted from the nearest, not from an end.
  struct RawMark {
    int at = -1;  // -1: none
    std::size_t bytes = 0;
  };
  mutable std::array<RawMark, 4> raw_marks_{};
  mutable std::size_t raw_mark_next_ = 0;
  // Inserts text at the cursor (replacing the selection) with given alternates.
  void InsertDecoded(const QString& text, const std::vector<std::size_t>& alternates,
                     const std::vector<std::uint16_t>& codes);
  // Inserts user input with a plain format (no inherited alternate code);
  // the caret ends `caret_back` characters before its end.
  void InsertUserText(const QString& text, int caret_back = 0);
  // Maps twins; returns false (and emits inputRefused) when the document cannot take it.
  bool AcceptInput(QString& text);
  // Command-view bytes as text for the document, with per-character codes.
  struct Decoded {
    QString text;  // line breaks as '\n'
    std::vector<std::size_t> marked;
    std::vector<std::uint16_t> codes;
  };
  Decoded DecodeForDocument(std::string_view bytes) const;
  // Positions (sorted) and property values of characters in [from, to) that carry one.
  void CollectMarks(int from, int to, std::vector<std::size_t>& at,
                    std::vector<std::uint16_t>& codes) const;
  // Per-unit view lengths of a block of a UTF-8 document.
  void UnitLengths(const QTextBlock& block, std::vector<std::uint8_t>& out) const;
  // Loads text without undo (opening a file): the cache from the given line sizes.
  void LoadText(const QString& text, const std::vector<std::size_t>& marked,
                const std::vector<std::uint16_t>& codes);

  // Types `typed` at the caret together with the end tag it calls for, as
  // one edit; false (nothing done) when it calls for none.
  bool TypeWithEndTag(QChar typed);
  // True when `text` is the next part of an end tag just completed (and is
  // taken without inserting it); else gives back what was taken, ahead of `text`.
  bool TakeTypedEndTag(QString& text);

  // Completion: a list key taken (true), the list after a typed
  // character or another key, accepting an item.
  bool CompletionKey(QKeyEvent* event);
  void CompleteAfter(QChar typed);
  void RefreshCompletion(bool open);
  // Shows the items of completion_all_ that start with what is typed since completion_start_.
  void NarrowCompletionList();
  void AcceptCompletion();
  void HideCompletion();

  bool completion_ = false;
  CompletionPopup* completion_list_ = nullptr;
  int completion_start_ = -1;  // where the word the list completes begins
  // For the word, before narrowing: completion_words_ or completion_files_.
  const std::vector<CompletionItem>* completion_all_ = nullptr;
  // A context's words change only with the context (the list opens after
  // every '<' and every space in a tag, and again in each value), so they
  // are kept, by kind, element, attribute and property.
  std::map<std::string, std::vector<CompletionItem>> completion_words_;
  std::vector<CompletionItem> completion_files_;
  std::vector<CompletionItem> completion_items_;  // as listed
  SiteOfPage site_of_page_;
  std::shared_ptr<SiteFiles> site_files_;
  // The site's files as paths from the page, for the list they came from.
  const std::vector<std::string>& PageFiles();
  std::vector<std::string> page_files_;
  std::shared_ptr<const std::vector<std::string>> page_files_of_;
  std::string page_files_folder_;
  int files_wanted_at_ = -1;  // the caret where files were wanted before they were there

  // The partner highlight follows the caret once per turn of the event loop;
  // a partner far away is looked for (`wide`) after the caret rests.
  void QueueTagMatch();
  void FlushTagMatch();  // the queued look, now
  void UpdateTagMatch(bool wide = false);
  bool matching_tags_ = true;
  bool tag_match_queued_ = false;
  bool typed_since_match_ = false;  // text was typed since the last look
  QTimer* wide_match_timer_ = nullptr;
  std::vector<std::pair<std::size_t, std::size_t>> matched_tags_;
  // The matched tags as document positions, moved along with edits so that
  // what was painted can be painted over.
  std::vector<std::pair<int, int>> tag_marks_;
  void MoveTagMarks(int position, int removed, int added);
  std::vector<QRect> TagMatchRects() const;  // in the viewport, the lines in view only
  void PaintTagMatch(const QRect& area);

  void NoteMarkupEdit(int position);
  void StartMarkupCheck();
  void ApplyMarkupResult(std::uint64_t generation, std::vector<MarkupMark> marks);
  // The mark of one gutter line, if any (painted by PaintGutter).
  const LineMark* MarkOfLine(int line) const;
  bool markup_marks_ = false;
  MarkupChecker markup_checker_;
  QTimer* markup_timer_ = nullptr;
  std::uint64_t markup_generation_ = 0;  // edits since the pane was made
  bool markup_running_ = false;
  bool markup_again_ = false;  // the pause ended while a check ran
  int markup_blocks_ = 0;      // block count the marks' lines refer to
  std::vector<LineMark> line_marks_;  // by line

  bool closing_tags_ = false;
  // The rest of an end tag just completed, where the caret stood after it,
  // and what of it the user has typed since.
  QString end_tag_rest_;
  QString end_tag_typed_;
  int end_tag_at_ = -1;
  std::pair<int, int> end_tag_history_{-1, -1};
  bool highlighting_ = false;
  bool decorating_ = false;  // formats being set: not an edit
  // Scanner state at the end of each block, -1 where its text changed since;
  // [0, syntax_dirty_) are current.
  std::vector<int> line_states_;
  int syntax_dirty_ = 0;
  QTimer* syntax_timer_ = nullptr;  // scans on between events
  std::size_t syntax_scanned_ = 0;
  QWidget* gutter_ = nullptr;
  int glyphs_kept_ = -1;  // the block whose layout keeps its glyphs
  LineIndex lines_;       // one entry per block
  Encoding encoding_ = Encoding::kShiftJis;
  bool bom_ = false;
  mutable ViewCodes codes_;  // command-view codes of a UTF-8 document
  // Where the undo history stood (undo steps, redo steps) when SetText
  // cleared the flag and when SetModified(true) forced it; each holds until
  // the history moves.
  std::pair<int, int> HistoryPoint() const;
  std::pair<int, int> soft_clean_at_{-1, -1};
  std::pair<int, int> forced_at_{-1, -1};
  // Where the last typed characters ended, and the history after them.
  int typing_end_ = -1;
  std::pair<int, int> typing_at_{-1, -1};
  bool loading_ = false;            // LoadText rebuilds the cache itself
  bool has_alternates_ = false;     // some character may carry a stored code
  mutable std::string text_cache_;  // Text() until the next change
  mutable bool text_cache_valid_ = false;
};

}  // namespace hemlo::text
