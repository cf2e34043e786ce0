#include "text/utf8.h"

namespace hemlo::text {

std::size_t DecodeUtf8Lines(std::string_view bytes, char16_t* out,
                            std::vector<std::size_t>* genuine) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  char16_t* const begin = out;
  std::size_t i = 0;
  while (i < n) {
    const unsigned b = p[i];
    if (b < 0x80) {
      if (b == '\r' || b == '\n') {
        *out++ = u'\n';
        i += (b == '\r' && i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
      } else {
        *out++ = static_cast<char16_t>(b);
        ++i;
      }
      continue;
    }
    char32_t cp = 0;
    const std::size_t len = Utf8SequenceAt(bytes, i, cp);
    if (len == 0) {
      *out++ = static_cast<char16_t>(0xF700 + b);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      if (IsUtf8RawUnit(static_cast<char16_t>(cp)) && genuine)
        genuine->push_back(static_cast<std::size_t>(out - begin));
      *out++ = static_cast<char16_t>(cp);
    }
    i += len;
  }
  return static_cast<std::size_t>(out - begin);
}

std::string EncodeUtf8Lines(std::u16string_view text, char16_t separator,
                            const std::vector<std::size_t>& genuine) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  std::size_t next = 0;  // into genuine
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t u = text[i];
    if (u == separator) {
      out.append("\r\n", 2);
      continue;
    }
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
      continue;
    }
    if (IsUtf8RawUnit(u)) {
      while (next < genuine.size() && genuine[next] < i) ++next;
      if (next < genuine.size() && genuine[next] == i)
        AppendUtf8(out, u);
      else
        out.push_back(static_cast<char>(u - 0xF700));
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      AppendUtf8(out,
                 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
      continue;
    }
    // A lone surrogate has no UTF-8 form; U+FFFD keeps the text valid.
    AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes, bool* multibyte) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  bool multi = false;
  for (std::size_t i = 0; i < n;) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    char32_t cp = 0;
    const std::size_t len = Utf8SequenceAt(bytes, i, cp);
    if (len == 0) return false;
    multi = true;
    i += len;
  }
  if (multibyte) *multibyte = multi;
  return true;
}

}  // namespace hemlo::text
