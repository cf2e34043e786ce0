#pragma once
// An EditPane held in memory, for tests of the subsystems that edit text.
// Same rules as the Qt pane: CP932 bytes, CRLF line breaks, byte offsets.
#include <string>
#include <string_view>
#include <vector>

#include "text/edit_pane.h"

namespace hemlo::text {

class MemoryEditPane : public EditPane {
 public:
  MemoryEditPane() = default;
  // Starts with SetText(bytes).
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
  bool Modified() const override { return modified_; }
  void SetModified(bool modified) override { modified_ = modified; }

  void ScrollCaretIntoView() override { ++scroll_calls_; }
  void Focus() override { ++focus_calls_; }
  void Undo() override { ++undo_calls_; }

  // What tests may want to check about the presentation calls.
  int scroll_calls() const { return scroll_calls_; }
  int focus_calls() const { return focus_calls_; }
  int undo_calls() const { return undo_calls_; }

 private:
  const std::vector<std::size_t>& LineStarts() const;

  std::string text_;
  std::size_t sel_start_ = 0;
  std::size_t sel_end_ = 0;
  bool modified_ = false;
  int scroll_calls_ = 0;
  int focus_calls_ = 0;
  int undo_calls_ = 0;
  // Start offset of every line (LineCount() entries), rebuilt after an edit.
  mutable std::vector<std::size_t> line_starts_;
  mutable bool line_starts_valid_ = false;
};

}  // namespace hemlo::text
