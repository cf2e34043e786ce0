#include "site/page_text.h"

#include <algorithm>
#include <cstring>

#include "text/cp932.h"
#include "text/utf8.h"

namespace hemlo::site {

namespace {

constexpr char32_t kRawBase = 0xF700;

PageChar Utf8CharAt(std::string_view s, std::size_t i) {
  char32_t cp = 0;
  const std::size_t n = text::Utf8SequenceAt(s, i, cp);
  if (n == 0) return {kRawBase + static_cast<unsigned char>(s[i]), 1};
  return {cp, n};
}

PageChar SjisCharAt(std::string_view s, std::size_t i) {
  const std::size_t n = text::CharLength(s, i);
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 == 0) return {0, 1};
  const std::uint16_t code =
      n == 2 ? static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(s[i + 1])) : b0;
  const char16_t unit = text::DecodeCode(code);
  if (unit == 0) return {kRawBase + b0, 1};
  return {unit, n};
}

}  // namespace

PageChar CharAt(std::string_view bytes, std::size_t i, Encoding encoding) {
  return encoding == Encoding::kUtf8 ? Utf8CharAt(bytes, i) : SjisCharAt(bytes, i);
}

std::string DisplayText(std::string_view bytes, Encoding encoding) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t ascii = i;
    while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
    if (ascii > i) {
      out.append(bytes.substr(i, ascii - i));
      i = ascii;
      continue;
    }
    const PageChar c = CharAt(bytes, i, encoding);
    const bool raw = c.code >= kRawBase && c.code <= kRawBase + 0xFF && c.size == 1 &&
                     static_cast<unsigned char>(bytes[i]) >= 0x80;
    text::AppendUtf8(out, raw ? U'\uFFFD' : c.code);
    i += c.size;
  }
  return out;
}

std::optional<std::string> EncodeText(std::string_view utf8, Encoding encoding,
                                      std::string* refused) {
  if (encoding == Encoding::kUtf8) return std::string(utf8);
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const PageChar c = Utf8CharAt(utf8, i);
    const std::string_view one = utf8.substr(i, c.size);
    i += c.size;
    if (c.code < 0x80) {
      out.push_back(static_cast<char>(c.code));
      continue;
    }
    int code = -1;
    if (c.code < 0x10000 && !(c.code >= kRawBase && c.code <= kRawBase + 0xFF))
      code = text::PreferredCode(text::ToCp932Twin(static_cast<char16_t>(c.code)));
    if (code < 0 || (code < 0x100 && code >= 0x80 && text::DecodeCode(code) == 0)) {
      if (refused) *refused = std::string(one);
      return std::nullopt;
    }
    if (code >= 0x100) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
  }
  return out;
}

std::string_view LineBreakOf(std::string_view bytes) {
  const std::size_t k = bytes.find_first_of("\r\n");
  if (k == std::string_view::npos) return "\r\n";
  if (bytes[k] == '\n') return "\n";
  return k + 1 < bytes.size() && bytes[k + 1] == '\n' ? "\r\n" : "\r";
}

Place PlaceOf(std::string_view bytes, Encoding encoding, std::size_t offset, const Place& from) {
  Place p = from.offset <= offset ? from : Place{};
  const char* data = bytes.data();
  // The next CR and LF before `offset` (or `offset`), found with memchr.
  auto next = [&](char c, std::size_t at) {
    if (at >= offset) return offset;
    const void* hit = std::memchr(data + at, c, offset - at);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : offset;
  };
  bool new_line = false;
  // Line breaks are below 0x40, so they are never the second byte of a character.
  std::size_t lf = next('\n', p.offset);
  std::size_t cr = next('\r', p.offset);
  while (true) {
    const std::size_t k = std::min(lf, cr);
    if (k >= offset) break;
    std::size_t after = k + 1;
    if (bytes[k] == '\r' && after < bytes.size() && bytes[after] == '\n') ++after;
    if (after > offset) break;
    ++p.line;
    p.line_start = after;
    new_line = true;
    if (cr < after) cr = next('\r', after);
    if (lf < after) lf = next('\n', after);
  }
  std::size_t k = p.line_start;
  std::size_t column = 0;
  if (!new_line && from.offset <= offset && from.line_start == p.line_start) {
    k = from.offset;
    column = from.column;
  }
  while (k < offset) {
    k += static_cast<unsigned char>(bytes[k]) < 0x80 ? 1 : CharAt(bytes, k, encoding).size;
    ++column;
  }
  p.column = column;
  p.offset = offset;
  // The line ends at the first LF, or at a CR before it.
  const void* lf_at = std::memchr(data + offset, '\n', bytes.size() - offset);
  const std::size_t lf_end =
      lf_at ? static_cast<std::size_t>(static_cast<const char*>(lf_at) - data) : bytes.size();
  const void* cr_at = std::memchr(data + offset, '\r', lf_end - offset);
  p.line_end = cr_at ? static_cast<std::size_t>(static_cast<const char*>(cr_at) - data) : lf_end;
  return p;
}

PageBytes ClassifyPage(std::string_view bytes) {
  PageBytes page;
  if (const auto d = text::FindCharsetDeclaration(bytes)) page.declared = d->encoding;
  if (bytes.substr(0, text::kUtf8Bom.size()) == text::kUtf8Bom) {
    page.encoding = Encoding::kUtf8;
    page.bom = text::kUtf8Bom.size();
  } else if (page.declared) {
    page.encoding = *page.declared;
  } else {
    bool multibyte = false;
    if (text::IsValidUtf8(bytes, &multibyte) && multibyte) page.encoding = Encoding::kUtf8;
  }
  return page;
}

bool IsValidShiftJis(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = text::CharLength(bytes, i);
    if (n == 1 && text::DecodeCode(b) == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace hemlo::site
