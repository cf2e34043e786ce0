#pragma once
// An EditPane held in memory, for tests of the subsystems that edit text.
// Same rules as the Qt pane: CP932 bytes (the command view for UTF-8
// documents), CRLF line breaks, byte offsets, one undo step per change.
#include <string>
#include <string_view>
#include <vector>

#include "text/edit_pane.h"
#include "text/view_codes.h"

namespace hemlo::text {

class MemoryEditPane : public EditPane {
 public:
  MemoryEditPane() = default;
  // Starts with LoadDocument(bytes, Shift-JIS): nothing to undo.
  explicit MemoryEditPane(std::string_view bytes);

  std::string SelectedText() const override;
  void ReplaceSelection(std::string_view bytes) override;

  std::size_t SelStart() const override { return sel_start_; }
  void SetSelStart(std::size_t offset) override;
  std::size_t SelLength() const override { return sel_end_ - sel_start_; }
  void SetSelLength(std::size_t length) override;

  std::string Text() const override { return text_; }
  void SetText(std::string_view bytes) override;
  std::size_t TextLength() const override { return text_.size(); }

  int LineListCount() const override;
  std::string LineListItem(int index) const override;

  int LineCount() const override;
  int LineFromOffset(std::size_t offset) const override;
  std::size_t LineStart(int line) const override;
  CaretPos CaretPosition() const override;

  void SelectAll() override;
  bool Modified() const override;
  void SetModified(bool modified) override;

  Encoding DocumentEncoding() const override { return encoding_; }
  bool HasByteOrderMark() const override { return bom_; }
  std::string LoadDocument(std::string_view bytes, Encoding encoding) override;
  std::string DocumentBytes() const override;
  std::string ConvertEncoding(Encoding to) override;

  void Undo() override;
  void Redo() override;
  // Typing: inserts characters at the selection as a user's keys would (a
  // Shift-JIS document takes only what CP932 holds; the caller checks).
  void TypeText(std::u16string_view units);

  void ScrollCaretIntoView() override { ++scroll_calls_; }
  void Focus() override { ++focus_calls_; }

  // What tests may want to check about the presentation calls.
  int scroll_calls() const { return scroll_calls_; }
  int focus_calls() const { return focus_calls_; }
  int undo_calls() const { return undo_calls_; }

 private:
  struct State {
    Encoding encoding = Encoding::kShiftJis;
    bool bom = false;
  };
  struct Step {
    std::size_t offset = 0;
    std::string removed, inserted;
    State before, after;
  };
  const std::vector<std::size_t>& LineStarts() const;
  std::size_t Clamp(std::size_t offset) const;
  // Makes `next` the text (and `state` the document's state) as one undo step.
  void Change(std::string next, State state);
  void Apply(const Step& step, bool undo);
  // The view bytes of a UTF-8 document as the Qt pane would give them back.
  std::string Canonical(std::string_view view);

  std::string text_;
  Encoding encoding_ = Encoding::kShiftJis;
  bool bom_ = false;
  ViewCodes codes_;
  std::size_t sel_start_ = 0;
  std::size_t sel_end_ = 0;
  std::vector<Step> steps_;
  std::size_t done_ = 0;     // steps_[0, done_) are applied
  long saved_ = 0;           // done_ when last marked unmodified; -1: gone
  bool soft_clean_ = false;  // SetText cleared the flag until the next change
  bool forced_ = false;      // SetModified(true) on the saved text
  int scroll_calls_ = 0;
  int focus_calls_ = 0;
  int undo_calls_ = 0;
  // Start offset of every line (LineCount() entries), rebuilt after an edit.
  mutable std::vector<std::size_t> line_starts_;
  mutable bool line_starts_valid_ = false;
};

}  // namespace hemlo::text
