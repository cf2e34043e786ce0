#include "ftp/id_reply.h"

#include <limits>

#include "base/ascii_case.h"
#include "ftp/id_exception.h"

namespace hemlo::ftp {

std::string_view TrimControl(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

int64_t ToIntDef(std::string_view s, int64_t fallback) {
  if (s.empty()) return fallback;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    i = 1;
  }
  if (i == s.size()) return fallback;
  int64_t value = 0;
  constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 10 - 10;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return fallback;
    if (value > kLimit) return fallback;
    value = value * 10 + (s[i] - '0');
  }
  return negative ? -value : value;
}

void TIdRFCReply::Clear() {
  NumericCode = 0;
  TextCode.clear();
  Text.clear();
  Lines.clear();
}

void TIdRFCReply::Parse(const std::vector<std::string>& lines) {
  Clear();
  if (lines.empty()) return;
  std::string_view first = lines.front();
  std::string_view code = TrimControl(first.substr(0, 4));
  if (code.size() == 4 && code[3] == '-') code = code.substr(0, 3);
  TextCode = std::string(code);
  // At most four characters, so the value always fits 16 bits.
  NumericCode = static_cast<int16_t>(ToIntDef(TextCode, 0));
  Text.reserve(lines.size());
  for (const std::string& line : lines)
    Text.push_back(line.size() > 4 ? line.substr(4) : std::string());
  Lines = lines;
}

std::string TIdRFCReply::TextWithLineBreaks() const {
  std::string out;
  for (const std::string& line : Text) {
    out += line;
    out += "\r\n";
  }
  return out;
}

void LineBuffer::Append(const char* data, size_t size) {
  // Drop consumed bytes now and then so the buffer does not grow without end.
  if (head_ > 0 && (head_ == data_.size() || head_ >= 65536)) {
    data_.erase(0, head_);
    scan_ -= head_;
    head_ = 0;
  }
  data_.append(data, size);
}

void LineBuffer::Clear() {
  data_.clear();
  head_ = scan_ = 0;
}

bool LineBuffer::TakeLine(std::string& line, size_t max_length, TIdMaxLineAction action) {
  if (scan_ < head_) scan_ = head_;
  size_t lf = data_.find('\n', scan_);
  size_t length = lf == std::string::npos ? data_.size() - head_ : lf - head_;
  if (max_length > 0 && length > max_length) {
    if (action == TIdMaxLineAction::maException) throw EIdReadLnMaxLineLengthExceeded();
    line.assign(data_, head_, max_length);
    head_ += max_length;
    scan_ = head_;
    return true;
  }
  if (lf == std::string::npos) {
    scan_ = data_.size();
    return false;
  }
  line.assign(data_, head_, length);
  head_ = lf + 1;
  scan_ = head_;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

std::vector<std::string> ReadReplyLines(const std::function<std::string()>& next_line,
                                        size_t max_lines, size_t max_bytes) {
  size_t bytes = 0;
  auto next_nonblank = [&]() {
    for (;;) {
      std::string raw = next_line();
      bytes += raw.size() + 1;
      if (max_bytes > 0 && bytes > max_bytes) throw EIdReplyTooLarge();
      std::string_view t = TrimControl(raw);
      if (!t.empty()) return std::string(t);
    }
  };
  std::vector<std::string> lines;
  lines.push_back(next_nonblank());
  const std::string& first = lines.front();
  if (first.size() > 3 && first[3] == '-') {
    const std::string code = first.substr(0, 3);
    for (;;) {
      if (max_lines > 0 && lines.size() >= max_lines) throw EIdReplyTooManyLines();
      lines.push_back(next_nonblank());
      std::string_view line = lines.back();
      if (line.size() < 3 || !AsciiEqualNoCase(line.substr(0, 3), code)) continue;
      if (line.size() == 3 || line[3] == ' ') break;
    }
  }
  return lines;
}

}  // namespace hemlo::ftp
