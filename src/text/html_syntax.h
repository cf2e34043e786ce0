#pragma once
// A line-by-line HTML scanner for colouring the source: tags, attribute
// names and values, comments, entities and the contents of <script> and
// <style>. Each line starts in the state the previous one ended in, so a
// line can be scanned without scanning the whole document again.
#include <cstddef>
#include <string_view>
#include <vector>

namespace hemlo::text {

enum class SyntaxKind { kTag, kAttributeName, kAttributeValue, kComment, kEntity, kScript, kStyle };

struct SyntaxSpan {
  std::size_t start = 0;
  std::size_t length = 0;
  SyntaxKind kind = SyntaxKind::kTag;
};

// The state at the start of a document.
inline constexpr int kSyntaxStart = 0;

// Scans one line (no line breaks) from `state`; appends its spans to `spans`
// (may be null) and returns the state at its end.
int ScanHtmlLine(std::u16string_view line, int state, std::vector<SyntaxSpan>* spans);

}  // namespace hemlo::text
