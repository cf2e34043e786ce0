#pragma once
// Markup errors and warnings of one page from libtidy, placed in the page's
// own text. A pure function: one tidy document per call, so the site check
// runs it on several threads and the editor can run it while the user types.
// No Qt here.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/document_encoding.h"

namespace hemlo::site {

enum class MarkupSeverity { kError, kWarning };

struct MarkupIssue {
  std::size_t offset = 0;  // bytes of the page
  std::size_t line = 1;    // from 1
  std::size_t column = 0;  // characters from the line start, from 0
  MarkupSeverity severity = MarkupSeverity::kWarning;
  std::string code;     // libtidy's key, e.g. "MISSING_ENDTAG_BEFORE"
  std::string message;  // UTF-8: "警告: " or "エラー: " before libtidy's English text
};

// `bytes` in `encoding` (Shift-JIS or UTF-8; a UTF-8 byte-order mark is not
// counted in line 1's columns). Issues in the order of the page.
std::vector<MarkupIssue> CheckMarkup(std::string_view bytes, text::Encoding encoding);

// The same, remembered for these bytes while the program runs (by their
// SHA-256 and the encoding): a page unchanged since the last site check is
// not parsed again. What is remembered is bounded; the oldest goes first.
std::vector<MarkupIssue> CheckMarkupRemembered(std::string_view bytes, text::Encoding encoding);

}  // namespace hemlo::site
