#include "remote/comma_text.h"

#include "text/comma_fields.h"

namespace hemlo::transfer {
namespace {

// Blanks and control characters; Shift-JIS trail bytes never fall in this
// range, so byte-wise scanning is safe for double-byte text.
bool IsBlankOrControl(unsigned char c) { return c <= ' '; }

bool NeedsQuotes(std::string_view field) {
  for (unsigned char c : field) {
    if (IsBlankOrControl(c) || c == ',' || c == '"') return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view line) {
  return text::SplitCommaFields(line, /*nul_is_blank=*/true);
}

std::string JoinCommaText(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t k = 0; k < fields.size(); ++k) {
    if (k) out += ',';
    const std::string& f = fields[k];
    if (!NeedsQuotes(f)) {
      out += f;
      continue;
    }
    out += '"';
    for (char c : f) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

std::vector<std::string> SplitFileLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < bytes.size()) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(bytes.substr(start, i - start));
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  return lines;
}

std::string JoinFileLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) {
    out += l;
    out += "\r\n";
  }
  return out;
}

}  // namespace hemlo::transfer
