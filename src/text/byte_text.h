#pragma once
// Helpers for CP932 text with CRLF line breaks, shared by the edit panes.
#include <cstddef>
#include <string>
#include <string_view>

namespace hemlo::text {

// Every lone CR, lone LF and CRLF becomes CRLF. (CR and LF are never trail
// bytes of CP932, so this works on the bytes directly.)
std::string NormalizeLineBreaks(std::string_view bytes);

// The offset as the edit panes read it: past the end -> the end; inside a
// double-byte character -> its start; between the CR and LF of a CRLF -> the CR.
std::size_t ClampOffset(std::string_view text, std::size_t offset);

// The longest line of `bytes` (CR, LF or CRLF ending), in bytes and its
// number from 1.
struct LongestLine {
  std::size_t bytes = 0;
  std::size_t line = 1;
};
LongestLine FindLongestLine(std::string_view bytes);

// `text` cut to at most `max_bytes`, at a character boundary.
std::string_view CutAtCharBoundary(std::string_view text, std::size_t max_bytes);

}  // namespace hemlo::text
