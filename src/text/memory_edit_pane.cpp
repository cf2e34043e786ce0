#include "text/memory_edit_pane.h"

#include <algorithm>

#include "text/byte_text.h"

namespace hemlo::text {

namespace {
constexpr std::size_t kMaxLineListItem = 4096;
}

MemoryEditPane::MemoryEditPane(std::string_view bytes) { SetText(bytes); }

std::string MemoryEditPane::SelectedText() const {
  return text_.substr(sel_start_, sel_end_ - sel_start_);
}

void MemoryEditPane::ReplaceSelection(std::string_view bytes) {
  std::string inserted = NormalizeLineBreaks(bytes);
  text_.replace(sel_start_, sel_end_ - sel_start_, inserted);
  sel_start_ += inserted.size();
  sel_end_ = sel_start_;
  modified_ = true;
  line_starts_valid_ = false;
}

void MemoryEditPane::SetSelStart(std::size_t offset) {
  sel_start_ = sel_end_ = ClampOffset(text_, offset);
}

void MemoryEditPane::SetSelLength(std::size_t length) {
  std::size_t end = length >= text_.size() - sel_start_ ? text_.size() : sel_start_ + length;
  sel_end_ = ClampOffset(text_, end);
}

void MemoryEditPane::SetText(std::string_view bytes) {
  text_ = NormalizeLineBreaks(bytes);
  sel_start_ = sel_end_ = 0;
  modified_ = false;
  line_starts_valid_ = false;
}

const std::vector<std::size_t>& MemoryEditPane::LineStarts() const {
  if (!line_starts_valid_) {
    line_starts_.assign(1, 0);
    for (std::size_t pos = text_.find("\r\n"); pos != std::string::npos; pos = text_.find("\r\n", pos + 2)) {
      line_starts_.push_back(pos + 2);
    }
    line_starts_valid_ = true;
  }
  return line_starts_;
}

int MemoryEditPane::LineListCount() const {
  if (text_.empty()) return 0;
  int count = LineCount();
  // A last line left empty after the final line break is not counted.
  return LineStarts().back() == text_.size() ? count - 1 : count;
}

std::string MemoryEditPane::LineListItem(int index) const {
  if (index < 0 || index >= LineListCount()) return {};
  const auto& starts = LineStarts();
  std::size_t begin = starts[static_cast<std::size_t>(index)];
  std::size_t end = static_cast<std::size_t>(index) + 1 < starts.size() ? starts[static_cast<std::size_t>(index) + 1] - 2
                                                                        : text_.size();
  return std::string(CutAtCharBoundary(std::string_view(text_).substr(begin, end - begin), kMaxLineListItem));
}

int MemoryEditPane::LineCount() const { return static_cast<int>(LineStarts().size()); }

int MemoryEditPane::LineFromOffset(std::size_t offset) const {
  offset = ClampOffset(text_, offset);
  const auto& starts = LineStarts();
  auto it = std::upper_bound(starts.begin(), starts.end(), offset);
  return static_cast<int>(it - starts.begin()) - 1;
}

std::size_t MemoryEditPane::LineStart(int line) const {
  if (line < 0) return 0;
  const auto& starts = LineStarts();
  if (static_cast<std::size_t>(line) >= starts.size()) return text_.size();
  return starts[static_cast<std::size_t>(line)];
}

CaretPos MemoryEditPane::CaretPosition() const {
  int line = LineFromOffset(sel_start_);
  return CaretPos{static_cast<int>(sel_start_ - LineStart(line)), line};
}

void MemoryEditPane::SelectAll() {
  sel_start_ = 0;
  sel_end_ = text_.size();
}

}  // namespace hemlo::text
