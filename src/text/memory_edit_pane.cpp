#include "text/memory_edit_pane.h"

#include <algorithm>

#include "text/byte_text.h"
#include "text/cp932.h"
#include "text/utf8.h"

namespace hemlo::text {

namespace {
constexpr std::size_t kMaxLineListItem = 4096;
}

MemoryEditPane::MemoryEditPane(std::string_view bytes) { LoadDocument(bytes, Encoding::kShiftJis); }

std::string MemoryEditPane::Canonical(std::string_view view) {
  const ViewText decoded = DecodeView(view, codes_);
  return EncodeView(decoded.text, u'\n', decoded.genuine, decoded.alternates,
                    decoded.alternate_codes, codes_);
}

std::size_t MemoryEditPane::Clamp(std::size_t offset) const {
  return encoding_ == Encoding::kUtf8 ? ClampViewOffset(text_, codes_, offset)
                                      : ClampOffset(text_, offset);
}

std::string MemoryEditPane::SelectedText() const {
  return text_.substr(sel_start_, sel_end_ - sel_start_);
}

void MemoryEditPane::Change(std::string next, State state) {
  if (encoding_ == Encoding::kUtf8 || state.encoding == Encoding::kUtf8) next = Canonical(next);
  // The step holds only what differs.
  std::size_t prefix = 0;
  const std::size_t common = std::min(text_.size(), next.size());
  while (prefix < common && text_[prefix] == next[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < common - prefix &&
         text_[text_.size() - 1 - suffix] == next[next.size() - 1 - suffix])
    ++suffix;
  Step step{prefix, text_.substr(prefix, text_.size() - prefix - suffix),
            next.substr(prefix, next.size() - prefix - suffix), State{encoding_, bom_}, state};
  steps_.resize(done_);
  if (saved_ > static_cast<long>(done_)) saved_ = -1;  // that text can no longer be reached
  steps_.push_back(std::move(step));
  ++done_;
  text_ = std::move(next);
  encoding_ = state.encoding;
  bom_ = state.bom;
  soft_clean_ = forced_ = false;
  line_starts_valid_ = false;
}

void MemoryEditPane::ReplaceSelection(std::string_view bytes) {
  const std::string inserted = NormalizeLineBreaks(bytes);
  if (inserted.empty() && sel_start_ == sel_end_) return;  // nothing changes: no undo step
  std::string next = text_;
  next.replace(sel_start_, sel_end_ - sel_start_, inserted);
  const std::size_t tail = text_.size() - sel_end_;
  Change(std::move(next), State{encoding_, bom_});
  sel_start_ = sel_end_ = Clamp(text_.size() - std::min(tail, text_.size()));
}

void MemoryEditPane::TypeText(std::u16string_view units) {
  if (encoding_ == Encoding::kUtf8) {
    // A private-use character typed is a character, never a raw byte.
    std::vector<std::size_t> genuine;
    for (std::size_t i = 0; i < units.size(); ++i)
      if (IsUtf8RawUnit(units[i])) genuine.push_back(i);
    ReplaceSelection(EncodeView(units, u'\n', genuine, {}, {}, codes_));
  } else {
    ReplaceSelection(EncodeLines(units, u'\n'));
  }
}

void MemoryEditPane::SetSelStart(std::size_t offset) { sel_start_ = sel_end_ = Clamp(offset); }

void MemoryEditPane::SetSelLength(std::size_t length) {
  std::size_t end = length >= text_.size() - sel_start_ ? text_.size() : sel_start_ + length;
  sel_end_ = Clamp(end);
}

void MemoryEditPane::SetText(std::string_view bytes) {
  Change(NormalizeLineBreaks(bytes), State{encoding_, bom_});
  sel_start_ = sel_end_ = 0;
  soft_clean_ = true;
}

std::string MemoryEditPane::LoadDocument(std::string_view bytes, Encoding encoding) {
  const bool bom = encoding == Encoding::kUtf8 && bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
  if (bom) bytes.remove_prefix(kUtf8Bom.size());
  if (encoding == Encoding::kUtf8) {
    std::u16string units(bytes.size(), u'\0');
    std::vector<std::size_t> genuine;
    units.resize(DecodeUtf8Lines(bytes, units.data(), &genuine));
    if (const std::size_t at = codes_.Admit(units, genuine); at != std::u16string::npos)
      return CodeTableFullMessage(units, at);
    text_ = EncodeView(units, u'\n', genuine, {}, {}, codes_);
  } else {
    text_ = NormalizeLineBreaks(bytes);
  }
  steps_.clear();
  done_ = 0;
  saved_ = 0;
  soft_clean_ = forced_ = false;
  sel_start_ = sel_end_ = 0;
  line_starts_valid_ = false;
  encoding_ = encoding;
  bom_ = bom;
  return {};
}

std::string MemoryEditPane::DocumentBytes() const {
  if (encoding_ == Encoding::kShiftJis) return text_;
  const ViewText decoded = DecodeView(text_, codes_);
  return (bom_ ? std::string(kUtf8Bom) : std::string()) +
         EncodeUtf8Lines(decoded.text, u'\n', decoded.genuine);
}

std::string MemoryEditPane::ConvertEncoding(Encoding to) {
  if (to == encoding_) return {};
  std::string next;
  if (to == Encoding::kShiftJis) {
    const ViewText decoded = DecodeView(text_, codes_);
    if (std::string refusal = ShiftJisRefusal(decoded.text, decoded.genuine); !refusal.empty())
      return refusal;
    next = EncodeLines(decoded.text, u'\n', decoded.alternates, decoded.alternate_codes);
  } else {
    std::u16string units(text_.size(), u'\0');
    std::vector<std::size_t> alternates;
    std::vector<std::uint16_t> codes;
    units.resize(DecodeLines(text_, units.data(), &alternates, &codes, nullptr));
    next = EncodeView(units, u'\n', {}, alternates, codes, codes_);
  }
  Change(RenameDeclaredCharset(next, to), State{to, false});
  sel_start_ = sel_end_ = 0;
  return {};
}

void MemoryEditPane::Apply(const Step& step, bool undo) {
  const std::string& out = undo ? step.inserted : step.removed;
  const std::string& in = undo ? step.removed : step.inserted;
  text_.replace(step.offset, out.size(), in);
  const State& state = undo ? step.before : step.after;
  encoding_ = state.encoding;
  bom_ = state.bom;
  sel_start_ = sel_end_ = Clamp(step.offset + in.size());
  soft_clean_ = forced_ = false;
  line_starts_valid_ = false;
}

void MemoryEditPane::Undo() {
  ++undo_calls_;
  if (done_ == 0) return;
  Apply(steps_[--done_], true);
}

void MemoryEditPane::Redo() {
  if (done_ == steps_.size()) return;
  Apply(steps_[done_++], false);
}

bool MemoryEditPane::Modified() const {
  return forced_ || (!soft_clean_ && saved_ != static_cast<long>(done_));
}

void MemoryEditPane::SetModified(bool modified) {
  soft_clean_ = false;
  forced_ = false;
  if (!modified)
    saved_ = static_cast<long>(done_);
  else if (saved_ == static_cast<long>(done_))
    forced_ = true;
}

const std::vector<std::size_t>& MemoryEditPane::LineStarts() const {
  if (!line_starts_valid_) {
    line_starts_.assign(1, 0);
    for (std::size_t pos = text_.find("\r\n"); pos != std::string::npos;
         pos = text_.find("\r\n", pos + 2)) {
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
  std::size_t end = static_cast<std::size_t>(index) + 1 < starts.size()
                        ? starts[static_cast<std::size_t>(index) + 1] - 2
                        : text_.size();
  const std::string_view line = std::string_view(text_).substr(begin, end - begin);
  if (line.size() <= kMaxLineListItem) return std::string(line);
  if (encoding_ == Encoding::kUtf8)
    return std::string(line.substr(0, ClampViewOffset(line, codes_, kMaxLineListItem)));
  return std::string(CutAtCharBoundary(line, kMaxLineListItem));
}

int MemoryEditPane::LineCount() const { return static_cast<int>(LineStarts().size()); }

int MemoryEditPane::LineFromOffset(std::size_t offset) const {
  offset = Clamp(offset);
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
