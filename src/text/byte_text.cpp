#include "text/byte_text.h"

#include <cstring>

#include "text/cp932.h"

namespace hemlo::text {

std::string NormalizeLineBreaks(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p < end) {
    // Copy the run up to the next CR or LF in one go.
    const char* q = p;
    while (q < end && *q != '\r' && *q != '\n') ++q;
    out.append(p, q);
    if (q == end) break;
    out.append("\r\n", 2);
    p = (*q == '\r' && q + 1 < end && q[1] == '\n') ? q + 2 : q + 1;
  }
  return out;
}

LongestLine FindLongestLine(std::string_view bytes) {
  LongestLine longest;
  std::size_t line = 1;
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  for (;;) {
    const char* q = p;
    while (q < end && *q != '\r' && *q != '\n') ++q;
    if (static_cast<std::size_t>(q - p) > longest.bytes)
      longest = {static_cast<std::size_t>(q - p), line};
    if (q == end) return longest;
    p = (*q == '\r' && q + 1 < end && q[1] == '\n') ? q + 2 : q + 1;
    ++line;
  }
}

std::size_t ClampOffset(std::string_view text, std::size_t offset) {
  if (offset >= text.size()) return text.size();
  if (offset > 0 && text[offset - 1] == '\r' && text[offset] == '\n') return offset - 1;
  return CharStart(text, offset);
}

std::string_view CutAtCharBoundary(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  return text.substr(0, CharStart(text, max_bytes));
}

}  // namespace hemlo::text
