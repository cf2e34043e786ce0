#pragma once
// Characters, lines and display text of a page's bytes in its own encoding
// (Shift-JIS or UTF-8), for the site-wide commands that work on files
// rather than on an edit pane. No Qt here.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text/document_encoding.h"

namespace hemlo::site {

using text::Encoding;

struct PageChar {
  char32_t code = 0;     // a byte that forms no character: 0xF700 + the byte
  std::size_t size = 0;  // bytes
};
// The character starting at byte i (i < bytes.size()).
PageChar CharAt(std::string_view bytes, std::size_t i, Encoding encoding);

// The bytes as UTF-8 for display; bytes that form no character show as U+FFFD.
std::string DisplayText(std::string_view bytes, Encoding encoding);

// Text (UTF-8) in `encoding`. For Shift-JIS the near twins are taken as the
// editor takes typed text (U+301C becomes U+FF5E and the like); a character
// it cannot hold gives nullopt and names it in `refused`.
std::optional<std::string> EncodeText(std::string_view utf8, Encoding encoding,
                                      std::string* refused = nullptr);

// The page's line break: the first CRLF, LF or CR found; CRLF when none.
std::string_view LineBreakOf(std::string_view bytes);

// Where a byte offset stands: line from 1, column in characters from 0.
// Lines break at CRLF, LF and a lone CR, as the edit pane counts them.
struct Place {
  std::size_t line = 1;
  std::size_t column = 0;
  std::size_t line_start = 0;  // byte offset
  std::size_t line_end = 0;    // byte offset of the line break (or the end)
  std::size_t offset = 0;      // the offset this place is for
};
// Counts forward from `from` (a place already known for an earlier offset,
// so a scan over increasing offsets costs one pass).
Place PlaceOf(std::string_view bytes, Encoding encoding, std::size_t offset,
              const Place& from = {});

// Encoding of page bytes as the editor decides it (text::DetectEncoding),
// without validating a declared encoding's bytes, which a search does not need.
struct PageBytes {
  Encoding encoding = Encoding::kShiftJis;
  std::size_t bom = 0;  // bytes of byte-order mark at the start
  std::optional<Encoding> declared;
};
PageBytes ClassifyPage(std::string_view bytes);

// True when every byte is part of a Shift-JIS (CP932) character; no copy made.
bool IsValidShiftJis(std::string_view bytes);

}  // namespace hemlo::site
